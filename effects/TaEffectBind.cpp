// The semantic binds.
#include "effects/TaEffectBind.h"

#include "core/TaLog.h"
#include "driver/TaTexture.h"
#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffectDef.h"
#include "effects/TaSemanticTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

using namespace irr;

// --- Uploads ---------------------------------------------------------------------------------------

void STaFxUpload::byName(const STaFxConstBind& constant, const f32* values, int count) const
{
    if (constants && constant.handle >= 0) {
        constants->setConstant(constant.handle, values, count);
        return;
    }
    if (!services)
        return;
    if (constant.stage == ETAFX_STAGE_VERTEX)
        services->setVertexShaderConstant(constant.name.c_str(), values, count);
    else
        services->setPixelShaderConstant(constant.name.c_str(), values, count);
}

void STaFxUpload::member(const STaFxConstBind& constant, const char* name, const f32* values, int count) const
{
    if (!services)
        return;
    if (constant.stage == ETAFX_STAGE_VERTEX)
        services->setVertexShaderConstant(name, values, count);
    else
        services->setPixelShaderConstant(name, values, count);
}

void STaFxUpload::byRegister(const STaFxConstBind& constant, const f32* values, int registers) const
{
    if (!services || constant.registerIndex < 0)
        return;
    if (constant.stage == ETAFX_STAGE_VERTEX)
        services->setVertexShaderConstant(values, constant.registerIndex, registers);
    else
        services->setPixelShaderConstant(values, constant.registerIndex, registers);
}

void STaFxUpload::matrix(const STaFxConstBind& constant, const core::matrix4& value, bool transposed) const
{
    // By name the plain style sends the matrix as stored; by register its transpose (and the
    // transposed style the other way round).
    const bool byRegisters = constant.registerIndex >= 0;
    const core::matrix4 sent = transposed != byRegisters ? value.getTransposed() : value;
    if (byRegisters)
        byRegister(constant, sent.pointer(), std::min(std::max(constant.registerCount, 1), 4));
    else
        byName(constant, sent.pointer(), 16);
}

namespace {

// A semantic served by a bind: its name and function; `indexed` semantics end in a number ("%d").
struct SServed {
    const char* name;
    TaFxBindFunction function;
    bool indexed = false;
};

// The function of `semantic` in a table, with the number of an indexed one in argument[0].
TaFxBindFunction lookUp(const SServed* table, size_t count, STaFxConstBind& constant)
{
    const std::string& semantic = constant.semantic;
    for (size_t i = 0; i < count; ++i) {
        const SServed& entry = table[i];
        if (!entry.indexed) {
            if (semantic == entry.name)
                return entry.function;
            continue;
        }
        const size_t length = strlen(entry.name);
        if (semantic.size() > length && semantic.compare(0, length, entry.name) == 0) {
            const std::string digits = semantic.substr(length);
            if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 6)
                continue;
            constant.argument[0] = atoi(digits.c_str());
            return entry.function;
        }
    }
    return nullptr;
}

template <size_t N>
TaFxBindFunction lookUp(const SServed (&table)[N], STaFxConstBind& constant)
{
    return lookUp(table, N, constant);
}

void zeros(const STaFxUpload& upload, const STaFxConstBind& constant, int count)
{
    static const f32 none[64] = {};
    upload.byName(constant, none, std::min(count, 64));
}

core::matrix4 inverseOf(const core::matrix4& m)
{
    // Most matrices drawn with are affine (last column 0, 0, 0, 1): the inverse of the 3 x 3 part
    // and the translation taken back through it, cheaper than the general inverse.
    if (m[3] == 0.0f && m[7] == 0.0f && m[11] == 0.0f && m[15] == 1.0f) {
        const f32 a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
        const f32 c0 = e * i - f * h, c1 = f * g - d * i, c2 = d * h - e * g;
        const f32 determinant = a * c0 + b * c1 + c * c2;
        if (determinant != 0.0f && std::isfinite(determinant)) {
            const f32 r = 1.0f / determinant;
            core::matrix4 inverse(core::matrix4::EM4CONST_NOTHING);
            inverse[0] = c0 * r, inverse[1] = (c * h - b * i) * r, inverse[2] = (b * f - c * e) * r, inverse[3] = 0;
            inverse[4] = c1 * r, inverse[5] = (a * i - c * g) * r, inverse[6] = (c * d - a * f) * r, inverse[7] = 0;
            inverse[8] = c2 * r, inverse[9] = (b * g - a * h) * r, inverse[10] = (a * e - b * d) * r, inverse[11] = 0;
            const f32 x = m[12], y = m[13], z = m[14];
            inverse[12] = -(x * inverse[0] + y * inverse[4] + z * inverse[8]);
            inverse[13] = -(x * inverse[1] + y * inverse[5] + z * inverse[9]);
            inverse[14] = -(x * inverse[2] + y * inverse[6] + z * inverse[10]);
            inverse[15] = 1;
            return inverse;
        }
    }
    core::matrix4 inverse;
    return m.getInverse(inverse) ? inverse : m;
}

// --- Fallback --------------------------------------------------------------------------------------

