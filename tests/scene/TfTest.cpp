// TF documents: both readers, malformed input, tracks, accessors, interpolation and the round trip
// through the tool's writer.
#include "scene/tf/TF.h"

#include "core/TaLog.h"
#include "tools/tarvtool/TfWriter.h"

#include "TaTestSupport.h"

#include <charconv>
#include <cmath>
#include <random>
#include <functional>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct STfCloser {
    void operator()(TF_Document* document) const { TF_Free(document); }
};
using TfPtr = std::unique_ptr<TF_Document, STfCloser>;

TfPtr loadText(const std::string& text) { return TfPtr(TF_LoadMemory(text.data(), text.size())); }

// --- A small builder for binary documents -----------------------------------------------------
std::string be32(uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string nameField(const std::string& name)
{
    std::string field = name + '\0';
    while (field.size() % 4)
        field += '\0';
    return field;
}
std::string chunk(const char* id, const std::string& content) { return std::string(id, 4) + be32(uint32_t(content.size())) + content; }
std::string words(std::initializer_list<uint32_t> list)
{
    std::string out;
    for (uint32_t w : list)
        out += be32(w);
    return out;
}
uint32_t bits(float f)
{
    uint32_t w;
    memcpy(&w, &f, 4);
    return w;
}
std::string nval(const std::string& name, uint32_t type, const std::string& data) { return chunk("NVAL", nameField(name) + be32(type) + data); }
std::string form(const std::string& chunks) { return "FORM" + be32(uint32_t(chunks.size() + 4)) + "TRVF" + chunks; }
TfPtr loadBinary(const std::string& bytes) { return TfPtr(TF_LoadMemory(bytes.data(), bytes.size())); }

// The example track of five samples: 1.5, 1.5, 1.5, 0.25, 0.5.
const char* const kTrack = "RUN 3 1.5 DAT 2 0.25 0.5";

class TfTest : public ::testing::Test
{
protected:
    TaLogCapture log;
};

TEST_F(TfTest, TextLines)
{
    TfPtr doc = loadText("# a comment\n"
                         "/ also a comment\n"
                         "{ Scene extra words ignored\n"
                         "\t  { SceneInfo\n"
                         "    FirstFrame I4 -12 7\n"
                         "    Flags U4 4294967295\n"
                         "    Fps FP 29.97\n"
                         "  }\n\r\n\r"
                         "  Dup I4 1\n"
                         "  Dup I4 2\n"
                         "  List FP [\n"
                         "    1 2\n"
                         "    # a comment inside an array\n"
                         "\n"
                         "    3\n"
                         "  ]\n"
                         "  Vec FP 1 2 3\n"
                         "}\n");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->form, 1);
    const TF_Node* scene = TF_FindChild(doc->root, "Scene");
    ASSERT_TRUE(scene);
    EXPECT_STREQ(doc->root->name, "root");
    EXPECT_EQ(scene->type, 5u); // children
    const TF_Node* first = TF_FindChild(TF_FindChild(scene, "SceneInfo"), "FirstFrame");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->count, 2u);
    EXPECT_EQ(static_cast<const int32_t*>(first->data)[0], -12);
    EXPECT_EQ(static_cast<const uint32_t*>(TF_FindChild(TF_FindChild(scene, "SceneInfo"), "Flags")->data)[0], 4294967295u);
    EXPECT_FLOAT_EQ(TF_FP_Get(TF_FindChild(TF_FindChild(scene, "SceneInfo"), "Fps"), 0), 29.97f);
    // Duplicates: the first wins.
    EXPECT_EQ(static_cast<const int32_t*>(TF_FindChild(scene, "Dup")->data)[0], 1);
    const TF_Node* list = TF_FindChild(scene, "List");
    ASSERT_EQ(list->kind, uint32_t(TF_KIND_ARRAY));
    ASSERT_EQ(list->count, 2u);
    const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(list->data);
    EXPECT_EQ(elements[0].count, 2u);
    EXPECT_EQ(elements[1].count, 1u);
    EXPECT_FLOAT_EQ(static_cast<const float*>(elements[1].data)[0], 3.0f);
    // Blocks in pre-order, root first.
    EXPECT_EQ(doc->nodes, doc->root);
    EXPECT_STREQ(doc->nodes[1].name, "Scene");
    EXPECT_STREQ(doc->nodes[2].name, "SceneInfo");
    // A lookup in a missing section yields nothing, and chains without checks.
    EXPECT_EQ(TF_FindChild(TF_FindChild(TF_FindChild(doc->root, "Nope"), "SceneInfo"), "FirstFrame"), nullptr);
    EXPECT_EQ(TF_FindChild(nullptr, "x"), nullptr);
    // A value is not a node, whatever its third word says.
    EXPECT_EQ(TF_FindChild(TF_FindChild(scene, "Vec"), "x"), nullptr);
}

