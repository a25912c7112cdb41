#!/usr/bin/env bash
# Builds kinbook and runs the whole test suite twice: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== build"
"$here/tools/setup.sh" "$here/build"
echo "== tests"
ctest --test-dir "$here/build" --output-on-failure -j"$jobs" --timeout 300

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
"$here/tools/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKINBOOK_SANITIZE=ON
echo "== tests under the sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$here/build-asan" --output-on-failure -j"$jobs" --timeout 600

echo "== fuzzing: money and the reading of bills, about a minute each"
"$here/tests/fuzz/run.sh" "$here/build-fuzz"
