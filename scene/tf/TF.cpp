// TF documents: loading both forms into three blocks, the sample accessors and the interpolators.
//
// Both readers turn the file into one list of entries in file order (which is depth-first
// pre-order) with offsets into their data; a final step lays the entries out as TF_Node records
// with real pointers. The binary reader makes one pass over the chunks that checks every header
// against its parent, validates tracks and converts data words to host order in place, so a failed
// check leaves nothing half-built: the whole buffer is simply released.
#include "scene/tf/TF.h"

#include "core/TaLog.h"
#include "files/TaFile.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

const char TF_ROOT_NAME[] = "root";

// An entry as a reader finds it: offsets, not pointers, until the layout step.
struct STfEntry {
    uint32_t kind;
    uint32_t type;
    uint32_t count;  // value: element count; array: number of elements
    uint32_t parent; // index of the parent node (the root is its own parent)
    size_t nameOffset;
    size_t dataOffset;    // value: where its data begins (see STfStorage); array: first element
    uint32_t childCount;  // nodes
};

struct STfElement {
    uint32_t count;
    size_t dataOffset;
};

// A document and everything it owns. TF_Free deletes it through the public record.
struct STfStorage : TF_Document {
    std::unique_ptr<char[]> file;      // binary: the file, names and data live in it
    std::vector<char> chars;           // text: names and strings
    std::vector<uint32_t> words;       // text: numeric data
    std::vector<TF_Node> nodeBlock;
    std::vector<TF_Node*> childBlock;
    std::vector<TF_ArrayElement> elementBlock;
};

// --- Layout: entries to TF_Node records ---
// Names live at `nameBase` + offset; numeric data at `wordBase` + offset (bytes) and strings at
// `charBase` + offset.
void layOut(STfStorage& doc, const std::vector<STfEntry>& entries, const std::vector<STfElement>& elements,
            const char* nameBase, char* wordBase, char* charBase)
{
    const size_t n = entries.size();
    doc.nodeBlock.resize(n);
    doc.elementBlock.resize(elements.size());
    size_t childTotal = 0;
    std::vector<size_t> childCursor(n, 0);
    for (size_t i = 0; i < n; ++i) {
        if (entries[i].kind == TF_KIND_NODE) {
            childCursor[i] = childTotal;
            childTotal += entries[i].childCount;
        }
    }
    doc.childBlock.resize(childTotal);

    for (size_t i = 0; i < elements.size(); ++i)
        doc.elementBlock[i].count = elements[i].count;

    for (size_t i = 0; i < n; ++i) {
        const STfEntry& e = entries[i];
        TF_Node& node = doc.nodeBlock[i];
        node.kind = e.kind;
        node.name = i == 0 ? TF_ROOT_NAME : nameBase + e.nameOffset;
        node.data = nullptr;
        if (e.kind == TF_KIND_NODE) {
            node.type = e.childCount;
            node.children = doc.childBlock.data() + childCursor[i];
        } else {
            node.type = e.type;
            node.count = e.count;
            char* base = e.type == TF_TYPE_STR ? charBase : wordBase;
            if (e.kind == TF_KIND_VALUE) {
                node.data = base + e.dataOffset;
            } else {
                node.data = doc.elementBlock.data() + e.dataOffset;
                for (uint32_t k = 0; k < e.count; ++k) {
                    TF_ArrayElement& element = doc.elementBlock[e.dataOffset + k];
                    element.data = base + elements[e.dataOffset + k].dataOffset;
                }
            }
        }
        if (i > 0)
            doc.childBlock[childCursor[e.parent]++] = &node;
    }
    doc.root = doc.nodeBlock.data();
    doc.nodes = doc.nodeBlock.data();
    doc.childPointers = doc.childBlock.data();
    doc.elements = doc.elementBlock.data();
    doc.nodeCount = static_cast<uint32_t>(n);
    doc.childPointerCount = static_cast<uint32_t>(childTotal);
    doc.elementCount = static_cast<uint32_t>(elements.size());
}

STfEntry rootEntry()
{
    return STfEntry{TF_KIND_NODE, 0, 0, 0, 0, 0, 0};
}

// --- Text form ---
bool isBlank(char c) { return c == ' ' || c == '\t'; }

class CTfTextReader
{
public:
    CTfTextReader(STfStorage& doc, const char* text, size_t size) : m_doc(doc), m_text(text), m_end(text + size) {}

