// Reading and loading a demo script.
#include "demo/TaDemo.h"

#include "core/TaLog.h"
#include "engine/TaCameraEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaLoadingScreen.h"
#include "files/TaFile.h"
#include "files/TaIni.h"
#include "music/TaMusic.h"
#include "scene/TaScenes.h"

#include <iniparser.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <utility>
#include <vector>

namespace {

// Copies `text` into a field of `size` bytes: false (with the message) when it does not fit.
bool copyText(char* field, size_t size, const char* text, const char* part, const char* key)
{
    const size_t length = text ? strlen(text) : 0;
    if (length >= size) {
        taErrorCodeBox(-1, "Part %s: %s is longer than %d characters", part, key, int(size) - 1);
        return false;
    }
    memcpy(field, text ? text : "", length);
    field[length] = 0;
    return true;
}

struct SReader {
    dictionary* ini;
    std::string section;
    std::string key(const std::string& name) const { return section + ":" + name; }
    const char* text(const std::string& name) const { return iniparser_getstring(ini, key(name).c_str(), nullptr); }
    int integer(const std::string& name, int fallback) const
    {
        return iniparser_getint(ini, key(name).c_str(), fallback);
    }
    bool has(const std::string& name) const { return iniparser_find_entry(ini, key(name).c_str()) != 0; }
};

bool readPart(const SReader& r, STaDemoPart& part, const char* name)
{
    memset(&part, 0, sizeof part);
    // The name as the reader sees it (lower-cased), cut to 39 characters.
    snprintf(part.name, sizeof part.name, "%s", name);
    part.time = r.integer("time", -1);
    part.timeReset = r.integer("timereset", 0);
    part.timeOffset = part.timeReset ? 0 : part.time;
    if (!copyText(part.music, sizeof part.music, r.text("music"), part.name, "music") ||
        !copyText(part.palette, sizeof part.palette, r.text("palette"), part.name, "palette") ||
        !copyText(part.directory, sizeof part.directory, r.text("directory"), part.name, "directory") ||
        !copyText(part.filename, sizeof part.filename, r.text("filename"), part.name, "filename"))
        return false;
    part.paletteChannel = -1;
    const char* channels[] = {"palette.r", "palette.g", "palette.b"};
    for (int c = 0; c < 3; ++c)
        if (r.has(channels[c])) {
            part.paletteChannel = c;
            part.paletteChannelValue = r.integer(channels[c], -1);
            break;
        }
    part.cameraNear = 0.1f;
    part.cameraFar = 1000.0f;
    if (const char* range = r.text("camerarange"))
        sscanf(range, "%f %f", &part.cameraNear, &part.cameraFar);
    part.reuseObjects = r.integer("reuseobjects", 0);
    part.flushObjects = r.integer("flushobjects", 0);
    for (int n = 0; n < 20; ++n) {
        const std::string p = "extra." + std::to_string(n) + ".";
        if (part.extraCount < TA_DEMO_MAX_EXTRAS && r.text(p + "directory") && r.text(p + "filename")) {
            STaDemoExtra& extra = part.extras[part.extraCount];
            if (!copyText(extra.directory, sizeof extra.directory, r.text(p + "directory"), part.name,
                          (p + "directory").c_str()) ||
                !copyText(extra.filename, sizeof extra.filename, r.text(p + "filename"), part.name,
                          (p + "filename").c_str()))
                return false;
            extra.time = r.integer(p + "time", 0);
            extra.length = r.integer(p + "length", 0);
            extra.reuseObjects = r.integer(p + "reuseobjects", 0);
            extra.flushObjects = r.integer(p + "flushobjects", 0);
            ++part.extraCount;
        }
        const std::string s = "shader." + std::to_string(n) + ".";
        if (part.shaderCount < TA_DEMO_MAX_SHADERS && r.text(s + "name")) {
            STaDemoShader& shader = part.shaders[part.shaderCount];
            if (!copyText(shader.name, sizeof shader.name, r.text(s + "name"), part.name, (s + "name").c_str()))
                return false;
            shader.time = r.integer(s + "time", 0);
            shader.length = r.integer(s + "length", 0);
            shader.cameraShaderId = -1;
            ++part.shaderCount;
        }
        const std::string f = "fader." + std::to_string(n) + ".";
        if (part.faderCount < TA_DEMO_MAX_FADERS && r.has(f + "time")) {
            STaDemoFader& fader = part.faders[part.faderCount];
            fader.time = r.integer(f + "time", 0);
            fader.length = r.integer(f + "length", 1000);
            fader.fadeLength = r.integer(f + "fadelength", 1000);
            fader.color = r.integer(f + "color", 0);
            fader.fadeOut = r.has(f + "fadein") ? 0 : 1;
            ++part.faderCount;
        }
    }
    return true;
}

} // namespace