void uploadValue(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
{
    switch (constant.type) {
    case ETAFX_TYPE_BOOL: {
        const f32 value = reinterpret_cast<const u8*>(constant.value)[0] ? 1.0f : 0.0f;
        if (constant.registerIndex >= 0) {
            const f32 registers[4] = {value, 0, 0, 0};
            upload.byRegister(constant, registers, 1);
        } else {
            upload.byName(constant, &value, 1);
        }
        break;
    }
    case ETAFX_TYPE_INT: {
        s32 stored;
        memcpy(&stored, constant.value, 4);
        const f32 value = static_cast<f32>(stored);
        if (constant.registerIndex >= 0) {
            const f32 registers[4] = {value, 0, 0, 0};
            upload.byRegister(constant, registers, 1);
        } else {
            upload.byName(constant, &value, 1);
        }
        break;
    }
    case ETAFX_TYPE_FLOAT4X4: {
        core::matrix4 value;
        memcpy(value.pointer(), constant.value, 64);
        upload.matrix(constant, value, false);
        break;
    }
    default:
        // By register at most the four registers the 64-byte slot holds.
        if (constant.registerIndex >= 0)
            upload.byRegister(constant, constant.value, std::min(std::max(constant.registerCount, 1), 4));
        else
            upload.byName(constant, constant.value, constant.elementCount);
        break;
    }
}

// --- Semantic map ----------------------------------------------------------------------------------

class CTaEffectBindSemanticMap : public ITaEffectBindSemanticMap
{
public:
    struct SRecord {
        int kind;
        int count;
        f32 data[16] = {};
    };

    bool onSetMaterial(const video::SMaterial&, STaMaterialExt*, s32) override { return true; }
    const char* bindName() const override { return "SemanticMap"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        if (constant.type < ETAFX_TYPE_FLOAT || constant.type > ETAFX_TYPE_FLOAT4X4)
            return nullptr;
        auto found = m_names.find(constant.semantic);
        if (found == m_names.end())
            return nullptr;
        constant.argument[0] = found->second;
        return &upload;
    }
    bool addSemantic(const char* name, int kind) override
    {
        if (!name || m_names.count(name))
            return false;
        static const int counts[] = {1, 2, 3, 4, 16};
        const int count = kind >= ETASEM_FLOAT && kind <= ETASEM_FLOAT4X4 ? counts[kind - ETASEM_FLOAT] : 1;
        m_names.emplace(name, static_cast<int>(m_records.size()));
        m_records.push_back(SRecord{kind, count});
        return true;
    }
    bool setFloat(const char* name, f32 value) override
    {
        SRecord* record = find(name);
        if (!record)
            return false;
        record->data[0] = value;
        return true;
    }
    bool setData(const char* name, const void* bytes, size_t size) override
    {
        SRecord* record = find(name);
        if (!record || (!bytes && size))
            return false;
        memcpy(record->data, bytes, std::min<size_t>(size, sizeof record->data));
        return true;
    }

private:
    SRecord* find(const char* name)
    {
        auto found = name ? m_names.find(name) : m_names.end();
        return found != m_names.end() ? &m_records[found->second] : nullptr;
    }
    static void upload(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const SRecord& record = static_cast<CTaEffectBindSemanticMap*>(bind)->m_records[constant.argument[0]];
        if (constant.registerIndex >= 0)
            upload.byRegister(constant, record.data, std::min(std::max(constant.registerCount, 1), 4));
        else
            upload.byName(constant, record.data, record.count);
    }

    std::map<std::string, int> m_names;
    std::vector<SRecord> m_records;
};

// --- Transform -------------------------------------------------------------------------------------

class CTaEffectBindTransform : public CTaEffectBind
{
public:
    explicit CTaEffectBindTransform(video::IVideoDriver* driver) : m_driver(driver) {}
    const char* bindName() const override { return "Transform"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        // argument[0]: which product; argument[1]: 1 inverse; the semantic's "Transpose" picks the style.
        static const char* const names[] = {"View", "World", "Projection", "WorldView", "ViewProjection",
                                            "WorldViewProjection"};
        for (int which = 0; which < 6; ++which)
            for (int inverse = 0; inverse < 2; ++inverse)
                for (int transposed = 0; transposed < 2; ++transposed) {
                    if (inverse && (which == 2 || which == 4 || which == 5))
                        continue; // ProjectionInverse and the like are not served
                    std::string name = std::string(names[which]) + (inverse ? "Inverse" : "") +
                                       (transposed ? "Transpose" : "");
                    if (constant.semantic == name) {
                        constant.argument[0] = which;
                        constant.argument[1] = inverse | transposed << 1;
                        return transposed ? &uploadTransposed : &uploadPlain;
                    }
                }
        return nullptr;
    }

private:
    core::matrix4 value(const STaFxConstBind& constant) const
    {
        const core::matrix4& world = m_driver->getTransform(video::ETS_WORLD);
        const core::matrix4& view = m_driver->getTransform(video::ETS_VIEW);
        const core::matrix4& projection = m_driver->getTransform(video::ETS_PROJECTION);
        core::matrix4 m;
        switch (constant.argument[0]) {
        case 0: m = view; break;
        case 1: m = world; break;
        case 2: m = projection; break;
        case 3: m = view * world; break;
        case 4: m = projection * view; break;
        default: m = projection * view * world; break;
        }
        return constant.argument[1] & 1 ? inverseOf(m) : m;
    }
    static void uploadPlain(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        upload.matrix(constant, static_cast<CTaEffectBindTransform*>(bind)->value(constant), false);
    }
    static void uploadTransposed(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        upload.matrix(constant, static_cast<CTaEffectBindTransform*>(bind)->value(constant), true);
    }

    video::IVideoDriver* m_driver;
};

// --- Last frame ------------------------------------------------------------------------------------

struct SLastFrame {
    bool known = false;
    core::matrix4 view, projection;
    f32 fps = 0;
};
SLastFrame g_lastFrame;

class CTaEffectBindLastFrameInfo : public CTaEffectBind
{
public:
    explicit CTaEffectBindLastFrameInfo(video::IVideoDriver* driver) : m_driver(driver) {}
    const char* bindName() const override { return "LastFrameInfo"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        if (constant.semantic == "Fps")
            return &uploadFps;
        static const char* const names[] = {"PrevView", "PrevViewInverse", "PrevProjection", "PrevViewProjection",
                                            "ViewInversePrevViewProjection"};
        for (int which = 0; which < 5; ++which)
            for (int transposed = 0; transposed < 2; ++transposed)
                if (constant.semantic == std::string(names[which]) + (transposed ? "Transpose" : "")) {
                    constant.argument[0] = which;
                    constant.argument[1] = transposed;
                    return &uploadMatrix;
                }
        return nullptr;
    }

private:
    static void uploadMatrix(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        video::IVideoDriver* driver = static_cast<CTaEffectBindLastFrameInfo*>(bind)->m_driver;
        const core::matrix4& view = g_lastFrame.known ? g_lastFrame.view : driver->getTransform(video::ETS_VIEW);
        const core::matrix4& projection =
            g_lastFrame.known ? g_lastFrame.projection : driver->getTransform(video::ETS_PROJECTION);
        core::matrix4 m;
        switch (constant.argument[0]) {
        case 0: m = view; break;
        case 1: m = inverseOf(view); break;
        case 2: m = projection; break;
        case 3: m = projection * view; break;
        default: m = projection * view * inverseOf(driver->getTransform(video::ETS_VIEW)); break;
        }
        upload.matrix(constant, m, constant.argument[1] != 0);
    }
    static void uploadFps(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        upload.byName(constant, &g_lastFrame.fps, 1);
    }

    video::IVideoDriver* m_driver;
};

// --- Time ------------------------------------------------------------------------------------------

f32 g_sceneTime = 0;

class CTaEffectBindTime : public CTaEffectBind
{
public:
    explicit CTaEffectBindTime(ITimer* timer) : m_timer(timer) {}
    const char* bindName() const override { return "Time"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        if (constant.semantic == "Time" || constant.semantic == "Time0_X")
            return &uploadTime;
        if (constant.semantic == "TimeScene")
            return &uploadSceneTime;
        return nullptr;
    }

private:
    static void uploadTime(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const f32 seconds = static_cast<CTaEffectBindTime*>(bind)->m_timer->getTime() / 1000.0f;
        upload.byName(constant, &seconds, 1);
    }
    static void uploadSceneTime(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        upload.byName(constant, &g_sceneTime, 1);
    }

    ITimer* m_timer;
};

// --- Screen ----------------------------------------------------------------------------------------

class CTaEffectBindScreen : public CTaEffectBind
{
public:
    explicit CTaEffectBindScreen(video::IVideoDriver* driver) : m_driver(driver) {}
    const char* bindName() const override { return "Screen"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        // argument[0]: 0 the target, 1 the screen; argument[1]: a * 16 + b, 0 for the size itself.
        static const struct {
            const char* name;
            int screen, a, b;
        } table[] = {{"TargetSize", 0, 0, 0},          {"PixelSize", 0, 1, 1},
                     {"HalfPixelSize", 0, 2, 1},       {"ScreenSize", 1, 0, 0},
                     {"ScreenPixelSize", 1, 1, 1},     {"ScreenHalfPixelSize", 1, 2, 1},
                     {"HalfScreenPixelSize", 1, 1, 2}, {"HalfScreenHalfPixelSize", 1, 2, 2},
                     {"QuarterScreenPixelSize", 1, 1, 4}, {"QuarterScreenHalfPixelSize", 1, 2, 4}};
        for (const auto& row : table)
            if (constant.semantic == row.name) {
                constant.argument[0] = row.screen;
                constant.argument[1] = row.a * 16 + row.b;
                return &upload;
            }
        return nullptr;
    }

private:
    static void upload(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        video::IVideoDriver* driver = static_cast<CTaEffectBindScreen*>(bind)->m_driver;
        const core::dimension2du size =
            constant.argument[0] ? driver->getScreenSize() : driver->getCurrentRenderTargetSize();
        const int a = constant.argument[1] / 16, b = constant.argument[1] % 16;
        f32 value[2] = {static_cast<f32>(size.Width), static_cast<f32>(size.Height)};
        if (a) {
            // (1 / a) / (size / b) per axis.
            value[0] = size.Width ? (1.0f / a) / (static_cast<f32>(size.Width) / b) : 0.0f;
            value[1] = size.Height ? (1.0f / a) / (static_cast<f32>(size.Height) / b) : 0.0f;
        }
        upload.byName(constant, value, 2);
    }

    video::IVideoDriver* m_driver;
};

// --- Camera ----------------------------------------------------------------------------------------

class CTaEffectBindCamera : public CTaEffectBind
{
public:
    explicit CTaEffectBindCamera(scene::ISceneManager* scene) : m_scene(scene) {}
    const char* bindName() const override { return "Camera"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        static const SServed table[] = {{"ViewPosition", &position},
                                        {"FrustrumFarCorners", &farCorners},
                                        {"FrustrumFarCornersWorld", &farCornersWorld},
                                        {"ZFarValue", &farValue},
                                        {"Fov", &fov},
                                        {"LineStartsEnds", &lineStartsEnds},
                                        {"LineEnds", &lineEnds}};
        return lookUp(table, constant);
    }

private:
    scene::ICameraSceneNode* camera() const { return m_scene->getActiveCamera(); }
    static CTaEffectBindCamera* self(ITaEffectBind* bind) { return static_cast<CTaEffectBindCamera*>(bind); }

    static void position(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        scene::ICameraSceneNode* camera = self(bind)->camera();
        const core::vector3df at = camera ? camera->getAbsolutePosition() : core::vector3df();
        const f32 value[4] = {at.X, at.Y, at.Z, 1.0f};
        upload.byName(constant, value, 4);
    }
    static void corners(scene::ICameraSceneNode* camera, bool world, f32 out[12])
    {
        memset(out, 0, 12 * sizeof(f32));
        if (!camera)
            return;
        const scene::SViewFrustum* frustum = camera->getViewFrustum();
        core::vector3df points[4] = {frustum->getFarLeftUp(), frustum->getFarRightUp(), frustum->getFarLeftDown(),
                                     frustum->getFarRightDown()};
        for (int i = 0; i < 4; ++i) {
            if (!world)
                camera->getViewMatrix().transformVect(points[i]);
            out[i * 3] = points[i].X;
            out[i * 3 + 1] = points[i].Y;
            out[i * 3 + 2] = points[i].Z;
        }
    }
    static void farCorners(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        f32 value[12];
        corners(self(bind)->camera(), false, value);
        upload.byName(constant, value, 12);
    }
    static void farCornersWorld(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        f32 value[12];
        corners(self(bind)->camera(), true, value);
        upload.byName(constant, value, 12);
    }
    static void farValue(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        scene::ICameraSceneNode* camera = self(bind)->camera();
        const f32 value = camera ? camera->getFarValue() : 0.0f;
        upload.byName(constant, &value, 1);
    }
    static void fov(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        scene::ICameraSceneNode* camera = self(bind)->camera();
        const f32 value = camera ? camera->getFOV() : 0.0f;
        upload.byName(constant, &value, 1);
    }
    // The picking rays through the screen's four corners (left up, right up, left down, right down).
    static void rays(CTaEffectBindCamera* bind, core::line3df out[4])
    {
        scene::ICameraSceneNode* camera = bind->camera();
        scene::ISceneCollisionManager* collision = bind->m_scene->getSceneCollisionManager();
        const core::dimension2du size = bind->m_scene->getVideoDriver()->getScreenSize();
        const core::position2di corners[4] = {{0, 0},
                                              {s32(size.Width), 0},
                                              {0, s32(size.Height)},
                                              {s32(size.Width), s32(size.Height)}};
        for (int i = 0; i < 4; ++i)
            out[i] = camera && collision ? collision->getRayFromScreenCoordinates(corners[i], camera) : core::line3df();
    }
    static void lineStartsEnds(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        core::line3df lines[4];
        rays(self(bind), lines);
        char name[64];
        for (int i = 0; i < 4; ++i) {
            const f32 start[3] = {lines[i].start.X, lines[i].start.Y, lines[i].start.Z};
            const f32 end[3] = {lines[i].end.X, lines[i].end.Y, lines[i].end.Z};
            snprintf(name, sizeof name, "LineStartsEnds.LineStarts%d", i);
            upload.member(constant, name, start, 3);
            snprintf(name, sizeof name, "LineStartsEnds.LineEnds%d", i);
            upload.member(constant, name, end, 3);
        }
    }
    static void lineEnds(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        core::line3df lines[4];
        rays(self(bind), lines);
        f32 value[12];
        for (int i = 0; i < 4; ++i) {
            value[i * 3] = lines[i].end.X;
            value[i * 3 + 1] = lines[i].end.Y;
            value[i * 3 + 2] = lines[i].end.Z;
        }
        upload.byName(constant, value, 12);
    }

    scene::ISceneManager* m_scene;
};

// --- Lights and objects among the scene root's children ---------------------------------------------

scene::ISceneNode* rootChild(scene::ISceneManager* scene, int index)
{
    int seen = 0;
    for (scene::ISceneNode* child : scene->getRootSceneNode()->getChildren()) {
        const scene::ESCENE_NODE_TYPE type = child->getType();
        const bool counted = type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH ||
                             type == static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('m', 'o', 'r', 'p'));
        if (counted && seen++ == index)
            return child;
    }
    return nullptr;
}