    bool read()
    {
        m_entries.reserve(256);
        m_entries.push_back(rootEntry());
        m_stack[0] = 0;
        // Every number takes at least two bytes (a digit and a separator), so this many words is
        // enough for the whole file: no reallocation while parsing.
        m_doc.words.reserve(static_cast<size_t>(m_end - m_text) / 2 + 1);
        const char* p = m_text;
        int line = 1;
        while (p < m_end) {
            // The first of LF, CR and NUL, each found with a vectorised memchr.
            const size_t left = static_cast<size_t>(m_end - p);
            const char* lineEnd = static_cast<const char*>(memchr(p, '\n', left));
            if (!lineEnd)
                lineEnd = m_end;
            if (const void* cr = memchr(p, '\r', static_cast<size_t>(lineEnd - p)))
                lineEnd = static_cast<const char*>(cr);
            if (const void* nul = memchr(p, '\0', static_cast<size_t>(lineEnd - p)))
                lineEnd = static_cast<const char*>(nul);
            if (!readLine(p, lineEnd, line))
                return false;
            p = lineEnd;
            if (p < m_end) {
                if (*p == '\0') {
                    ++p;
                } else {
                    while (p < m_end && (*p == '\n' || *p == '\r'))
                        ++p;
                }
                ++line;
            }
        }
        // Nodes and an array still open at the end are accepted as they stand.
        char* chars = m_doc.chars.data();
        layOut(m_doc, m_entries, m_elements, chars, reinterpret_cast<char*>(m_doc.words.data()), chars);
        return true;
    }

private:
    bool fail(const char* format, int line, const char* detail = "")
    {
        taDebugPrint(format, line, detail);
        return false;
    }

    size_t addName(const char* begin, const char* end)
    {
        size_t offset = m_doc.chars.size();
        m_doc.chars.insert(m_doc.chars.end(), begin, end);
        m_doc.chars.push_back(0);
        return offset;
    }

    bool readLine(const char* s, const char* e, int line)
    {
        while (s < e && isBlank(*s))
            ++s;
        if (s == e || *s == '#' || *s == '/')
            return true;
        if (m_inArray) {
            if (*s == ']') {
                m_inArray = false;
                return true;
            }
            STfEntry& array = m_entries[m_arrayEntry];
            STfElement element{0, 0};
            if (!parseData(array.type, s, e, line, element.count, element.dataOffset))
                return false;
            m_elements.push_back(element);
            ++array.count;
            return true;
        }
        if (*s == '}') {
            if (m_depth == 0)
                return fail("line %d: too many }\n", line);
            --m_depth;
            return true;
        }
        const char* w1 = s;
        while (s < e && !isBlank(*s))
            ++s;
        const char* w1End = s;
        while (s < e && isBlank(*s))
            ++s;
        const char* w2 = s;
        while (s < e && !isBlank(*s))
            ++s;
        const char* w2End = s;
        while (s < e && isBlank(*s))
            ++s;
        if (w2 == w2End) {
            taDebugPrint("Line does not have enough token\n");
            return fail("line %d: Invalid line\n", line);
        }
        if (*w1 == '{') {
            if (m_depth >= TF_MAX_DEPTH)
                return fail("line %d: nodes nest deeper than the 19 levels a document may have\n", line);
            STfEntry node{TF_KIND_NODE, 0, 0, m_stack[m_depth], addName(w2, w2End), 0, 0};
            ++m_entries[m_stack[m_depth]].childCount;
            m_stack[++m_depth] = static_cast<uint32_t>(m_entries.size());
            m_entries.push_back(node);
            return true;
        }
        if (s == e) {
            taDebugPrint("Line value does not have enough token\n");
            return fail("line %d: Invalid line\n", line);
        }
        const std::string typeName(w2, w2End);
        int type = -1;
        for (uint32_t t = TF_TYPE_I4; t <= TF_TYPE_FP_C; ++t)
            if (typeName == TF_TypeName(t))
                type = static_cast<int>(t);
        if (type < 0)
            return fail("line %d: unknown value type %s\n", line, typeName.c_str());

        STfEntry entry{TF_KIND_VALUE, static_cast<uint32_t>(type), 0, m_stack[m_depth], addName(w1, w1End), 0, 0};
        ++m_entries[m_stack[m_depth]].childCount;
        if (*s == '[') {
            entry.kind = TF_KIND_ARRAY;
            entry.dataOffset = m_elements.size();
            m_inArray = true;
            m_arrayEntry = m_entries.size();
            m_entries.push_back(entry);
            return true;
        }
        if (!parseData(entry.type, s, e, line, entry.count, entry.dataOffset))
            return false;
        m_entries.push_back(entry);
        return true;
    }

    // The next whitespace-separated token of [s, e), or false at the end.
    static bool nextToken(const char*& s, const char* e, const char*& token, const char*& tokenEnd)
    {
        while (s < e && isBlank(*s))
            ++s;
        if (s == e)
            return false;
        token = s;
        while (s < e && !isBlank(*s))
            ++s;
        tokenEnd = s;
        return true;
    }

    // The common case of an exported number: at most 7 significant digits (24 bits) and a small
    // decimal exponent. Then one float multiplication or division of two exact floats gives the
    // correctly rounded result (Clinger's fast path); anything else goes to the full parser.
    static bool toFloatFast(const char* p, const char* end, float& out) { return toFloatFast(p, end, out, true) != nullptr; }

