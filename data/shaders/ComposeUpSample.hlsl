/*
[TARV_BEGIN]
//title Compose and up-sample
//subject Layer 0 added onto the target, scaled by Intensity
//comments Drawn additively (ONE/ONE) over a target that is not cleared, usually twice the source's size: the source is read bilinearly, so a smaller level spreads smoothly over the larger one. Used up the glow pyramid and to add the glow or the streaks onto the picture.
//config baseMaterial : transparent_one_one
//float Intensity : 1 : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float Intensity;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    return tex2D(Source, input.uv) * Intensity;
}
