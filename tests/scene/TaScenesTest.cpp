// The scene table against a recording double of the engine operations: what loading, animating,
// updating and removing a scene ask of the engine, in which order and under which IDs.
#include "TaTestSupport.h"

#include "core/TaLog.h"
#include "effects/TaEffectParams.h"
#include "scene/TaSceneOps.h"
#include "scene/TaScenes.h"
#include "scene/TaSurfaces.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <strings.h>
#include <vector>

namespace {

using vec3 = irr::core::vector3df;

// Records every engine operation as a short line ("loadObject 100 a.x", "setSpotLight 20 0.5 0.1")
// and keeps which objects, lights and cube maps exist. A mesh file named missing.obj does not load.
class CRecordingOps : public ITaSceneOps
{
public:
    std::vector<std::string> calls;
    std::set<int> objects, lights, cubeMaps, cameraEffects;

    // The lines that start with one of `prefixes` followed by a blank or the line's end.
    std::vector<std::string> lines(std::initializer_list<std::string> prefixes) const
    {
        std::vector<std::string> found;
        for (const std::string& line : calls)
            for (const std::string& p : prefixes)
                if (line.compare(0, p.size(), p) == 0 && (line.size() == p.size() || line[p.size()] == ' ')) {
                    found.push_back(line);
                    break;
                }
        return found;
    }

    std::string takeMessage() override
    {
        std::string message;
        message.swap(m_message);
        return message;
    }

    bool objectExists(int id) override { return objects.count(id) != 0; }
    int loadObject(int id, const char* file) override
    {
        add("loadObject %d %s", id, file);
        objects.erase(id);
        const char* slash = strrchr(file, '/');
        if (strcasecmp(slash ? slash + 1 : file, "missing.obj") == 0)
            return fail("Failed to load mesh '%s'", file);
        objects.insert(id);
        return 0;
    }
    int loadPointCloud(int id, const char* file, int points) override
    {
        add("loadPointCloud %d %s %d", id, file, points);
        objects.insert(id);
        return 0;
    }
    int cloneObject(int id, int source) override { return copy("cloneObject", id, source); }
    int instanceObject(int id, int source) override { return copy("instanceObject", id, source); }
    void deleteObject(int id) override
    {
        add("deleteObject %d", id);
        objects.erase(id);
    }
    void showObject(int id) override { add("showObject %d", id); }
    void hideObject(int id) override { add("hideObject %d", id); }
    void lockObjectOn(int id) override { add("lockObjectOn %d", id); }
    void setObjectShadowCaster(int id, bool on) override { add("setObjectShadowCaster %d %d", id, on); }
    void setObjectSelectionMask(int id, unsigned mask) override { add("setObjectSelectionMask %d %u", id, mask); }
    void setObjectVertexTexture(int id, const char* name, unsigned options) override
    {
        add("setObjectVertexTexture %d %s %u", id, name, options);
    }
    void setObjectCubeMap(int id, int cubeMap, bool box, const vec3& p, const vec3& s) override
    {
        add("setObjectCubeMap %d %d %d %g %g %g %g %g %g", id, cubeMap, box, p.X, p.Y, p.Z, s.X, s.Y, s.Z);
    }
    // "setSurfaces ID RECREATE NAME=R,G,B ...": each surface with its base colour when it has one.
    void setSurfaces(int id, const std::vector<STaSurfaceRecord>& records, bool recreateShaders) override
    {
        std::string line = format("setSurfaces %d %d", id, recreateShaders);
        for (const STaSurfaceRecord& r : records) {
            line += " " + r.name;
            const STaSurfaceChannelRecord& c = r.channels[ETASC_BASECOLOR];
            if (c.kind == ETAPARAM_VECTOR3)
                line += format("=%g,%g,%g", c.vector[0], c.vector[1], c.vector[2]);
        }
        calls.push_back(line);
    }
    void updateObjectFromSurfaces(int id) override { add("updateObjectFromSurfaces %d", id); }
    void positionObject(int id, const vec3& p) override { add("positionObject %d %g %g %g", id, p.X, p.Y, p.Z); }
    void rotateObject(int id, const vec3& d) override { add("rotateObject %d %g %g %g", id, d.X, d.Y, d.Z); }
    void scaleObject(int id, const vec3& s) override { add("scaleObject %d %g %g %g", id, s.X, s.Y, s.Z); }
    int totalObjectFrames(int) override { return 0; }
    void setObjectFrame(int id, float frame) override { add("setObjectFrame %d %g", id, frame); }
    int objectMorphCount(int) override { return 0; }
    void setObjectMorph(int id, int count, const int*, const float*) override { add("setObjectMorph %d %d", id, count); }

