#!/usr/bin/env bash
# Runs the whole test suite against the build in $1 (default: build), then every
# scripts/test-stages/*.sh with the build folder as its argument; a stage that fails
# makes the run fail. The servers the tests need (a PostgreSQL server and a print queue)
# are CTest fixtures: CTest starts them for this run on ports of its own and stops them
# at its end (scripts/test-services/fixture.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")

cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 900

shopt -s nullglob
for stage in "$here"/scripts/test-stages/*.sh; do
  echo "=== stage: $(basename "$stage")"
  "$stage" "$build"
done