class CTaEffectBindLight : public CTaEffectBind
{
public:
    explicit CTaEffectBindLight(scene::ISceneManager* scene) : m_scene(scene) {}
    const char* bindName() const override { return "Light"; }
    // The lights are gathered once per draw, not once per constant.
    bool onSetMaterial(const video::SMaterial&, STaMaterialExt*, s32) override
    {
        m_lights.clear();
        for (scene::ISceneNode* child : m_scene->getRootSceneNode()->getChildren())
            if (child->getType() == scene::ESNT_LIGHT)
                m_lights.push_back(static_cast<scene::ILightSceneNode*>(child));
        return true;
    }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        static const SServed table[] = {{"LightAmbient", &ambient},
                                        {"LightPos", &position, true},
                                        {"LightDir", &direction, true},
                                        {"LightDiffuse", &diffuse, true}};
        return lookUp(table, constant);
    }

private:
    static scene::ILightSceneNode* light(ITaEffectBind* bind, const STaFxConstBind& constant)
    {
        const auto& lights = static_cast<CTaEffectBindLight*>(bind)->m_lights;
        const int index = constant.argument[0];
        scene::ILightSceneNode* node = index < static_cast<int>(lights.size()) ? lights[index] : nullptr;
        if (!node)
            taPrint(ETALOG_ERROR, "CTaEffectBindLight : Light index %d not found ", constant.argument[0]);
        return node;
    }
    static void ambient(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const video::SColorf c = static_cast<CTaEffectBindLight*>(bind)->m_scene->getAmbientLight();
        const f32 value[4] = {c.r, c.g, c.b, c.a};
        upload.byName(constant, value, 4);
    }
    static void position(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ILightSceneNode* node = light(bind, constant)) {
            const core::vector3df at = node->getAbsolutePosition();
            const f32 value[4] = {at.X, at.Y, at.Z, 1.0f};
            upload.byName(constant, value, 4);
        }
    }
    static void direction(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ILightSceneNode* node = light(bind, constant)) {
            const core::vector3df d = node->getLightData().Direction;
            const f32 value[3] = {d.X, d.Y, d.Z};
            upload.byName(constant, value, 3);
        }
    }
    static void diffuse(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ILightSceneNode* node = light(bind, constant)) {
            const video::SColorf c = node->getLightData().DiffuseColor;
            const f32 value[4] = {c.r, c.g, c.b, c.a};
            upload.byName(constant, value, 4);
        }
    }

    scene::ISceneManager* m_scene;
    std::vector<scene::ILightSceneNode*> m_lights;
};

