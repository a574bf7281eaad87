// Checking a demo before it is shown: everything it needs loaded on the running engine (the null
// driver for -check): its scenes with their meshes, textures and surface effects (every shader
// variant the surfaces ask for is translated, so a warm shader cache comes out of it), its music.
// Every problem is listed; nothing stops at the first one.
#include "demo/TaDemo.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "music/TaMusic.h"
#include "scene/TaScenes.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct SCheckLog {
    std::vector<std::string> errors;
    std::set<std::string> seen;
};

void collect(const char* line, void* user)
{
    auto* log = static_cast<SCheckLog*>(user);
    fputs(line, stderr);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if ((text.rfind("ERROR", 0) == 0) && log->seen.insert(text).second)
        log->errors.push_back(text);
}

bool fileThere(const std::string& name)
{
    struct stat st;
    return !name.empty() && stat(taFindFile(name.c_str()), &st) == 0;
}

} // namespace

int taDemoCheck(const char* path)
{
    SCheckLog log;
    taSetLogSink(collect, &log);
    taDisableMessageBoxes();
    std::vector<std::string> problems;
    std::unique_ptr<STaDemo> demo(new STaDemo());
    printf("checking %s\n", path);
    if (taDemoParse(demo.get(), path) != 0) {
        taSetLogSink(nullptr, nullptr);
        printf("problem: the script does not read: %s\n", log.errors.empty() ? "" : log.errors.back().c_str());
        return -1;
    }
    char absolute[4096];
    std::string directory = realpath(path, absolute) ? absolute : path;
    directory = directory.find('/') == std::string::npos ? "." : directory.substr(0, directory.find_last_of('/'));
    taSetSceneLoadErrorReport(false);
    STaDemoIdCounters counters;
    std::vector<int> scenes;
    auto checkScene = [&](const char* sceneDirectory, const char* file, bool extra) {
        const std::string where = taDemoJoinPath(sceneDirectory, file);
        int id = -1, objectBase, lightBase, emitterBase, cubeMapBase;
        if (taDemoLoadScene(directory, sceneDirectory, file, 0, extra, counters, id, objectBase, lightBase, emitterBase,
                            cubeMapBase) != 0) {
            int code = 0;
            const char* why = taGetLastError(&code);
            problems.push_back("scene " + where + " does not load: " + (why ? why : ""));
            taClearLastError();
            return;
        }
        scenes.push_back(id);
        const STaSceneSlot* slot = taSceneTable() ? taSceneTable()->slot(id) : nullptr;
        if (!slot)
            return;
        const STaSceneDesc& desc = *slot->desc;
        printf("scene %s: %zu objects, %zu lights, %zu meshes with surfaces\n", where.c_str(), desc.objectKeys.size(),
               desc.lightKeys.size(), desc.meshes.size());
        for (const STaSceneObjectKeys& object : desc.objectKeys) {
            const char* mesh = taSceneString(object.xfilename);
            if (mesh && *mesh && !fileThere(mesh))
                problems.push_back("missing mesh '" + std::string(mesh) + "' (scene " + where + ")");
        }
        for (const STaSceneMeshDesc& mesh : desc.meshes)
            for (const STaSceneSurfaceDesc& surface : mesh.surfaces) {
                for (const STaSceneSurfaceDesc::SChannel& channel : surface.channels)
                    if (channel.imageFile && *channel.imageFile && !fileThere(channel.imageFile))
                        problems.push_back("missing texture '" + std::string(channel.imageFile) + "' (scene " + where +
                                           ", surface " + (surface.name ? surface.name : "?") + ")");
                if (surface.hasEffect && surface.effect.fileName && !fileThere(surface.effect.fileName))
                    problems.push_back("missing effect '" + std::string(surface.effect.fileName) + "' (scene " +
                                       where + ", surface " + (surface.name ? surface.name : "?") + ")");
            }
        for (const std::string& message : slot->messages)
            problems.push_back("scene " + where + ": " + message);
    };
    for (int i = 0; i < demo->partCount && counters.scene < TA_SCENE_SLOTS; ++i) {
        const STaDemoPart& part = demo->parts[i];
        if (part.filename[0])
            checkScene(part.directory, part.filename, false);
        for (int e = 0; e < part.extraCount && counters.scene < TA_SCENE_SLOTS; ++e)
            checkScene(part.extras[e].directory, part.extras[e].filename, true);
    }
    taSetWorkingDirectory(directory.c_str());
    for (int i = 0; i < demo->partCount; ++i) {
        const STaDemoPart& part = demo->parts[i];
        if (!part.music[0])
            continue;
        const std::string file = taDemoJoinPath(demo->musicDirectory, part.music);
        if (!fileThere(file)) {
            problems.push_back("missing music '" + file + "' (part " + part.name + ")");
            continue;
        }
        if (LoadMusic(file.c_str(), 1) != 0 || !MusicExist(1)) {
            int code = 0;
            const char* why = taGetLastError(&code);
            problems.push_back("music '" + file + "' does not load: " + (why ? why : ""));
        } else {
            printf("music %s: loads\n", file.c_str());
        }
        DeleteMusic(1);
        taClearLastError();
    }
    for (int scene : scenes)
        DeleteScene(scene);
    taSetLogSink(nullptr, nullptr);
    for (const std::string& error : log.errors)
        problems.push_back("the engine said: " + error);
    // A scene shown by two parts says its problems twice: once is enough.
    std::set<std::string> said;
    size_t count = 0;
    for (const std::string& problem : problems)
        if (said.insert(problem).second) {
            printf("problem: %s\n", problem.c_str());
            ++count;
        }
    printf("%s: %zu problem%s\n", path, count, count == 1 ? "" : "s");
    return count == 0 ? 0 : -1;
}
