#!/usr/bin/env bash
# Runs the whole test suite against the build in $1 (default: build), with the
# PostgreSQL server it needs. The server tests are mandatory here: no server, red run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$here/build}")
pgdir=$build/pg-test-server

"$here/scripts/pg-test-server.sh" start "$pgdir"
trap '"$here/scripts/pg-test-server.sh" stop "$pgdir"' EXIT

export KELVORY_TEST_PG_SERVER=127.0.0.1
export KELVORY_TEST_PG_UID=kelvory
export KELVORY_TEST_PG_PWD=kelvory99
export KELVORY_TEST_PG_REQUIRED=1
export KELVORY_TEST_PG_DIR=$pgdir
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 900