class CTaEffectBindObject : public CTaEffectBind
{
public:
    explicit CTaEffectBindObject(scene::ISceneManager* scene) : m_scene(scene) {}
    const char* bindName() const override { return "Object"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        static const SServed table[] = {{"ObjectPos", &position, true},
                                        {"ObjectRot", &rotation, true},
                                        {"ObjectScale", &scale, true},
                                        {"ObjectTrans", &transform, true},
                                        {"ObjectInvTrans", &inverse, true}};
        return lookUp(table, constant);
    }

private:
    static scene::ISceneNode* object(ITaEffectBind* bind, const STaFxConstBind& constant)
    {
        scene::ISceneNode* node = rootChild(static_cast<CTaEffectBindObject*>(bind)->m_scene, constant.argument[0]);
        if (!node)
            taPrint(ETALOG_ERROR, "CTaEffectBindObject : Object index %d not found ", constant.argument[0]);
        return node;
    }
    static void position(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ISceneNode* node = object(bind, constant)) {
            const core::vector3df at = node->getAbsolutePosition();
            const f32 value[4] = {at.X, at.Y, at.Z, 1.0f};
            upload.byName(constant, value, 4);
        }
    }
    static void rotation(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ISceneNode* node = object(bind, constant)) {
            const core::vector3df r = node->getRotation();
            const f32 value[4] = {r.X, r.Y, r.Z, 0.0f};
            upload.byName(constant, value, 4);
        }
    }
    static void scale(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ISceneNode* node = object(bind, constant)) {
            const core::vector3df s = node->getScale();
            const f32 value[3] = {s.X, s.Y, s.Z};
            upload.byName(constant, value, 3);
        }
    }
    static void transform(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ISceneNode* node = object(bind, constant))
            upload.matrix(constant, node->getAbsoluteTransformation(), false);
    }
    static void inverse(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (scene::ISceneNode* node = object(bind, constant))
            upload.matrix(constant, inverseOf(node->getAbsoluteTransformation()), false);
    }

    scene::ISceneManager* m_scene;
};

