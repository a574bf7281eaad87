// The plain records of surfaces: what the node layer's surfaces hold and the surface binds read at
// every draw.
#pragma once

#include <irrlicht.h>

// Surface kinds, four characters built like Irrlicht's type ids.
enum ETaSurfaceType : irr::u32 {
    ETAST_LIGHTWAVE = MAKE_IRR_ID('l', 'w', 's', 'r'),
    ETAST_LIGHTWAVEHV = MAKE_IRR_ID('l', 'w', 'h', 'v'),
};

// The channels, by their index in the record.
enum ETaSurfaceChannel {
    ETASC_BASECOLOR = 0, ETASC_LUMINOSITY, ETASC_DIFFUSE, ETASC_SPECULARITY, ETASC_REFLECTIVITY,
    ETASC_TRANSPARENCY, ETASC_TRANSLUCENCY, ETASC_IOR, ETASC_BUMP, ETASC_GLOSSINESS,
    ETASC_SPECIALBUFFER1, ETASC_SPECIALBUFFER2, ETASC_SPECIALBUFFER3, ETASC_SPECIALBUFFER4,
    ETASC_DIFFUSESHARPNESS, ETASC_BUMPDROPOFF, ETASC_SMOOTHINGANGLE, ETASC_REFLECTIONSEAMANGLE,
    ETASC_REFRACTIONSEAMANGLE, ETASC_REFLECTIONBLURRING, ETASC_REFRACTIONBLURRING, ETASC_COLORFILTER,
    ETASC_COLORHIGHLIGHTS, ETASC_ADDITIVETRANSPARENCY, ETASC_ALPHAVALUE, ETASC_GLOWVALUE, ETASC_LINECOLOR,
    ETASC_LINESIZE, ETASC_ALPHAOPTIONS, ETASC_REFLECTIONOPTIONS, ETASC_REFRACTIONOPTIONS, ETASC_SIDEDNESS,
    ETASC_EXCLUDEFROMVSTACK, ETASC_GLOW, ETASC_RENDEROUTLINES, ETASC_REFLECTIONIMAGE, ETASC_REFRACTIONIMAGE,
    ETASC_VERTEXCOLORING, ETASC_VERTEXNORMAL,
    ETASC_COUNT
};

// A channel's name as scene documents and the LW_ semantics spell it.
const char* taSurfaceChannelName(int channel);

// One channel: its value (one float, one int or three floats, by the channel's use), its image map
// and whether the image is sRGB.
struct STaSurfaceChannel {
    union {
        irr::f32 f;
        irr::s32 i;
        irr::f32 v[3];
    } value;
    irr::video::ITexture* texture;
    irr::u8 colourSpace;
};

struct STaSurfaceLightwaveData {
    STaSurfaceChannel channels[ETASC_COUNT];
};

struct STaSurfaceLightwaveHVData {
    irr::u8 hasTexture = 0;
    irr::f32 colour[4] = {1, 1, 1, 1};
    irr::f32 size = 0.2f;
    irr::f32 rotation = 0;
    irr::s32 blendMode = 1; // 0 alpha, 1 additive, 2 subtractive
    irr::s32 colourKeyCount = 0;
    irr::f32 colourKeyPositions[9] = {};
    irr::f32 colourKeyValues[9][4] = {};
    irr::s32 sizeKeyCount = 0;
    irr::f32 sizeKeyPositions[9] = {};
    irr::f32 sizeKeyValues[9] = {};
    irr::f32 opacity = 1;
    irr::video::ITexture* texture = nullptr; // the clip map
};