TEST_F(TfTest, Strings)
{
    struct { const char* line; const char* value; } cases[] = {
        {"S STR \"quoted\"   \t", "quoted"},
        {"S STR unquoted keeps blanks  ", "unquoted keeps blanks  "},
        {"S STR \"only an opening quote  ", "only an opening quote  "},
        {"S STR \"\"", ""},
        {"S STR \"ends with quote\"\"", "ends with quote\""},
        {"S STR [not an array when quoted is fine, but this is an array", nullptr},
    };
    for (const auto& c : cases) {
        TfPtr doc = loadText(std::string("# strings\n") + c.line + "\n");
        ASSERT_TRUE(doc) << c.line;
        const TF_Node* s = TF_FindChild(doc->root, "S");
        if (!c.value) {
            EXPECT_EQ(s->kind, uint32_t(TF_KIND_ARRAY)) << c.line;
            continue;
        }
        EXPECT_STREQ(static_cast<const char*>(s->data), c.value) << c.line;
        EXPECT_EQ(s->count, strlen(c.value)) << c.line;
    }
}

// What is not a number must not stop the parse; what does not fit saturates.
TEST_F(TfTest, NumbersThatAreNotNumbers)
{
    TfPtr doc = loadText("A I4 1 x 3 +4\n"
                         "B I4 99999999999 -99999999999\n"
                         "C U4 -5 4294967296 7\n"
                         "D FP 1.5 abc 1e50 -1e50 1e-50 nan\n");
    ASSERT_TRUE(doc);
    auto ints = [&](const char* name) { return static_cast<const int32_t*>(TF_FindChild(doc->root, name)->data); };
    EXPECT_EQ(TF_FindChild(doc->root, "A")->count, 4u);
    EXPECT_EQ(ints("A")[0], 1);
    EXPECT_EQ(ints("A")[1], 0);
    EXPECT_EQ(ints("A")[2], 3);
    EXPECT_EQ(ints("A")[3], 4);
    EXPECT_EQ(ints("B")[0], INT32_MAX);
    EXPECT_EQ(ints("B")[1], INT32_MIN);
    const uint32_t* c = static_cast<const uint32_t*>(TF_FindChild(doc->root, "C")->data);
    EXPECT_EQ(c[0], 0u);
    EXPECT_EQ(c[1], UINT32_MAX);
    EXPECT_EQ(c[2], 7u);
    const float* d = static_cast<const float*>(TF_FindChild(doc->root, "D")->data);
    EXPECT_EQ(d[0], 1.5f);
    EXPECT_EQ(d[1], 0.0f);
    EXPECT_EQ(d[2], std::numeric_limits<float>::infinity());
    EXPECT_EQ(d[3], -std::numeric_limits<float>::infinity());
    EXPECT_EQ(d[4], 0.0f);
    EXPECT_TRUE(std::isnan(d[5]));
}