    int makeLight(int id) override
    {
        add("makeLight %d", id);
        lights.insert(id);
        return 0;
    }
    bool lightExists(int id) override { return lights.count(id) != 0; }
    void deleteLight(int id) override
    {
        add("deleteLight %d", id);
        lights.erase(id);
    }
    void showLight(int id) override { add("showLight %d", id); }
    void hideLight(int id) override { add("hideLight %d", id); }
    void setDirectionalLight(int id) override { add("setDirectionalLight %d", id); }
    void setPointLight(int id) override { add("setPointLight %d", id); }
    void setSpotLight(int id, float inner, float outer) override { add("setSpotLight %d %g %g", id, inner, outer); }
    void setLightRange(int id, float range) override { add("setLightRange %d %g", id, range); }
    void colorLight(int id, irr::u32 rgb) override { add("colorLight %d %06x", id, rgb); }
    void setLightRawColor(int id, const vec3& c) override { add("setLightRawColor %d %g %g %g", id, c.X, c.Y, c.Z); }
    void setLightIntensity(int id, float intensity) override { add("setLightIntensity %d %g", id, intensity); }
    void setLightShadow(int id, bool on) override { add("setLightShadow %d %d", id, on); }
    void colorLightShadow(int id, irr::u32 rgb) override { add("colorLightShadow %d %06x", id, rgb); }
    void setShadowMapSize(int id, int size) override { add("setShadowMapSize %d %d", id, size); }
    void setShadowMapFuzz(int id, float fuzz) override { add("setShadowMapFuzz %d %g", id, fuzz); }
    void setLightProjectionImage(int id, const char* file) override
    {
        add("setLightProjectionImage %d %s", id, file ? file : "-");
    }
    void setLightVolumetric(int id, bool on, bool colourOn, const vec3& c, int mode) override
    {
        add("setLightVolumetric %d %d %d %g %g %g %d", id, on, colourOn, c.X, c.Y, c.Z, mode);
    }
    void setLightVolumetricShape(int id, float density, float base) override
    {
        add("setLightVolumetricShape %d %g %g", id, density, base);
    }
    void setLightVolumetricVisible(int id, bool on) override { add("setLightVolumetricVisible %d %d", id, on); }
    void setLightVolumetricClamp(int id, bool on, float value) override
    {
        add("setLightVolumetricClamp %d %d %g", id, on, value);
    }
    void positionLight(int id, const vec3& p) override { add("positionLight %d %g %g %g", id, p.X, p.Y, p.Z); }
    void rotateLight(int id, const vec3& d) override { add("rotateLight %d %g %g %g", id, d.X, d.Y, d.Z); }

    int createCubeMap(int id, int faceSize, bool latLong) override
    {
        add("createCubeMap %d %d %d", id, faceSize, latLong);
        cubeMaps.insert(id);
        return 0;
    }
    void deleteCubeMap(int id) override
    {
        add("deleteCubeMap %d", id);
        cubeMaps.erase(id);
    }
    void clearCubeMap(int id) override { add("clearCubeMap %d", id); }
    bool cubeMapRendered(int) override { return false; }
    int renderCubeMap(int id, const vec3& p) override
    {
        add("renderCubeMap %d %g %g %g", id, p.X, p.Y, p.Z);
        return 0;
    }

    bool cameraEffectExists(int id) override { return cameraEffects.count(id) != 0; }
    int makeCameraEffect(int id, const STaEffectParamBlock& block) override
    {
        add("makeCameraEffect %d %s %s", id, block.fileName.c_str(), block.compileFlags.c_str());
        cameraEffects.erase(id);
        if (block.fileName.empty() || block.fileName.find("broken") != std::string::npos)
            return fail("Failed to compile effect %s", block.fileName.c_str());
        cameraEffects.insert(id);
        return 0;
    }
    void setCameraEffectParameters(int id, const STaEffectParamBlock& block, bool textures) override
    {
        std::string values;
        for (const STaEffectParamEntry& e : block.entries)
            values += " " + e.name + "=" + std::to_string(e.vector[0]);
        add("setCameraEffectParameters %d%s%s", id, textures ? " textures" : "", values.c_str());
    }
    void showCameraEffect(int id) override { add("showCameraEffect %d", id); }
    void hideCameraEffect(int id) override { add("hideCameraEffect %d", id); }
    void deleteCameraEffect(int id) override
    {
        add("deleteCameraEffect %d", id);
        cameraEffects.erase(id);
    }

    void setCameraFOV(float degrees) override { add("setCameraFOV %g", degrees); }
    void setCameraDOF(int on, float distance, float fStop) override { add("setCameraDOF %d %g %g", on, distance, fStop); }
    void setCameraAdvancedDOF(int on, float, float, float, float) override { add("setCameraAdvancedDOF %d", on); }
    void setCameraStereo(int on, float, int, float) override { add("setCameraStereo %d", on); }
    void positionCamera(const vec3& p) override { add("positionCamera %g %g %g", p.X, p.Y, p.Z); }
    void rotateCamera(const vec3& d) override { add("rotateCamera %g %g %g", d.X, d.Y, d.Z); }
    void setCameraRange(float nearPlane, float farPlane) override { add("setCameraRange %g %g", nearPlane, farPlane); }
    void colorAmbientLight(irr::u32 rgb) override { add("colorAmbientLight %06x", rgb); }
    void colorBackdrop(irr::u32 rgb) override { add("colorBackdrop %06x", rgb); }
    void setDisplayColourSpace(int space) override { add("setDisplayColourSpace %d", space); }

    void setGlow(int on, float intensity, float radius) override { add("setGlow %d %g %g", on, intensity, radius); }
    void setStreaks(int on, const float*) override { add("setStreaks %d", on); }
    void setBloom(int on, float minimum, float compose) override { add("setBloom %d %g %g", on, minimum, compose); }
    void setSSAO(int on, const float*) override { add("setSSAO %d", on); }
    void setShadowSettings(int on, float epsilon) override { add("setShadowSettings %d %g", on, epsilon); }
    void setAntialias(const int* v, float limit) override
    {
        add("setAntialias %d %d %d %d %d %d %g", v[0], v[1], v[2], v[3], v[4], v[5], limit);
    }

