#!/usr/bin/env bash
# Stage: the libFuzzer targets of fuzz/, built with clang (libFuzzer with AddressSanitizer
# and UndefinedBehaviorSanitizer) in <build>-fuzz beside the main build, each run for a
# bounded time from its committed seed corpus, as many at once as there are cores.
#
# A crash, a broken property, a sanitizer report, a leak, an input that runs past the
# per-input time-out or memory past the limit fails the stage; the input that did it is
# kept in <build>-fuzz/artifacts. Inputs the fuzzer finds go to <build>-fuzz/corpus, never
# into the committed seeds.
#
# Usage: scripts/test-stages/60-fuzz.sh <main build folder>
# KELVORY_FUZZ_SECONDS (default 20) is each target's time.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
main=$(realpath "${1:?usage: 60-fuzz.sh <main build folder>}")
build=$main-fuzz
seconds=${KELVORY_FUZZ_SECONDS:-20}
targets=(fuzz_number_text fuzz_user_file fuzz_export_fields fuzz_print_layout fuzz_import_file)

elapsed() { echo $(( ($(date +%s%N) - $1) / 1000000000 )); }

command -v clang++ >/dev/null || { echo "60-fuzz.sh: clang++ is missing (scripts/install-deps.sh)" >&2; exit 1; }

started=$(date +%s%N)
mkdir -p "$build"
# The library and the fuzz targets only: no program, no tests, no benchmarks.
if ! cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -gline-tables-only" \
  -DKELVORY_FUZZ=ON -DKELVORY_SANITIZE=ON -DKELVORY_BUILD_TESTS=OFF -DKELVORY_BUILD_BENCH=OFF \
  >"$build/stage-configure.log" 2>&1; then
  cat "$build/stage-configure.log" >&2
  exit 1
fi
if ! cmake --build "$build" --target kelvory_fuzzers >"$build/stage-build.log" 2>&1; then
  tail -n 60 "$build/stage-build.log" >&2
  echo "60-fuzz.sh: the fuzz build failed; the whole log is $build/stage-build.log" >&2
  exit 1
fi
warnings=$(grep -c 'warning:' "$build/stage-build.log" || true)
echo "60-fuzz.sh: fuzz targets built (clang, libFuzzer + ASan + UBSan) in $(elapsed "$started") s, $warnings warnings"

logs=$build/logs
rm -rf "$logs" "$build/artifacts"
mkdir -p "$logs" "$build/artifacts"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"

fuzz_one() {
  local target=$1
  local corpus=$build/corpus/$target
  local log=$logs/$target.log
  local args=(
    -max_total_time="$seconds"
    -timeout=10          # one input that takes longer is a hang
    -rss_limit_mb=2048
    -malloc_limit_mb=1024
    -max_len=4096
    -print_final_stats=1
    -artifact_prefix="$build/artifacts/$target-"
  )
  [ -f "$here/fuzz/$target.dict" ] && args+=(-dict="$here/fuzz/$target.dict")
  mkdir -p "$corpus"
  local begun status=0
  begun=$(date +%s%N)
  # The outer bound catches a fuzzer that cannot stop itself.
  timeout --kill-after=10 $((seconds + 120)) "$build/fuzz/$target" "${args[@]}" "$corpus" "$here/fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$status $(( ($(date +%s%N) - begun) / 1000000 )) ${runs:-?}" >"$logs/$target.result"
}

fuzz_started=$(date +%s%N)
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  fuzz_one "$target" &
done
wait

failed=()
printf '60-fuzz.sh: %-20s %8s %12s %10s  %s\n' target seconds executions per-second result
for target in "${targets[@]}"; do
  read -r status millis runs <"$logs/$target.result"
  rate="?"
  [[ $runs =~ ^[0-9]+$ ]] && [ "$millis" -gt 0 ] && rate=$((runs * 1000 / millis))
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAILED (exit $status)"
    failed+=("$target")
  fi
  printf '60-fuzz.sh: %-20s %8s %12s %10s  %s\n' "$target" "$((millis / 1000)).$((millis % 1000 / 100))" \
    "$runs" "$rate" "$result"
done
for target in "${failed[@]}"; do
  echo "=== $target: the end of $logs/$target.log" >&2
  tail -n 80 "$logs/$target.log" >&2
done
for artifact in "$build"/artifacts/*; do
  [ -e "$artifact" ] && echo "60-fuzz.sh: input kept: $artifact (run the target with it as the only argument to see it again)" >&2
done
echo "60-fuzz.sh: fuzzing took $(elapsed "$fuzz_started") s, the stage $(elapsed "$started") s"
[ ${#failed[@]} -eq 0 ]
