#!/usr/bin/env bash
# Builds an optimised copy of the engine and runs its benchmarks. Figures are ratios measured side
# by side in one run; absolute times depend on the machine and what else it is doing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build-release" -DCMAKE_BUILD_TYPE=Release -DTARV_BUILD_TESTS=OFF
# From the build folder, where the engine's runtime folders are linked, as beside tarv.
cd "$here/build-release"
"$here/build-release/tarv_bench_tf" --benchmark_min_time=2 "$@"
"$here/build-release/tarv_bench_music"
"$here/build-release/tarv_bench_particles"
"$here/build-release/tarv_bench_shader" --benchmark_min_time=1
"$here/build-release/tarv_bench_script" --benchmark_min_time=1
"$here/build-release/tarv_bench_mesh" --benchmark_min_time=1
"$here/build-release/tarv_bench_scene" --benchmark_min_time=1
# The frame under Xvfb (llvmpipe draws on the CPU, so OpenGL figures are the software renderer's).
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_sync" --benchmark_min_time=1
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_texture" --benchmark_min_time=1
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_effect" --benchmark_min_time=1
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_nodes" --benchmark_min_time=1
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_surfaces"
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_capture"
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_lighting"
xvfb-run -a -s "-screen 0 1280x1024x24" "$here/build-release/tarv_bench_post"
