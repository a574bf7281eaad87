#!/usr/bin/env bash
# Sets everything up and runs the tests: the unit tests, the OpenGL tests under Xvfb and the slow
# tests (the fuzz targets replaying their saved inputs) in a normal build, then the unit and slow
# tests again with AddressSanitizer and UBSan, the threaded code with ThreadSanitizer, the layer
# check's own test, and a short fuzzing run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$here/tools/setup.sh" "$here/build"
cd "$here/build"
ctest -L unit -j"$jobs" --output-on-failure --no-tests=error
xvfb-run -a -s "-screen 0 1280x1024x24" ctest -L gl --output-on-failure --no-tests=error
ctest -L slow -j"$jobs" --output-on-failure --no-tests=error

"$here/tools/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTARV_SANITIZE=ON
cd "$here/build-asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest -L 'unit|slow' -j"$jobs" --output-on-failure --no-tests=error
# The code with worker threads, under ThreadSanitizer.
"$here/tools/setup.sh" "$here/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DTARV_SANITIZE_THREAD=ON
cd "$here/build-tsan"
TSAN_OPTIONS=halt_on_error=1 ctest -L threads -j"$jobs" --output-on-failure --no-tests=error

# A short fuzzing run of every parser of untrusted input.
"$here/tools/fuzz.sh" 20
echo "all tests passed"
