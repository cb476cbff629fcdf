#!/usr/bin/env bash
# Fails when an include in src/ runs against the direction of the layers, and says which.
# Lower layers never include higher ones:
#   common < database < roster/grid < startup < changes, output < import < roster (the
#   main window), history (its window) < main.cpp
# A layer may include any lower one; folders of the same rank do not include each other.
# The only includes that run upward are the windows' own: Module1 creating the two windows.
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

rank() {
  case $1 in
    common) echo 0 ;;
    database) echo 1 ;;
    grid) echo 2 ;;
    startup) echo 3 ;;
    changes | output) echo 4 ;;
    import) echo 5 ;;
    roster | history) echo 6 ;;
    main) echo 7 ;;
    *) echo "" ;;
  esac
}
layer() { # a path relative to src/
  case $1 in
    roster/grid/*) echo grid ;;
    */*) echo "${1%%/*}" ;;
    *) echo main ;;
  esac
}
# Module1 makes the main window and the history window: that is what it is for.
allowed() {
  case "$1 -> $2" in
    "startup/Module1.cpp -> roster/RosterForm.h" | "startup/Module1.cpp -> history/History.h") return 0 ;;
  esac
  return 1
}

bad=0
cd "$src"
while IFS= read -r file; do
  file=${file#./}
  from=$(layer "$file")
  from_rank=$(rank "$from")
  if [ -z "$from_rank" ]; then
    echo "include direction: $file is in a folder no layer names (scripts/check-include-direction.sh)"
    bad=1
    continue
  fi
  while IFS= read -r target; do
    [ -f "$target" ] || continue # a generated header or one of Qt's
    to=$(layer "$target")
    [ "$to" = "$from" ] && continue
    to_rank=$(rank "$to")
    if [ -z "$to_rank" ] || [ "$to_rank" -ge "$from_rank" ]; then
      allowed "$file" "$target" && continue
      echo "include direction: $file ($from) includes $target ($to), a layer at or above its own"
      bad=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.cpp' -o -name '*.h' | sort)

if [ "$bad" -ne 0 ]; then
  exit 1
fi
echo "include direction: every include in $src runs downward"
