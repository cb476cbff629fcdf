#!/usr/bin/env bash
# Stage: the whole test suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, in <build>-san beside the main build, with test servers of
# its own: its CTest run starts them as fixtures, as the main run does.
#
# clang, whatever compiler the main build uses: the suite's sources compile in about a third less time
# with clang (measured on tst_flexgrid.cpp: 6.4-6.7 s against 8.9-9.9 s of CPU), the fuzz
# stage needs clang and its sanitizer runtime anyway, and clang's UndefinedBehaviorSanitizer
# also checks calls through mistyped function pointers. -O1 keeps the run quick; asserts stay on.
#
# Any finding fails the stage: the sanitizers end the process at the first error, and
# every report, of a test or of a program a test starts, is also written to
# <build>-san/sanitizer-reports, which must be free of them. Leaks are found too; what is
# suppressed lies in system libraries only, each in tests/sanitizers/*.supp with its reason.
#
# Usage: scripts/test-stages/50-sanitizers.sh <main build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
main=$(realpath "${1:?usage: 50-sanitizers.sh <main build folder>}")
build=$main-san
reports=$build/sanitizer-reports
suppressions=$here/tests/sanitizers

seconds() { echo $(( ($(date +%s%N) - $1) / 1000000000 )); }

command -v clang++ >/dev/null || { echo "50-sanitizers.sh: clang++ is missing (scripts/install-deps.sh)" >&2; exit 1; }

started=$(date +%s%N)
mkdir -p "$build"
# Only what the tests need: no benchmarks, no fuzz targets. Without precompiled headers,
# so that CI builds once the way a source that forgets a header of its own breaks.
if ! cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -gline-tables-only" \
  -DKELVORY_SANITIZE=ON -DKELVORY_BUILD_TESTS=ON -DKELVORY_BUILD_BENCH=OFF -DKELVORY_FUZZ=OFF -DKELVORY_PCH=OFF \
  >"$build/stage-configure.log" 2>&1; then
  cat "$build/stage-configure.log" >&2
  exit 1
fi
if ! cmake --build "$build" >"$build/stage-build.log" 2>&1; then
  tail -n 60 "$build/stage-build.log" >&2
  echo "50-sanitizers.sh: the sanitizer build failed; the whole log is $build/stage-build.log" >&2
  exit 1
fi
warnings=$(grep -c 'warning:' "$build/stage-build.log" || true)
echo "50-sanitizers.sh: sanitizer build (clang, ASan + UBSan) in $(seconds "$started") s, $warnings warnings"

rm -rf "$reports"
mkdir -p "$reports"
# halt_on_error: the first finding ends the process with a failing exit code.
# log_path: every report also lands in a file, so that a finding in a program that a test
# starts and then kills or does not check is not lost.
# Not strict_string_checks: our code hands no C strings to the C library, and in the
# libraries it flags legal calls, such as libxkbcommon-x11's strndup of an X reply's
# unterminated atom name at every start under a real X server.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/report"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1:log_path=$reports/report"
export LSAN_OPTIONS="suppressions=$suppressions/lsan.supp:print_suppressions=1"

tests_started=$(date +%s%N)
status=0
(cd "$build" && ctest --output-on-failure -j "$(nproc)" --timeout 900) || status=$?
echo "50-sanitizers.sh: sanitizer test run in $(seconds "$tests_started") s"

shopt -s nullglob
findings=()
for report in "$reports"/*; do
  if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|SUMMARY: (AddressSanitizer|UndefinedBehaviorSanitizer)' "$report"; then
    findings+=("$report")
  fi
done
# What the suppressions hid, summed over every process: "<processes> <bytes> <pattern>".
used=$(cat /dev/null "$reports"/* | awk '
  /^Suppressions used:/ { table = 1; next }
  /^-+$/ { table = 0 }
  table && $1 ~ /^[0-9]+$/ { processes[$3]++; bytes[$3] += $2 }
  END { for (p in processes) printf "  %s: %d processes, %d bytes\n", p, processes[p], bytes[p] }')
if [ -n "$used" ]; then
  echo "50-sanitizers.sh: leaks suppressed in system libraries (tests/sanitizers/lsan.supp):"
  echo "$used"
fi
if [ ${#findings[@]} -gt 0 ]; then
  for report in "${findings[@]}"; do
    echo "=== $report" >&2
    cat "$report" >&2
  done
  echo "50-sanitizers.sh: ${#findings[@]} sanitizer reports" >&2
  status=1
fi
echo "50-sanitizers.sh: $( [ "$status" -eq 0 ] && echo clean || echo FAILED ) after $(seconds "$started") s in all"
exit "$status"
