#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for SECONDS (default 20), starting
# from the corpus in fuzz/corpus. New inputs go to build-fuzz/corpus, not into the repository.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build="$here/build-fuzz"
"$here/tools/setup.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARV_FUZZ=ON -DTARV_BUILD_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
for pair in FuzzExtract:extract FuzzSetup:setup FuzzTfText:tf-text FuzzTfBinary:tf-binary FuzzFxTarv:fx-tarv \
  FuzzFxCollada:fx-collada FuzzMeshObj:mesh-obj FuzzMeshLwo:mesh-lwo FuzzMeshX:mesh-x FuzzDds:dds \
  FuzzFxBuild:fx-build FuzzSceneDesc:scene-desc FuzzSceneLoad:scene-load \
  FuzzDemoScript:demo-script FuzzCurlNoise:curl-noise; do
  target=${pair%%:*}
  corpus=${pair##*:}
  mkdir -p "$build/corpus/$corpus" "$build/artifacts"
  echo "== $target for ${seconds}s"
  # Findings go to build-fuzz/artifacts, never into the directory the script was started from
  # (the .x target's trial-read children also leave the out-of-memory reports they meet there).
  "$build/$target" -max_total_time="$seconds" -timeout=40 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$corpus-" "$build/corpus/$corpus" "$here/fuzz/corpus/$corpus" 2>&1 | tail -n 12
done
