// The Wavefront OBJ reader: text lines to one mesh buffer per material, with the MTL libraries.
#include "nodes/TaMeshLoaderObj.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/stat.h>

namespace {

using irr::u8;
using irr::u16;
using irr::u32;

// --- Limits against hostile files ------------------------------------------------------------
// Every one of them is far beyond what a demo model needs; they keep a crafted file from making
// the reader allocate without bound.
constexpr size_t kMaxLineBytes = 1u << 20;
// Vertex positions, texture coordinates and normals read, and vertices and triangle corners made.
constexpr size_t kMaxCount = 16u << 20;
// Irrlicht 1.8 mesh buffers use 16-bit indices.
constexpr size_t kMaxBufferVertices = 65535;
constexpr size_t kMaxBuffers = 16384;
// A library named again is not read again; beyond these the rest are skipped, not refused.
constexpr size_t kMaxLibraries = 16;
constexpr size_t kMaxLibraryBytes = 16u << 20;
constexpr size_t kMaxAllLibraryBytes = 32u << 20;
constexpr size_t kMaxMaterials = 65536;
// The whole-file read of CTaMeshLoaderObj.
constexpr long kMaxFileBytes = 256l << 20;

// What a face corner has no index for.
constexpr u32 kNone = 0xffffffffu;

std::string lineError(size_t line, const std::string& what)
{
    return "line " + std::to_string(line) + ": " + what;
}

// Input echoed in a message, cut short so that a hostile word cannot make the message huge.
std::string quoted(std::string_view word)
{
    constexpr size_t kShown = 40;
    if (word.size() <= kShown)
        return std::string(word);
    return std::string(word.substr(0, kShown)) + "...";
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// Keywords of MTL files come in mixed case from different exporters ("map_Kd", "map_kd").
bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// --- Lines and words -------------------------------------------------------------------------

// Splits text into logical lines. LF, CR LF and a lone CR each end a line; a backslash as the
// last character joins the next line to this one (in place of the backslash goes a space).
class CTaObjLines
{
public:
    CTaObjLines(const char* data, size_t size) : m_data(data), m_size(size) {}

    // The next logical line and the number of its first physical line. false at the end of the
    // text, or with `error` set when a line is too long.
    bool next(std::string_view& line, size_t& number, std::string& error)
    {
        if (m_pos >= m_size)
            return false;
        number = m_physical + 1;
        bool joining = false;
        m_joined.clear();
        for (;;) {
            if (m_pos >= m_size) {
                // A continuation backslash on the last line: the line simply ends.
                line = m_joined;
                return true;
            }
            const char* start = m_data + m_pos;
            const size_t rest = m_size - m_pos;
            size_t length = 0;
            while (length < rest && start[length] != '\n' && start[length] != '\r')
                ++length;
            ++m_physical;
            size_t after = m_pos + length;
            if (after < m_size)
                after += (m_data[after] == '\r' && after + 1 < m_size && m_data[after + 1] == '\n') ? 2 : 1;
            m_pos = after;

            const bool continued = length > 0 && start[length - 1] == '\\';
            if (m_joined.size() + length > kMaxLineBytes) {
                error = lineError(number, "the line is longer than 1 MB");
                return false;
            }
            if (!joining && !continued) {
                line = std::string_view(start, length);
                return true;
            }
            m_joined.append(start, continued ? length - 1 : length);
            if (!continued) {
                line = m_joined;
                return true;
            }
            m_joined.push_back(' ');
            joining = true;
        }
    }

private:
    const char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    size_t m_physical = 0;
    std::string m_joined;
};

// The blank-separated words of a line.
class CTaObjWords
{
public:
    explicit CTaObjWords(std::string_view line) : m_rest(line) {}

    bool next(std::string_view& word)
    {
        size_t i = 0;
        while (i < m_rest.size() && isBlank(m_rest[i]))
            ++i;
        size_t end = i;
        while (end < m_rest.size() && !isBlank(m_rest[end]))
            ++end;
        word = m_rest.substr(i, end - i);
        m_rest = m_rest.substr(end);
        return !word.empty();
    }

    // The next word, unless the rest of the line is a "#" comment.
    bool nextData(std::string_view& word) { return next(word) && word[0] != '#'; }

    // What is left of the line without its outer blanks (names may contain spaces).
    std::string_view rest() const { return trimmed(m_rest); }

private:
    std::string_view m_rest;
};

// --- Numbers ---------------------------------------------------------------------------------

enum class ETaNumber { Ok, NotANumber, OutOfRange };

// A whole word as a float, in any C notation ("1e-3", "-.5", "+2", "0x1p3"), independent of the
// C locale. Infinities and NaNs are not numbers a mesh can use.
ETaNumber parseFloat(std::string_view word, float& out)
{
    const char* p = word.data();
    const char* const end = p + word.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::chars_format format = std::chars_format::general;
    if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        format = std::chars_format::hex;
        p += 2;
    }
    // from_chars takes a minus sign of its own; one sign is all a number may have.
    if (p == end || *p == '+' || *p == '-')
        return ETaNumber::NotANumber;
    double value = 0;
    const auto result = std::from_chars(p, end, value, format);
    if (result.ec == std::errc::result_out_of_range)
        return ETaNumber::OutOfRange;
    if (result.ec != std::errc() || result.ptr != end || std::isnan(value))
        return ETaNumber::NotANumber;
    if (!(std::fabs(value) <= double(FLT_MAX)))
        return ETaNumber::OutOfRange;
    out = float(negative ? -value : value);
    return ETaNumber::Ok;
}

// Up to `most` numbers from the words left on a line (stopping at a comment). false with `error`
// set when a word is not a number or fewer than `least` are there.
bool readNumbers(CTaObjWords& words, size_t least, size_t most, float* out, size_t& count, size_t line,
                 std::string& error)
{
    count = 0;
    std::string_view word;
    while (count < most && words.nextData(word)) {
        const ETaNumber result = parseFloat(word, out[count]);
        if (result != ETaNumber::Ok) {
            error = lineError(line, result == ETaNumber::OutOfRange ? "a number is out of range" : "a number was expected");
            return false;
        }
        ++count;
    }
    if (count < least) {
        error = lineError(line, "a number was expected");
        return false;
    }
    return true;
}

// A face index field: an optionally signed decimal integer. false when it is not one (an empty
// field is not one either).
bool parseIndex(std::string_view field, long long& out)
{
    const char* p = field.data();
    const char* const end = p + field.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || *p < '0' || *p > '9')
        return false;
    unsigned long long value = 0;
    const auto result = std::from_chars(p, end, value);
    if (result.ptr != end)
        return false;
    // Anything this large is past every count; keep it representable.
    if (result.ec == std::errc::result_out_of_range || value > (1ull << 62))
        value = 1ull << 62;
    out = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return true;
}