    // The same, reading from `p` up to the end of the number; returns where it stopped, or nullptr
    // when the number is not one of the common case. `whole` asks that the number fill [p, end).
    static const char* toFloatFast(const char* p, const char* end, float& out, bool whole)
    {
        static const float powers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        bool negative = false;
        if (p < end && (*p == '-' || *p == '+'))
            negative = *p++ == '-';
        uint32_t mantissa = 0;
        int digits = 0, exponent = 0;
        const char* start = p;
        while (p < end && *p >= '0' && *p <= '9') {
            if (mantissa == 0 && *p == '0') {
                ++p; // leading zeros are free
                continue;
            }
            mantissa = mantissa * 10 + uint32_t(*p++ - '0');
            if (++digits > 8)
                return nullptr;
        }
        const bool hadIntegerDigits = p > start;
        if (p < end && *p == '.') {
            ++p;
            const char* fraction = p;
            while (p < end && *p >= '0' && *p <= '9') {
                if (mantissa == 0 && *p == '0') {
                    ++p;
                    --exponent;
                    continue;
                }
                mantissa = mantissa * 10 + uint32_t(*p++ - '0');
                --exponent;
                if (++digits > 8)
                    return nullptr;
            }
            if (p == fraction && !hadIntegerDigits)
                return nullptr;
        } else if (!hadIntegerDigits) {
            return nullptr;
        }
        if (p < end && (*p == 'e' || *p == 'E')) {
            ++p;
            bool negativeExponent = false;
            if (p < end && (*p == '-' || *p == '+'))
                negativeExponent = *p++ == '-';
            if (p == end || *p < '0' || *p > '9')
                return nullptr;
            int value = 0;
            while (p < end && *p >= '0' && *p <= '9' && value < 1000)
                value = value * 10 + (*p++ - '0');
            exponent += negativeExponent ? -value : value;
        }
        if ((whole ? p != end : (p < end && !isBlank(*p))) || mantissa > (1u << 24) || exponent < -10 ||
            exponent > 10)
            return nullptr;
        float value = static_cast<float>(mantissa);
        value = exponent >= 0 ? value * powers[exponent] : value / powers[-exponent];
        out = negative ? -value : value;
        return p;
    }

    // A token as a float: what is not a number reads as 0; out of range as infinity or 0.
    static float toFloat(const char* token, const char* end)
    {
        float value = 0;
        if (toFloatFast(token, end, value))
            return value;
        if (token < end && *token == '+')
            ++token;
        auto result = std::from_chars(token, end, value);
        if (result.ec == std::errc::result_out_of_range) {
            std::string copy(token, end);
            return strtof(copy.c_str(), nullptr);
        }
        return result.ec == std::errc() ? value : 0.0f;
    }

    static uint32_t toWord(uint32_t type, const char* token, const char* end)
    {
        if (type == TF_TYPE_FP) {
            float value = toFloat(token, end);
            uint32_t word;
            memcpy(&word, &value, sizeof(word));
            return word;
        }
        if (token < end && *token == '+')
            ++token;
        long long value = 0;
        auto result = std::from_chars(token, end, value, 10);
        if (result.ec == std::errc::result_out_of_range)
            value = (*token == '-') ? INT64_MIN : INT64_MAX;
        else if (result.ec != std::errc())
            value = 0;
        // Out-of-range numbers saturate at the type's limits.
        if (type == TF_TYPE_I4) {
            value = value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value;
            return static_cast<uint32_t>(static_cast<int32_t>(value));
        }
        value = value < 0 ? 0 : value > static_cast<long long>(UINT32_MAX) ? UINT32_MAX : value;
        return static_cast<uint32_t>(value);
    }

