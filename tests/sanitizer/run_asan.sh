#!/bin/bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer
# (Debug build in build-asan). Every process writes its AddressSanitizer
# reports to <build>/sanitizer-logs/: the test programs and the programs they
# start (velvo, vxenc.dll, the stand-in encoders) alike, so a fault in a child
# whose output a test never shows still fails the run. UndefinedBehaviorSanitizer
# reports of a GCC build ignore log_path: they go to the process's own error
# output, and the process ends with status 1 (no recovery), which the tests
# see as a failed program.
# Usage: tests/sanitizer/run_asan.sh [build-dir]
set -u -o pipefail

SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_DIR=$(realpath -m "${1:-$SOURCE_DIR/build-asan}")
JOBS=${JOBS:-2}

cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELVO_SANITIZE=ON >/dev/null || exit 1
cmake --build "$BUILD_DIR" -j "$JOBS" || exit 1

logs=$BUILD_DIR/sanitizer-logs
rm -rf "$logs"
mkdir -p "$logs"
# Leaks are not checked: Qt and the media libraries keep allocations until exit.
export ASAN_OPTIONS="detect_leaks=0:log_path=$logs/asan"
export UBSAN_OPTIONS="print_stacktrace=1:log_path=$logs/ubsan"
(cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS")
status=$?

shopt -s nullglob
reports=("$logs"/*)
if [ ${#reports[@]} -gt 0 ]; then
  echo "Sanitizer reports (${#reports[@]}):"
  for report in "${reports[@]}"; do
    echo "== $report"
    head -n 60 "$report"
  done
  status=1
fi
exit $status
