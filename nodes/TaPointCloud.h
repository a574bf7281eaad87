// Point clouds: a mesh turned into points spread over its surface in proportion to the area of its
// triangles (objects with a point count in scenes).
#pragma once

#include <irrlicht.h>

// A mesh of one standard-vertex buffer (vertices only, no indices) per buffer of `mesh`, each with
// its source buffer's material, `count` points in all. Every point lies on a triangle (position,
// normal and first texture coordinates interpolated) and its colour word is its running number over
// the whole cloud, which vertex shaders read as the point's index. The points come from a generator
// started afresh each time, so the same mesh and count give the same cloud. A mesh without area
// gives an empty cloud (with a warning); a buffer's trailing indices that make no whole triangle
// are left out. The caller drops the mesh.
irr::scene::SMesh* taCreatePointCloudMesh(const irr::scene::IMesh* mesh, irr::u32 count);

// The point's index in a vertex shader, from its colour input c (each channel 0..1), as Direct3D 9
// hands a colour word to a shader: red holds bits 16-23, green 8-15, blue 0-7, alpha 24-31.
//     float index = dot(round(c * 255.0), float4(65536.0, 256.0, 1.0, 16777216.0));
