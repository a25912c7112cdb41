#!/usr/bin/env bash
# Builds kinbook and runs the whole test suite twice: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. Fails when any test fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# The program is built as the package ships it (Release, Debian's hardening flags): the tests run
# against that program, and the package test packages it instead of building it again.
echo "== build"
source "$here/tools/releaseflags.sh"
"$here/tools/setup.sh" "$here/build" "${release_options[@]}"
echo "== tests"
ctest --test-dir "$here/build" --output-on-failure -j"$jobs" --timeout 300

# Only what the tests run: the developer tools (benchmark, screenshots, ledger generator) were built
# above.
echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
KINBOOK_BUILD_TARGETS="test_db test_shell test_reference test_books test_reports" \
  "$here/tools/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKINBOOK_SANITIZE=ON
echo "== tests under the sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$here/build-asan" --output-on-failure -j"$jobs" --timeout 600

echo "== fuzzing: money and the reading of bills, a minute each, side by side"
"$here/tests/fuzz/run.sh" "$here/build-fuzz"
