// What the renderer needs of OpenGL, as the capability check reports it.
#include "driver/gl/TaGLCapabilities.h"

#include <gtest/gtest.h>

namespace {

TEST(TaGLCapabilityTest, MissingCapabilities)
{
    struct { const char* version; const char* glsl; const char* extensions; const char* missing; } cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", "4.50", "", ""},
        {"3.3.0 NVIDIA", "3.30 NVIDIA", "", ""},
        {"2.1 Mesa", "1.20", "GL_ARB_texture_float GL_ARB_framebuffer_object GL_ARB_instanced_arrays "
                             "GL_ARB_draw_instanced", "Missing GLSL 3.30 (OpenGL 3.3 shaders). Please install this library.\n"},
        {"2.1 Mesa", "3.30", "GL_ARB_framebuffer_object GL_ARB_instanced_arrays GL_ARB_draw_instanced",
         "Missing OpenGL float render targets (GL_ARB_texture_float). Please install this library.\n"},
        {"3.2", "1.50", "GL_ARB_instanced_arrays_x",
         "Missing OpenGL instancing (GL_ARB_instanced_arrays). Please install this library.\n"
         "Missing GLSL 3.30 (OpenGL 3.3 shaders). Please install this library.\n"},
        {nullptr, nullptr, nullptr, "Missing OpenGL. Please install this library.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taGLCapabilityText(c.version, c.glsl, c.extensions), c.missing) << (c.version ? c.version : "none");
}

} // namespace