// --- Light parameters of the deferred renderer -----------------------------------------------------

STaLightBlock g_lightBlock;

class CTaEffectBindLightParams : public CTaEffectBind
{
public:
    const char* bindName() const override { return "LightParams"; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        if (constant.stage != ETAFX_STAGE_PIXEL)
            return nullptr;
        if (constant.semantic == "LightsNum")
            return &counts;
        if (constant.semantic == "LightsIni")
            return &firsts;
        if (constant.semantic == "LightParams")
            return &params;
        return nullptr;
    }

private:
    // A register index of -1 or 0 binds by name.
    static bool byName(const STaFxConstBind& constant) { return constant.registerIndex <= 0; }
    static void three(const STaFxUpload& upload, const STaFxConstBind& constant, const f32 values[3],
                      const char* const names[3])
    {
        if (byName(constant)) {
            for (int i = 0; i < 3; ++i)
                upload.member(constant, names[i], &values[i], 1);
            return;
        }
        const f32 registers[12] = {values[0], 0, 0, 0, values[1], 0, 0, 0, values[2], 0, 0, 0};
        upload.byRegister(constant, registers, 3);
    }
    static void counts(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        static const char* const names[3] = {"LightsNum.LightDirsNum", "LightsNum.LightPointsNum",
                                             "LightsNum.LightSpotsNum"};
        three(upload, constant, g_lightBlock.count, names);
    }
    static void firsts(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        static const char* const names[3] = {"LightsIni.LightDirsIni", "LightsIni.LightPointsIni",
                                             "LightsIni.LightSpotsIni"};
        three(upload, constant, g_lightBlock.first, names);
    }
    static void params(ITaEffectBind*, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        if (byName(constant)) {
            char name[64];
            for (int n = 0; n < 5; ++n) {
                const STaLightRecord& light = g_lightBlock.lights[n];
                snprintf(name, sizeof name, "LightParams[%d].LightColor", n);
                upload.member(constant, name, light.colour, 3);
                snprintf(name, sizeof name, "LightParams[%d].LightPosition", n);
                upload.member(constant, name, light.position, 3);
                snprintf(name, sizeof name, "LightParams[%d].LightDirection", n);
                upload.member(constant, name, light.direction, 3);
                snprintf(name, sizeof name, "LightParams[%d].InvLightRadiusSqr", n);
                upload.member(constant, name, &light.invRadiusSquared, 1);
                snprintf(name, sizeof name, "LightParams[%d].SpotlightAngles", n);
                upload.member(constant, name, light.spotAngles, 2);
            }
            return;
        }
        f32 registers[100] = {};
        for (int n = 0; n < 5; ++n) {
            const STaLightRecord& light = g_lightBlock.lights[n];
            f32* at = registers + n * 20;
            memcpy(at, light.colour, 12);
            memcpy(at + 4, light.position, 12);
            memcpy(at + 8, light.direction, 12);
            at[12] = light.invRadiusSquared;
            at[16] = light.spotAngles[0];
            at[17] = light.spotAngles[1];
        }
        upload.byRegister(constant, registers, 25);
    }
};

