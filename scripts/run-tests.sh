#!/usr/bin/env bash
# Runs the whole test suite against the build in $1 (default: build), with the servers
# it needs (the PostgreSQL server and the print queue, scripts/test-services/).
#
# Every scripts/test-services/*.sh is sourced before the tests, in name order: each
# starts what its tests need, exports what they must know, and registers its clean-up
# with on_exit. A service that cannot start ends the run at once, with its reason and a
# non-zero status: the tests would only fail, or wait, without it. Every
# scripts/test-stages/*.sh runs after the main suite, with the build folder as its
# argument; a stage that fails makes the run fail.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")

cleanups=()
on_exit() { cleanups+=("$1"); }
run_cleanups() {
  local i
  for ((i = ${#cleanups[@]} - 1; i >= 0; i--)); do eval "${cleanups[i]}" || true; done
}
trap run_cleanups EXIT

shopt -s nullglob
for service in "$here"/scripts/test-services/*.sh; do
  # shellcheck source=/dev/null
  source "$service"
done

cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 900

for stage in "$here"/scripts/test-stages/*.sh; do
  echo "=== stage: $(basename "$stage")"
  "$stage" "$build"
done