std::string taDemoJoinPath(const char* directory, const char* name)
{
    if (!directory || !*directory)
        return name ? name : "";
    std::string path = directory;
    if (path.back() != '/' && path.back() != '\\')
        path += '/';
    return path + (name ? name : "");
}

namespace {

// The scene music name of a music file: its base name without the extension, then ".mp3".
std::string sceneMusicName(const char* file)
{
    std::string name = file ? file : "";
    const size_t slash = name.find_last_of("/\\:");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name + ".mp3";
}

void partError(const char* format, const STaDemoPart& part)
{
    char text[TA_LOG_TEXT_SIZE];
    snprintf(text, sizeof text, format, part.name);
    taErrorCodeBox(-1, "%s", text);
}

struct SLoadProgress {
    int part, parts;
};

int loadProgress(int percent, void* user)
{
    const SLoadProgress* p = static_cast<const SLoadProgress*>(user);
    const int total = p->parts > 0 ? p->parts : 1;
    taLoadingScreenProgress((percent * 1000 / 100 + p->part * 1000) * 100 / (total * 1000));
    return !taRun() || taGetEventReceiver().state().escapeLatch ? 1 : 0;
}

} // namespace

int taDemoLoadScene(const std::string& demoDirectory, const char* directory, const char* filename, int reuse,
                    bool extra, STaDemoIdCounters& c, int& sceneId, int& objectBase, int& lightBase, int& emitterBase, int& cubeMapBase)
{
    taSetWorkingDirectory(taDemoJoinPath(demoDirectory.c_str(), directory).c_str());
    STaSceneBases bases;
    bases.object = c.object;
    bases.light = c.light;
    bases.emitter = c.emitter;
    bases.cubeMap = c.cubeMap;
    bases.cameraShader = c.cameraShader;
    bases.renderer = c.renderer;
    bases.effect = c.effect;
    sceneId = c.scene;
    const int result = taLoadScene(filename, c.scene, bases, reuse != 0, directory, extra);
    if (result != 0)
        return result;
    objectBase = c.object;
    lightBase = c.light;
    emitterBase = c.emitter;
    cubeMapBase = c.cubeMap;
    c.object += SceneTotalObjects(c.scene);
    c.light += SceneTotalLights(c.scene);
    c.emitter += SceneTotalFxEmitters(c.scene);
    c.cubeMap += SceneTotalCubeMaps(c.scene);
    c.cameraShader += SceneTotalCameraShaders(c.scene);
    c.renderer += taSceneHasRenderer(c.scene) > 0 ? 1 : 0;
    c.effect += SceneTotalEffects(c.scene);
    ++c.scene;
    return 0;
}

int taDemoParse(STaDemo* demo, const char* path)
{
    memset(demo, 0, sizeof *demo);
    std::string why;
    TaIniPtr ini = taLoadIni(path, &why);
    if (!ini) {
        taErrorCodeBox(-1, "Fail to parse ini%s%s", why.empty() ? "" : "\n", why.c_str());
        return -1;
    }
    SReader setup{ini.get(), "setup"};
    if (!copyText(demo->musicDirectory, sizeof demo->musicDirectory, setup.text("musicdirectory"), "setup",
                  "musicdirectory") ||
        !copyText(demo->paletteDirectory, sizeof demo->paletteDirectory, setup.text("palettedirectory"), "setup",
                  "palettedirectory") ||
        !copyText(demo->shadersDirectory, sizeof demo->shadersDirectory, setup.text("shadersdirectory"), "setup",
                  "shadersdirectory"))
        return -1;
    const int sections = iniparser_getnsec(ini.get());
    for (int i = 0; i < sections; ++i) {
        const char* name = iniparser_getsecname(ini.get(), i);
        if (!name || !strstr(name, "part"))
            continue;
        if (demo->partCount == TA_DEMO_MAX_PARTS) {
            taErrorCodeBox(-1, "Too many parts: a demo has at most %d (section '%s')", TA_DEMO_MAX_PARTS, name);
            return -1;
        }
        if (!readPart(SReader{ini.get(), name}, demo->parts[demo->partCount], name))
            return -1;
        ++demo->partCount;
    }
    if (demo->partCount == 0) {
        taErrorCodeBox(-1, "No parts!");
        return -1;
    }
    return 0;
}

