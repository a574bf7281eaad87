// Semantic binding: the bind objects that feed an effect's shader constants from the engine at
// every draw (transforms, time, screen, camera, lights, objects, surfaces, node extensions, the last
// frame, material textures), the semantic maps through which other subsystems publish values of
// their own, and the fallback that uploads a constant's stored value.
//
// The bind of every constant is chosen once, when the effect is built (strings are compared only
// then); a draw calls the stored functions. On OpenGL constants go by name (register index -1),
// through a handle of the material type's program found at build time.
#pragma once

#include "driver/TaMaterialExt.h"
#include "effects/TaSurfaceData.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class ITaEffectBind;
class ITaVideoDriverExt;
class ITaShaderConstants;
struct STaFxConstBind;

// Stages of shader constants.
enum { ETAFX_STAGE_VERTEX = 2, ETAFX_STAGE_PIXEL = 4 };

// What a bind function uploads through: Irrlicht's services of the draw, and the program's
// constants by handle when the driver has them.
struct STaFxUpload {
    irr::video::IMaterialRendererServices* services = nullptr;
    ITaShaderConstants* constants = nullptr;

    // `count` floats to the constant itself (by handle, else by name).
    void byName(const STaFxConstBind& constant, const irr::f32* values, int count) const;
    // `count` floats to another name of the constant's stage (a struct or array member).
    void member(const STaFxConstBind& constant, const char* name, const irr::f32* values, int count) const;
    // `registers` float4 registers from the constant's register index.
    void byRegister(const STaFxConstBind& constant, const irr::f32* values, int registers) const;
    // A matrix in the plain style (by name as stored, by register transposed) or the transposed one.
    void matrix(const STaFxConstBind& constant, const irr::core::matrix4& value, bool transposed) const;
};

typedef void (*TaFxBindFunction)(ITaEffectBind* bind, const STaFxUpload& upload, const STaFxConstBind& constant);

// One shader constant of a pass and the bind that feeds it.
struct STaFxConstBind {
    int stage = 0;            // ETAFX_STAGE_VERTEX or ETAFX_STAGE_PIXEL
    int type = 0;             // the parameter's type code
    std::string name;         // the HLSL constant
    std::string semantic;     // the parameter's semantic, may be empty
    irr::f32* value = nullptr; // the parameter's 64-byte value slot in the effect
    int parameter = -1;       // the parameter's index
    int elementCount = 0;     // floats per value: 1, 2, 3, 4 or 16
    int registerIndex = -1;   // -1: the driver has no registers (OpenGL)
    int registerCount = 0;
    ITaEffectBind* bind = nullptr;
    TaFxBindFunction function = nullptr;
    int argument[2] = {0, 0};
    int handle = -1; // the program's handle of the constant, -1 when none was found
};

// One sampler of a pass.
struct STaFxTextureBind {
    int stage = 0;
    int type = 0;
    std::string name;   // the HLSL sampler
    int parameter = -1; // the texture parameter's index
    int sampler = -1;   // the sampler's index within its stage (pixel: layer; vertex: vertex layer)
};

class ITaEffectBind : public virtual irr::IReferenceCounted
{
public:
    // Once per draw before any constant of the draw is uploaded; false aborts the draw's upload.
    virtual bool onSetMaterial(const irr::video::SMaterial& material, STaMaterialExt* materialExt,
                               irr::s32 userData) = 0;
    // The upload function for the constant, or nullptr when this bind does not serve its semantic;
    // may set the constant's two-int argument.
    virtual TaFxBindFunction getBindFunction(STaFxConstBind& constant) = 0;
    // The bind's name in tools and messages ("Transform", "SemanticMap", ...).
    virtual const char* bindName() const = 0;
};

// The fallback: every bool, int, float to float4 and float4x4 constant from its value slot.
class CTaEffectBind : public ITaEffectBind
{
public:
    bool onSetMaterial(const irr::video::SMaterial&, STaMaterialExt*, irr::s32) override { return true; }
    TaFxBindFunction getBindFunction(STaFxConstBind& constant) override;
    const char* bindName() const override { return "Value"; }
};