    bool parseData(uint32_t type, const char* s, const char* e, int line, uint32_t& count, size_t& offset)
    {
        if (type == TF_TYPE_STR) {
            while (s < e && isBlank(*s))
                ++s;
            if (s < e && *s == '"') {
                ++s;
                // Trailing blanks are passed over and a closing quote there removed.
                const char* t = e;
                while (t > s && isBlank(t[-1]))
                    --t;
                if (t > s && t[-1] == '"')
                    e = t - 1;
            }
            offset = addName(s, e);
            count = static_cast<uint32_t>(e - s);
            return true;
        }
        std::vector<uint32_t>& words = m_doc.words;
        offset = words.size() * sizeof(uint32_t);
        const char* token = nullptr;
        const char* tokenEnd = nullptr;
        if (type != TF_TYPE_FP_C) {
            uint32_t n = 0;
            for (;;) {
                while (s < e && isBlank(*s))
                    ++s;
                if (s == e)
                    break;
                float value;
                const char* next = type == TF_TYPE_FP ? toFloatFast(s, e, value, false) : nullptr;
                if (next) {
                    uint32_t word;
                    memcpy(&word, &value, sizeof(word));
                    words.push_back(word);
                    s = next;
                } else {
                    nextToken(s, e, token, tokenEnd);
                    words.push_back(toWord(type, token, tokenEnd));
                }
                ++n;
            }
            count = n;
            return true;
        }
        // A track: RUN count float | DAT count floats..., checked record by record.
        uint64_t samples = 0;
        while (nextToken(s, e, token, tokenEnd)) {
            const size_t length = static_cast<size_t>(tokenEnd - token);
            uint32_t marker;
            if (length == 3 && memcmp(token, "RUN", 3) == 0)
                marker = TF_FPC_RUN;
            else if (length == 3 && memcmp(token, "DAT", 3) == 0)
                marker = TF_FPC_DAT;
            else
                return fail("line %d: a track record must begin with RUN or DAT, not '%s'\n", line,
                            std::string(token, tokenEnd).c_str());
            uint32_t n = 0;
            if (!nextToken(s, e, token, tokenEnd) || std::from_chars(token, tokenEnd, n, 10).ptr != tokenEnd)
                return fail("line %d: a track record needs its sample count%s\n", line);
            words.push_back(marker);
            words.push_back(n);
            const uint64_t floats = marker == TF_FPC_RUN ? 1 : n;
            for (uint64_t k = 0; k < floats; ++k) {
                while (s < e && isBlank(*s))
                    ++s;
                float value;
                if (const char* next = s < e ? toFloatFast(s, e, value, false) : nullptr) {
                    uint32_t word;
                    memcpy(&word, &value, sizeof(word));
                    words.push_back(word);
                    s = next;
                    continue;
                }
                if (!nextToken(s, e, token, tokenEnd))
                    return fail("line %d: a track record has fewer floats than its count%s\n", line);
                words.push_back(toWord(TF_TYPE_FP, token, tokenEnd));
            }
            samples += n;
            if (samples > UINT32_MAX)
                return fail("line %d: a track has more samples than a 32-bit count holds%s\n", line);
        }
        count = static_cast<uint32_t>(samples);
        return true;
    }

    STfStorage& m_doc;
    const char* m_text;
    const char* m_end;
    std::vector<STfEntry> m_entries;
    std::vector<STfElement> m_elements;
    uint32_t m_stack[TF_MAX_DEPTH + 1];
    int m_depth = 0;
    bool m_inArray = false;
    size_t m_arrayEntry = 0;
};

// --- Binary form ---
uint32_t readBE32(const char* p)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    return (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
}

constexpr uint32_t chunkId(const char (&id)[5])
{
    return (uint32_t(uint8_t(id[0])) << 24) | (uint32_t(uint8_t(id[1])) << 16) | (uint32_t(uint8_t(id[2])) << 8) |
           uint32_t(uint8_t(id[3]));
}

class CTfBinaryReader
{
public:
    CTfBinaryReader(STfStorage& doc, char* buffer, size_t size) : m_doc(doc), m_buffer(buffer), m_size(size) {}

    bool read()
    {
        m_entries.reserve(256);
        m_entries.push_back(rootEntry());
        size_t ends[TF_MAX_DEPTH + 1];
        uint32_t parents[TF_MAX_DEPTH + 1];
        int depth = 0;
        ends[0] = m_size; // checked by the loader: 8 + FORM size
        parents[0] = 0;
        size_t pos = 12;
        for (;;) {
            while (pos == ends[depth]) {
                if (depth == 0) {
                    layOut(m_doc, m_entries, m_elements, m_buffer, m_buffer, m_buffer);
                    return true;
                }
                --depth;
            }
            const size_t end = ends[depth];
            if (pos > end || end - pos < 8)
                return fail("exceed chunk size at level %d\n", depth);
            const uint32_t id = readBE32(m_buffer + pos);
            const uint32_t size = readBE32(m_buffer + pos + 4);
            if (size > end - pos - 8)
                return fail("exceed chunk size at level %d\n", depth);
            if (size % 4 != 0)
                return fail("chunk size %u is not a whole number of words at level %d\n", size, depth);
            const size_t content = pos + 8;
            const size_t contentEnd = content + size;
            size_t nameField;
            switch (id) {
            case chunkId("NODE"): {
                if (!readName(content, contentEnd, depth, nameField))
                    return false;
                if (depth >= TF_MAX_DEPTH)
                    return fail("nodes nest deeper than the 19 levels a document may have, at level %d\n", depth);
                ++m_entries[parents[depth]].childCount;
                parents[depth + 1] = static_cast<uint32_t>(m_entries.size());
                m_entries.push_back(STfEntry{TF_KIND_NODE, 0, 0, parents[depth], content, 0, 0});
                ends[++depth] = contentEnd;
                pos = content + nameField;
                break;
            }
            case chunkId("NVAL"):
            case chunkId("NARR"): {
                if (!readName(content, contentEnd, depth, nameField))
                    return false;
                if (contentEnd - content - nameField < 4)
                    return fail("value chunk without its type at level %d\n", depth);
                const uint32_t type = readBE32(m_buffer + content + nameField);
                if (type > TF_TYPE_FP_C)
                    return fail("unknown value type %u at level %d\n", type, depth);
                const size_t data = content + nameField + 4;
                STfEntry entry{TF_KIND_VALUE, type, 0, parents[depth], content, data, 0};
                if (id == chunkId("NVAL")) {
                    if (!readData(type, data, contentEnd, depth, entry.count))
                        return false;
                } else {
                    entry.kind = TF_KIND_ARRAY;
                    entry.dataOffset = m_elements.size();
                    if (!readElements(type, data, contentEnd, depth, entry.count))
                        return false;
                }
                ++m_entries[parents[depth]].childCount;
                m_entries.push_back(entry);
                pos = contentEnd;
                break;
            }
            default:
                return fail("unknown chunk ID 0x%8x\n", id);
            }
        }
    }

private:
    template <typename... Args>
    bool fail(const char* format, Args... args)
    {
        taDebugPrint(format, args...);
        return false;
    }