// --- Node extensions and surfaces ------------------------------------------------------------------

TaNodeBindLookup g_nodeBindLookup = nullptr;
int g_renderPass = scene::ESNRP_SOLID;

bool transparentPass()
{
    return g_renderPass == scene::ESNRP_TRANSPARENT || g_renderPass == scene::ESNRP_TRANSPARENT_EFFECT;
}

// The drawn node's information through the node layer's lookup; `bindName` names the messages.
bool nodeInfo(const char* bindName, const STaMaterialExt* ext, STaNodeBindInfo& info)
{
    if (!ext || !ext->node) {
        taPrint(ETALOG_ERROR, "%s::onSetMaterial : Missing matExt->Node", bindName);
        return false;
    }
    info = STaNodeBindInfo();
    if (!g_nodeBindLookup || !g_nodeBindLookup(ext->node, ext->surface, info)) {
        taPrint(ETALOG_ERROR, "%s::onSetMaterial : Missing ITaSceneNodeExt", bindName);
        return false;
    }
    return true;
}

// The blend factor's alpha from a 0..1 value, for the transparent passes.
void blendAlpha(ITaVideoDriverExt* driverExt, f32 value)
{
    if (!driverExt || !transparentPass())
        return;
    const u32 alpha = static_cast<u32>(std::min(std::max(value, 0.0f), 1.0f) * 255.0f);
    driverExt->setBlendFactor(alpha << 24);
}

class CTaEffectBindNodeExt : public CTaEffectBind
{
public:
    const char* bindName() const override { return "NodeExt"; }
    bool onSetMaterial(const video::SMaterial&, STaMaterialExt* ext, s32) override
    {
        return nodeInfo("CTaEffectBindNodeExt", ext, m_info);
    }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        static const char* const names[3] = {"CubeMapPosition", "CubeMapAABBPosition", "CubeMapAABBScale"};
        for (int k = 0; k < 3; ++k)
            if (constant.semantic == names[k]) {
                constant.argument[0] = k;
                return &three;
            }
        return nullptr;
    }

private:
    static void three(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const STaNodeBindInfo& info = static_cast<CTaEffectBindNodeExt*>(bind)->m_info;
        const core::vector3df& v = constant.argument[0] == 0   ? info.cubeMapPosition
                                   : constant.argument[0] == 1 ? info.cubeMapBoxPosition
                                                               : info.cubeMapBoxScale;
        const f32 values[3] = {v.X, v.Y, v.Z};
        upload.byName(constant, values, 3);
    }
    STaNodeBindInfo m_info;
};

