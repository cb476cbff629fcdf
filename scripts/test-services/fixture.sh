#!/usr/bin/env bash
# The test servers as CTest fixtures (tests/CMakeLists.txt), one of each per CTest run, so
# that two runs at once, from one build folder or two, never share or stop a server.
#   fixture.sh up <service> <root>      setup test: starts postgres or cups
#   fixture.sh down <service> <root>    cleanup test: stops it, keeps its logs
#   fixture.sh run <root> <command...>  runs a test with what its run's services export
# CTest starts each of these itself, so their parent is the CTest process: <root>/<its pid>
# holds that run's links to the servers' scratch folders and one <service>.env each,
# NAME=value lines that `run` exports; a variable already in the environment is kept.
# What an ended run left (interrupted, killed) is removed at the next setup.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)

usage() {
  echo "usage: fixture.sh up|down <service> <root> | run <root> <command...>" >&2
  exit 2
}

case ${1:-} in
run)
  [ $# -ge 3 ] || usage
  for env in "$2/$PPID"/*.env; do
    [ -f "$env" ] || continue
    while IFS='=' read -r name value; do
      [ -n "${!name+x}" ] || export "$name=$value"
    done <"$env"
  done
  shift 2
  exec "$@"
  ;;
up | down)
  if [ $# -ne 3 ] || [[ ! $2 =~ ^(postgres|cups)$ ]]; then usage; fi
  ;;
*) usage ;;
esac
action=$1 service=$2 root=$3
state=$root/$PPID
for file in postgres cups; do
  # shellcheck source=/dev/null
  source "$here/scripts/test-services/$file.sh"
done
mkdir -p "$state"

if [ "$action" = up ]; then
  # A subshell, so that no server started below inherits the lock.
  (
    flock 9
    for old in "$root"/*/; do
      old=${old%/}
      pid=${old##*/}
      if [[ ! $pid =~ ^[0-9]+$ ]] || [ "$pid" = "$PPID" ] \
        || [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = ctest ]; then
        continue
      fi
      postgres_remove "$old"
      cups_remove "$old"
      rm -rf "$old"
    done
  ) 9>"$root/.lock"
fi
"${service}_$action" "$state"