// Value kinds of a semantic map record.
enum ETaSemanticKind {
    ETASEM_FLOAT = 2,
    ETASEM_FLOAT2 = 3,
    ETASEM_FLOAT3 = 4,
    ETASEM_FLOAT4 = 5,
    ETASEM_FLOAT4X4 = 6,
};

// Values published under semantic names (exact, case-sensitive) by other subsystems.
class ITaEffectBindSemanticMap : public ITaEffectBind
{
public:
    // A new zeroed record; false when the name exists (the existing record stays).
    virtual bool addSemantic(const char* name, int kind) = 0;
    // Sets the first float; false for an unknown name.
    virtual bool setFloat(const char* name, irr::f32 value) = 0;
    // Copies `size` bytes into the record (at most 64); false for an unknown name.
    virtual bool setData(const char* name, const void* bytes, size_t size) = 0;
};

ITaEffectBindSemanticMap* taCreateSemanticMap();

// What the light pre-pass renderer publishes for the LightsNum, LightsIni and LightParams semantics
// (all zero until it runs).
struct STaLightRecord {
    irr::f32 colour[3] = {0, 0, 0};
    irr::f32 position[3] = {0, 0, 0};
    irr::f32 direction[3] = {0, 0, 0};
    irr::f32 invRadiusSquared = 0;
    irr::f32 spotAngles[2] = {0, 0};
};
struct STaLightBlock {
    irr::f32 count[3] = {0, 0, 0}; // directional, point, spot
    irr::f32 first[3] = {0, 0, 0}; // start index of each group
    STaLightRecord lights[5];
};
STaLightBlock& taEffectLightBlock();

// The previous frame as the engine records it at the end of every frame: its view and projection and
// the frame rate over the last frames. Until the first frame ends, the previous frame is the
// current one and the frame rate 0.
void taSetEffectLastFrame(const irr::core::matrix4& view, const irr::core::matrix4& projection, irr::f32 fps);
// Back to "no frame has ended" (a new effect manager starts so).
void taForgetEffectLastFrame();

// The scene time the TimeScene semantic uploads (seconds; 0 until a scene sets it).
void taSetEffectSceneTime(irr::f32 seconds);

// The built-in binds in their order (Transform, Time, Screen, Lightwave, LightwaveHV, LightParams,
// Light, Camera, NodeExt, LastFrameInfo, Object, Material) and last the fallback; each new, with
// one reference for the caller.
std::vector<ITaEffectBind*> taCreateBuiltInBinds(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt = nullptr);

// What the binds of node extensions and surfaces read of the node being drawn: the node layer
// registers the lookup (its node extensions answer). Without a lookup, or for a node without an
// extension, those binds fail the draw's upload with their "Missing ITaSceneNodeExt" message.
struct STaNodeBindInfo {
    irr::core::vector3df cubeMapPosition;     // where the node's cube map was last rendered from
    irr::core::vector3df cubeMapBoxPosition;
    irr::core::vector3df cubeMapBoxScale;
    irr::u32 surfaceType = 0; // the surface of the material's index: 0 none, ETAST_LIGHTWAVE, ETAST_LIGHTWAVEHV
    const STaSurfaceLightwaveData* lightwave = nullptr;
    const STaSurfaceLightwaveHVData* hyperVoxel = nullptr;
};
typedef bool (*TaNodeBindLookup)(irr::scene::ISceneNode* node, int surfaceIndex, STaNodeBindInfo& out);
void taSetNodeBindLookup(TaNodeBindLookup lookup);
// The pass the renderer draws now (Irrlicht's ESNRP_ values; solid when none): in the transparent
// passes the surface binds set the blend factor's alpha from the surface's glow value (LightWave) or
// opacity (HyperVoxel).
void taSetEffectRenderPass(int pass);