// The reader's fast path for short decimals must round exactly as the full parser does.
TEST_F(TfTest, FloatsReadBackBitForBit)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<uint32_t> anyBits;
    std::uniform_real_distribution<float> ordinary(-1000.0f, 1000.0f);
    std::string text = "# floats\n";
    std::vector<std::string> tokens;
    char buffer[64];
    for (int i = 0; i < 20000; ++i) {
        float value;
        uint32_t bits = anyBits(random);
        memcpy(&value, &bits, 4);
        if (!std::isfinite(value))
            value = 1.0f;
        auto shortest = std::to_chars(buffer, buffer + sizeof(buffer), i % 2 ? value : ordinary(random));
        tokens.emplace_back(buffer, shortest.ptr);
        snprintf(buffer, sizeof(buffer), "%.7g", ordinary(random) / float(1 + i % 1000));
        tokens.emplace_back(buffer);
    }
    tokens.push_back("0.1");
    tokens.push_back("-0");
    tokens.push_back("16777217");
    tokens.push_back("1e10");
    tokens.push_back("1.5e-10");
    tokens.push_back(".5");
    tokens.push_back("5.");
    text += "V FP";
    for (const auto& token : tokens)
        text += " " + token;
    TfPtr doc = loadText(text + "\nT FP_C DAT " + std::to_string(tokens.size()) + text.substr(text.find(" FP") + 3) + "\n");
    ASSERT_TRUE(doc);
    const TF_Node* v = TF_FindChild(doc->root, "V");
    const TF_Node* t = TF_FindChild(doc->root, "T");
    ASSERT_EQ(v->count, tokens.size());
    ASSERT_EQ(t->count, tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) {
        float expected = 0;
        std::from_chars(tokens[i].data(), tokens[i].data() + tokens[i].size(), expected);
        const float got = static_cast<const float*>(v->data)[i];
        ASSERT_EQ(memcmp(&got, &expected, 4), 0) << tokens[i];
        ASSERT_EQ(TF_FP_Get(t, uint32_t(i)), expected) << tokens[i];
    }
}

TEST_F(TfTest, MalformedTextFailsWithItsMessage)
{
    std::string deep;
    for (int i = 0; i < 20; ++i)
        deep += "{ N" + std::to_string(i) + "\n";
    std::string deepEnough;
    for (int i = 0; i < 19; ++i)
        deepEnough += "{ N" + std::to_string(i) + "\n";
    struct { std::string text; const char* message; } cases[] = {
        {"{ Scene\n}\n}\n", "line 3: too many }\n"},
        {"{ Scene\n  lonely\n}\n", "Line does not have enough token\n"},
        {"{ Scene\n  lonely\n}\n", "line 2: Invalid line\n"},
        {"# a comment\nName FP\n", "Line value does not have enough token\n"},
        {"# a comment\nName FP  \t\n", "line 2: Invalid line\n"},
        // A run of line breaks ends one line.
        {"# a comment\n\n\r\nName F32 1\n", "line 2: unknown value type F32\n"},
        {"# a comment\rName fp 1\n", "line 2: unknown value type fp\n"},
        {"T FP_C RUN 3\n", "line 1: a track record has fewer floats than its count\n"},
        {"T FP_C DAT 4 1 2 3\n", "fewer floats than its count"},
        {"T FP_C 1.5 RUN 3 1\n", "a track record must begin with RUN or DAT, not '1.5'"},
        {"T FP_C RUN x 1\n", "a track record needs its sample count"},
        {"T FP_C RUN -1 1\n", "a track record needs its sample count"},
        {"T FP_C RUN 4294967295 1 RUN 1 1\n", "more samples than a 32-bit count holds"},
        {"T FP_C [\n RUN 2 1\n DAT 2 1\n]\n", "line 3: a track record has fewer floats"},
        {deep, "line 20: nodes nest deeper than the 19 levels"},
        {"short", "Error, file size < 12 bytes\n"},
        {std::string("Name I4 1\0 2\n", 13), "Error, file is not TF format\n"},
        {std::string("FORM\x00\x00\x00\x05TRVF", 12), "Error, TF binary FORM size mismatch file size\n"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        EXPECT_FALSE(loadText(c.text)) << c.message;
        EXPECT_TRUE(log.contains(c.message)) << c.message << " (got " << (log.lines.empty() ? "" : log.lines.back()) << ")";
    }
    // The file-format errors add the general verdict.
    log.lines.clear();
    loadText("short");
    EXPECT_TRUE(log.contains("Error, Not a TF file\n"));
    // 19 levels below the root are fine, and open nodes at the end are accepted.
    EXPECT_TRUE(loadText(deepEnough + "V I4 1\n"));
}

TEST_F(TfTest, BinaryDocument)
{
    const std::string track = words({TF_FPC_RUN, 3, bits(1.5f), TF_FPC_DAT, 2, bits(0.25f), bits(0.5f)});
    const std::string bytes = form(chunk("NODE", nameField("Scene") +
                                                     nval("Frame", TF_TYPE_I4, words({uint32_t(-3)})) +
                                                     nval("Name", TF_TYPE_STR, nameField("City")) +
                                                     nval("Track", TF_TYPE_FP_C, track) +
                                                     chunk("NARR", nameField("Pos") + be32(TF_TYPE_FP_C) +
                                                                       chunk("AVAL", track) + chunk("AVAL", track) +
                                                                       chunk("AVAL", words({TF_FPC_RUN, 1, bits(-1.0f)}))) +
                                                     chunk("NODE", nameField("Empty"))) +
                                   nval("Top", TF_TYPE_FP, words({bits(2.0f), bits(3.0f)})));
    TfPtr doc = loadBinary(bytes);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->form, 0);
    const TF_Node* scene = TF_FindChild(doc->root, "Scene");
    ASSERT_TRUE(scene);
    EXPECT_EQ(static_cast<const int32_t*>(TF_FindChild(scene, "Frame")->data)[0], -3);
    EXPECT_STREQ(static_cast<const char*>(TF_FindChild(scene, "Name")->data), "City");
    EXPECT_EQ(TF_FindChild(scene, "Name")->count, 4u);
    EXPECT_EQ(TF_FindChild(scene, "Track")->count, 5u);
    EXPECT_FLOAT_EQ(TF_FP_Lerp(TF_FindChild(scene, "Track"), 2.5f), 0.875f);
    const TF_Float3 pos = TF_FP3_Lerp(TF_FindChild(scene, "Pos"), 3.5f);
    EXPECT_FLOAT_EQ(pos.x, 0.375f);
    EXPECT_FLOAT_EQ(pos.z, -1.0f);
    EXPECT_EQ(TF_FindChild(scene, "Empty")->type, 0u);
    EXPECT_FLOAT_EQ(TF_FP2_Get(TF_FindChild(doc->root, "Top"), 0).y, 3.0f);
    EXPECT_EQ(doc->nodeCount, 8u);
    EXPECT_EQ(doc->elementCount, 3u);
}