class CTaEffectBindLightwave : public CTaEffectBind
{
public:
    explicit CTaEffectBindLightwave(ITaVideoDriverExt* driverExt) : m_driverExt(driverExt) {}
    const char* bindName() const override { return "Lightwave"; }
    bool onSetMaterial(const video::SMaterial&, STaMaterialExt* ext, s32) override
    {
        STaNodeBindInfo info;
        m_surface = nullptr;
        if (!nodeInfo("CTaEffectBindLightwave", ext, info))
            return false;
        if (info.surfaceType == 0) {
            taPrint(ETALOG_ERROR, "CTaEffectBindLightwave::onSetMaterial : Missing Surface at index %d", ext->surface);
            return false;
        }
        if (info.surfaceType != ETAST_LIGHTWAVE || !info.lightwave) {
            taPrint(ETALOG_ERROR,
                    "CTaEffectBindLightwave::onSetMaterial : Unexpected Surface type != ETAST_LIGHTWAVE at index %d",
                    ext->surface);
            return false;
        }
        m_surface = info.lightwave;
        blendAlpha(m_driverExt, m_surface->channels[ETASC_GLOWVALUE].value.f);
        return true;
    }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        const std::string& semantic = constant.semantic;
        if (semantic == "LW_Roughness")
            return &roughness;
        if (semantic == "LW_ReflectionMaxMip")
            return &maxMip;
        if (semantic.compare(0, 3, "LW_") != 0)
            return nullptr;
        for (int i = 0; i < ETASC_COUNT; ++i)
            if (semantic.compare(3, std::string::npos, taSurfaceChannels[i]) == 0) {
                constant.argument[0] = i;
                return &channel;
            }
        return nullptr;
    }

private:
    static const STaSurfaceLightwaveData* surfaceOf(ITaEffectBind* bind)
    {
        return static_cast<CTaEffectBindLightwave*>(bind)->m_surface;
    }
    // Float parameters get one float, float3 three, bool and int the integer as a float; by name, or
    // one register when the constant has a register.
    static void channel(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const STaSurfaceLightwaveData* surface = surfaceOf(bind);
        if (!surface)
            return;
        const STaSurfaceChannel& c = surface->channels[constant.argument[0]];
        f32 values[4] = {0, 0, 0, 0};
        int count = 1;
        if (constant.type == ETAFX_TYPE_BOOL || constant.type == ETAFX_TYPE_INT) {
            values[0] = static_cast<f32>(c.value.i);
        } else if (constant.elementCount >= 3) {
            values[0] = c.value.v[0], values[1] = c.value.v[1], values[2] = c.value.v[2];
            count = 3;
        } else {
            values[0] = c.value.f;
        }
        if (constant.registerIndex > 0)
            upload.byRegister(constant, values, 1);
        else
            upload.byName(constant, values, count);
    }
    static void roughness(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const STaSurfaceLightwaveData* surface = surfaceOf(bind);
        if (!surface)
            return;
        const f32 value = std::pow(2.0f, 10.0f * surface->channels[ETASC_GLOSSINESS].value.f + 2.0f);
        upload.byName(constant, &value, 1);
    }
    static void maxMip(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const STaSurfaceLightwaveData* surface = surfaceOf(bind);
        if (!surface)
            return;
        u32 width = 0;
        if (video::ITexture* image = surface->channels[ETASC_REFLECTIONIMAGE].texture)
            width = image->getSize().Width;
        f32 digits = 0;
        for (; width; width >>= 1)
            ++digits;
        upload.byName(constant, &digits, 1);
    }
    ITaVideoDriverExt* m_driverExt;
    const STaSurfaceLightwaveData* m_surface = nullptr;
};

class CTaEffectBindLightwaveHV : public CTaEffectBind
{
public:
    explicit CTaEffectBindLightwaveHV(ITaVideoDriverExt* driverExt) : m_driverExt(driverExt) {}
    const char* bindName() const override { return "LightwaveHV"; }
    bool onSetMaterial(const video::SMaterial&, STaMaterialExt* ext, s32) override
    {
        STaNodeBindInfo info;
        m_surface = nullptr;
        if (!nodeInfo("CTaEffectBindLightwaveHV", ext, info))
            return false;
        if (info.surfaceType == 0) {
            taPrint(ETALOG_ERROR, "CTaEffectBindLightwaveHV::onSetMaterial : Missing Surface at index %d", ext->surface);
            return false;
        }
        if (info.surfaceType != ETAST_LIGHTWAVEHV || !info.hyperVoxel) {
            taPrint(ETALOG_ERROR,
                    "CTaEffectBindLightwaveHV::onSetMaterial : Unexpected Surface type != ETAST_LIGHTWAVEHV at index %d",
                    ext->surface);
            return false;
        }
        m_surface = info.hyperVoxel;
        blendAlpha(m_driverExt, m_surface->opacity);
        return true;
    }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        static const char* const names[9] = {"LWHV_Color",         "LWHV_Size",          "LWHV_Rotation",
                                             "LWHV_ColorNumKeys",  "LWHV_ColorKeyParams", "LWHV_ColorKeyValues",
                                             "LWHV_SizeNumKeys",   "LWHV_SizeKeyParams",  "LWHV_SizeKeyValues"};
        for (int k = 0; k < 9; ++k)
            if (constant.semantic == names[k]) {
                constant.argument[0] = k;
                return &upload;
            }
        return nullptr;
    }

