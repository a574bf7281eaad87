// The SMAA lookup images, made from the method's geometry: the area image (how much of a pixel
// along an edge line the revectorised boundary covers) and the search image (how many pixels the
// last bilinear fetch of an edge search adds). Pure functions returning pixels; tools/smaa/main.cpp
// writes them as PNG files, data/shaders/SMAA-2-BlendingWeightCalculation.fx reads them.
//
// Sections: the edge line model; the area image; the search image; checksums.
//
// --- The edge line model ---
// The edge pass marks, for each pixel, an edge at its left side (red) and at its top side (green),
// "top" being the row before in the texture's memory order. A line is a run of pixels with the same
// edge side set (a horizontal line of top edges, or a vertical line of left edges); the pixel that
// holds the edge is the line's owner side (below a horizontal line, right of a vertical one), the
// pixels across the edge are the other side. The line runs from its start (left or top end) to its
// end (right or bottom end); at each end an edge may cross it:
//   pattern 0: no crossing edge;
//   pattern 1: a crossing edge on the owner side only (the boundary steps into the owner's row);
//   pattern 2: a crossing edge on the other side only;
//   pattern 3: crossing edges on both sides (a junction, treated as no crossing).
// The boundary is re-drawn through the middle of each crossing edge: height +1/2 (into the owner's
// row) at an end of pattern 1, -1/2 at pattern 2, 0 at patterns 0 and 3, falling linearly to 0 at the
// middle of the line from each end. A line of length L = dStart + dEnd + 1 pixels thus becomes a
// straight line for a Z (patterns 1 and 2), a V for a U (1 and 1, or 2 and 2) and a triangle over half
// the line for an L (one end 0). Where the re-drawn boundary runs into the owner's pixel, that much of
// the owner takes the other side's colour; where it runs into the other pixel, that one takes the
// owner's colour.
//
// --- The area image: 68 x 68 (4 x 4 blocks of 17 x 17) ---
// Block column = start pattern, block row = end pattern; inside a block, x = dStart and y = dEnd, the
// pixels of the line before and after the owner pixel (0 to 16; a search reaches 16 at most). Red is
// the owner's covered part, green the other pixel's, each the integral of the boundary height over
// the owner pixel's span [dStart, dStart + 1] (at most 1/2), stored as round(area * 255); blue 0,
// alpha 255. A shader reads texel ((startPattern * 17 + dStart + 0.5) / 68,
// (endPattern * 17 + dEnd + 0.5) / 68), image row 0 being v near 0.
//
// --- The search image: 64 x 32, two halves of 32 x 32 ---
// A search walks along the line two pixels a fetch: it reads the edge image bilinearly a quarter
// texel from the near pixel's centre towards the far one, along the line, at the owner's row or
// column, so that the line channel gives l = 3/4 line(near) + 1/4 line(far) and the crossing channel
// c = 3/4 cross(near) + 1/4 cross(far), cross(p) being the crossing edge at the side of p towards the
// line's start (a left edge for a horizontal line, a top edge for a vertical one). The walk goes on
// while l = 1 and c = 0. The image turns the last fetch into the pixels it adds to the line (0, 1
// or 2): left half (x 0 to 31) for searches towards the start (left, up), right half (x 32 to 63)
// towards the end (right, down). Texel (32 * half + i, j) answers for c = i / 31 and l = j / 31
// (a shader reads it point-sampled at ((c * 31 + 0.5 + 32 * half) / 64, (l * 31 + 0.5) / 32)), each
// decoded to the nearest valid fetch. Red holds count * 255 / 2 rounded (0, 128, 255); green and
// blue the same, alpha 255.
//   towards the start: near pixel not on the line 0; a crossing between near and far 1; far not on
//                      the line 1; else 2 (a crossing beyond the far pixel ends the walk there);
//   towards the end:   a crossing before the near pixel 0; near not on the line 0; a crossing
//                      between near and far 1; far not on the line 1; else 2.
//
// --- Checksums ---
// The SHA-256 of an image's pixels (its RGBA bytes, rows from the top), as data/textures/
// SmaaLookup.sha256 keeps them: a line "FILE WIDTHxHEIGHT HEX" per image, "#" lines are comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int TA_SMAA_MAX_SEARCH_STEPS = 8;                        // fetches per search direction
constexpr int TA_SMAA_MAX_DISTANCE = 2 * TA_SMAA_MAX_SEARCH_STEPS; // pixels a search reaches
constexpr int TA_SMAA_AREA_BLOCK = TA_SMAA_MAX_DISTANCE + 1;       // side of an area block
constexpr int TA_SMAA_AREA_SIZE = 4 * TA_SMAA_AREA_BLOCK;          // side of the area image
constexpr int TA_SMAA_SEARCH_HALF = 32;                            // side of a search-image half

// An image as 8-bit RGBA bytes, rows from the top.
struct STaSmaaImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* texel(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// The covered parts of the owner pixel (owner) and of the pixel across the edge (other) for a line
// with these end patterns (0 to 3) and the owner pixel dStart pixels after the start and dEnd before
// the end.
struct STaSmaaArea {
    double owner = 0, other = 0;
};
STaSmaaArea taSmaaArea(int startPattern, int endPattern, int dStart, int dEnd);
STaSmaaImage taSmaaAreaImage();

// The pixels the last fetch of a search adds (0 to 2), from the four edges it mixes: whether the
// near and far pixels are on the line and whether a crossing edge lies at their start-side sides.
int taSmaaSearchCount(bool towardsEnd, bool lineNear, bool lineFar, bool crossNear, bool crossFar);
STaSmaaImage taSmaaSearchImage();

// SHA-256 as 64 lower-case hexadecimal digits.
std::string taSmaaSha256(const uint8_t* data, size_t size);
inline std::string taSmaaSha256(const STaSmaaImage& image) { return taSmaaSha256(image.rgba.data(), image.rgba.size()); }
// The checksum file's line for an image.
std::string taSmaaChecksumLine(const char* file, const STaSmaaImage& image);