int taDemoResolveTimeline(STaDemo* demo, const TaDemoSceneMusic& sceneMusic)
{
    for (int i = 0; i < demo->partCount; ++i) {
        STaDemoPart& part = demo->parts[i];
        int offset = 0;
        const char* music = part.filename[0] ? sceneMusic(part, &offset) : nullptr;
        // The previous part with music; a part with timereset on the way is an error.
        int previous = -1;
        bool resetOnTheWay = false;
        for (int k = i - 1; k >= 0; --k) {
            if (demo->parts[k].music[0]) {
                previous = k;
                break;
            }
            if (demo->parts[k].timeReset) {
                resetOnTheWay = true;
                break;
            }
        }
        const std::string own = music ? sceneMusicName(music) : "";
        if (part.time == -1) {
            if (part.music[0]) {
                partError("Part %s: no time, but music specified in the part, impossible to determine time begin of "
                          "the part",
                          part);
                return -1;
            }
            if (!music) {
                partError("Part %s: no time, and no music specified in scene, impossible to determine time begin of "
                          "the part",
                          part);
                return -1;
            }
            if (resetOnTheWay) {
                partError("Part %s: timereset no supported before a part that has a music within the scene", part);
                return -1;
            }
            if (previous < 0) {
                partError("Part %s: when no time in part and a music in the scene, there must be a music before", part);
                return -1;
            }
            if (own != demo->parts[previous].music) {
                partError("Part %s: when no time in part, the music in the scene must be the same than the previous "
                          "music",
                          part);
                return -1;
            }
            part.time = offset + demo->parts[previous].timeOffset;
            part.timeOffset = part.time;
        } else if (!part.music[0] && music) {
            if (resetOnTheWay) {
                partError("Part %s: timereset no supported before a part that has a music within the scene", part);
                return -1;
            }
            if (previous >= 0 && own == demo->parts[previous].music) {
                partError("Part %s: music within the scene, with a time in the part :the music must not be the same "
                          "music than previous",
                          part);
                return -1;
            }
            if (offset != 0) {
                partError("Part %s: music within the scene, with a time in the part :the music offset within the scene "
                          "must be zero",
                          part);
                return -1;
            }
            if (!copyText(part.music, sizeof part.music, own.c_str(), part.name, "the scene's music"))
                return -1;
        }
    }
    return 0;
}

