// OpenGL capability check and probe.
#include "driver/gl/TaGLCapabilities.h"

#include "platform/TaWindow.h"


#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

// A capability: what it is called in the message, the GL version that made it core, and the
// extension that gives it before that.
struct SCapability {
    const char* name;
    int major, minor;
    const char* extension;
};

const SCapability kCapabilities[] = {
    {"OpenGL float render targets (GL_ARB_texture_float)", 3, 0, "GL_ARB_texture_float"},
    {"OpenGL frame buffer objects (GL_ARB_framebuffer_object)", 3, 0, "GL_ARB_framebuffer_object"},
    {"OpenGL multiple render targets (GL_ARB_draw_buffers)", 2, 0, "GL_ARB_draw_buffers"},
    {"OpenGL instancing (GL_ARB_instanced_arrays)", 3, 3, "GL_ARB_instanced_arrays"},
    {"OpenGL instanced draws (GL_ARB_draw_instanced)", 3, 1, "GL_ARB_draw_instanced"},
};

// "major.minor..." at the start of a version text (GL ES and vendor prefixes are not expected from
// a desktop driver); 0.0 when it does not read.
void readVersion(const char* text, int* major, int* minor)
{
    *major = *minor = 0;
    if (text && sscanf(text, "%d.%d", major, minor) != 2)
        *major = *minor = 0;
}

bool hasExtension(const char* extensions, const char* name)
{
    if (!extensions)
        return false;
    std::istringstream words(extensions);
    std::string word;
    while (words >> word)
        if (word == name)
            return true;
    return false;
}

bool atLeast(int major, int minor, int wantMajor, int wantMinor)
{
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
}

void addMissing(std::string& text, const char* what)
{
    char line[256];
    snprintf(line, sizeof(line), "Missing %s. Please install this library.\n", what);
    text += line;
}

} // namespace

std::string taGLCapabilityText(const char* version, const char* shadingLanguageVersion, const char* extensions)
{
    int major, minor;
    readVersion(version, &major, &minor);
    std::string text;
    if (major == 0) {
        addMissing(text, "OpenGL");
        return text;
    }
    for (const SCapability& capability : kCapabilities)
        if (!atLeast(major, minor, capability.major, capability.minor) && !hasExtension(extensions, capability.extension))
            addMissing(text, capability.name);
    int glslMajor, glslMinor;
    readVersion(shadingLanguageVersion, &glslMajor, &glslMinor);
    if (!atLeast(glslMajor, glslMinor, 3, 30) && !(glslMajor == 3 && glslMinor == 3))
        addMissing(text, "GLSL 3.30 (OpenGL 3.3 shaders)");
    return text;
}

std::string taProbeGLCapabilities()
{
    const std::string none = "Missing OpenGL. Please install this library.\n";
    Display* display = static_cast<Display*>(taPlatformOpenDisplay());
    if (!display)
        return none;
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
                        GLX_DEPTH_SIZE, 24, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    std::string text = none;
    if (visual) {
        // The same kind of context the device makes (a compatibility context), on a window that
        // is never shown. Whatever context was current stays current afterwards.
        GLXContext context = glXCreateContext(display, visual, nullptr, True);
        Window root = RootWindow(display, visual->screen);
        XSetWindowAttributes windowAttributes = {};
        windowAttributes.colormap = XCreateColormap(display, root, visual->visual, AllocNone);
        Window window = XCreateWindow(display, root, 0, 0, 16, 16, 0, visual->depth, InputOutput, visual->visual,
                                      CWColormap, &windowAttributes);
        Display* previousDisplay = glXGetCurrentDisplay();
        GLXContext previousContext = glXGetCurrentContext();
        GLXDrawable previousDrawable = glXGetCurrentDrawable();
        if (context && glXMakeCurrent(display, window, context)) {
            text = taGLCapabilityText(reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                                      reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)),
                                      reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
            glXMakeCurrent(display, None, nullptr);
        }
        if (previousContext && previousDisplay)
            glXMakeCurrent(previousDisplay, previousDrawable, previousContext);
        if (context)
            glXDestroyContext(display, context);
        XDestroyWindow(display, window);
        XFreeColormap(display, windowAttributes.colormap);
        XFree(visual);
    }
    taPlatformCloseDisplay(display);
    return text;
}
