// Writing TF documents.
#include "tools/tarvtool/TfWriter.h"

#include <charconv>
#include <cstring>

namespace {

// Shortest text that reads back as the same float.
void appendFloat(std::string& out, float value)
{
    char text[32];
    auto result = std::to_chars(text, text + sizeof(text), value);
    out.append(text, result.ptr);
}

float floatOf(uint32_t word)
{
    float value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

bool isTextSafeName(const char* name, bool isNode)
{
    if (!name || !name[0])
        return false;
    if (!isNode && (name[0] == '#' || name[0] == '/' || name[0] == '}' || name[0] == '{' || name[0] == ']'))
        return false;
    for (const char* p = name; *p; ++p)
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            return false;
    return true;
}

// One value or element's data as the text of a value line.
bool dataText(uint32_t type, uint32_t count, const void* data, std::string& out, std::string& error, const char* name)
{
    const uint32_t* words = static_cast<const uint32_t*>(data);
    switch (type) {
    case TF_TYPE_STR: {
        const char* text = static_cast<const char*>(data);
        if (memchr(text, '\n', count) || memchr(text, '\r', count)) {
            error = std::string("the string of '") + name + "' has a line break, which the text form cannot hold";
            return false;
        }
        out += '"';
        out.append(text, count);
        out += '"';
        return true;
    }
    case TF_TYPE_FP_C:
        out += tfTrackText(data, count);
        return true;
    default:
        if (count == 0) {
            error = std::string("'") + name + "' holds no numbers, which the text form cannot write";
            return false;
        }
        for (uint32_t i = 0; i < count; ++i) {
            if (i)
                out += ' ';
            if (type == TF_TYPE_I4)
                out += std::to_string(static_cast<int32_t>(words[i]));
            else if (type == TF_TYPE_U4)
                out += std::to_string(words[i]);
            else
                appendFloat(out, floatOf(words[i]));
        }
        return true;
    }
}

bool writeTextEntry(const TF_Node* node, int depth, std::string& out, std::string& error)
{
    const std::string indent(size_t(depth) * 2, ' ');
    if (!isTextSafeName(node->name, node->kind == TF_KIND_NODE)) {
        error = std::string("the name '") + (node->name ? node->name : "") +
                "' cannot be written as text (empty, blanks, or a leading # / { } ])";
        return false;
    }
    if (node->kind == TF_KIND_NODE) {
        out += indent + "{ " + node->name + "\n";
        for (uint32_t i = 0; i < node->type; ++i)
            if (!writeTextEntry(node->children[i], depth + 1, out, error))
                return false;
        out += indent + "}\n";
        return true;
    }
    out += indent + node->name + " " + TF_TypeName(node->type) + " ";
    if (node->kind == TF_KIND_VALUE) {
        if (!dataText(node->type, node->count, node->data, out, error, node->name))
            return false;
        out += "\n";
        return true;
    }
    out += "[\n";
    const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(node->data);
    for (uint32_t i = 0; i < node->count; ++i) {
        out += indent + "  ";
        if (!dataText(node->type, elements[i].count, elements[i].data, out, error, node->name))
            return false;
        out += "\n";
    }
    out += indent + "]\n";
    return true;
}

void putBE32(std::string& out, uint32_t value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void patchBE32(std::string& out, size_t at, uint32_t value)
{
    out[at] = char(value >> 24);
    out[at + 1] = char(value >> 16);
    out[at + 2] = char(value >> 8);
    out[at + 3] = char(value);
}

void putPadded(std::string& out, const char* text, size_t length)
{
    out.append(text, length);
    out.append((length + 4) / 4 * 4 - length, '\0');
}

// Opens a chunk; closeChunk writes its size.
size_t openChunk(std::string& out, const char* id)
{
    out.append(id, 4);
    putBE32(out, 0);
    return out.size();
}

bool closeChunk(std::string& out, size_t contentStart, std::string& error)
{
    const size_t size = out.size() - contentStart;
    if (size > UINT32_MAX) {
        error = "a chunk is larger than 4 GB";
        return false;
    }
    patchBE32(out, contentStart - 4, static_cast<uint32_t>(size));
    return true;
}

void putData(std::string& out, uint32_t type, uint32_t count, const void* data)
{
    if (type == TF_TYPE_STR) {
        putPadded(out, static_cast<const char*>(data), count);
        return;
    }
    const size_t words = type == TF_TYPE_FP_C ? tfTrackWordCount(data, count) : count;
    const uint32_t* w = static_cast<const uint32_t*>(data);
    for (size_t i = 0; i < words; ++i)
        putBE32(out, w[i]);
}

bool writeBinaryEntry(const TF_Node* node, std::string& out, std::string& error)
{
    const char* id = node->kind == TF_KIND_NODE ? "NODE" : node->kind == TF_KIND_VALUE ? "NVAL" : "NARR";
    const size_t start = openChunk(out, id);
    putPadded(out, node->name, strlen(node->name));
    if (node->kind == TF_KIND_NODE) {
        for (uint32_t i = 0; i < node->type; ++i)
            if (!writeBinaryEntry(node->children[i], out, error))
                return false;
        return closeChunk(out, start, error);
    }
    putBE32(out, node->type);
    if (node->kind == TF_KIND_VALUE) {
        putData(out, node->type, node->count, node->data);
    } else {
        const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(node->data);
        for (uint32_t i = 0; i < node->count; ++i) {
            const size_t element = openChunk(out, "AVAL");
            putData(out, node->type, elements[i].count, elements[i].data);
            if (!closeChunk(out, element, error))
                return false;
        }
    }
    return closeChunk(out, start, error);
}

} // namespace

size_t tfTrackWordCount(const void* data, uint32_t samples)
{
    const uint32_t* record = static_cast<const uint32_t*>(data);
    size_t words = 0;
    uint64_t done = 0;
    while (done < samples) {
        const size_t length = record[0] == TF_FPC_RUN ? 3 : 2 + size_t(record[1]);
        done += record[1];
        words += length;
        record += length;
    }
    return words;
}

std::string tfTrackText(const void* data, uint32_t samples)
{
    if (samples == 0)
        return "RUN 0 0";
    std::string out;
    const uint32_t* record = static_cast<const uint32_t*>(data);
    uint64_t done = 0;
    while (done < samples) {
        if (!out.empty())
            out += ' ';
        const uint32_t count = record[1];
        out += record[0] == TF_FPC_RUN ? "RUN " : "DAT ";
        out += std::to_string(count);
        const size_t floats = record[0] == TF_FPC_RUN ? 1 : count;
        for (size_t i = 0; i < floats; ++i) {
            out += ' ';
            appendFloat(out, floatOf(record[2 + i]));
        }
        done += count;
        record += 2 + floats;
    }
    return out;
}

bool tfWriteText(const TF_Node* root, std::string& out, std::string& error)
{
    out.clear();
    for (uint32_t i = 0; root && root->kind == TF_KIND_NODE && i < root->type; ++i)
        if (!writeTextEntry(root->children[i], 0, out, error))
            return false;
    return true;
}

bool tfWriteBinary(const TF_Node* root, std::string& out, std::string& error)
{
    out.clear();
    out += "FORM";
    putBE32(out, 0);
    out += "TRVF";
    for (uint32_t i = 0; root && root->kind == TF_KIND_NODE && i < root->type; ++i)
        if (!writeBinaryEntry(root->children[i], out, error))
            return false;
    if (out.size() - 8 > UINT32_MAX) {
        error = "the document is larger than 4 GB";
        return false;
    }
    patchBE32(out, 4, static_cast<uint32_t>(out.size() - 8));
    return true;
}
