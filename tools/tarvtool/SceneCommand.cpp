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
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The engine's operations, noting how each object's mesh came.
class CTaNotingOps : public ITaSceneOps
{
public:
    explicit CTaNotingOps(ITaSceneOps& engine) : m_e(engine) {}
    std::map<int, std::string> origin; // object ID -> "loaded", "clone of N", ...

    std::string takeMessage() override { return m_e.takeMessage(); }
    bool objectExists(int id) override { return m_e.objectExists(id); }
    int loadObject(int id, const char* file) override
    {
        origin[id] = "loaded";
        return m_e.loadObject(id, file);
    }
    int loadPointCloud(int id, const char* file, int points) override
    {
        origin[id] = "point cloud of " + std::to_string(points) + " points";
        return m_e.loadPointCloud(id, file, points);
    }
    int cloneObject(int id, int source) override
    {
        origin[id] = "clone of " + std::to_string(source);
        return m_e.cloneObject(id, source);
    }
    int instanceObject(int id, int source) override
    {
        origin[id] = "instance of " + std::to_string(source);
        return m_e.instanceObject(id, source);
    }
    void deleteObject(int id) override { m_e.deleteObject(id); }
    void showObject(int id) override { m_e.showObject(id); }
    void hideObject(int id) override { m_e.hideObject(id); }
    void lockObjectOn(int id) override { m_e.lockObjectOn(id); }
    void setObjectShadowCaster(int id, bool on) override { m_e.setObjectShadowCaster(id, on); }
    void setObjectSelectionMask(int id, unsigned mask) override { m_e.setObjectSelectionMask(id, mask); }
    void setObjectVertexTexture(int id, const char* name, unsigned options) override
    {
        m_e.setObjectVertexTexture(id, name, options);
    }
    void setObjectCubeMap(int id, int cubeMap, bool box, const vec3& p, const vec3& s) override
    {
        m_e.setObjectCubeMap(id, cubeMap, box, p, s);
    }
    void setSurfaces(int id, const std::vector<STaSurfaceRecord>& records, bool recreate) override
    {
        m_e.setSurfaces(id, records, recreate);
    }
    void updateObjectFromSurfaces(int id) override { m_e.updateObjectFromSurfaces(id); }
    void positionObject(int id, const vec3& p) override { m_e.positionObject(id, p); }
    void rotateObject(int id, const vec3& r) override { m_e.rotateObject(id, r); }
    void scaleObject(int id, const vec3& s) override { m_e.scaleObject(id, s); }
    int totalObjectFrames(int id) override { return m_e.totalObjectFrames(id); }
    void setObjectFrame(int id, float frame) override { m_e.setObjectFrame(id, frame); }
    int objectMorphCount(int id) override { return m_e.objectMorphCount(id); }
    void setObjectMorph(int id, int count, const int* t, const float* w) override { m_e.setObjectMorph(id, count, t, w); }
    int makeLight(int id) override { return m_e.makeLight(id); }
    bool lightExists(int id) override { return m_e.lightExists(id); }
    void deleteLight(int id) override { m_e.deleteLight(id); }
    void showLight(int id) override { m_e.showLight(id); }
    void hideLight(int id) override { m_e.hideLight(id); }
    void setDirectionalLight(int id) override { m_e.setDirectionalLight(id); }
    void setPointLight(int id) override { m_e.setPointLight(id); }
    void setSpotLight(int id, float inner, float outer) override { m_e.setSpotLight(id, inner, outer); }
    void setLightRange(int id, float range) override { m_e.setLightRange(id, range); }
    void colorLight(int id, irr::u32 rgb) override { m_e.colorLight(id, rgb); }
    void setLightRawColor(int id, const vec3& c) override { m_e.setLightRawColor(id, c); }
    void setLightIntensity(int id, float i) override { m_e.setLightIntensity(id, i); }
    void setLightShadow(int id, bool on) override { m_e.setLightShadow(id, on); }
    void colorLightShadow(int id, irr::u32 rgb) override { m_e.colorLightShadow(id, rgb); }
    void setShadowMapSize(int id, int size) override { m_e.setShadowMapSize(id, size); }
    void setShadowMapFuzz(int id, float fuzz) override { m_e.setShadowMapFuzz(id, fuzz); }
    void setLightProjectionImage(int id, const char* file) override { m_e.setLightProjectionImage(id, file); }
    void setLightVolumetric(int id, bool on, bool colourOn, const vec3& c, int mode) override
    {
        m_e.setLightVolumetric(id, on, colourOn, c, mode);
    }
    void setLightVolumetricShape(int id, float d, float b) override { m_e.setLightVolumetricShape(id, d, b); }
    void setLightVolumetricVisible(int id, bool on) override { m_e.setLightVolumetricVisible(id, on); }
    void setLightVolumetricClamp(int id, bool on, float v) override { m_e.setLightVolumetricClamp(id, on, v); }
    void positionLight(int id, const vec3& p) override { m_e.positionLight(id, p); }
    void rotateLight(int id, const vec3& r) override { m_e.rotateLight(id, r); }
    int createCubeMap(int id, int size, bool latLong) override { return m_e.createCubeMap(id, size, latLong); }
    void deleteCubeMap(int id) override { m_e.deleteCubeMap(id); }
    void clearCubeMap(int id) override { m_e.clearCubeMap(id); }
    bool cubeMapRendered(int id) override { return m_e.cubeMapRendered(id); }
    int renderCubeMap(int id, const vec3& p) override { return m_e.renderCubeMap(id, p); }
    void setCameraFOV(float d) override { m_e.setCameraFOV(d); }
    void setCameraDOF(int on, float f, float s) override { m_e.setCameraDOF(on, f, s); }
    void setCameraAdvancedDOF(int on, float a, float b, float c, float d) override
    {
        m_e.setCameraAdvancedDOF(on, a, b, c, d);
    }
    void setCameraStereo(int on, float s, int m, float f) override { m_e.setCameraStereo(on, s, m, f); }
    void positionCamera(const vec3& p) override { m_e.positionCamera(p); }
    void rotateCamera(const vec3& r) override { m_e.rotateCamera(r); }
    void setCameraRange(float n, float f) override { m_e.setCameraRange(n, f); }
    void colorAmbientLight(irr::u32 rgb) override { m_e.colorAmbientLight(rgb); }
    void colorBackdrop(irr::u32 rgb) override { m_e.colorBackdrop(rgb); }
    void setDisplayColourSpace(int s) override { m_e.setDisplayColourSpace(s); }
    void setGlow(int on, float i, float r) override { m_e.setGlow(on, i, r); }
    void setStreaks(int on, const float* v) override { m_e.setStreaks(on, v); }
    void setBloom(int on, float s, float c) override { m_e.setBloom(on, s, c); }
    void setSSAO(int on, const float* v) override { m_e.setSSAO(on, v); }
    void setShadowSettings(int on, float e) override { m_e.setShadowSettings(on, e); }
    void setAntialias(const int* v, float l) override { m_e.setAntialias(v, l); }
    void useDefaultRenderer() override { m_e.useDefaultRenderer(); }
    void renderOffscreenFrame() override { m_e.renderOffscreenFrame(); }

private:
    ITaSceneOps& m_e;
};

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

    CTaNotingOps ops(taSceneEngineOps());
    int status = 0;
    {
        CTaSceneTable table(ops);
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
            auto how = ops.origin.find(id);
            printf("object %d '%s': %s, %s\n", id, text(taSceneString(object.name)), text(mesh),
                   !made ? "FAILED" : how != ops.origin.end() ? how->second.c_str() : "made");
            if (!made)
                status = 1;
            if (mesh && !fileThere(mesh))
                missing.insert(mesh);
            if (made && how != ops.origin.end() && how->second == "loaded")
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
