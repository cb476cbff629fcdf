#!/usr/bin/env bash
# Runs every benchmark against the build in $1 (default: build); further arguments go to
# kelvory_bench (for example --smoke, --reps 7, --members 50000). Each figure is printed
# with its baseline, measured in the same process and run, and their ratio. The output
# is kept in <build>/bench-results.txt.
#
# PostgreSQL through ODBC joins in when KELVORY_TEST_PG_SERVER (with KELVORY_TEST_PG_UID
# and KELVORY_TEST_PG_PWD, and PGPORT for its port) names a server, as for the tests;
# KELVORY_BENCH_POSTGRES=1 starts a private test server on a free port and names it.
# KELVORY_BENCH_ARGS adds arguments when run through make bench.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
[ $# -gt 0 ] && shift
bench=$build/bench/kelvory_bench
[ -x "$bench" ] || { echo "$bench not built (cmake --build $build)" >&2; exit 1; }

if [ "${KELVORY_BENCH_POSTGRES:-0}" = 1 ]; then
  pgdir=$build/pg-bench-server
  PGPORT=$("$here/scripts/pg-test-server.sh" start "$pgdir")
  # shellcheck disable=SC2064 # the paths are fixed now
  trap "'$here/scripts/pg-test-server.sh' stop '$pgdir'" EXIT
  export PGPORT KELVORY_TEST_PG_SERVER=127.0.0.1 KELVORY_TEST_PG_UID=kelvory KELVORY_TEST_PG_PWD=kelvory99
fi
# The driver registry the build writes for the tests: "SQL Server" is psqlODBC there.
if [ -f "$build/tests/odbc/odbcinst.ini" ]; then
  export ODBCSYSINI=$build/tests/odbc ODBCINI=$build/tests/odbc/odbc.ini
fi
export QT_QPA_PLATFORM=offscreen

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
echo "Build: $build (CMAKE_BUILD_TYPE=${build_type:-none})"
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), load average $(cut -d' ' -f1-3 /proc/loadavg)"
# shellcheck disable=SC2086 # KELVORY_BENCH_ARGS is a list of arguments
"$bench" all "$@" ${KELVORY_BENCH_ARGS:-} 2>&1 | tee "$build/bench-results.txt"
