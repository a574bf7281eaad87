// The cost of a trivial script API call: a loop calling ta.RGB against the same loop calling a
// plain Lua function with the same arguments, side by side in one run (null driver).
#include "app/TaCommandLine.h"
#include "core/TaLog.h"
#include "script/TaScriptHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kCalls = 200000;

void runLoop(benchmark::State& state, const char* call)
{
    STaCommandLine commandLine = taDefaultCommandLine();
    commandLine.driver = ETADRIVER_NULL;
    snprintf(commandLine.audio, sizeof(commandLine.audio), "null");
    taSetCommandLine(commandLine);
    char script[512];
    snprintf(script, sizeof(script),
             "ta.Setup() local RGB = ta.RGB local function lua(r, g, b) return r * 65536 + g * 256 + b end "
             "local t0 = os.clock() local s = 0 for i = 1, %d do s = s + %s end "
             "elapsed = os.clock() - t0",
             kCalls, call);
    // The engine start in the script is the same for both: only the loop is timed, by Lua's clock.
    std::string error;
    for (auto _ : state) {
        std::string text = script;
        text += " error(string.format('%.9f', elapsed), 0)";
        taRunScriptText(text.c_str(), &error);
        const double seconds = std::stod(error);
        state.SetIterationTime(seconds);
    }
    state.SetItemsProcessed(state.iterations() * kCalls);
}

void BM_ScriptApiCall(benchmark::State& state) { runLoop(state, "RGB(1, 2, 3)"); }
void BM_PlainLuaCall(benchmark::State& state) { runLoop(state, "lua(1, 2, 3)"); }
BENCHMARK(BM_ScriptApiCall)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLuaCall)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    taSetLogLevel(ETALOG_WARN);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