    // A name with its NUL, padded to whole words, inside [begin, end).
    bool readName(size_t begin, size_t end, int depth, size_t& field)
    {
        const void* nul = memchr(m_buffer + begin, 0, end - begin);
        if (!nul)
            return fail("name without its end at level %d\n", depth);
        const size_t length = static_cast<size_t>(static_cast<const char*>(nul) - (m_buffer + begin));
        field = (length + 4) & ~size_t(3);
        return true; // fits: the chunk size is a whole number of words
    }

    // Checks the data of one value or element in [begin, end) and converts its words to host order.
    bool readData(uint32_t type, size_t begin, size_t end, int depth, uint32_t& count)
    {
        if (type == TF_TYPE_STR) {
            const void* nul = memchr(m_buffer + begin, 0, end - begin);
            if (!nul)
                return fail("string without its end at level %d\n", depth);
            count = static_cast<uint32_t>(static_cast<const char*>(nul) - (m_buffer + begin));
            return true;
        }
        const size_t wordCount = (end - begin) / 4;
        // Aligned: the header and every chunk size are whole words, and the buffer is aligned.
        uint32_t* words = reinterpret_cast<uint32_t*>(m_buffer + begin);
        for (size_t i = 0; i < wordCount; ++i)
            words[i] = __builtin_bswap32(words[i]);
        if (type == TF_TYPE_FP_C) {
            if (!TF_ValidateTrack(words, wordCount, &count))
                return fail("track records do not fit their %u words at level %d\n",
                            static_cast<unsigned>(wordCount), depth);
            return true;
        }
        if (wordCount > UINT32_MAX)
            return fail("value too large at level %d\n", depth);
        count = static_cast<uint32_t>(wordCount);
        return true;
    }

    bool readElements(uint32_t type, size_t pos, size_t end, int depth, uint32_t& count)
    {
        count = 0;
        while (pos < end) {
            if (end - pos < 8)
                return fail("exceed array size at level %d\n", depth);
            const uint32_t id = readBE32(m_buffer + pos);
            const uint32_t size = readBE32(m_buffer + pos + 4);
            if (id != chunkId("AVAL"))
                return fail("expected AVAL chunk, found 0x%8x\n", id);
            if (size > end - pos - 8)
                return fail("exceed array size at level %d\n", depth);
            if (size % 4 != 0)
                return fail("chunk size %u is not a whole number of words at level %d\n", size, depth);
            STfElement element{0, pos + 8};
            if (!readData(type, pos + 8, pos + 8 + size, depth, element.count))
                return false;
            m_elements.push_back(element);
            ++count;
            pos += 8 + size;
        }
        return true;
    }

    STfStorage& m_doc;
    char* m_buffer;
    size_t m_size;
    std::vector<STfEntry> m_entries;
    std::vector<STfElement> m_elements;
};

// --- Loading ---
TF_Document* parse(std::unique_ptr<char[]> buffer, size_t size)
{
    if (size < 12) {
        taDebugPrint("Error, file size < 12 bytes\n");
        taDebugPrint("Error, Not a TF file\n");
        return nullptr;
    }
    std::unique_ptr<STfStorage> doc(new (std::nothrow) STfStorage());
    if (!doc)
        return nullptr;
    doc->fileSize = size;
    const char* bytes = buffer.get();
    bool ok;
    if (memcmp(bytes, "FORM", 4) == 0 && memcmp(bytes + 8, "TRVF", 4) == 0) {
        if (uint64_t(readBE32(bytes + 4)) + 8 != size) {
            taDebugPrint("Error, TF binary FORM size mismatch file size\n");
            taDebugPrint("Error, Not a TF file\n");
            return nullptr;
        }
        doc->form = 0;
        CTfBinaryReader reader(*doc, buffer.get(), size);
        ok = reader.read();
        doc->file = std::move(buffer);
        doc->buffer = doc->file.get();
    } else {
        for (int i = 0; i < 12; ++i) {
            if (static_cast<unsigned char>(bytes[i]) < 9) {
                taDebugPrint("Error, file is not TF format\n");
                taDebugPrint("Error, Not a TF file\n");
                return nullptr;
            }
        }
        doc->form = 1;
        CTfTextReader reader(*doc, bytes, size);
        ok = reader.read();
        doc->buffer = nullptr;
        doc->textData = doc->chars.data();
    }
    if (!ok)
        return nullptr;
    return doc.release();
}

} // namespace

