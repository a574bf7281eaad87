// TF document benchmarks, measured side by side in one run:
//   - loading a large binary document against reading the same bytes into memory;
//   - loading a text document against RapidJSON parsing the same tree written as JSON;
//   - evaluating 10,000 three-channel tracks at one sample position.
// The ratios are printed at the end (see tools/bench.sh).
#include "scene/tf/TF.h"
#include "tools/tarvtool/TfWriter.h"

#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

namespace {

// A scene of `objects` objects, each with position, rotation and scale tracks of `samples`
// samples (mostly literal data, with runs where the object rests), plus a few constant keys.
std::string makeScene(int objects, int samples)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::string text = "{ Scene\n  { SceneInfo\n    FirstFrame I4 0\n    LastFrame I4 " + std::to_string(samples) +
                       "\n    FramesPerSecond FP 30\n  }\n  { Objects\n";
    char number[32];
    for (int o = 0; o < objects; ++o) {
        text += "    { Object" + std::to_string(o) + "\n      File STR \"objects/thing" + std::to_string(o) + ".x\"\n";
        for (const char* key : {"Position", "Rotation", "Scale"}) {
            text += std::string("      ") + key + " FP_C [\n";
            for (int channel = 0; channel < 3; ++channel) {
                const int rest = samples / 10;
                text += "        RUN " + std::to_string(rest) + " 1 DAT " + std::to_string(samples - rest);
                for (int s = rest; s < samples; ++s) {
                    snprintf(number, sizeof(number), " %.7g", value(random));
                    text += number;
                }
                text += "\n";
            }
            text += "      ]\n";
        }
        text += "    }\n";
    }
    text += "  }\n}\n";
    return text;
}

// The same tree as JSON: nodes are objects, values and array elements arrays of numbers (track
// markers as 0 and 1, as stored), strings strings.
void appendJson(const TF_Node* node, std::string& out)
{
    char number[32];
    auto numbers = [&](uint32_t type, uint32_t count, const void* data) {
        out += '[';
        const size_t words = type == TF_TYPE_FP_C ? tfTrackWordCount(data, count) : count;
        const uint32_t* w = static_cast<const uint32_t*>(data);
        for (size_t i = 0; i < words; ++i) {
            if (i)
                out += ',';
            if (type == TF_TYPE_FP || type == TF_TYPE_FP_C) {
                float f;
                memcpy(&f, &w[i], 4);
                snprintf(number, sizeof(number), "%.7g", f);
            } else {
                snprintf(number, sizeof(number), "%d", static_cast<int>(w[i]));
            }
            out += number;
        }
        out += ']';
    };
    out += '"';
    out += node->name;
    out += "\":";
    if (node->kind == TF_KIND_NODE) {
        out += '{';
        for (uint32_t i = 0; i < node->type; ++i) {
            if (i)
                out += ',';
            appendJson(node->children[i], out);
        }
        out += '}';
    } else if (node->type == TF_TYPE_STR) {
        out += '"';
        out += static_cast<const char*>(node->data);
        out += '"';
    } else if (node->kind == TF_KIND_VALUE) {
        numbers(node->type, node->count, node->data);
    } else {
        out += '[';
        const TF_ArrayElement* elements = static_cast<const TF_ArrayElement*>(node->data);
        for (uint32_t i = 0; i < node->count; ++i) {
            if (i)
                out += ',';
            numbers(node->type, elements[i].count, elements[i].data);
        }
        out += ']';
    }
}

struct STfFixtures {
    std::string text;       // a text scene of a few MB
    std::string json;       // the same tree as JSON
    std::string binaryPath; // a binary scene of tens of MB on disk
    size_t binarySize = 0;

    STfFixtures()
    {
        text = makeScene(60, 2000);
        TF_Document* doc = TF_LoadMemory(text.data(), text.size());
        json = "{";
        for (uint32_t i = 0; i < doc->root->type; ++i)
            appendJson(doc->root->children[i], json);
        json += "}";
        TF_Free(doc);

        std::string big = makeScene(300, 6000);
        TF_Document* large = TF_LoadMemory(big.data(), big.size());
        std::string binary, error;
        tfWriteBinary(large->root, binary, error);
        TF_Free(large);
        char path[] = "/tmp/tarv-bench-XXXXXX";
        int fd = mkstemp(path);
        if (fd >= 0) {
            ssize_t written = write(fd, binary.data(), binary.size());
            (void)written;
            close(fd);
        }
        binaryPath = path;
        binarySize = binary.size();
    }
    ~STfFixtures() { unlink(binaryPath.c_str()); }
};

STfFixtures& fixtures()
{
    static STfFixtures instance;
    return instance;
}

