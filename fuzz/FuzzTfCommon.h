// Shared by the TF fuzz targets: load, then read every entry every way a scene loader would.
#pragma once

#include "core/TaLog.h"
#include "scene/tf/TF.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

inline void fuzzTfQuiet(const char*, void*) {}

inline void fuzzTfDocument(const uint8_t* data, size_t size)
{
    taSetLogSink(fuzzTfQuiet, nullptr);
    TF_Document* document = TF_LoadMemory(data, size);
    if (!document)
        return;
    const float positions[] = {-1.0f, 0.0f, 0.5f, 2.75f, 1e9f, NAN, INFINITY};
    for (uint32_t i = 0; i < document->nodeCount; ++i) {
        const TF_Node* node = &document->nodes[i];
        TF_FindChild(node, "Scene");
        for (uint32_t index : {0u, 1u, 7u, 0xFFFFFFFFu}) {
            TF_FP_Get(node, index);
            TF_FP2_Get(node, index);
            TF_FP3_Get(node, index);
        }
        for (float t : positions) {
            TF_FP_Lerp(node, t);
            TF_FP2_Lerp(node, t);
            TF_FP3_Lerp(node, t);
            TF_FP3_Slerp_HPB_To_XYZ(node, t);
        }
        if (node->kind == TF_KIND_VALUE && node->type == TF_TYPE_STR && strlen(static_cast<const char*>(node->data)) != node->count)
            __builtin_trap();
    }
    TF_Free(document);
}
