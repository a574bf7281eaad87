// What the renderer needs of an OpenGL implementation, and how to ask one that is not running.
#pragma once

#include <string>

// The lines "Missing %s. Please install this library.\n" for every capability that the given
// GL_VERSION, GL_SHADING_LANGUAGE_VERSION and extension list (blank-separated) lack; "" when none.
// The renderer needs OpenGL 3.3 or the extensions that make up its float render targets, multiple
// render targets, frame buffer objects and instancing, and GLSL 3.30 for the translated shaders.
std::string taGLCapabilityText(const char* version, const char* shadingLanguageVersion, const char* extensions);

// The same for the display's default OpenGL implementation, through a short-lived context of its
// own (used before the engine's device exists, by the screen-mode dialog). Without a display, or
// when no context can be made: "Missing OpenGL. Please install this library.\n".
std::string taProbeGLCapabilities();