TF_Document* TF_Load(const char* path)
{
    TaFilePtr stream(tfile_open(path, "rb"));
    if (!stream || tfile_seek(stream.get(), 0, 2) != 0)
        return nullptr;
    const long size = tfile_tell(stream.get());
    if (size <= 0 || tfile_seek(stream.get(), 0, 0) != 0)
        return nullptr;
    // One byte longer, NUL-terminated; new[] aligns it for the in-place word conversion.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (!buffer || tfile_read(buffer.get(), 1, static_cast<size_t>(size), stream.get()) != static_cast<size_t>(size))
        return nullptr;
    buffer[static_cast<size_t>(size)] = 0;
    return parse(std::move(buffer), static_cast<size_t>(size));
}

TF_Document* TF_LoadMemory(const void* bytes, size_t size)
{
    if (!bytes || size == 0)
        return nullptr;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
    if (!buffer)
        return nullptr;
    memcpy(buffer.get(), bytes, size);
    buffer[size] = 0;
    return parse(std::move(buffer), size);
}

void TF_Free(TF_Document* document)
{
    delete static_cast<STfStorage*>(document);
}

TF_Node* TF_GetRoot(TF_Document* document) { return document ? document->root : nullptr; }

TF_Node* TF_FindChild(const TF_Node* node, const char* name)
{
    // Only a node has children: a value's third word is its type, not a child count.
    if (!node || !name || node->kind != TF_KIND_NODE)
        return nullptr;
    for (uint32_t i = 0; i < node->type; ++i)
        if (strcmp(node->children[i]->name, name) == 0)
            return node->children[i];
    return nullptr;
}

const char* TF_TypeName(uint32_t type)
{
    static const char* const names[] = {"I4", "U4", "FP", "STR", "FP_C"};
    return type <= TF_TYPE_FP_C ? names[type] : nullptr;
}

bool TF_ValidateTrack(const uint32_t* words, size_t wordCount, uint32_t* samples)
{
    uint64_t total = 0;
    size_t i = 0;
    while (i < wordCount) {
        if (wordCount - i < 2)
            return false;
        const uint32_t marker = words[i];
        const uint32_t count = words[i + 1];
        if (marker == TF_FPC_RUN) {
            if (wordCount - i < 3)
                return false;
            i += 3;
        } else if (marker == TF_FPC_DAT) {
            if (count > wordCount - i - 2)
                return false;
            i += 2 + size_t(count);
        } else {
            return false;
        }
        total += count;
        if (total > UINT32_MAX)
            return false;
    }
    if (samples)
        *samples = static_cast<uint32_t>(total);
    return true;
}

// --- Samples ---
namespace {

float wordAsFloat(uint32_t word)
{
    float value;
    memcpy(&value, &word, sizeof(value));
    return value;
}

// A forward walk over a validated track; the reads of one evaluation share it.
struct STfTrackCursor {
    const uint32_t* record;
    uint64_t start = 0;

    explicit STfTrackCursor(const void* words) : record(static_cast<const uint32_t*>(words)) {}