// A 1-based index, or a negative one counting back from the last read, as a 0-based index into
// `count` records; kNone when it points at no record.
u32 resolveIndex(long long index, size_t count)
{
    const long long n = static_cast<long long>(count);
    if (index > 0 && index <= n)
        return u32(index - 1);
    if (index < 0 && -index <= n)
        return u32(n + index);
    return kNone;
}

irr::video::SColor colourOf(float r, float g, float b, float a)
{
    auto channel = [](float value) { return u32(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return irr::video::SColor(channel(a), channel(r), channel(g), channel(b));
}

// --- Paths -----------------------------------------------------------------------------------

// Names in OBJ and MTL files are often written on Windows ("maps\wood.jpg").
std::string portableName(std::string_view name)
{
    std::string out(name);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

irr::io::path joinPath(const irr::io::path& directory, const std::string& name)
{
    if (directory.empty())
        return irr::io::path(name.c_str());
    irr::io::path out = directory;
    const char last = directory[directory.size() - 1];
    if (last != '/' && last != '\\')
        out += "/";
    out += name.c_str();
    return out;
}

// A name a file could ask for that is on the disk but is no plain file: a pipe would block the
// open, a directory or a device has no size worth reading. What the disk does not have may still
// be in one of the file system's archives.
bool isSpecialFile(const irr::io::path& name)
{
    struct stat status;
    return stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

// --- Materials -------------------------------------------------------------------------------

// A material as the MTL file gives it.
struct STaObjMaterial {
    irr::video::SMaterial material;
    float diffuse[3] = {1.0f, 1.0f, 1.0f};
    // "d" (or 1 - "Tr"): 1 is opaque.
    float opacity = 1.0f;
};

// The texture for a "map_Kd" name, looked up next to the library first, then as written. Not
// finding it is not an error: the material keeps no texture.
irr::video::ITexture* loadTexture(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                                  const irr::io::path& directory, const std::string& name)
{
    if (!driver || name.empty())
        return nullptr;
    const irr::io::path candidates[2] = {joinPath(directory, name), irr::io::path(name.c_str())};
    for (const irr::io::path& candidate : candidates) {
        // The file system check keeps the driver from logging a failed load for the first guess.
        if ((fileSystem && !fileSystem->existFile(candidate)) || isSpecialFile(candidate))
            continue;
        if (irr::video::ITexture* texture = driver->getTexture(candidate))
            return texture;
    }
    return nullptr;
}

// Reads the statements of an MTL library into `materials`. A library is only ever an aid to the
// mesh, so a statement it cannot read is skipped rather than refusing the object.
void readMaterialLibrary(const char* text, size_t size, std::unordered_map<std::string, STaObjMaterial>& materials,
                         irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                         const irr::io::path& directory)
{
    CTaObjLines lines(text, size);
    std::string_view line;
    size_t number = 0;
    std::string ignored;
    STaObjMaterial* current = nullptr;
    while (lines.next(line, number, ignored)) {
        CTaObjWords words(line);
        std::string_view keyword;
        if (!words.next(keyword) || keyword[0] == '#')
            continue;
        if (equalsNoCase(keyword, "newmtl")) {
            std::string name(words.rest());
            auto found = materials.find(name);
            if (found != materials.end()) {
                // A later definition replaces an earlier one of the same name.
                found->second = STaObjMaterial();
                current = &found->second;
            } else if (materials.size() < kMaxMaterials) {
                current = &materials.emplace(std::move(name), STaObjMaterial()).first->second;
            } else {
                current = nullptr;
            }
            continue;
        }
        if (!current)
            continue;
        float values[3] = {0, 0, 0};
        size_t count = 0;
        irr::video::SMaterial& material = current->material;
        if (equalsNoCase(keyword, "Kd") || equalsNoCase(keyword, "Ka") || equalsNoCase(keyword, "Ks")) {
            // "Kd r [g b]"; the spectral and CIE XYZ forms do not read as numbers and are skipped.
            if (!readNumbers(words, 1, 3, values, count, number, ignored))
                continue;
            if (count < 3)
                values[1] = values[2] = values[0];
            const irr::video::SColor colour = colourOf(values[0], values[1], values[2], 1.0f);
            if (equalsNoCase(keyword, "Kd")) {
                material.DiffuseColor = colour;
                std::copy(values, values + 3, current->diffuse);
            } else if (equalsNoCase(keyword, "Ka")) {
                material.AmbientColor = colour;
            } else {
                material.SpecularColor = colour;
            }
        } else if (equalsNoCase(keyword, "Ns")) {
            // MTL exponents run to 1000; OpenGL takes at most 128.
            if (readNumbers(words, 1, 1, values, count, number, ignored))
                material.Shininess = std::clamp(values[0], 0.0f, 128.0f);
        } else if (equalsNoCase(keyword, "d") || equalsNoCase(keyword, "Tr")) {
            // "d -halo 0.5" has an option first; the value is the last word.
            std::string_view word, last;
            while (words.nextData(word))
                last = word;
            if (parseFloat(last, values[0]) == ETaNumber::Ok) {
                const float value = std::clamp(values[0], 0.0f, 1.0f);
                current->opacity = equalsNoCase(keyword, "d") ? value : 1.0f - value;
            }
        } else if (equalsNoCase(keyword, "map_Kd")) {
            // Options ("-s u v w", "-clamp on", ...) come first; the file name is the last word.
            std::string_view word, last;
            while (words.next(word))
                last = word;
            material.setTexture(0, loadTexture(fileSystem, driver, directory, portableName(last)));
        }
    }
}

// --- The mesh being built --------------------------------------------------------------------

struct STaCornerKey {
    u32 position, uv, normal;
    bool operator==(const STaCornerKey& other) const
    {
        return position == other.position && uv == other.uv && normal == other.normal;
    }
};

struct STaCornerHash {
    size_t operator()(const STaCornerKey& key) const
    {
        // splitmix64's finaliser over the three indices: a crafted index pattern should not
        // pile every corner into one bucket.
        uint64_t x = (uint64_t(key.position) << 32 | key.uv) ^ (uint64_t(key.normal) * 0x9e3779b97f4a7c15ull);
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
        return size_t(x ^ (x >> 31));
    }
};

// Drops an Irrlicht object that an exception leaves behind.
struct STaDropper {
    void operator()(irr::IReferenceCounted* object) const { object->drop(); }
};

// Per-vertex facts the buffer itself has no room for.
enum : u8 {
    ETA_OBJ_OWN_COLOUR = 1u << 0, // the vertex colour came with the position ("v x y z r g b")
    ETA_OBJ_OWN_NORMAL = 1u << 1, // the corner named a "vn"
};

// A mesh buffer while faces are still being added to it.
struct STaObjBuffer {
    irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer();
    size_t group = 0;
    // Until the buffer is full: the vertex already made for each corner.
    std::unordered_map<STaCornerKey, u16, STaCornerHash> lookup;
    std::vector<u32> positionOf;
    std::vector<u8> flags;

    STaObjBuffer() = default;
    STaObjBuffer(const STaObjBuffer&) = delete;
    STaObjBuffer& operator=(const STaObjBuffer&) = delete;
    ~STaObjBuffer() { buffer->drop(); }
};

// The faces of one "usemtl" name (or of no name, before the first "usemtl").
struct STaObjGroup {
    std::string material;
    bool named = false;
    // The buffer still taking this group's faces, or kNone.
    u32 open = kNone;
};

class CTaObjReader
{
public:
    CTaObjReader(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver, const irr::io::path& directory)
        : m_fileSystem(fileSystem), m_driver(driver), m_directory(directory)
    {
        m_groups.emplace_back();
    }

    CTaMesh* read(const char* data, size_t size, std::string& error)
    {
        if (size >= 2 && ((u8(data[0]) == 0xff && u8(data[1]) == 0xfe) || (u8(data[0]) == 0xfe && u8(data[1]) == 0xff))) {
            error = "UTF-16 text is not supported";
            return nullptr;
        }
        if (size >= 3 && u8(data[0]) == 0xef && u8(data[1]) == 0xbb && u8(data[2]) == 0xbf) {
            data += 3;
            size -= 3;
        }
        CTaObjLines lines(data, size);
        std::string_view line;
        size_t number = 0;
        while (lines.next(line, number, error)) {
            if (!readStatement(line, number, error))
                return nullptr;
        }
        if (!error.empty())
            return nullptr;
        if (m_indexCount == 0) {
            error = "the object has no faces";
            return nullptr;
        }
        return finish();
    }

private:
    bool readStatement(std::string_view line, size_t number, std::string& error)
    {
        CTaObjWords words(line);
        std::string_view keyword;
        if (!words.next(keyword) || keyword[0] == '#')
            return true;
        float values[7] = {0, 0, 0, 0, 0, 0, 0};
        size_t count = 0;
        if (keyword == "v") {
            // "v x y z [w]", or "v x y z r g b" with a vertex colour.
            if (!readNumbers(words, 3, 7, values, count, number, error))
                return false;
            if (m_positions.size() >= kMaxCount)
                return tooMany(number, "vertex positions", error);
            m_positions.emplace_back(-values[0], values[1], values[2]);
            if (count >= 6) {
                m_colours.resize(m_positions.size(), irr::video::SColor(0));
                m_hasColour.resize(m_positions.size(), false);
                m_colours.back() = colourOf(values[3], values[4], values[5], 1.0f);
                m_hasColour.back() = true;
            }
        } else if (keyword == "vt") {
            if (!readNumbers(words, 1, 3, values, count, number, error))
                return false;
            if (m_uvs.size() >= kMaxCount)
                return tooMany(number, "texture coordinates", error);
            m_uvs.emplace_back(values[0], count >= 2 ? 1.0f - values[1] : 1.0f);
        } else if (keyword == "vn") {
            if (!readNumbers(words, 3, 3, values, count, number, error))
                return false;
            if (m_normals.size() >= kMaxCount)
                return tooMany(number, "normals", error);
            m_normals.emplace_back(-values[0], values[1], values[2]);
        } else if (keyword == "f") {
            return readFace(words, number, error);
        } else if (keyword == "usemtl") {
            useMaterial(std::string(words.rest()));
        } else if (keyword == "mtllib") {
            std::string_view name;
            while (words.nextData(name))
                readLibrary(portableName(name));
        }
        // "o", "g", "s", the "l" lines and "p" points, and free-form geometry carry nothing a
        // polygon mesh keeps.
        return true;
    }

    bool tooMany(size_t number, const char* what, std::string& error)
    {
        error = lineError(number, "more than " + std::to_string(kMaxCount) + " " + what);
        return false;
    }

    bool readFace(CTaObjWords& words, size_t number, std::string& error)
    {
        m_corners.clear();
        std::string_view word;
        while (words.nextData(word)) {
            STaCornerKey corner{kNone, kNone, kNone};
            if (!readCorner(word, corner, number, error))
                return false;
            m_corners.push_back(corner);
        }
        // One or two corners describe a point or a line, which a polygon mesh does not draw.
        if (m_corners.size() < 3)
            return true;
        for (size_t i = 1; i + 1 < m_corners.size(); ++i) {
            if (!addTriangle(m_corners[0], m_corners[i], m_corners[i + 1], number, error))
                return false;
        }
        return true;
    }

    // "v", "v/vt", "v//vn" or "v/vt/vn" (an empty field names nothing).
    bool readCorner(std::string_view word, STaCornerKey& corner, size_t number, std::string& error)
    {
        std::string_view fields[3];
        size_t fieldCount = 0;
        size_t start = 0;
        for (;;) {
            const size_t slash = word.find('/', start);
            if (fieldCount == 3) {
                error = lineError(number, "\"" + quoted(word) + "\" is not a face corner");
                return false;
            }
            fields[fieldCount++] = word.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
            if (slash == std::string_view::npos)
                break;
            start = slash + 1;
        }
        static const char* const kNames[3] = {"vertex", "texture coordinate", "normal"};
        const size_t counts[3] = {m_positions.size(), m_uvs.size(), m_normals.size()};
        u32* const targets[3] = {&corner.position, &corner.uv, &corner.normal};
        for (size_t i = 0; i < fieldCount; ++i) {
            if (i > 0 && fields[i].empty())
                continue;
            long long index = 0;
            if (!parseIndex(fields[i], index)) {
                error = lineError(number, "\"" + quoted(word) + "\" is not a face corner");
                return false;
            }
            *targets[i] = resolveIndex(index, counts[i]);
            if (*targets[i] == kNone) {
                error = lineError(number, std::string("face uses ") + kNames[i] + " " + quoted(fields[i]) + " of " +
                                              std::to_string(counts[i]));
                return false;
            }
        }
        return true;
    }

    void useMaterial(std::string name)
    {
        auto found = m_groupByName.find(name);
        if (found != m_groupByName.end()) {
            m_group = found->second;
            return;
        }
        m_group = m_groups.size();
        m_groups.emplace_back();
        m_groups.back().material = name;
        m_groups.back().named = true;
        m_groupByName.emplace(std::move(name), m_group);
    }

    void readLibrary(const std::string& name)
    {
        if (!m_fileSystem || name.empty() || m_librariesRead.size() >= kMaxLibraries ||
            !m_librariesRead.insert(name).second)
            return;
        irr::io::IReadFile* file = nullptr;
        for (const irr::io::path& candidate : {joinPath(m_directory, name), irr::io::path(name.c_str())}) {
            if (!isSpecialFile(candidate) && (file = m_fileSystem->createAndOpenFile(candidate)) != nullptr)
                break;
        }
        if (!file)
            return;
        // The size decides how much is read: a device or a pipe reports none and is not read.
        const long size = file->getSize();
        const size_t budget = std::min(kMaxLibraryBytes, kMaxAllLibraryBytes - m_libraryBytes);
        std::string text;
        if (size > 0) {
            text.resize(std::min(size_t(size), budget));
            const irr::s32 got = file->read(&text[0], u32(text.size()));
            text.resize(got > 0 ? size_t(got) : 0);
        }
        const irr::io::path directory = m_fileSystem->getFileDir(file->getFileName());
        file->drop();
        m_libraryBytes += text.size();
        readMaterialLibrary(text.data(), text.size(), m_materials, m_fileSystem, m_driver, directory);
    }

    // The buffer the current group's next triangle goes to: a new one when there is none yet or
    // three more vertices might not fit.
    bool bufferForTriangle(size_t number, STaObjBuffer*& out, std::string& error)
    {
        STaObjGroup& group = m_groups[m_group];
        if (group.open != kNone) {
            STaObjBuffer& open = *m_buffers[group.open];
            if (open.buffer->Vertices.size() + 3 <= kMaxBufferVertices) {
                out = &open;
                return true;
            }
            // Full: its corner table is of no further use.
            std::unordered_map<STaCornerKey, u16, STaCornerHash>().swap(open.lookup);
        }
        if (m_buffers.size() >= kMaxBuffers) {
            error = lineError(number, "more than " + std::to_string(kMaxBuffers) + " mesh buffers");
            return false;
        }
        m_buffers.push_back(std::make_unique<STaObjBuffer>());
        m_buffers.back()->group = m_group;
        group.open = u32(m_buffers.size() - 1);
        out = m_buffers.back().get();
        return true;
    }

    bool addTriangle(const STaCornerKey& a, const STaCornerKey& b, const STaCornerKey& c, size_t number,
                     std::string& error)
    {
        if (m_indexCount + 3 > kMaxCount)
            return tooMany(number, "triangle corners", error);
        STaObjBuffer* target = nullptr;
        if (!bufferForTriangle(number, target, error))
            return false;
        // Reversed: see the header on handedness.
        const STaCornerKey* corners[3] = {&a, &c, &b};
        for (const STaCornerKey* corner : corners) {
            auto found = target->lookup.find(*corner);
            u16 index = 0;
            if (found != target->lookup.end()) {
                index = found->second;
            } else {
                if (m_vertexCount >= kMaxCount)
                    return tooMany(number, "vertices", error);
                index = u16(target->buffer->Vertices.size());
                target->buffer->Vertices.push_back(makeVertex(*corner, *target));
                target->lookup.emplace(*corner, index);
                ++m_vertexCount;
            }
            target->buffer->Indices.push_back(index);
        }
        m_indexCount += 3;
        return true;
    }

    irr::video::S3DVertex makeVertex(const STaCornerKey& corner, STaObjBuffer& target)
    {
        irr::video::S3DVertex vertex;
        vertex.Pos = m_positions[corner.position];
        vertex.Normal = corner.normal != kNone ? m_normals[corner.normal] : irr::core::vector3df(0, 0, 0);
        vertex.TCoords = corner.uv != kNone ? m_uvs[corner.uv] : irr::core::vector2df(0, 0);
        u8 flags = corner.normal != kNone ? ETA_OBJ_OWN_NORMAL : 0;
        if (corner.position < m_hasColour.size() && m_hasColour[corner.position]) {
            vertex.Color = m_colours[corner.position];
            flags |= ETA_OBJ_OWN_COLOUR;
        }
        target.positionOf.push_back(corner.position);
        target.flags.push_back(flags);
        return vertex;
    }

    // Normals for the vertices whose corners named none: the sum of the face normals around the
    // position, each as long as its triangle's area, so a polygon counts the same however it was
    // cut into triangles. Summed in double so that huge coordinates cannot overflow.
    void computeNormals(STaObjBuffer& target)
    {
        irr::scene::SMeshBuffer& buffer = *target.buffer;
        bool needed = false;
        for (u8 flags : target.flags)
            needed = needed || !(flags & ETA_OBJ_OWN_NORMAL);
        if (!needed)
            return;
        // At most one entry per vertex of the buffer, whatever the file's position count.
        std::unordered_map<u32, irr::core::vector3d<double>> sums;
        sums.reserve(buffer.Vertices.size());
        const u32 indexCount = buffer.Indices.size();
        for (u32 i = 0; i + 2 < indexCount; i += 3) {
            const u16 corner[3] = {buffer.Indices[i], buffer.Indices[i + 1], buffer.Indices[i + 2]};
            irr::core::vector3d<double> p[3];
            for (int k = 0; k < 3; ++k) {
                const irr::core::vector3df& pos = buffer.Vertices[corner[k]].Pos;
                p[k].set(pos.X, pos.Y, pos.Z);
            }
            const irr::core::vector3d<double> face = (p[1] - p[0]).crossProduct(p[2] - p[0]);
            for (int k = 0; k < 3; ++k)
                sums[target.positionOf[corner[k]]] += face;
        }
        for (u32 v = 0; v < buffer.Vertices.size(); ++v) {
            if (target.flags[v] & ETA_OBJ_OWN_NORMAL)
                continue;
            const irr::core::vector3d<double>& sum = sums[target.positionOf[v]];
            const double length = sum.getLength();
            buffer.Vertices[v].Normal = length > 0 ? irr::core::vector3df(float(sum.X / length), float(sum.Y / length),
                                                                          float(sum.Z / length))
                                                   : irr::core::vector3df(0, 1, 0);
        }
    }

    CTaMesh* finish()
    {
        std::unique_ptr<CTaMesh, STaDropper> mesh(new CTaMesh());
        const STaObjMaterial plain;
        for (const std::unique_ptr<STaObjBuffer>& owned : m_buffers) {
            STaObjBuffer& target = *owned;
            irr::scene::SMeshBuffer& buffer = *target.buffer;
            const STaObjGroup& group = m_groups[target.group];
            const STaObjMaterial* material = &plain;
            if (group.named) {
                auto found = m_materials.find(group.material);
                if (found != m_materials.end())
                    material = &found->second;
            }
            buffer.Material = material->material;
            // Irrlicht lights a vertex with its colour as the diffuse colour (ECM_DIFFUSE), so the
            // vertices carry the material's, unless the file gave them their own.
            const irr::video::SColor diffuse =
                colourOf(material->diffuse[0], material->diffuse[1], material->diffuse[2], material->opacity);
            const u32 alpha = diffuse.getAlpha();
            if (alpha < 255)
                buffer.Material.MaterialType = irr::video::EMT_TRANSPARENT_VERTEX_ALPHA;
            for (u32 v = 0; v < buffer.Vertices.size(); ++v) {
                irr::video::SColor& colour = buffer.Vertices[v].Color;
                if (target.flags[v] & ETA_OBJ_OWN_COLOUR)
                    colour.setAlpha(alpha);
                else
                    colour = diffuse;
            }
            computeNormals(target);
            buffer.recalculateBoundingBox();
            mesh->addMeshBuffer(&buffer);
            mesh->extras.emplace_back();
        }
        mesh->recalculateBoundingBox();
        return mesh.release();
    }

    irr::io::IFileSystem* m_fileSystem;
    irr::video::IVideoDriver* m_driver;
    irr::io::path m_directory;

    std::vector<irr::core::vector3df> m_positions;
    // Only as long as the last position with a colour of its own.
    std::vector<irr::video::SColor> m_colours;
    std::vector<bool> m_hasColour;
    std::vector<irr::core::vector2df> m_uvs;
    std::vector<irr::core::vector3df> m_normals;

    std::vector<STaObjGroup> m_groups;
    std::unordered_map<std::string, size_t> m_groupByName;
    size_t m_group = 0;
    std::vector<std::unique_ptr<STaObjBuffer>> m_buffers;
    std::vector<STaCornerKey> m_corners;
    size_t m_vertexCount = 0;
    size_t m_indexCount = 0;

    std::unordered_map<std::string, STaObjMaterial> m_materials;
    std::unordered_set<std::string> m_librariesRead;
    size_t m_libraryBytes = 0;
};

} // namespace

CTaMesh* taReadObjMesh(const void* data, size_t size, irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                       const irr::io::path& directory, std::string& error)
{
    error.clear();
    if (!data)
        size = 0;
    try {
        CTaObjReader reader(fileSystem, driver, directory);
        return reader.read(static_cast<const char*>(data), size, error);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the object";
        return nullptr;
    }
}

CTaMeshLoaderObj::CTaMeshLoaderObj(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver)
    : m_fileSystem(fileSystem), m_driver(driver)
{
    if (m_fileSystem)
        m_fileSystem->grab();
    if (m_driver)
        m_driver->grab();
}

CTaMeshLoaderObj::~CTaMeshLoaderObj()
{
    if (m_driver)
        m_driver->drop();
    if (m_fileSystem)
        m_fileSystem->drop();
}

bool CTaMeshLoaderObj::isALoadableFileExtension(const irr::io::path& filename) const
{
    const std::string_view name(filename.c_str(), filename.size());
    return name.size() >= 4 && name[name.size() - 4] == '.' && equalsNoCase(name.substr(name.size() - 3), "obj");
}

irr::scene::IAnimatedMesh* CTaMeshLoaderObj::createMesh(irr::io::IReadFile* file)
{
    m_lastError.clear();
    if (!file) {
        m_lastError = "no file";
        return nullptr;
    }
    const long size = file->getSize();
    if (size < 0) {
        m_lastError = "the file has no size";
        return nullptr;
    }
    if (size > kMaxFileBytes) {
        m_lastError = "the file is larger than 256 MB";
        return nullptr;
    }
    std::string text;
    irr::io::path directory;
    try {
        text.resize(size_t(size));
        if (size > 0) {
            const irr::s32 got = file->read(&text[0], u32(size));
            text.resize(got > 0 ? size_t(got) : 0);
        }
    } catch (const std::bad_alloc&) {
        m_lastError = "not enough memory for the file";
        return nullptr;
    }
    const irr::io::path& name = file->getFileName();
    if (m_fileSystem) {
        directory = m_fileSystem->getFileDir(name);
    } else {
        const irr::s32 slash = name.findLastChar("/\\", 2);
        if (slash >= 0)
            directory = name.subString(0, u32(slash));
    }
    CTaMesh* mesh = taReadObjMesh(text.data(), text.size(), m_fileSystem, m_driver, directory, m_lastError);
    if (!mesh)
        return nullptr;
    irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh, irr::scene::EAMT_OBJ);
    mesh->drop();
    return animated;
}
