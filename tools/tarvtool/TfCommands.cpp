// "tarvtool tf ...".
#include "tools/tarvtool/TfCommands.h"

#include "platform/TaPlatform.h"
#include "scene/tf/TF.h"
#include "tools/tarvtool/TfWriter.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct STfCloser {
    void operator()(TF_Document* document) const { TF_Free(document); }
};
using TfDocumentPtr = std::unique_ptr<TF_Document, STfCloser>;

int usage()
{
    fprintf(stderr,
            "usage: tarvtool tf dump FILE                 the document as text\n"
            "       tarvtool tf totext IN OUT             write IN as a text document\n"
            "       tarvtool tf tobin IN OUT              write IN as a binary document\n"
            "       tarvtool tf stat FILE                 entries, tracks, samples, bytes\n"
            "       tarvtool tf eval FILE PATH T [slerp]  the value at sample position T of the entry at\n"
            "                                             PATH (names joined by '/', e.g. Scene/Cam/Position)\n");
    return 2;
}

TfDocumentPtr load(const char* path)
{
    TfDocumentPtr document(TF_Load(path));
    if (!document)
        fprintf(stderr, "tarvtool: '%s' is not a readable TF document\n", path);
    return document;
}

bool writeOut(const char* path, const std::string& bytes)
{
    if (!taPlatformWriteFileAtomic(path, bytes.data(), bytes.size())) {
        fprintf(stderr, "tarvtool: cannot write '%s': %s\n", path, taPlatformErrorText(errno).c_str());
        return false;
    }
    return true;
}

int convert(const char* in, const char* out, bool binary)
{
    TfDocumentPtr document = load(in);
    if (!document)
        return 1;
    std::string bytes, error;
    if (!(binary ? tfWriteBinary(document->root, bytes, error) : tfWriteText(document->root, bytes, error))) {
        fprintf(stderr, "tarvtool: %s\n", error.c_str());
        return 1;
    }
    if (!out) {
        fwrite(bytes.data(), 1, bytes.size(), stdout);
        return 0;
    }
    return writeOut(out, bytes) ? 0 : 1;
}

int stat(const char* path)
{
    TfDocumentPtr document = load(path);
    if (!document)
        return 1;
    uint64_t nodes = 0, values = 0, arrays = 0, tracks = 0, samples = 0, trackWords = 0;
    for (uint32_t i = 1; i < document->nodeCount; ++i) {
        const TF_Node& node = document->nodes[i];
        if (node.kind == TF_KIND_NODE) {
            ++nodes;
            continue;
        }
        (node.kind == TF_KIND_VALUE ? values : arrays)++;
        if (node.type != TF_TYPE_FP_C)
            continue;
        if (node.kind == TF_KIND_VALUE) {
            ++tracks;
            samples += node.count;
            trackWords += tfTrackWordCount(node.data, node.count);
        } else {
            const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(node.data);
            for (uint32_t k = 0; k < node.count; ++k) {
                ++tracks;
                samples += elements[k].count;
                trackWords += tfTrackWordCount(elements[k].data, elements[k].count);
            }
        }
    }
    printf("form: %s\n", document->form ? "text" : "binary");
    printf("bytes: %zu\n", document->fileSize);
    printf("entries: %llu (nodes %llu, values %llu, arrays %llu)\n",
           static_cast<unsigned long long>(nodes + values + arrays), static_cast<unsigned long long>(nodes),
           static_cast<unsigned long long>(values), static_cast<unsigned long long>(arrays));
    printf("array elements: %u\n", document->elementCount);
    printf("tracks: %llu\n", static_cast<unsigned long long>(tracks));
    printf("samples: %llu (stored in %llu words)\n", static_cast<unsigned long long>(samples),
           static_cast<unsigned long long>(trackWords));
    return 0;
}

// The shortest text that reads back as the same float.
std::string shortest(float value)
{
    char text[32];
    auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

int eval(const char* path, const char* entryPath, const char* position, bool slerp)
{
    char* end = nullptr;
    const float t = strtof(position, &end);
    if (end == position || *end) {
        fprintf(stderr, "tarvtool: '%s' is not a sample position\n", position);
        return 2;
    }
    TfDocumentPtr document = load(path);
    if (!document)
        return 1;
    const TF_Node* node = document->root;
    std::string names = entryPath;
    size_t start = 0;
    while (start <= names.size()) {
        size_t slash = names.find('/', start);
        if (slash == std::string::npos)
            slash = names.size();
        const std::string name = names.substr(start, slash - start);
        const TF_Node* child = TF_FindChild(node, name.c_str());
        if (!child) {
            fprintf(stderr, "tarvtool: no entry '%s' in '%s'\n", name.c_str(), names.substr(0, start).c_str());
            return 1;
        }
        node = child;
        start = slash + 1;
    }
    const bool isFloat = node->kind != TF_KIND_NODE && (node->type == TF_TYPE_FP || node->type == TF_TYPE_FP_C);
    if (!isFloat) {
        fprintf(stderr, "tarvtool: '%s' is not an FP or FP_C entry\n", entryPath);
        return 1;
    }
    const uint32_t channels = node->kind == TF_KIND_ARRAY ? node->count : node->type == TF_TYPE_FP ? node->count : 1;
    // The interpolators answer zeros for a shape they refuse: say so and fail instead.
    const uint32_t wanted = slerp || channels == 3 ? 3 : channels == 2 ? 2 : 0;
    if (wanted && !TF_FP_VectorShape(node, wanted)) {
        fprintf(stderr, "tarvtool: '%s' is not a value the %s interpolation takes (an FP value or an FP_C array of %u tracks)\n",
                entryPath, slerp ? "HPB rotation" : wanted == 3 ? "3-channel" : "2-channel", wanted);
        return 1;
    }
    if (slerp || channels == 3) {
        const TF_Float3 v = slerp ? TF_FP3_Slerp_HPB_To_XYZ(node, t) : TF_FP3_Lerp(node, t);
        printf("%s %s %s\n", shortest(v.x).c_str(), shortest(v.y).c_str(), shortest(v.z).c_str());
    } else if (channels == 2) {
        const TF_Float2 v = TF_FP2_Lerp(node, t);
        printf("%s %s\n", shortest(v.x).c_str(), shortest(v.y).c_str());
    } else if (node->kind == TF_KIND_VALUE) {
        printf("%s\n", shortest(TF_FP_Lerp(node, t)).c_str());
    } else {
        fprintf(stderr, "tarvtool: '%s' has %u channels; only 1, 2 or 3 can be evaluated\n", entryPath, channels);
        return 1;
    }
    return 0;
}

} // namespace

int tfCommand(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "dump" && argc == 3)
        return convert(argv[2], nullptr, false);
    if (command == "totext" && argc == 4)
        return convert(argv[2], argv[3], false);
    if (command == "tobin" && argc == 4)
        return convert(argv[2], argv[3], true);
    if (command == "stat" && argc == 3)
        return stat(argv[2]);
    if (command == "eval" && (argc == 5 || (argc == 6 && strcmp(argv[5], "slerp") == 0)))
        return eval(argv[2], argv[3], argv[4], argc == 6);
    return usage();
}