TEST_F(TfTest, MalformedBinaryFailsCleanly)
{
    const std::string name = nameField("V");
    struct { const char* what; std::string bytes; const char* message; } cases[] = {
        {"FORM size off by one", "FORM" + be32(9) + "TRVF" + nval("V", TF_TYPE_I4, words({1})), "FORM size mismatch"},
        {"chunk overruns the FORM", form(chunk("NODE", nameField("N")).substr(0, 8) + "Nx\0\0"), "exceed chunk size at level 0\n"},
        {"chunk header cut", form("NOD"), "exceed chunk size at level 0\n"},
        {"unknown chunk", form(chunk("JUNK", "")), "unknown chunk ID 0x4a554e4b\n"},
        {"child overruns its node", form("NODE" + be32(8) + nameField("N") + "NVAL" + be32(100)), "exceed chunk size at level 1\n"},
        {"size not whole words", form(chunk("NODE", nameField("N")).substr(0, 4) + be32(5) + nameField("N") + "x" + "\0\0\0"),
         "is not a whole number of words"},
        {"name without its end", form(chunk("NVAL", "ABCD")), "name without its end"},
        {"value without its type", form(chunk("NVAL", name)), "value chunk without its type"},
        {"type code 5", form(nval("V", 5, "")), "unknown value type 5"},
        {"type code huge", form(nval("V", 0x80000000u, "")), "unknown value type 2147483648"},
        {"string without its end", form(nval("V", TF_TYPE_STR, "ABCD")), "string without its end"},
        {"track marker 2", form(nval("V", TF_TYPE_FP_C, words({2, 1, 0}))), "track records do not fit"},
        {"track count past its words", form(nval("V", TF_TYPE_FP_C, words({TF_FPC_DAT, 3, 0, 0}))), "track records do not fit"},
        {"track count overflow", form(nval("V", TF_TYPE_FP_C, words({TF_FPC_DAT, 0xFFFFFFFFu, 0}))), "track records do not fit"},
        {"run cut short", form(nval("V", TF_TYPE_FP_C, words({TF_FPC_RUN, 3}))), "track records do not fit"},
        {"samples beyond 32 bits", form(nval("V", TF_TYPE_FP_C, words({0, 0xFFFFFFFFu, 0, 0, 1, 0}))), "track records do not fit"},
        {"array with another chunk", form(chunk("NARR", name + be32(TF_TYPE_I4) + nval("X", 0, ""))), "expected AVAL chunk, found 0x4e56414c\n"},
        {"AVAL one word past the array", form(chunk("NARR", name + be32(TF_TYPE_I4) + "AVAL" + be32(4))), "exceed array size at level 0\n"},
        {"AVAL header cut", form(chunk("NARR", name + be32(TF_TYPE_I4) + "AVAL")), "exceed array size at level 0\n"},
        {"bad track in an element", form(chunk("NARR", name + be32(TF_TYPE_FP_C) + chunk("AVAL", words({7, 0, 0})))), "track records do not fit"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        EXPECT_FALSE(loadBinary(c.bytes)) << c.what;
        EXPECT_TRUE(log.contains(c.message)) << c.what << " (got " << (log.lines.empty() ? "" : log.lines.back()) << ")";
    }
    // Twenty nested nodes are one too many.
    std::string nested = nval("V", TF_TYPE_I4, words({1}));
    for (int i = 0; i < 20; ++i)
        nested = chunk("NODE", nameField("N") + nested);
    EXPECT_FALSE(loadBinary(form(nested)));
    EXPECT_TRUE(log.contains("nodes nest deeper than the 19 levels"));
    nested = nval("V", TF_TYPE_I4, words({1}));
    for (int i = 0; i < 19; ++i)
        nested = chunk("NODE", nameField("N") + nested);
    EXPECT_TRUE(loadBinary(form(nested)));
}

TEST_F(TfTest, TrackSamplesAndPositions)
{
    TfPtr doc = loadText(std::string("T FP_C ") + kTrack + "\nZero FP_C RUN 0 9\n");
    ASSERT_TRUE(doc);
    const TF_Node* t = TF_FindChild(doc->root, "T");
    EXPECT_EQ(t->count, 5u);
    // Stored as 7 words: RUN 3 1.5 (3 words) and DAT 2 0.25 0.5 (2 + 2 words).
    EXPECT_EQ(tfTrackWordCount(t->data, t->count), 7u);
    const float samples[] = {1.5f, 1.5f, 1.5f, 0.25f, 0.5f, 0.5f};
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(TF_FP_Get(t, i), samples[i]) << i;
    EXPECT_EQ(TF_FP_Get(t, 9), 0.5f);
    EXPECT_EQ(TF_FP_Get(t, UINT32_MAX), 0.5f);

    const float inf = std::numeric_limits<float>::infinity();
    struct { float t; float value; } positions[] = {
        {-2.0f, 1.5f}, {0.0f, 1.5f}, {1.0f, 1.5f}, {2.5f, 0.875f}, {3.0f, 0.25f}, {3.5f, 0.375f},
        {4.0f, 0.5f},  {100.0f, 0.5f}, {1e30f, 0.5f}, {inf, 0.5f}, {-inf, 1.5f}, {std::nanf(""), 1.5f},
    };
    for (const auto& p : positions)
        EXPECT_FLOAT_EQ(TF_FP_Lerp(t, p.t), p.value) << p.t;

    // A track without samples reads 0 everywhere.
    const TF_Node* zero = TF_FindChild(doc->root, "Zero");
    EXPECT_EQ(zero->count, 0u);
    EXPECT_EQ(TF_FP_Get(zero, 0), 0.0f);
    EXPECT_EQ(TF_FP_Lerp(zero, 2.0f), 0.0f);
}

TEST_F(TfTest, AccessorsOnEveryShape)
{
    TfPtr doc = loadText(std::string("V3 FP 1 2 3\n"
                                     "V1 FP 7\n"
                                     "C FP_C ") + kTrack + "\n"
                         "A2 FP_C [\n RUN 1 4\n DAT 3 1 2 3\n]\n"
                         "A1 FP_C [\n RUN 2 9\n]\n"
                         "F2 FP [\n 5 6\n 8\n]\n"
                         "I I4 1 2 3\n"
                         "S STR ab\n");
    ASSERT_TRUE(doc);
    auto node = [&](const char* name) { return TF_FindChild(doc->root, name); };
    // Vector values: (1, 2, 3) at every position; one float only: the rest read 0.
    for (float t : {-1.0f, 0.0f, 5.5f}) {
        const TF_Float3 v = TF_FP3_Lerp(node("V3"), t);
        EXPECT_EQ(v.x, 1.0f);
        EXPECT_EQ(v.y, 2.0f);
        EXPECT_EQ(v.z, 3.0f);
    }
    EXPECT_EQ(TF_FP_Lerp(node("V3"), 3.0f), 1.0f);
    const TF_Float3 short3 = TF_FP3_Get(node("V1"), 0);
    EXPECT_EQ(short3.x, 7.0f);
    EXPECT_EQ(short3.y, 0.0f);
    EXPECT_EQ(short3.z, 0.0f);
    // A single track read as a vector: the sample repeated.
    const TF_Float3 repeated = TF_FP3_Get(node("C"), 3);
    EXPECT_EQ(repeated.x, 0.25f);
    EXPECT_EQ(repeated.z, 0.25f);
    // Channels clamp to their own counts.
    const TF_Float2 a2 = TF_FP2_Get(node("A2"), 2);
    EXPECT_EQ(a2.x, 4.0f);
    EXPECT_EQ(a2.y, 3.0f);
    const TF_Float2 lerped = TF_FP2_Lerp(node("A2"), 0.5f);
    EXPECT_EQ(lerped.x, 4.0f);
    EXPECT_EQ(lerped.y, 1.5f);
    // An array with fewer channels than asked reads 0 for the missing ones.
    const TF_Float3 a1 = TF_FP3_Get(node("A1"), 0);
    EXPECT_EQ(a1.x, 9.0f);
    EXPECT_EQ(a1.y, 0.0f);
    const TF_Float2 f2 = TF_FP2_Get(node("F2"), 0);
    EXPECT_EQ(f2.x, 5.0f);
    EXPECT_EQ(f2.y, 8.0f);
    // Not float entries: 0.
    EXPECT_EQ(TF_FP_Get(node("I"), 0), 0.0f);
    EXPECT_EQ(TF_FP_Get(node("S"), 0), 0.0f);
    EXPECT_EQ(TF_FP3_Get(doc->root, 0).x, 0.0f);
    EXPECT_EQ(TF_FP_Get(nullptr, 0), 0.0f);

    // Unsupported shapes say so and give zeros.
    struct { std::function<float()> call; const char* message; } unsupported[] = {
        {[&] { return TF_FP_Lerp(node("A2"), 1); }, "TF_FP_Lerp not supported on array\n"},
        {[&] { return TF_FP3_Lerp(node("A2"), 1).x; }, "TF_FP3_Lerp: unsupported value/valtype/array size\n"},
        {[&] { return TF_FP3_Lerp(node("C"), 1).x; }, "TF_FP3_Lerp: unsupported value/valtype/array size\n"},
        {[&] { return TF_FP2_Lerp(node("A1"), 1).x; }, "TF_FP2_Lerp: unsupported value/valtype/array size\n"},
        {[&] { return TF_FP3_Slerp_HPB_To_XYZ(node("F2"), 1).x; }, "TF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n"},
        {[&] { return TF_FP_Lerp(node("I"), 1); }, "TF_FP_Lerp: unsupported"},
    };
    for (const auto& u : unsupported) {
        log.lines.clear();
        EXPECT_EQ(u.call(), 0.0f) << u.message;
        EXPECT_TRUE(log.contains(u.message)) << u.message;
    }
}

// Rotations: a single axis maps straight through (heading turns about Y, pitch about X, bank about
// Z); mixed rotations against values computed independently in double precision.
TEST_F(TfTest, SlerpHeadingPitchBank)
{
    struct { float h, p, b; float x, y, z; } constants[] = {
        {0.5f, 0, 0, 0, 0.5f, 0},
        {0, 0.5f, 0, 0.5f, 0, 0},
        {0, 0, 0.5f, 0, 0, 0.5f},
        {0.7f, 0.3f, -0.2f, 0.1273176f, 0.7427019f, -0.2605889f},
    };
    for (const auto& c : constants) {
        TfPtr doc = loadText("R FP " + std::to_string(c.h) + " " + std::to_string(c.p) + " " + std::to_string(c.b) + "\n");
        const TF_Float3 r = TF_FP3_Slerp_HPB_To_XYZ(TF_FindChild(doc->root, "R"), 0);
        EXPECT_NEAR(r.x, c.x, 5e-6) << c.h << " " << c.p << " " << c.b;
        EXPECT_NEAR(r.y, c.y, 5e-6);
        EXPECT_NEAR(r.z, c.z, 5e-6);
    }
    struct { float a[3], b[3]; float t; float x, y, z; } tracks[] = {
        {{0.3f, 0.2f, 0.1f}, {1.2f, -0.4f, 0.9f}, 0.25f, 0.3251619f, 0.4888571f, 0.3930681f},
        {{0.3f, 0.2f, 0.1f}, {1.2f, -0.4f, 0.9f}, 0.5f, 0.5050487f, 0.6603270f, 0.7463170f},
        {{0, 0, 0}, {3.0f, 0, 0}, 0.5f, 0, 1.5f, 0},
        {{0.1f, 0.1f, 0.1f}, {0.12f, 0.1f, 0.1f}, 0.5f, 0.1104610f, 0.0994877f, 0.0999949f}, // nearly equal: linear blend
        {{-2.5f, 1.0f, 0.3f}, {2.5f, -1.0f, 0.2f}, 0.75f, 2.6466021f, 0.2785792f, -3.0803568f}, // the short way round
        {{0.3f, 0.2f, 0.1f}, {1.2f, -0.4f, 0.9f}, 7.0f, 0, 0, 0},                            // clamped: the last sample
    };
    for (const auto& c : tracks) {
        std::string text = "R FP_C [\n";
        for (int k = 0; k < 3; ++k)
            text += " DAT 2 " + std::to_string(c.a[k]) + " " + std::to_string(c.b[k]) + "\n";
        TfPtr doc = loadText(text + "]\n");
        const TF_Node* r = TF_FindChild(doc->root, "R");
        const TF_Float3 v = TF_FP3_Slerp_HPB_To_XYZ(r, c.t);
        if (c.t > 1) {
            // Past the end: the same as the constant rotation of the last sample.
            TfPtr last = loadText("R FP " + std::to_string(c.b[0]) + " " + std::to_string(c.b[1]) + " " + std::to_string(c.b[2]) + "\n");
            const TF_Float3 expected = TF_FP3_Slerp_HPB_To_XYZ(TF_FindChild(last->root, "R"), 0);
            EXPECT_NEAR(v.x, expected.x, 1e-6);
            EXPECT_NEAR(v.y, expected.y, 1e-6);
            EXPECT_NEAR(v.z, expected.z, 1e-6);
            continue;
        }
        EXPECT_NEAR(v.x, c.x, 2e-5) << c.t;
        EXPECT_NEAR(v.y, c.y, 2e-5) << c.t;
        EXPECT_NEAR(v.z, c.z, 2e-5) << c.t;
    }
}

// Entry by entry, value by value, bit for bit.
void expectSameTree(const TF_Node* a, const TF_Node* b)
{
    ASSERT_EQ(a->kind, b->kind);
    ASSERT_STREQ(a->name, b->name);
    ASSERT_EQ(a->type, b->type) << a->name;
    if (a->kind == TF_KIND_NODE) {
        for (uint32_t i = 0; i < a->type; ++i)
            expectSameTree(a->children[i], b->children[i]);
        return;
    }
    ASSERT_EQ(a->count, b->count) << a->name;
    auto sameData = [&](uint32_t count, const void* x, const void* y) {
        size_t bytes = a->type == TF_TYPE_STR ? count : a->type == TF_TYPE_FP_C ? tfTrackWordCount(x, count) * 4 : count * 4;
        EXPECT_EQ(memcmp(x, y, bytes), 0) << a->name;
    };
    if (a->kind == TF_KIND_VALUE) {
        sameData(a->count, a->data, b->data);
        return;
    }
    const TF_ArrayElement* ea = static_cast<const TF_ArrayElement*>(a->data);
    const TF_ArrayElement* eb = static_cast<const TF_ArrayElement*>(b->data);
    for (uint32_t i = 0; i < a->count; ++i) {
        ASSERT_EQ(ea[i].count, eb[i].count) << a->name;
        sameData(ea[i].count, ea[i].data, eb[i].data);
    }
}

TEST_F(TfTest, TextToBinaryToTextKeepsEverything)
{
    const std::string scene = "{ Scene\n"
                              "  { SceneInfo\n"
                              "    FirstFrame I4 -5\n"
                              "    LastFrame U4 4000000000\n"
                              "    FramesPerSecond FP 29.97 0.1 -0 1e-40 3.4028235e38\n"
                              "    Name STR \"A \"quoted\" name  \"\n"
                              "  }\n"
                              "  { Objects\n"
                              "    { Tower\n"
                              "      Position FP_C [\n"
                              "        RUN 100 0.1\n"
                              "        DAT 4 0.5 0.25 0.125 0.0625 RUN 0 7\n"
                              "        RUN 1 -2\n"
                              "      ]\n"
                              "      Surfaces STR [\n"
                              "        \"Concrete\"\n"
                              "        \"\"\n"
                              "      ]\n"
                              "      Flags I4 [\n"
                              "        1 2 3\n"
                              "      ]\n"
                              "    }\n"
                              "  }\n"
                              "}\n";
    TfPtr text = loadText(scene);
    ASSERT_TRUE(text);
    std::string binary, error;
    ASSERT_TRUE(tfWriteBinary(text->root, binary, error)) << error;
    TfPtr fromBinary = loadBinary(binary);
    ASSERT_TRUE(fromBinary);
    expectSameTree(text->root, fromBinary->root);
    std::string again;
    ASSERT_TRUE(tfWriteText(fromBinary->root, again, error)) << error;
    TfPtr fromText = loadText(again);
    ASSERT_TRUE(fromText);
    expectSameTree(text->root, fromText->root);
    std::string once;
    ASSERT_TRUE(tfWriteText(text->root, once, error));
    EXPECT_EQ(once, again);
    std::string binaryAgain;
    ASSERT_TRUE(tfWriteBinary(fromText->root, binaryAgain, error));
    EXPECT_EQ(binary, binaryAgain);
}

TEST_F(TfTest, WhatTheTextFormCannotHold)
{
    const std::string bytes = form(nval("Empty", TF_TYPE_I4, "") + nval("has blank", TF_TYPE_I4, words({1})) +
                                   nval("S", TF_TYPE_STR, nameField("two\nlines")));
    TfPtr doc = loadBinary(bytes);
    ASSERT_TRUE(doc);
    std::string out, error;
    EXPECT_FALSE(tfWriteText(doc->root, out, error));
    EXPECT_NE(error.find("'Empty' holds no numbers"), std::string::npos) << error;
    EXPECT_TRUE(tfWriteBinary(doc->root, out, error));
}

class TfFileTest : public TaScratchTest
{
};

TEST_F(TfFileTest, LoadsThroughTheFileLayer)
{
    writeFile("scene/City.tscn", "{ Scene\n  V I4 3\n}\n");
    writeFile("empty.tscn", "");
    TfPtr doc(TF_Load("scene\\city.TSCN"));
    ASSERT_TRUE(doc);
    EXPECT_EQ(TF_FP_Get(TF_FindChild(TF_FindChild(doc->root, "Scene"), "V"), 0), 0.0f);
    TaLogCapture quiet;
    EXPECT_FALSE(TF_Load("empty.tscn"));
    EXPECT_FALSE(TF_Load("missing.tscn"));
    EXPECT_TRUE(quiet.lines.empty());
}

} // namespace