private:
    static void upload(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        const STaSurfaceLightwaveHVData* s = static_cast<CTaEffectBindLightwaveHV*>(bind)->m_surface;
        if (!s)
            return;
        f32 values[36] = {};
        int count = 1;
        switch (constant.argument[0]) {
        case 0: std::copy(s->colour, s->colour + 4, values), count = 4; break;
        case 1: values[0] = s->size; break;
        case 2: values[0] = s->rotation; break;
        case 3: values[0] = static_cast<f32>(s->colourKeyCount); break;
        case 4: std::copy(s->colourKeyPositions, s->colourKeyPositions + 8, values), count = 8; break;
        case 5:
            for (int k = 0; k < 9; ++k)
                std::copy(s->colourKeyValues[k], s->colourKeyValues[k] + 4, values + k * 4);
            count = 36;
            break;
        case 6: values[0] = static_cast<f32>(s->sizeKeyCount); break;
        case 7: std::copy(s->sizeKeyPositions, s->sizeKeyPositions + 8, values), count = 8; break;
        default:
            std::copy(s->sizeKeyValues, s->sizeKeyValues + 9, values);
            count = constant.stage == ETAFX_STAGE_PIXEL ? 8 : 9;
            break;
        }
        upload.byName(constant, values, count);
    }
    ITaVideoDriverExt* m_driverExt;
    const STaSurfaceLightwaveHVData* m_surface = nullptr;
};

// --- Material textures -----------------------------------------------------------------------------

class CTaEffectBindMaterial : public CTaEffectBind
{
public:
    const char* bindName() const override { return "Material"; }
    bool onSetMaterial(const video::SMaterial& material, STaMaterialExt* materialExt, s32) override
    {
        m_material = &material;
        m_ext = materialExt;
        return true;
    }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override
    {
        int index = -1, consumed = 0;
        if (sscanf(constant.semantic.c_str(), "Texture[%d].Size%n", &index, &consumed) == 1 &&
            consumed == static_cast<int>(constant.semantic.size()) && index >= 0) {
            constant.argument[0] = index;
            return &size;
        }
        return nullptr;
    }

private:
    static void size(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant)
    {
        auto* self = static_cast<CTaEffectBindMaterial*>(bind);
        const int index = constant.argument[0];
        video::ITexture* texture = nullptr;
        if (self->m_ext && index < TA_MATERIAL_LAYERS)
            texture = self->m_ext->layers[index].texture;
        else if (self->m_material && index < static_cast<int>(video::MATERIAL_MAX_TEXTURES))
            texture = self->m_material->TextureLayer[index].Texture;
        f32 value[2] = {0, 0};
        if (texture) {
            value[0] = static_cast<f32>(texture->getSize().Width);
            value[1] = static_cast<f32>(texture->getSize().Height);
        }
        upload.byName(constant, value, 2);
    }

    const video::SMaterial* m_material = nullptr;
    STaMaterialExt* m_ext = nullptr;
};

} // namespace

TaFxBindFunction CTaEffectBind::getBindFunction(STaFxConstBind& constant)
{
    switch (constant.type) {
    case ETAFX_TYPE_BOOL:
    case ETAFX_TYPE_INT:
    case ETAFX_TYPE_FLOAT:
    case ETAFX_TYPE_FLOAT2:
    case ETAFX_TYPE_FLOAT3:
    case ETAFX_TYPE_FLOAT4:
    case ETAFX_TYPE_FLOAT4X4:
        return &uploadValue;
    default:
        return nullptr;
    }
}

ITaEffectBindSemanticMap* taCreateSemanticMap()
{
    return new CTaEffectBindSemanticMap();
}

STaLightBlock& taEffectLightBlock()
{
    return g_lightBlock;
}

void taSetEffectLastFrame(const core::matrix4& view, const core::matrix4& projection, f32 fps)
{
    g_lastFrame.known = true;
    g_lastFrame.view = view;
    g_lastFrame.projection = projection;
    g_lastFrame.fps = fps;
}

void taForgetEffectLastFrame()
{
    g_lastFrame = SLastFrame();
}

void taSetEffectSceneTime(f32 seconds)
{
    g_sceneTime = seconds;
}

void taSetNodeBindLookup(TaNodeBindLookup lookup)
{
    g_nodeBindLookup = lookup;
}

void taSetEffectRenderPass(int pass)
{
    g_renderPass = pass;
}

std::vector<ITaEffectBind*> taCreateBuiltInBinds(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
{
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* scene = device->getSceneManager();
    return {new CTaEffectBindTransform(driver),
            new CTaEffectBindTime(device->getTimer()),
            new CTaEffectBindScreen(driver),
            new CTaEffectBindLightwave(driverExt),
            new CTaEffectBindLightwaveHV(driverExt),
            new CTaEffectBindLightParams(),
            new CTaEffectBindLight(scene),
            new CTaEffectBindCamera(scene),
            new CTaEffectBindNodeExt(),
            new CTaEffectBindLastFrameInfo(driver),
            new CTaEffectBindObject(scene),
            new CTaEffectBindMaterial(),
            new CTaEffectBind()};
}