    void useDefaultRenderer() override { add("useDefaultRenderer"); }
    void renderOffscreenFrame() override { add("renderOffscreenFrame"); }

private:
    static std::string format(const char* f, ...) TA_PRINTF(1, 2)
    {
        char text[512];
        va_list args;
        va_start(args, f);
        vsnprintf(text, sizeof(text), f, args);
        va_end(args);
        return text;
    }
    void add(const char* f, ...) TA_PRINTF(2, 3)
    {
        char text[512];
        va_list args;
        va_start(args, f);
        vsnprintf(text, sizeof(text), f, args);
        va_end(args);
        calls.push_back(text);
    }
    int fail(const char* f, const char* file)
    {
        char text[512];
        snprintf(text, sizeof(text), f, file);
        m_message = text;
        return -1;
    }
    int copy(const char* what, int id, int source)
    {
        add("%s %d %d", what, id, source);
        objects.erase(id);
        if (!objects.count(source)) {
            m_message = "Object ID " + std::to_string(source) + " does not exist";
            return -1;
        }
        objects.insert(id);
        return 0;
    }

    std::string m_message;
};

// The numbers after the operation's name in a recorded line.
std::vector<float> numbersOf(const std::string& line)
{
    std::vector<float> numbers;
    const char* p = strchr(line.c_str(), ' ');
    while (p && *p) {
        char* end = nullptr;
        const float v = strtof(p, &end);
        if (end == p)
            break;
        numbers.push_back(v);
        p = end;
    }
    return numbers;
}

// --- Scene documents -----------------------------------------------------------------------------------

std::string cameraEntry(const std::string& position)
{
    return "    { Camera\n      position FP " + position + "\n    }\n";
}

// An object loading `xfile` (no xfilename key when empty); `more` are further key lines.
std::string objectEntry(const std::string& name, const std::string& xfile, const std::string& more = "")
{
    return "    { " + name + "\n      name STR " + name + "\n" + (xfile.empty() ? "" : "      xfilename STR " + xfile + "\n") +
           more + "    }\n";
}

std::string objectsOf(const std::vector<std::string>& xfiles)
{
    std::string text;
    for (size_t i = 0; i < xfiles.size(); ++i)
        text += objectEntry("O" + std::to_string(i), xfiles[i]);
    return text;
}

// A scene document: its SceneInfo lines (frames 0 to 2 at 10 per second when empty), cameras (one at
// the origin when empty), objects, lights and further sections.
std::string sceneText(const std::string& objects, const std::string& lights = "", const std::string& more = "",
                      const std::string& info = "", const std::string& cameras = "")
{
    return "{ Scene\n  { SceneInfo\n" +
           (info.empty() ? "    frameStart I4 0\n    frameEnd I4 2\n    framesPerSecond FP 10\n" : info) +
           "  }\n  { Cameras\n" + (cameras.empty() ? cameraEntry("0 0 0") : cameras) + "  }\n  { Objects\n" + objects +
           "  }\n" + (lights.empty() ? "" : "  { Lights\n" + lights + "  }\n") + more + "}\n";
}

// The last error as "CODE: TEXT".
std::string lastError()
{
    int code = 0;
    const char* text = taGetLastError(&code);
    return std::to_string(code) + ": " + (text ? text : "");
}

class TaScenesTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        m_bases.object = 100;
        m_bases.light = 20;
        m_bases.cubeMap = 7;
    }
    void TearDown() override
    {
        taSetSceneLoadCallback(nullptr, nullptr);
        TaScratchTest::TearDown();
    }

    // Writes `text` to `file` and loads it into slot `id`.
    int load(const std::string& text, int id = 0, bool reuse = false, const char* name = "city", bool extra = false,
             const std::string& file = "scene.tscn")
    {
        writeFile(file, text);
        return m_table.load(file.c_str(), id, m_bases, reuse, name, extra);
    }

    CRecordingOps m_ops;
    CTaSceneTable m_table{m_ops};
    STaSceneBases m_bases;
};

// --- Loading -------------------------------------------------------------------------------------------

