// Cube maps under IDs: what scenes make, clear and render.
#pragma once

#include <irrlicht.h>

class ITaCubeMap;

// A cube map of `faceSize` texels in A16B16G16R16F under `id`, with a latitude/longitude copy when
// asked: 0, or -1 with "invalid CubeMap ID %d : %s" or "Failed to create cube map".
int taCreateCubeMap(int id, irr::u32 faceSize, bool latLong);
void taDeleteCubeMap(int id);
// nullptr with "CubeMap ID %d does not exist. %s" (error code `code`).
ITaCubeMap* taGetCubeMap(int id, int code = 1);
int taClearCubeMap(int id);
bool taCubeMapRendered(int id);
// Renders the cube map from `position` with the engine's current renderer: 0, or -1 with
// "Failed to render cube map".
int taRenderCubeMap(int id, const irr::core::vector3df& position);