    // Sample i; i must be below the track's sample count.
    float sample(uint32_t i)
    {
        while (i >= start + record[1]) {
            start += record[1];
            record += record[0] == TF_FPC_RUN ? 3 : 2 + size_t(record[1]);
        }
        return record[0] == TF_FPC_RUN ? wordAsFloat(record[2]) : wordAsFloat(record[2 + (i - start)]);
    }
};

// One channel: the data and count of an FP or FP_C value or array element.
struct STfChannel {
    uint32_t type;
    uint32_t count;
    const void* data;
};

// The channels of a node: a value is one channel; an array's elements are its channels.
int channelsOf(const TF_Node* node, STfChannel* channels, int most)
{
    if (!node || (node->type != TF_TYPE_FP && node->type != TF_TYPE_FP_C) || node->kind == TF_KIND_NODE)
        return 0;
    if (node->kind == TF_KIND_VALUE) {
        channels[0] = STfChannel{node->type, node->count, node->data};
        return 1;
    }
    const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(node->data);
    int n = node->count < static_cast<uint32_t>(most) ? static_cast<int>(node->count) : most;
    for (int k = 0; k < n; ++k)
        channels[k] = STfChannel{node->type, elements[k].count, elements[k].data};
    return n;
}

// Float k of an FP channel, or sample min(i, count - 1) of an FP_C channel; 0 when there is none.
float channelSample(const STfChannel& channel, uint32_t i, uint32_t k = 0)
{
    if (channel.type == TF_TYPE_FP)
        return k < channel.count ? static_cast<const float*>(channel.data)[k] : 0.0f;
    if (channel.count == 0)
        return 0.0f;
    STfTrackCursor cursor(channel.data);
    return cursor.sample(i < channel.count ? i : channel.count - 1);
}

// A sample position resolved on a track of n > 0 samples.
struct STfPosition {
    uint32_t a, b;
    float f;
};

STfPosition resolve(float t, uint32_t n)
{
    // NaN and positions at or below 0 read sample 0; a position beyond the last sample (however
    // large) reads the last; floor is taken only once t is known to be in range.
    if (!(t > 0.0f))
        return STfPosition{0, 0, 0.0f};
    if (n < 2 || static_cast<double>(t) >= static_cast<double>(n - 1))
        return STfPosition{n - 1, n - 1, 0.0f};
    const uint32_t i = static_cast<uint32_t>(std::floor(t));
    return STfPosition{i, i + 1, t - static_cast<float>(i)};
}

// The interpolated value of one FP_C channel at t.
float lerpChannel(const STfChannel& channel, float t)
{
    if (channel.count == 0)
        return 0.0f;
    const STfPosition p = resolve(t, channel.count);
    STfTrackCursor cursor(channel.data);
    const float a = cursor.sample(p.a);
    if (p.a == p.b)
        return a;
    const float b = cursor.sample(p.b);
    return a + p.f * (b - a);
}

struct STfQuaternion {
    float x, y, z, w;
};

STfQuaternion eulerToQuaternion(float x, float y, float z)
{
    const float sx = std::sin(x * 0.5f), cx = std::cos(x * 0.5f);
    const float sy = std::sin(y * 0.5f), cy = std::cos(y * 0.5f);
    const float sz = std::sin(z * 0.5f), cz = std::cos(z * 0.5f);
    STfQuaternion q{sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz,
                    cx * cy * cz + sx * sy * sz};
    const float length2 = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    if (length2 != 1.0f) {
        const float scale = 1.0f / std::sqrt(length2);
        q.x *= scale;
        q.y *= scale;
        q.z *= scale;
        q.w *= scale;
    }
    return q;
}

TF_Float3 quaternionToEuler(float X, float Y, float Z, float W)
{
    const float z = std::atan2(2.0f * (X * Y + Z * W), X * X - Y * Y - Z * Z + W * W);
    const float x = std::atan2(2.0f * (Y * Z + X * W), -X * X - Y * Y + Z * Z + W * W);
    float s = 2.0f * (Y * W - X * Z);
    s = s < -1.0f ? -1.0f : s > 1.0f ? 1.0f : s;
    return TF_Float3{x, std::asin(s), z};
}

STfQuaternion slerp(STfQuaternion a, const STfQuaternion& b, float f)
{
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0.0f) {
        a = STfQuaternion{-a.x, -a.y, -a.z, -a.w};
        d = -d;
    }
    float ka, kb;
    if (1.0f - d >= 0.05f) {
        const float theta = std::acos(d);
        const float sinTheta = std::sin(theta);
        ka = std::sin((1.0f - f) * theta) / sinTheta;
        kb = std::sin(f * theta) / sinTheta;
    } else {
        ka = 1.0f - f;
        kb = f;
    }
    return STfQuaternion{ka * a.x + kb * b.x, ka * a.y + kb * b.y, ka * a.z + kb * b.z, ka * a.w + kb * b.w};
}

// Heading, pitch and bank as a quaternion, back to Euler angles, and on to XYZ order.
TF_Float3 toXYZ(const STfQuaternion& q)
{
    const TF_Float3 e = quaternionToEuler(q.x, q.y, q.z, q.w);
    const STfQuaternion r = eulerToQuaternion(e.x, e.y, e.z);
    return quaternionToEuler(r.y, r.x, r.z, r.w);
}

} // namespace

float TF_FP_Get(const TF_Node* node, uint32_t i)
{
    STfChannel channels[1];
    return channelsOf(node, channels, 1) ? channelSample(channels[0], i) : 0.0f;
}

TF_Float2 TF_FP2_Get(const TF_Node* node, uint32_t i)
{
    STfChannel c[2];
    const int n = channelsOf(node, c, 2);
    if (n == 0)
        return TF_Float2{0, 0};
    if (node->kind == TF_KIND_VALUE) {
        if (node->type == TF_TYPE_FP)
            return TF_Float2{channelSample(c[0], i, 0), channelSample(c[0], i, 1)};
        const float s = channelSample(c[0], i);
        return TF_Float2{s, s};
    }
    return TF_Float2{channelSample(c[0], i), n > 1 ? channelSample(c[1], i) : 0.0f};
}