TEST_F(TaScenesTest, LoadRefusesBadIdsBusySlotsAndFilesThatAreNoScenes)
{
    ASSERT_EQ(load(sceneText(objectsOf({"a.x"})), 3), 0);
    const STaSceneDesc* kept = m_table.slot(3)->desc;
    writeFile("junk.tscn", "this is { not a scene");
    writeFile("good.tscn", sceneText(objectsOf({"b.x"})));
    const struct {
        int id;
        const char* file;
        const char* error;
    } cases[] = {
        {60, "good.tscn", "2: Invalid Scene ID 60"},
        {-1, "good.tscn", "2: Invalid Scene ID -1"},
        {3, "good.tscn", "2: Scene ID 3 is already in use"},
        {4, "junk.tscn", "1: Failed to load scene file 'junk.tscn'"},
        {5, "absent.tscn", "1: Failed to load scene file 'absent.tscn'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + std::string(" into ") + std::to_string(c.id));
        taClearLastError();
        m_ops.calls.clear();
        EXPECT_EQ(m_table.load(c.file, c.id, m_bases, false, "city", false), -1);
        EXPECT_EQ(lastError().rfind(c.error, 0), 0u) << lastError();
        EXPECT_EQ(m_ops.calls, std::vector<std::string>());
        if (c.id != 3) {
            EXPECT_EQ(m_table.slot(c.id), nullptr);
        }
    }
    ASSERT_NE(m_table.slot(3), nullptr);
    EXPECT_EQ(m_table.slot(3)->desc, kept);
    EXPECT_EQ(m_table.count(), 1);
}

TEST_F(TaScenesTest, LoadMakesCubeMapsObjectsSurfacesThenLightsFromTheBasesAndLeavesThemHidden)
{
    const std::string mesh = "  { SceneObjects\n    { M\n      filename STR box.lwo\n      { Surfaces\n        { S\n"
                             "          name STR Paint\n          { Parameters\n            { BaseColor\n"
                             "              value FP 1 0 0\n            }\n          }\n        }\n      }\n    }\n  }\n";
    const std::string cubes = "  { CubeMaps\n    { C0\n      name STR Sky\n      textureSize I4 128\n    }\n"
                              "    { C1\n      name STR Lake\n      textureSize I4 256\n      useLatLong I4 1\n    }\n  }\n";
    const std::string objects =
        objectEntry("A", "a.x", "      filename STR box.lwo\n") + objectEntry("B", "b.x", "      filename STR box.lwo\n");
    const std::string lights = "    { Sun\n      type I4 0\n    }\n    { Bulb\n      type I4 1\n    }\n";
    ASSERT_EQ(load(sceneText(objects, lights, mesh + cubes)), 0);

    EXPECT_EQ(m_ops.lines({"createCubeMap", "loadObject", "cloneObject", "setSurfaces", "makeLight",
                           "setDirectionalLight", "setPointLight"}),
              (std::vector<std::string>{"createCubeMap 7 128 0", "createCubeMap 8 256 1", "loadObject 100 a.x",
                                        "loadObject 101 b.x", "setSurfaces 100 1 Paint=1,0,0",
                                        "setSurfaces 101 1 Paint=1,0,0", "makeLight 20", "setDirectionalLight 20",
                                        "makeLight 21", "setPointLight 21"}));
    // Hidden: nothing shown, and every object and light hidden after it was made.
    EXPECT_EQ(m_ops.lines({"showObject", "showLight"}), std::vector<std::string>());
    for (const char* hidden : {"hideObject 100", "hideObject 101", "hideLight 20", "hideLight 21"})
        EXPECT_EQ(m_ops.lines({hidden}).empty(), false) << hidden;
    EXPECT_EQ(m_ops.calls.back(), "hideLight 21");
    EXPECT_FALSE(m_table.slot(0)->shown);
}

// Meshes are shared by file name (without regard to case) within a scene and with the scenes of the
// same name: cloned, or instanced when the load asks to reuse.
TEST_F(TaScenesTest, ObjectsShareMeshesByFileAndSceneName)
{
    const struct {
        const char* what;
        bool reuse;
        const char* secondName; // a second scene loading a.x into 200, or none
        std::vector<std::string> expected;
    } cases[] = {
        {"clone within the scene", false, nullptr, {"loadObject 100 a.x", "cloneObject 101 100"}},
        {"instance with reuse", true, nullptr, {"loadObject 100 a.x", "instanceObject 101 100"}},
        {"same scene name", false, "CITY", {"loadObject 100 a.x", "cloneObject 101 100", "cloneObject 200 100"}},
        {"other scene name", false, "town", {"loadObject 100 a.x", "cloneObject 101 100", "loadObject 200 a.x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("first.tscn", sceneText(objectsOf({"a.x", "A.X"})));
        writeFile("second.tscn", sceneText(objectsOf({"a.x"})));
        ASSERT_EQ(table.load("first.tscn", 0, m_bases, c.reuse, "city", false), 0);
        if (c.secondName) {
            STaSceneBases bases = m_bases;
            bases.object = 200;
            ASSERT_EQ(table.load("second.tscn", 1, bases, false, c.secondName, false), 0);
        }
        EXPECT_EQ(ops.lines({"loadObject", "cloneObject", "instanceObject"}), c.expected);
        EXPECT_TRUE(ops.objectExists(101));
    }
}

TEST_F(TaScenesTest, ObjectsThatCannotBeMadeAreSaidAndLoadingGoesOn)
{
    ASSERT_EQ(load(sceneText(objectsOf({"", "Objects/missing.obj", "b.x"}))), 0);
    EXPECT_EQ(m_ops.lines({"loadObject", "cloneObject"}),
              (std::vector<std::string>{"loadObject 101 Objects/missing.obj", "loadObject 102 b.x"}));
    EXPECT_EQ(m_ops.objects, (std::set<int>{102}));
    const std::vector<std::string>& messages = m_table.slot(0)->messages;
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].rfind("The object id=100 '' cannot be loaded", 0), 0u) << messages[0];
    EXPECT_EQ(messages[1].rfind("The object id=101 'Objects/missing.obj' cannot be loaded", 0), 0u) << messages[1];
    EXPECT_NE(messages[1].find("Failed to load mesh 'Objects/missing.obj'"), std::string::npos) << messages[1];
    // Nothing more is asked of the objects that are not there.
    EXPECT_EQ(m_ops.lines({"hideObject 100", "hideObject 101", "setObjectShadowCaster 101"}),
              std::vector<std::string>());
}

TEST_F(TaScenesTest, ProgressCallbackCountsObjectsAndCancels)
{
    struct SProgress {
        std::vector<int> calls;
        int cancelAt;
    };
    const struct {
        int cancelAt;
        std::vector<int> percents;
        int result;
        std::set<int> objects;
    } cases[] = {
        {-1, {0, 0, 25, 50, 75}, 0, {100, 101, 102, 103}},
        {50, {0, 0, 25, 50}, 1, {100, 101}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cancelAt);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        SProgress progress{{}, c.cancelAt};
        taSetSceneLoadCallback(
            [](int percent, void* user) {
                auto* p = static_cast<SProgress*>(user);
                p->calls.push_back(percent);
                return percent == p->cancelAt ? 1 : 0;
            },
            &progress);
        writeFile("scene.tscn", sceneText(objectsOf({"a.x", "b.x", "c.x", "d.x"}), "    { L\n      type I4 1\n    }\n"));
        EXPECT_EQ(table.load("scene.tscn", 2, m_bases, false, "city", false), c.result);
        EXPECT_EQ(progress.calls, c.percents);
        EXPECT_EQ(ops.objects, c.objects);
        EXPECT_NE(table.slot(2), nullptr);
        EXPECT_EQ(ops.lights.size(), c.result == 0 ? 1u : 0u);
    }
}

// --- Lights at load --------------------------------------------------------------------------------------

TEST_F(TaScenesTest, LightsAreSetUpFromTheirKeysAtSampleZero)
{
    const struct {
        const char* keys;
        const char* expected;
    } cases[] = {
        {"falloff I4 0\n      range FP 5", "setLightRange 20 1e+07"},
        {"falloff I4 1\n      range FP_C DAT 2 5 9", "setLightRange 20 5"},
        {"type I4 2\n      coneAngles FP_C [\n        DAT 2 0.5 0.7\n        DAT 2 0.1 0.2\n      ]",
         "setSpotLight 20 22.9183 28.6479"},
        {"type I4 2\n      coneAngles FP 0.5 0.1", "setSpotLight 20 22.9183 28.6479"},
        {"type I4 2\n      coneAngles FP 0.5", "setSpotLight 20 0 0"},
        {"intensity FP 2\n      rawColor FP 1 0.5 0.25", "colorLight 20 ffff7f"},
        {"intensity FP 0.5\n      rawColor FP 1 0.2 -1", "colorLight 20 7f1900"},
        {"shadowType I4 2", "setLightShadow 20 1"},
        {"shadowType I4 1", "setLightShadow 20 0"},
        {"flags I4 32", "setLightVolumetric 20 1 0 0 0 0 0"},
        {"flags I4 16", "setLightVolumetric 20 0 0 0 0 0 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", sceneText("", std::string("    { L\n      ") + c.keys + "\n    }\n"));
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        const std::string line = c.expected;
        EXPECT_EQ(ops.lines({line.substr(0, line.find(' '))}), std::vector<std::string>{line});
    }
}

// --- Animation -------------------------------------------------------------------------------------------

TEST_F(TaScenesTest, SpotConesAnimateInDegrees)
{
    ASSERT_EQ(load(sceneText("", "    { Spot\n      type I4 2\n      coneAngles FP 0.5 0.1\n    }\n")), 0);
    m_ops.calls.clear();
    ASSERT_EQ(m_table.animate(0, 0), 0);
    const std::vector<std::string> spots = m_ops.lines({"setSpotLight 20"});
    ASSERT_EQ(spots.size(), 1u);
    const std::vector<float> cone = numbersOf(spots[0]);
    ASSERT_EQ(cone.size(), 3u);
    EXPECT_NEAR(cone[1], 22.91831f, 1e-3f);
    EXPECT_NEAR(cone[2], 28.647888f, 1e-3f);
}

TEST_F(TaScenesTest, RenderCameraPicksACameraKeptToTheOnesThereAre)
{
    const std::string cameras = cameraEntry("1 0 0") + cameraEntry("2 0 0") + cameraEntry("3 0 0");
    const struct {
        const char* renderCamera;
        const char* expected;
    } cases[] = {
        {"2.7", "positionCamera 3 0 0"},
        {"1", "positionCamera 2 0 0"},
        {"-1", "positionCamera 1 0 0"},
        {"9", "positionCamera 3 0 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.renderCamera);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", sceneText("", "", "", std::string("    renderCamera FP ") + c.renderCamera + "\n", cameras));
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        ASSERT_EQ(table.animate(0, 0), 0);
        EXPECT_EQ(ops.lines({"positionCamera"}), std::vector<std::string>{c.expected});
    }
}

// An extra scene's objects hang below the camera: placed relative to its own camera, without lights.
TEST_F(TaScenesTest, ExtraScenePlacesObjectsRelativeToItsCameraAndMakesNoLights)
{
    const std::string text = sceneText(objectEntry("Hud", "hud.x", "      position FP 0 0 -10\n"),
                                       "    { L\n      type I4 1\n    }\n", "", "", cameraEntry("0 0 -10"));
    ASSERT_EQ(load(text, 5, false, "hud", true), 0);
    EXPECT_EQ(m_ops.lines({"makeLight", "lockObjectOn"}), std::vector<std::string>{"lockObjectOn 100"});
    m_ops.calls.clear();
    ASSERT_EQ(m_table.animate(5, 0), 0);
    EXPECT_EQ(m_ops.lines({"positionObject"}), std::vector<std::string>{"positionObject 100 0 0 0"});
    EXPECT_EQ(m_ops.lines({"positionCamera", "colorAmbientLight", "positionLight", "colorLight", "setGlow"}),
              std::vector<std::string>());
    m_table.remove(5);
    EXPECT_EQ(m_ops.lines({"deleteLight"}), std::vector<std::string>());
}

// A render switch is sent when it changes or while it is on; hiding the scene forgets what was sent.
TEST_F(TaScenesTest, RenderSwitchesAreSentOnChangeOrWhileOn)
{
    const struct {
        int glow;
        std::vector<size_t> sent; // setGlow lines of: the first animate, the second, one after hiding
    } cases[] = {{0, {1, 0, 1}}, {1, {1, 1, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.glow);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn",
                  sceneText("", "", "  { ImageProcessing\n    glowEffect I4 " + std::to_string(c.glow) + "\n  }\n"));
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        std::vector<size_t> sent;
        for (int step = 0; step < 3; ++step) {
            if (step == 2)
                table.hide(0);
            ops.calls.clear();
            ASSERT_EQ(table.animate(0, 40 * step), 0);
            sent.push_back(ops.lines({"setGlow"}).size());
        }
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(TaScenesTest, CameraShadersShowInTheirFrameWindowAndGoWithTheScene)
{
    m_bases.cameraShader = 30;
    const std::string shaders =
        "  { TarvPostProcs\n"
        "    { Blur\n      useframe I4 1\n      startframe FP 10\n      endframe FP 20\n"
        "      { Effect\n        filename STR blur.hlsl\n        cflags STR WIDE\n      }\n    }\n"
        "    { Tint\n      { Effect\n        filename STR tint.hlsl\n      }\n    }\n"
        "    { Broken\n      { Effect\n        filename STR broken.hlsl\n      }\n    }\n"
        "  }\n";
    ASSERT_EQ(load(sceneText("", "", shaders, "    frameStart I4 0\n    frameEnd I4 20\n    framesPerSecond FP 10\n")), 0);
    EXPECT_EQ(m_ops.lines({"makeCameraEffect"}),
              (std::vector<std::string>{"makeCameraEffect 30 blur.hlsl WIDE", "makeCameraEffect 31 tint.hlsl ",
                                        "makeCameraEffect 32 broken.hlsl "}));
    EXPECT_EQ(m_ops.lines({"setCameraEffectParameters"}),
              (std::vector<std::string>{"setCameraEffectParameters 30 textures", "setCameraEffectParameters 31 textures"}));
    const std::vector<std::string>& messages = m_table.slot(0)->messages;
    EXPECT_NE(std::find(messages.begin(), messages.end(), "The camera shader id=32 file='broken.hlsl' cannot be loaded"),
              messages.end());

    // Shown while their window holds (the one without a window always), each change said once.
    m_table.show(0);
    const struct {
        int timeMs;
        std::vector<std::string> changes;
    } steps[] = {{0, {"showCameraEffect 31"}}, {500, {}}, {1000, {"showCameraEffect 30"}}, {1500, {}},
                 {2000, {"hideCameraEffect 30"}}};
    for (const auto& step : steps) {
        m_ops.calls.clear();
        ASSERT_EQ(m_table.animate(0, step.timeMs), 0);
        EXPECT_EQ(m_ops.lines({"showCameraEffect", "hideCameraEffect"}), step.changes) << step.timeMs;
    }
    // Hiding the scene hides the shown ones; deleting it deletes them all.
    m_ops.calls.clear();
    m_table.hide(0);
    EXPECT_EQ(m_ops.lines({"hideCameraEffect"}), std::vector<std::string>{"hideCameraEffect 31"});
    m_ops.calls.clear();
    m_table.remove(0);
    EXPECT_EQ(m_ops.lines({"deleteCameraEffect"}),
              (std::vector<std::string>{"deleteCameraEffect 30", "deleteCameraEffect 31", "deleteCameraEffect 32"}));
}

// --- Time ------------------------------------------------------------------------------------------------

TEST_F(TaScenesTest, SamplesAndFramesOfATime)
{
    const struct {
        const char* info;
        int timeMs;
        float sample, frame;
    } cases[] = {
        {"    framesPerSecond FP 10\n", 1500, 15.0f, 15.0f},
        {"    framesPerSecond FP 10\n    frameStep I4 2\n    frameStart I4 10\n", 1000, 5.0f, 20.0f},
        {"    framesPerSecond FP 10\n    frameStep I4 0\n", 1000, 10.0f, 10.0f},
        {"    framesPerSecond FP 0\n    frameStart I4 10\n", 5000, 0.0f, 10.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", sceneText(objectEntry("Box", "box.x", "      position FP_C [\n        DAT 2 7 8\n"
                                                                      "        DAT 2 0 0\n        DAT 2 0 0\n      ]\n"),
                                          "", "", c.info));
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        const STaSceneDesc& desc = *table.slot(0)->desc;
        EXPECT_FLOAT_EQ(taSceneSampleAt(desc, c.timeMs), c.sample);
        EXPECT_FLOAT_EQ(taSceneFrameAt(desc, c.timeMs), c.frame);
        // Animating at that time reads the track at the sample (past the end: the last sample).
        ASSERT_EQ(table.animate(0, c.timeMs), 0);
        EXPECT_EQ(ops.lines({"positionObject"}),
                  std::vector<std::string>{c.sample == 0 ? "positionObject 100 7 0 0" : "positionObject 100 8 0 0"});
    }
}

// --- Live update ---------------------------------------------------------------------------------------

const char* const kLive = R"({ Scene
  { SceneInfo
    frameStart I4 0
    frameEnd I4 2
    framesPerSecond FP 10
  }
  { Cameras
    { Camera
      position FP 0 0 0
    }
  }
  { Lights
    { Lamp
      type I4 1
      intensity FP 1
      rawColor FP 1 1 1
      shadowType I4 0
    }
  }
  { SceneObjects
    { Mesh
      filename STR box.lwo
      { Surfaces
        { S0
          name STR Paint
          { Parameters
            { BaseColor
              value FP 1 0 0
            }
          }
        }
      }
    }
  }
  { Objects
    { A
      name STR A
      xfilename STR a.x
      filename STR box.lwo
      position FP 1 2 3
    }
    { B
      name STR B
      xfilename STR b.x
      filename STR box.lwo
      position FP 4 5 6
    }
  }
}
)";

