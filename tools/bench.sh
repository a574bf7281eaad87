#!/usr/bin/env bash
# Builds an optimised copy of the engine and runs its benchmarks. Figures are ratios measured side
# by side in one run; absolute times depend on the machine and what else it is doing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build-release" -DCMAKE_BUILD_TYPE=Release -DTARV_BUILD_TESTS=OFF
"$here/build-release/tarv_bench_tf" --benchmark_min_time=2 "$@"
"$here/build-release/tarv_bench_music"
"$here/build-release/tarv_bench_shader" --benchmark_min_time=1
