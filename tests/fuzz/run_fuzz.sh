#!/bin/bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# one until it has made FUZZ_RUNS executions, for at most FUZZ_MAX_SECONDS.
# Fails when a target crashes, breaks an invariant, leaks or falls short of
# FUZZ_RUNS. Usage: tests/fuzz/run_fuzz.sh [build-dir] [target...]
set -u -o pipefail

SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_DIR=$(realpath -m "${1:-$SOURCE_DIR/build-fuzz}")
shift || true
FUZZ_RUNS=${FUZZ_RUNS:-1000000}
FUZZ_MAX_SECONDS=${FUZZ_MAX_SECONDS:-600}
JOBS=${JOBS:-2}
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(fuzz_inifile fuzz_timetext fuzz_probe fuzz_progress fuzz_profile)
fi

if ! command -v clang++ >/dev/null; then
  echo "make fuzz needs clang++ with libFuzzer (Debian: apt-get install clang)" >&2
  exit 1
fi

cmake -S "$SOURCE_DIR/tests/fuzz" -B "$BUILD_DIR" -G Ninja -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$BUILD_DIR" -j "$JOBS" --target "${TARGETS[@]}" || exit 1

# Allocation stacks cost most of the time of the INI targets; a finding is
# run again with them below, for the report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:malloc_context_size=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LC_ALL=C.UTF-8

failed=0
summary=""
for target in "${TARGETS[@]}"; do
  seeds="$SOURCE_DIR/tests/fuzz/corpus/$target"
  work="$BUILD_DIR/corpus/$target"
  artifacts="$BUILD_DIR/artifacts/$target"
  log="$BUILD_DIR/$target.log"
  mkdir -p "$work" "$artifacts"
  echo "== $target: up to $FUZZ_RUNS runs, at most $FUZZ_MAX_SECONDS s"
  start=$(date +%s)
  # New inputs go to the work corpus; the seeds in the tree stay as they are.
  # Every INI lookup walks the whole text: texts are kept to the size of a
  # Preferences.ini or a large profile so that the runs fit the time.
  case $target in
    fuzz_inifile) extra=(-max_len=512) ;;
    fuzz_profile) extra=(-max_len=1024) ;;
    *) extra=() ;;
  esac
  dict="$SOURCE_DIR/tests/fuzz/$target.dict"
  [ -f "$dict" ] && extra+=(-dict="$dict")
  "$BUILD_DIR/$target" -runs="$FUZZ_RUNS" -max_total_time="$FUZZ_MAX_SECONDS" "${extra[@]}" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$seeds" >"$log" 2>&1
  status=$?
  seconds=$(( $(date +%s) - start ))
  runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
  runs=${runs:-0}
  if [ $status -ne 0 ]; then
    result="FINDING (exit $status)"
    grep -E "ERROR:|runtime error|Fuzz invariant|SUMMARY|Test unit written" "$log" | head -n 20
    for unit in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* "$artifacts"/oom-*; do
      [ -f "$unit" ] || continue
      ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 "$BUILD_DIR/$target" "$unit" >"$unit.report" 2>&1
      echo "   input: $unit (full report: $unit.report)"
    done
    echo "   log: $log"
    failed=1
  elif [ "$runs" -lt "$FUZZ_RUNS" ]; then
    result="SHORT (fewer than $FUZZ_RUNS runs)"
    failed=1
  else
    result="ok"
  fi
  echo "   Done $runs runs in ${seconds}s: $result"
  summary+=$(printf '%-16s %10s runs %5ss  %s' "$target" "$runs" "$seconds" "$result")$'\n'
done

echo
echo "Fuzz summary"
printf '%s' "$summary"
exit $failed