std::string edited(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(TaScenesTest, LiveUpdateRemakesOnlyWhatChanged)
{
    const std::string third = "    { C\n      name STR C\n      xfilename STR c.x\n    }\n  }\n}\n";
    const struct {
        const char* what;
        std::string from, to;
        std::vector<std::string> remade; // object, light and surface operations of the update
        const char* animated;            // a line the next animate sends, or none
    } cases[] = {
        {"object moved", "position FP 4 5 6", "position FP 7 8 9",
         {"setSurfaces 100 0 Paint=1,0,0", "setSurfaces 101 0 Paint=1,0,0"},
         "positionObject 101 7 8 9"},
        {"surface colour", "value FP 1 0 0", "value FP 0 1 0",
         {"setSurfaces 100 0 Paint=0,1,0", "setSurfaces 101 0 Paint=0,1,0"},
         nullptr},
        {"one object's mesh file", "xfilename STR b.x", "xfilename STR c.x",
         {"deleteObject 100", "deleteObject 101", "loadObject 100 a.x", "loadObject 101 c.x",
          "setSurfaces 100 1 Paint=1,0,0", "setSurfaces 101 1 Paint=1,0,0"},
         nullptr},
        {"object count", "  }\n}\n", third,
         {"deleteObject 100", "deleteObject 101", "loadObject 100 a.x", "loadObject 101 b.x", "loadObject 102 c.x",
          "setSurfaces 100 1 Paint=1,0,0", "setSurfaces 101 1 Paint=1,0,0"},
         "positionObject 102 0 0 0"},
        {"light intensity", "intensity FP 1", "intensity FP 0.5",
         {"setSurfaces 100 0 Paint=1,0,0", "setSurfaces 101 0 Paint=1,0,0"},
         "colorLight 20 7f7f7f"},
        {"shadow map on", "shadowType I4 0", "shadowType I4 2",
         {"setSurfaces 100 0 Paint=1,0,0", "setSurfaces 101 0 Paint=1,0,0", "setLightShadow 20 1"},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", kLive);
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        writeFile("scene.tscn", edited(kLive, c.from, c.to));
        ops.calls.clear();
        ASSERT_EQ(table.update("scene.tscn", 0), 0);
        EXPECT_EQ(ops.lines({"deleteObject", "loadObject", "cloneObject", "instanceObject", "makeLight", "deleteLight",
                             "setLightShadow", "setSurfaces"}),
                  c.remade);
        EXPECT_EQ(ops.objects.size(), table.slot(0)->desc->objectKeys.size());
        if (c.animated) {
            ops.calls.clear();
            ASSERT_EQ(table.animate(0, 0), 0);
            const std::string line = c.animated;
            const std::vector<std::string> sent = ops.lines({line.substr(0, line.find(' ', line.find(' ') + 1))});
            EXPECT_EQ(sent, std::vector<std::string>{line});
        }
    }
}

TEST_F(TaScenesTest, LiveUpdateOfAnUnreadableFileKeepsTheScene)
{
    ASSERT_EQ(load(kLive), 0);
    const STaSceneDesc* kept = m_table.slot(0)->desc;
    writeFile("scene.tscn", "no longer { a scene");
    m_ops.calls.clear();
    EXPECT_EQ(m_table.update("scene.tscn", 0), -1);
    EXPECT_EQ(m_table.update("scene.tscn", 9), -1); // a free slot
    EXPECT_EQ(m_ops.calls, std::vector<std::string>());
    ASSERT_NE(m_table.slot(0), nullptr);
    EXPECT_EQ(m_table.slot(0)->desc, kept);
    ASSERT_EQ(m_table.animate(0, 0), 0);
    EXPECT_EQ(m_ops.lines({"positionObject"}),
              (std::vector<std::string>{"positionObject 100 1 2 3", "positionObject 101 4 5 6"}));
}

// --- Remove ----------------------------------------------------------------------------------------------

TEST_F(TaScenesTest, RemoveDeletesEveryEntityAndFreesTheSlot)
{
    const std::string cubes = "  { CubeMaps\n    { C0\n      textureSize I4 64\n    }\n    { C1\n"
                              "      textureSize I4 64\n    }\n  }\n";
    const std::string lights = "    { L0\n      type I4 1\n    }\n    { L1\n      type I4 0\n    }\n";
    const struct {
        bool extra;
        std::vector<std::string> deleted;
    } cases[] = {
        {false,
         {"deleteCubeMap 7", "deleteCubeMap 8", "deleteObject 100", "deleteObject 101", "deleteLight 20",
          "deleteLight 21"}},
        // An extra scene made no lights: the IDs may be another scene's.
        {true, {"deleteCubeMap 7", "deleteCubeMap 8", "deleteObject 100", "deleteObject 101"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra);
        CRecordingOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", sceneText(objectsOf({"a.x", "b.x"}), lights, cubes));
        ASSERT_EQ(table.load("scene.tscn", 4, m_bases, false, "city", c.extra), 0);
        ops.calls.clear();
        table.remove(4);
        EXPECT_EQ(ops.calls, c.deleted);
        EXPECT_TRUE(ops.objects.empty() && ops.lights.empty() && ops.cubeMaps.empty());
        EXPECT_EQ(table.slot(4), nullptr);
        EXPECT_EQ(table.count(), 0);
        table.remove(4); // a free slot: nothing
        EXPECT_EQ(ops.calls.size(), c.deleted.size());
        EXPECT_EQ(table.load("scene.tscn", 4, m_bases, false, "city", c.extra), 0);
    }
}

} // namespace

namespace {

// The surface records each object was given, by object ID.
class CSurfaceOps : public CRecordingOps
{
public:
    std::map<int, std::vector<STaSurfaceRecord>> given;
    void setSurfaces(int id, const std::vector<STaSurfaceRecord>& records, bool recreate) override
    {
        CRecordingOps::setSurfaces(id, records, recreate);
        given[id] = records;
    }
};

// A surface with an `applyToSurface` and an effect file ("" for none).
std::string surface(int apply, const std::string& effect)
{
    return "        { S\n          name STR S\n          { Shader\n            applyToSurface I4 " + std::to_string(apply) +
           "\n" + (effect.empty() ? "" : "            { Effect\n              filename STR " + effect + "\n            }\n") +
           "          }\n        }\n";
}

TEST_F(TaScenesTest, SurfacesTakeTheEffectTheirMeshChoosesAndAtMost256)
{
    const struct {
        const char* what;
        std::vector<std::pair<int, std::string>> surfaces;
        std::vector<std::string> effects; // per surface, "" for the renderer's
    } cases[] = {
        {"own effects", {{0, "a.fx"}, {0, ""}, {0, "b.fx"}}, {"a.fx", "", "b.fx"}},
        {"one for all wins, 3 has none", {{0, "a.fx"}, {0, ""}, {2, "b.fx"}, {3, "c.fx"}}, {"b.fx", "b.fx", "b.fx", ""}},
        {"the last for all", {{2, "a.fx"}, {2, "b.fx"}}, {"b.fx", "b.fx"}},
        {"the fallback for those without", {{0, "a.fx"}, {1, "d.fx"}, {0, ""}}, {"a.fx", "d.fx", "d.fx"}},
        {"a 2 without an effect is no effect", {{2, ""}, {0, ""}}, {"", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string list;
        for (const auto& s : c.surfaces)
            list += surface(s.first, s.second);
        CSurfaceOps ops;
        CTaSceneTable table(ops);
        writeFile("scene.tscn", sceneText(objectEntry("A", "a.x", "      filename STR a.lwo\n"), "",
                                          "  { SceneObjects\n    { M\n      filename STR a.lwo\n      { Surfaces\n" +
                                              list + "      }\n    }\n  }\n"));
        ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
        ASSERT_EQ(ops.given[100].size(), c.effects.size());
        for (size_t i = 0; i < c.effects.size(); ++i) {
            EXPECT_EQ(ops.given[100][i].applyToSurface != 0, !c.effects[i].empty()) << i;
            EXPECT_EQ(ops.given[100][i].effect.fileName, c.effects[i]) << i;
        }
    }
    // A mesh of 300 surfaces is said, and gets its first 256.
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "        { S" + std::to_string(i) + "\n          name STR S" + std::to_string(i) + "\n        }\n";
    CSurfaceOps ops;
    CTaSceneTable table(ops);
    writeFile("scene.tscn", sceneText(objectEntry("A", "a.x", "      filename STR a.lwo\n"), "",
                                      "  { SceneObjects\n    { M\n      filename STR a.lwo\n      { Surfaces\n" + many +
                                          "      }\n    }\n  }\n"));
    ASSERT_EQ(table.load("scene.tscn", 0, m_bases, false, "city", false), 0);
    EXPECT_EQ(ops.given[100].size(), 256u);
    EXPECT_EQ(ops.given[100][255].name, "S255");
    const std::vector<std::string>& messages = table.slot(0)->messages;
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], "The object id=100 'a.x' numSurfaces=300 > NOF_SURFACE_MAX=256. Will result in corruption");
}

} // namespace
