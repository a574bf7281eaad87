// Objects and lights: scene nodes in the engine's object and light tables, the operations the
// script API, the object viewer and scene loading share. Failures set the last error with the
// position of the argument at fault as its code ("Object ID %d does not exist. %s", code 1, for
// an empty ID).
#pragma once

#include <irrlicht.h>

// --- Objects ---
// An existing object under the ID is deleted first. "invalid Object ID %d : %s" (code 2), "Failed
// to load mesh '%s'" (code 1); a surface of more than 65535 points is warned about.
int LoadObject(const char* file, int id);
// Gives an object's node its extension and every material a LightWave surface built from that
// material (what LoadObject and the scene loader do for the nodes they make).
class CTaSceneNodeExt* taGiveSurfaces(irr::scene::ISceneNode* node);
bool ObjectExist(int id);
bool ObjectVisible(int id);
int ShowObject(int id);
int HideObject(int id);
// Removes the node and frees the ID; nothing when empty.
void DeleteObject(int id);
int PositionObject(int id, float x, float y, float z);
int RotateObject(int id, float x, float y, float z); // degrees
int ScaleObject(int id, float x, float y, float z);  // percent
// Frame count of an animated mesh; 1 for a static one (0 with the error for an empty ID).
int TotalObjectFrames(int id);
// Current frame counted from the mesh's first frame.
int SetObjectFrame(int id, float frame);
// Half the diagonal of the mesh's bounding box (its bounding sphere's radius); -1 on failure.
float GetObjectRadius(int id);
// Bakes an object's mesh into a vertex texture named `name` (its vertices numbered first, so that
// a vertex shader finds its own texel). Option bits: 1 keep an existing texture of that name,
// 2 float format (else half floats), 4 with normals. 0, or -1 with the error.
enum ETaVertexTextureOption {
    ETAVTX_KEEP_EXISTING = 1,
    ETAVTX_FLOAT = 2,
    ETAVTX_NORMALS = 4,
};
int taObjectVertexTexture(int id, const char* name, unsigned options);
// The node of an object, or nullptr with the error (code `code`).
irr::scene::ISceneNode* taGetObject(int id, int code = 1);

// A clone of the source object under `id` (an existing object there deleted first): "Object ID %d
// does not exist" (code 2), "Failed to create the cloned object" (-1). Instances are clones.
int CloneObject(int id, int source);
int InstanceObject(int id, int source);
// The object follows the camera (its parent), or leaves the scene graph (not drawn) until it gets a
// parent again.
int LockObjectOn(int id);
int LockObjectOff(int id);
// Check the ID only.
int GhostObjectOn(int id);
int SetAlphaMappingOn(int id, float value);
// The object's triangles in the collision world the camera collides with (its selector made from its
// mesh on first use), or out of it.
int SetObjectCollisionOn(int id);
int SetObjectCollisionOff(int id);

// --- Lights ---
// A white point light at the origin with radius 10000000. "invalid Light ID %d : %s" (code 1),
// "failed to create light" (-1).
int MakeLight(int id);
bool LightExist(int id);
bool LightVisible(int id);
int ShowLight(int id);
int HideLight(int id);
void DeleteLight(int id);
int SetPointLight(int id, float x, float y, float z);
int SetDirectionalLight(int id, float x, float y, float z); // rotation in degrees
int SetSpotLight(int id, float inner, float outer);         // cone angles in degrees
int PositionLight(int id, float x, float y, float z);
int RotateLight(int id, float x, float y, float z);
int SetLightRange(int id, float radius);
int ColorLight(int id, unsigned colour);
void ColorAmbientLight(unsigned colour);
// The light's parameters the lighting reads (its extension): raw colour and intensity (the light's
// diffuse colour becomes their product), shadow casting, shadow colour (0xAARRGGBB, alpha ignored),
// shadow-map size and fuzz.
int SetLightRawColor(int id, float r, float g, float b);
int SetLightIntensity(int id, float intensity);
int SetLightShadow(int id, bool on);
int ColorLightShadow(int id, unsigned colour);
int SetShadowMapSize(int id, int size);
int SetShadowMapFuzz(int id, float fuzz);
void ColorBackdrop(unsigned colour);

// --- What scenes give objects and lights beyond the script functions ---
class ITaNodeCubeMap;
// A point cloud of `points` points made from the mesh of `file`, with surfaces as LoadObject gives
// them; the messages of LoadObject.
int taLoadPointCloudObject(const char* file, int id, int points);
int taSetObjectShadowCaster(int id, bool on);
int taSetObjectSelectionMask(int id, unsigned mask);
// The object's cube map (nullptr: none) and its box correction.
int taSetObjectCubeMap(int id, ITaNodeCubeMap* cubeMap, bool box, const irr::core::vector3df& boxPosition,
                       const irr::core::vector3df& boxScale);
// The light's projection image (nullptr or empty: none): "Light ID %d failed to load projection image
// %s" (code 2) when the file does not load, and the light keeps none.
int taSetLightProjectionImage(int id, const char* file);
// Volumetric part on or off, its own colour (white when off) and its mode word.
int taSetLightVolumetric(int id, bool on, bool colourOn, const irr::core::vector3df& colour, int mode);
int taSetLightVolumetricShape(int id, float density, float base);
int taSetLightVolumetricVisible(int id, bool on);
int taSetLightVolumetricClamp(int id, bool on, float value);