int taDemoLoad(STaDemo* demo, const char* path, STaDemoIdCounters* counters)
{
    if (taDemoParse(demo, path) != 0)
        return -1;
    for (int i = 0; i < demo->partCount; ++i) {
        STaDemoPart& part = demo->parts[i];
        part.musicId = part.paletteId = -1;
        part.sceneId = part.objectBase = part.lightBase = part.emitterBase = part.cubeMapBase = -1;
        for (int e = 0; e < part.extraCount; ++e) {
            STaDemoExtra& extra = part.extras[e];
            extra.active = 0;
            extra.sceneId = extra.objectBase = extra.lightBase = extra.emitterBase = extra.cubeMapBase = -1;
        }
    }
    taSetSceneLoadErrorReport(true);
    char absolute[4096];
    const std::string scriptPath = realpath(path, absolute) ? absolute : path;
    std::string directory = scriptPath;
    const size_t slash = directory.find_last_of('/');
    directory = slash == std::string::npos ? "." : directory.substr(0, slash);
    taSetWorkingDirectory(directory.c_str());
    taLoadingScreenBegin();
    taLoadingScreenProgress(0);

    for (int i = 0; i < demo->partCount; ++i)
        if (demo->parts[i].palette[0])
            demo->parts[i].paletteId = counters->palette++;

    // Scenes.
    int result = 0;
    for (int k = 0; k < demo->partCount && result == 0; ++k) {
        STaDemoPart& part = demo->parts[k];
        if (part.filename[0]) {
            SLoadProgress progress{k, demo->partCount};
            taSetSceneLoadCallback(loadProgress, &progress);
            const int loaded = taDemoLoadScene(directory, part.directory, part.filename, part.reuseObjects, false, *counters,
                                         part.sceneId, part.objectBase, part.lightBase, part.emitterBase,
                                         part.cubeMapBase);
            taSetSceneLoadCallback(nullptr, nullptr);
            if (loaded != 0) {
                if (loaded != 1)
                    taErrorCodeBox(-1, "Fail to load scene %s", part.filename);
                result = -1;
                break;
            }
        }
        for (int e = 0; e < part.extraCount; ++e) {
            STaDemoExtra& extra = part.extras[e];
            if (!extra.filename[0])
                continue;
            const int loaded = taDemoLoadScene(directory, extra.directory, extra.filename, extra.reuseObjects, true, *counters,
                                         extra.sceneId, extra.objectBase, extra.lightBase, extra.emitterBase,
                                         extra.cubeMapBase);
            if (loaded != 0) {
                if (loaded != 1)
                    taErrorCodeBox(-1, "Fail to load in scene %s the extra id=%d %s", part.filename, e,
                                   extra.filename);
                result = -1;
                break;
            }
        }
    }
    taSetWorkingDirectory(directory.c_str());
    if (result == 0)
        result = taDemoResolveTimeline(demo, [](const STaDemoPart& part, int* start) -> const char* {
            *start = taSceneMusicStart(part.sceneId);
            return taSceneMusic(part.sceneId);
        });
    // Music.
    for (int i = 0; i < demo->partCount && result == 0; ++i) {
        STaDemoPart& part = demo->parts[i];
        if (!part.music[0])
            continue;
        const int id = counters->music++;
        const std::string file = taDemoJoinPath(demo->musicDirectory, part.music);
        LoadMusic(file.c_str(), id);
        taClearLastError();
        if (!MusicExist(id)) {
            taErrorCodeBox(-1, "Fail to load music %s", part.music);
            result = -1;
            break;
        }
        part.musicId = id;
    }
    // Camera shaders: each distinct name (case ignored) once, under the next camera-shader ID.
    std::vector<std::pair<std::string, int>> loaded;
    for (int i = 0; i < demo->partCount && result == 0; ++i) {
        STaDemoPart& part = demo->parts[i];
        for (int k = 0; k < part.shaderCount && result == 0; ++k) {
            STaDemoShader& shader = part.shaders[k];
            int id = -1;
            for (const auto& known : loaded)
                if (strcasecmp(known.first.c_str(), shader.name) == 0)
                    id = known.second;
            if (id < 0) {
                id = counters->cameraShader++;
                const std::string file = taDemoJoinPath(demo->shadersDirectory, shader.name);
                MakeCameraEffectFromFile(id, file.c_str());
                taClearLastError();
                if (!CameraEffectExist(id)) {
                    taErrorCodeBox(-1, "Failed to load shader %s", file.c_str());
                    result = -1;
                    break;
                }
                loaded.emplace_back(shader.name, id);
            }
            shader.cameraShaderId = id;
        }
    }
    taLoadingScreenProgress(100);
    taLoadingScreenEnd();
    return result;
}

void taDemoFree(STaDemo* demo)
{
    for (int i = 0; i < demo->partCount; ++i) {
        STaDemoPart& part = demo->parts[i];
        if (part.musicId >= 0)
            DeleteMusic(part.musicId);
        part.musicId = -1;
        if (part.filename[0] && part.sceneId >= 0)
            DeleteScene(part.sceneId);
        part.sceneId = -1;
        for (int k = 0; k < part.shaderCount; ++k) {
            if (part.shaders[k].cameraShaderId >= 0)
                DeleteCameraEffect(part.shaders[k].cameraShaderId);
            part.shaders[k].cameraShaderId = -1;
        }
        for (int e = 0; e < part.extraCount; ++e) {
            if (part.extras[e].filename[0] && part.extras[e].sceneId >= 0)
                DeleteScene(part.extras[e].sceneId);
            part.extras[e].sceneId = -1;
        }
    }
    taClearLastError();
}
