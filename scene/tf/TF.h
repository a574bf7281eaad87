// TF documents: the engine's tree format for scenes exported from LightWave, in a text and a
// big-endian chunked binary form; the sample accessors and interpolators of animated values.
//
// Index
//   types ......... value types, entry kinds, TF_Node, TF_ArrayElement, TF_Document
//   loading ....... TF_Load, TF_LoadMemory, TF_Free, TF_GetRoot, TF_FindChild
//   samples ....... TF_FP_Get, TF_FP2_Get, TF_FP3_Get
//   interpolation . TF_FP_Lerp, TF_FP2_Lerp, TF_FP3_Lerp, TF_FP3_Slerp_HPB_To_XYZ
//
// Documents are untrusted input. A document loads whole or not at all: every chunk and record is
// checked before it is used, tracks are validated against the words they are stored in, and nodes
// nest at most TF_MAX_DEPTH levels below the root. Accessors never read past an entry's data: an
// entry with too few elements reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>

// Value types: the keyword of the text form and the code of the binary form.
enum {
    TF_TYPE_I4 = 0,   // 32-bit signed integers
    TF_TYPE_U4 = 1,   // 32-bit unsigned integers
    TF_TYPE_FP = 2,   // 32-bit floats
    TF_TYPE_STR = 3,  // one NUL-terminated string
    TF_TYPE_FP_C = 4, // a compressed float track (RUN and DAT records)
};

// Entry kinds.
enum {
    TF_KIND_NODE = 0,  // an ordered list of children
    TF_KIND_VALUE = 1, // one typed value
    TF_KIND_ARRAY = 2, // an ordered list of typed elements of one type, each with its own count
};

// FP_C record markers.
enum {
    TF_FPC_RUN = 0, // marker, count n, one float: n equal samples
    TF_FPC_DAT = 1, // marker, count n, n floats: n literal samples
};

// How deep nodes may nest below the root (the readers' open-node stacks hold 20 places).
constexpr int TF_MAX_DEPTH = 19;

// One element of an array: its count (as for a value) and its data.
struct TF_ArrayElement {
    uint32_t count;
    void* data;
};

// One entry of a document.
struct TF_Node {
    uint32_t kind; // TF_KIND_...
    const char* name;
    // Node: number of children. Value, array: the value type code.
    uint32_t type;
    union {
        TF_Node** children; // node: its children, in order
        uint32_t count;     // value: element count; array: number of elements
    };
    // Value: the elements (for FP_C the stored words). Array: TF_ArrayElement records. Node: none.
    void* data;
};
// The element count of a value means: I4, U4, FP: 32-bit elements; STR: string length without
// the NUL; FP_C: decoded samples (the stored words are checked at load and not counted here).

// A loaded document. Readers hold plain pointers into its blocks for its lifetime.
struct TF_Document {
    TF_Node* root;                // named "root"; the file's top-level entries are its children
    int form;                     // 1 text, 0 binary
    char* buffer;                 // the file, kept for a binary document (names and data live in it)
    TF_Node* nodes;               // every entry, depth-first pre-order, root first
    TF_Node** childPointers;      // every node's children, each node's run contiguous
    TF_ArrayElement* elements;    // every array element
    char* textData;               // text document: names, strings and numeric data
    uint32_t nodeCount;           // entries, the root included
    uint32_t childPointerCount;
    uint32_t elementCount;
    size_t fileSize;
};

// Loads a document through the file layer, telling the form from its first twelve bytes. nullptr
// when the file cannot be read or is not a valid document (the reason goes to the debug output).
TF_Document* TF_Load(const char* path);
// The same from memory (the bytes are copied).
TF_Document* TF_LoadMemory(const void* bytes, size_t size);
void TF_Free(TF_Document* document);
TF_Node* TF_GetRoot(TF_Document* document);

// The first child of `node` named `name` (exact, case-sensitive), or nullptr. Accepts nullptr, so
// lookups chain without checks.
TF_Node* TF_FindChild(const TF_Node* node, const char* name);

// Two and three floats.
struct TF_Float2 {
    float x, y;
};
struct TF_Float3 {
    float x, y, z;
};

// Sample i of an FP or FP_C entry (value or array; an array's channels are its elements), the index
// clamped to the last sample. Anything else, or an entry without that many elements, reads as 0.
float TF_FP_Get(const TF_Node* node, uint32_t i);
TF_Float2 TF_FP2_Get(const TF_Node* node, uint32_t i);
TF_Float3 TF_FP3_Get(const TF_Node* node, uint32_t i);

// True when TF_FP2_Lerp (n = 2) or TF_FP3_Lerp and TF_FP3_Slerp_HPB_To_XYZ (n = 3) take the entry:
// one FP value (its n components), or an FP_C array of exactly n tracks. They refuse anything
// else (a debug line and zeros).
bool TF_FP_VectorShape(const TF_Node* node, uint32_t n);

// The value at sample position t (a float: seconds * framesPerSecond / frameStep). Positions below
// 0 (and NaN) read sample 0, positions past the end the last sample.
float TF_FP_Lerp(const TF_Node* node, float t);
TF_Float2 TF_FP2_Lerp(const TF_Node* node, float t);
TF_Float3 TF_FP3_Lerp(const TF_Node* node, float t);
// Heading, pitch and bank channels interpolated as a rotation; the result is XYZ Euler angles in
// radians.
TF_Float3 TF_FP3_Slerp_HPB_To_XYZ(const TF_Node* node, float t);

// Checks the FP_C records in `words` stored words: markers 0 or 1, every count within the words,
// the records filling the words exactly. Returns false when they do not; `samples` receives the
// decoded sample count (which must fit 32 bits).
bool TF_ValidateTrack(const uint32_t* words, size_t wordCount, uint32_t* samples);

// The name of a value type ("I4" ... "FP_C"), or nullptr for an unknown code.
const char* TF_TypeName(uint32_t type);
