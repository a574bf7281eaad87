// tarvtool scene FILE: loads a scene document on the null driver as the viewer would (its folder the
// working directory) and prints what it made: the frame range, cameras, lights, objects with their
// IDs and how their meshes came (loaded, cloned), the surfaces with their compile macros, the files
// that are missing, and every message of the load. Exit status 0 when everything loaded, 1 when the
// scene did not load or something is missing or failed, 2 for usage.
#include "tools/tarvtool/SceneCommand.h"

#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "files/TaFile.h"
#include "nodes/TaSceneNodeExt.h"
#include "nodes/TaSurface.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneOps.h"
#include "scene/TaScenes.h"
#include "tools/tarvtool/Headless.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* text(const char* s)
{
    return s ? s : "(none)";
}

bool fileThere(const char* name)
{
    struct stat st;
    return name && *name && stat(taFindFile(name), &st) == 0;
}

const char* lightKind(int type)
{
    return type == 0 ? "directional" : type == 2 ? "spot" : "point";
}

} // namespace

int sceneCommand(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: tarvtool scene FILE\n");
        return 2;
    }
    char absolute[4096];
    if (!realpath(argv[1], absolute)) {
        fprintf(stderr, "tarvtool: cannot open '%s'\n", argv[1]);
        return 1;
    }
    std::string directory = absolute;
    const std::string file = directory.substr(directory.find_last_of('/') + 1);
    directory.erase(directory.find_last_of('/'));
    if (!taToolStartEngine())
        return 1;
    taSetWorkingDirectory(directory.c_str());

    int status = 0;
    {
        CTaSceneTable table(taSceneEngineOps());
        STaSceneBases bases;
        bases.object = bases.light = bases.emitter = bases.cubeMap = bases.cameraShader = 1;
        bases.renderer = bases.effect = 1;
        taSetSceneLoadErrorReport(false);
        taClearLastError();
        const int result = table.load(file.c_str(), 0, bases, false, directory.c_str(), false);
        if (result != 0) {
            int code = 0;
            const char* why = taGetLastError(&code);
            fprintf(stderr, "tarvtool: %s\n", why ? why : "the scene did not load");
            taShutdown();
            return 1;
        }
        const STaSceneSlot& slot = *table.slot(0);
        const STaSceneDesc& desc = *slot.desc;
        printf("scene: %s\n", absolute);
        printf("frames: %d to %d, step %d, %g frames per second\n", desc.frameStart, desc.frameEnd, desc.frameStep,
               double(desc.framesPerSecond));
        const char* music = taSceneString(desc.loadAudio);
        printf("music: %s\n", music && *music ? music : "(none)");
        printf("cameras: %zu\n", desc.cameraKeys.size());
        for (size_t i = 0; i < desc.lightKeys.size(); ++i) {
            const STaSceneLightKeys& light = desc.lightKeys[i];
            printf("light %d: %s%s%s\n", bases.light + int(i), lightKind(taSceneInt(light.type, 1)),
                   taSceneInt(light.shadowType, 0) == 2 ? ", shadow map" : "",
                   (taSceneInt(light.flags, 0) & 0x20) ? ", volumetric" : "");
        }
        std::set<std::string> meshesLoaded;
        std::set<std::string> missing;
        for (size_t i = 0; i < desc.objectKeys.size(); ++i) {
            const STaSceneObjectKeys& object = desc.objectKeys[i];
            const int id = bases.object + int(i);
            const char* mesh = taSceneString(object.xfilename);
            const bool made = ObjectExist(id);
            const int source = i < slot.meshSource.size() ? slot.meshSource[i] : -2;
            const std::string how = !made            ? "FAILED"
                                    : source >= 0    ? "clone of " + std::to_string(source)
                                    : object.pointCloudCount ? "point cloud of " + std::to_string(object.pointCloudCount) +
                                                                   " points"
                                                             : "loaded";
            printf("object %d '%s': %s, %s\n", id, text(taSceneString(object.name)), text(mesh), how.c_str());
            if (!made)
                status = 1;
            if (mesh && !fileThere(mesh))
                missing.insert(mesh);
            if (made && source == -1)
                meshesLoaded.insert(mesh ? mesh : "");
            if (!made || object.mesh < 0)
                continue;
            const STaSceneMeshDesc& surfaces = desc.meshes[size_t(object.mesh)];
            CTaSceneNodeExt* ext = taGetSceneNodeExt(taGetObject(id));
            for (size_t s = 0; s < surfaces.surfaces.size(); ++s) {
                std::string macros;
                if (ext && s < ext->materialCount() && ext->getSurface(irr::u32(s))) {
                    STaFxMacro list[40];
                    int capacity = 40;
                    irr::video::E_MATERIAL_TYPE base = irr::video::EMT_SOLID;
                    const STaSurfaceNodeInfo info = ext->surfaceNodeInfo(irr::u32(s));
                    if (ext->getSurface(irr::u32(s))->getEffectCompileParameters(base, list, capacity, &info))
                        for (int m = 0; m < capacity && list[m].name; ++m)
                            macros += std::string(macros.empty() ? "" : " ") + list[m].name;
                } else {
                    macros = "(the mesh has no such surface)";
                    status = 1;
                }
                printf("  surface %zu '%s': %s\n", s, text(surfaces.surfaces[s].name),
                       macros.empty() ? "(no macros)" : macros.c_str());
                for (const auto& channel : surfaces.surfaces[s].channels)
                    if (channel.imageFile && *channel.imageFile && !fileThere(channel.imageFile))
                        missing.insert(channel.imageFile);
            }
        }
        printf("meshes loaded: %zu for %zu objects\n", meshesLoaded.size(), desc.objectKeys.size());
        for (const std::string& m : missing)
            printf("missing: %s\n", m.c_str());
        for (const std::string& m : slot.messages)
            printf("message: %s\n", m.c_str());
        if (!missing.empty())
            status = 1;
        table.remove(0);
    }
    taShutdown();
    return status;
}