// The floor: one read of the file into one buffer, as TF_Load does first.
void BM_ReadBinaryBytes(benchmark::State& state)
{
    const STfFixtures& f = fixtures();
    for (auto _ : state) {
        FILE* file = fopen(f.binaryPath.c_str(), "rb");
        std::unique_ptr<char[]> buffer(new char[f.binarySize + 1]);
        size_t n = fread(buffer.get(), 1, f.binarySize, file);
        fclose(file);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.binarySize));
}
BENCHMARK(BM_ReadBinaryBytes)->Unit(benchmark::kMillisecond);

void BM_LoadBinary(benchmark::State& state)
{
    const STfFixtures& f = fixtures();
    for (auto _ : state) {
        TF_Document* doc = TF_Load(f.binaryPath.c_str());
        benchmark::DoNotOptimize(doc);
        TF_Free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.binarySize));
}
BENCHMARK(BM_LoadBinary)->Unit(benchmark::kMillisecond);

void BM_LoadText(benchmark::State& state)
{
    const STfFixtures& f = fixtures();
    for (auto _ : state) {
        TF_Document* doc = TF_LoadMemory(f.text.data(), f.text.size());
        benchmark::DoNotOptimize(doc);
        TF_Free(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.text.size()));
}
BENCHMARK(BM_LoadText)->Unit(benchmark::kMillisecond);

void BM_RapidJsonSameTree(benchmark::State& state)
{
    const STfFixtures& f = fixtures();
    for (auto _ : state) {
        rapidjson::Document doc;
        doc.Parse(f.json.c_str(), f.json.size());
        benchmark::DoNotOptimize(doc.HasParseError());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(f.json.size()));
}
BENCHMARK(BM_RapidJsonSameTree)->Unit(benchmark::kMillisecond);

// 10,000 three-channel tracks of 600 samples; one evaluation per track at a moving position.
void BM_EvaluateTracks(benchmark::State& state)
{
    static std::string text = [] {
        std::string t;
        std::mt19937 random(3);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        char number[32];
        for (int k = 0; k < 10000; ++k) {
            t += "T" + std::to_string(k) + " FP_C [\n";
            for (int c = 0; c < 3; ++c) {
                t += " RUN 100 0 DAT 500";
                for (int s = 0; s < 500; ++s) {
                    snprintf(number, sizeof(number), " %.6g", value(random));
                    t += number;
                }
                t += "\n";
            }
            t += "]\n";
        }
        return t;
    }();
    static TF_Document* doc = TF_LoadMemory(text.data(), text.size());
    float t = 0.0f;
    for (auto _ : state) {
        for (uint32_t k = 0; k < doc->root->type; ++k) {
            TF_Float3 v = TF_FP3_Lerp(doc->root->children[k], t);
            benchmark::DoNotOptimize(v);
        }
        t += 0.731f;
        if (t > 599.0f)
            t = 0.0f;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * doc->root->type);
}
BENCHMARK(BM_EvaluateTracks)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then the ratios the benchmarks exist for.
class CTfRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            const double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            m_seconds[run.benchmark_name()] = seconds;
            auto bytes = run.counters.find("bytes_per_second");
            if (bytes != run.counters.end())
                m_bytesPerSecond[run.benchmark_name()] = bytes->second.value;
            auto items = run.counters.find("items_per_second");
            if (items != run.counters.end())
                m_itemsPerSecond[run.benchmark_name()] = items->second.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto has = [&](const char* name) { return m_seconds.count(name) != 0; };
        printf("\n");
        if (has("BM_LoadBinary") && has("BM_ReadBinaryBytes"))
            printf("binary load / reading the same bytes: %.2f (target: at most 3)\n",
                   m_seconds["BM_LoadBinary"] / m_seconds["BM_ReadBinaryBytes"]);
        if (m_bytesPerSecond.count("BM_LoadText") && m_bytesPerSecond.count("BM_RapidJsonSameTree"))
            printf("text throughput / RapidJSON on the same tree: %.2f (%.0f MB/s against %.0f MB/s; target: at least 1)\n",
                   m_bytesPerSecond["BM_LoadText"] / m_bytesPerSecond["BM_RapidJsonSameTree"],
                   m_bytesPerSecond["BM_LoadText"] / 1e6, m_bytesPerSecond["BM_RapidJsonSameTree"] / 1e6);
        if (m_itemsPerSecond.count("BM_EvaluateTracks"))
            printf("three-channel track evaluation: %.1f ns per track\n", 1e9 / m_itemsPerSecond["BM_EvaluateTracks"]);
        printf("binary document: %.1f MB; text document: %.1f MB; JSON: %.1f MB\n", fixtures().binarySize / 1e6,
               fixtures().text.size() / 1e6, fixtures().json.size() / 1e6);
    }

private:
    std::map<std::string, double> m_seconds, m_bytesPerSecond, m_itemsPerSecond;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    CTfRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