TF_Float3 TF_FP3_Get(const TF_Node* node, uint32_t i)
{
    STfChannel c[3];
    const int n = channelsOf(node, c, 3);
    if (n == 0)
        return TF_Float3{0, 0, 0};
    if (node->kind == TF_KIND_VALUE) {
        if (node->type == TF_TYPE_FP)
            return TF_Float3{channelSample(c[0], i, 0), channelSample(c[0], i, 1), channelSample(c[0], i, 2)};
        const float s = channelSample(c[0], i);
        return TF_Float3{s, s, s};
    }
    return TF_Float3{channelSample(c[0], i), n > 1 ? channelSample(c[1], i) : 0.0f,
                     n > 2 ? channelSample(c[2], i) : 0.0f};
}

float TF_FP_Lerp(const TF_Node* node, float t)
{
    if (node && node->kind == TF_KIND_ARRAY) {
        taDebugPrint("TF_FP_Lerp not supported on array\n");
        return 0.0f;
    }
    if (!node || node->kind != TF_KIND_VALUE || (node->type != TF_TYPE_FP && node->type != TF_TYPE_FP_C)) {
        taDebugPrint("TF_FP_Lerp: unsupported value/valtype\n");
        return 0.0f;
    }
    const STfChannel channel{node->type, node->count, node->data};
    return node->type == TF_TYPE_FP ? channelSample(channel, 0) : lerpChannel(channel, t);
}

namespace {
// The FP value or the FP_C array of exactly `n` channels that the vector interpolators accept.
bool vectorShape(const TF_Node* node, uint32_t n, STfChannel* channels)
{
    if (!node)
        return false;
    if (node->kind == TF_KIND_VALUE && node->type == TF_TYPE_FP) {
        channelsOf(node, channels, 1);
        return true;
    }
    return node->kind == TF_KIND_ARRAY && node->type == TF_TYPE_FP_C && node->count == n &&
           channelsOf(node, channels, static_cast<int>(n)) == static_cast<int>(n);
}
} // namespace

bool TF_FP_VectorShape(const TF_Node* node, uint32_t n)
{
    STfChannel c[3];
    return n >= 1 && n <= 3 && vectorShape(node, n, c);
}

TF_Float2 TF_FP2_Lerp(const TF_Node* node, float t)
{
    STfChannel c[2];
    if (!vectorShape(node, 2, c)) {
        taDebugPrint("TF_FP2_Lerp: unsupported value/valtype/array size\n");
        return TF_Float2{0, 0};
    }
    if (node->kind == TF_KIND_VALUE)
        return TF_Float2{channelSample(c[0], 0, 0), channelSample(c[0], 0, 1)};
    return TF_Float2{lerpChannel(c[0], t), lerpChannel(c[1], t)};
}

TF_Float3 TF_FP3_Lerp(const TF_Node* node, float t)
{
    STfChannel c[3];
    if (!vectorShape(node, 3, c)) {
        taDebugPrint("TF_FP3_Lerp: unsupported value/valtype/array size\n");
        return TF_Float3{0, 0, 0};
    }
    if (node->kind == TF_KIND_VALUE)
        return TF_Float3{channelSample(c[0], 0, 0), channelSample(c[0], 0, 1), channelSample(c[0], 0, 2)};
    return TF_Float3{lerpChannel(c[0], t), lerpChannel(c[1], t), lerpChannel(c[2], t)};
}

TF_Float3 TF_FP3_Slerp_HPB_To_XYZ(const TF_Node* node, float t)
{
    STfChannel c[3];
    if (!vectorShape(node, 3, c)) {
        taDebugPrint("TF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n");
        return TF_Float3{0, 0, 0};
    }
    if (node->kind == TF_KIND_VALUE) {
        const STfQuaternion q =
            eulerToQuaternion(channelSample(c[0], 0, 0), channelSample(c[0], 0, 1), channelSample(c[0], 0, 2));
        return toXYZ(q);
    }
    float a[3], b[3];
    float f = 0.0f;
    for (int k = 0; k < 3; ++k) {
        if (c[k].count == 0) {
            a[k] = b[k] = 0.0f;
            continue;
        }
        const STfPosition p = resolve(t, c[k].count);
        STfTrackCursor cursor(c[k].data);
        a[k] = cursor.sample(p.a);
        b[k] = p.a == p.b ? a[k] : cursor.sample(p.b);
        if (k == 0)
            f = p.f; // 0 when the position was clamped
    }
    const STfQuaternion q = slerp(eulerToQuaternion(a[0], a[1], a[2]), eulerToQuaternion(b[0], b[1], b[2]), f);
    return toXYZ(q);
}
