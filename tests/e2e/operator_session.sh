#!/usr/bin/env bash
# One operator's session with the real program, as a club volunteer lives it: the real
# kelvory executable, copied into a program folder of its own, on the embedded database,
# under an X server of its own (Xvfb), driven only by keystrokes and clicks (xdotool).
# Its last part is a whole session by keys alone, checked as a screen reader hears it:
# the program's accessibility tree, on an AT-SPI bus of the session's own, is walked for
# any control a screen reader can focus that has no name (a11y_walk.py), and the name of
# the control with the focus is read after each move. What the operator did is then
# read back from the files the program left behind.
#
# Environment (set by CTest): KELVORY_EXECUTABLE, KELVORY_GRAB_WINDOW (saves a window
# as PNG), KELVORY_ARTIFACTS (screenshots and logs are kept there for CI).
#
# Every wait is a poll with a deadline; nothing waits without a bound.
set -euo pipefail

session_start=$SECONDS
elapsed() { echo $((SECONDS - session_start)); }
step() { echo "--- [$(elapsed)s] $*"; }
fail() {
  echo "FAIL [$(elapsed)s]: $*" >&2
  exit 1
}

for tool in Xvfb xdotool xprop sqlite3 cmp pdftotext dbus-daemon; do
  command -v "$tool" > /dev/null || fail "$tool is not installed (scripts/install-deps.sh installs it)"
done
# Debian's own Python, which holds pyatspi, whatever python3 comes first on the PATH.
readonly PYTHON=/usr/bin/python3 ATSPI_LAUNCHER=/usr/libexec/at-spi-bus-launcher
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ -x "$ATSPI_LAUNCHER" ] || fail "no $ATSPI_LAUNCHER (at-spi2-core; scripts/install-deps.sh installs it)"
"$PYTHON" -c 'import pyatspi' 2> /dev/null || fail "$PYTHON cannot import pyatspi (python3-pyatspi)"
exe=${KELVORY_EXECUTABLE:?KELVORY_EXECUTABLE names the kelvory executable}
grab=${KELVORY_GRAB_WINDOW:?KELVORY_GRAB_WINDOW names the window grabber}
artifacts=${KELVORY_ARTIFACTS:?KELVORY_ARTIFACTS names the folder for screenshots}
[ -x "$exe" ] || fail "no executable at $exe"
[ -x "$grab" ] || fail "no window grabber at $grab"
mkdir -p "$artifacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvory-e2e.XXXXXX")
program=$work/program # the program folder: executable, Kelvory.db, User.txt, ExcelExport.csv
mkdir -p "$program" "$work/tmp" "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$exe" "$program/kelvory"
db=$program/Kelvory.db

xvfb_pid=""
bus_pid=""
atspi_pid=""
pids=()
cleanup() {
  local status=$?
  local pid
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2> /dev/null || true; done
  # The accessibility bus's launcher ends its own bus; the session bus was forked away.
  if [ -n "$atspi_pid" ]; then kill "$atspi_pid" 2> /dev/null || true; fi
  if [ -n "$bus_pid" ]; then kill "$bus_pid" 2> /dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2> /dev/null || true; fi
  for pid in "${pids[@]}" $atspi_pid $xvfb_pid; do wait "$pid" 2> /dev/null || true; done
  cp "$work"/*.log "$artifacts/" 2> /dev/null || true
  if [ "$status" -ne 0 ]; then
    echo "logs kept in $artifacts (e2e-*.log)" >&2
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# The program's surroundings: its own runtime folder (where the user's single-instance
# lock lives) and temporary folder, the X platform, no desktop settings that would scale
# or move windows, and an opener that only records what the program asked it to open.
export TMPDIR=$work/tmp
export XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI \
  QT_ENABLE_HIGHDPI_SCALING XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
cat > "$work/bin/xdg-open" << EOF
#!/bin/sh
printf '%s\n' "\$*" >> "$work/opened"
EOF
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH
# The workstation's paper, which the labels dialog goes by: A4, whatever this machine's is.
export PAPERSIZE=a4
lock=$XDG_RUNTIME_DIR/Kelvory.lock

# poll SECONDS DESCRIPTION COMMAND...: runs COMMAND until it succeeds, at most SECONDS long.
poll() {
  local limit=$1 what=$2
  shift 2
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "waited ${limit}s for: $what"
    sleep 0.1
  done
}

# No window manager: without one, Qt gives the keyboard to each window it activates (the
# name prompt, every message box) and to the main window on a click, and windows keep
# exactly the size and place the program gives them. Before keys are sent, the window
# that must receive them is given the focus explicitly (xdotool windowfocus --sync), and
# keys and clicks then go through XTEST like a real keyboard and mouse.
step "X server"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset 3> "$work/display" \
  > "$work/e2e-xvfb.log" 2>&1 &
xvfb_pid=$!
display_ready() { [ -s "$work/display" ] && grep -q '^[0-9]' "$work/display"; }
poll 15 "Xvfb to name its display" display_ready
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
echo "display $DISPLAY"
poll 10 "the X server to answer" xdotool getdisplaygeometry > /dev/null

# A session bus and an accessibility bus of the session's own, as a desktop with a screen
# reader has them; Qt joins the accessibility bus when told a screen reader may listen.
step "accessibility bus"
dbus-daemon --session --fork --nopidfile --print-address=3 --print-pid=4 3> "$work/bus-address" 4> "$work/bus-pid" \
  2> "$work/e2e-dbus.log" || fail "the session bus did not start"
bus_pid=$(head -n 1 "$work/bus-pid")
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus-address")
export DBUS_SESSION_BUS_ADDRESS
"$ATSPI_LAUNCHER" --launch-immediately > "$work/e2e-atspi.log" 2>&1 &
atspi_pid=$!
atspi_ready() { xprop -root AT_SPI_BUS 2> /dev/null | grep -q unix; }
poll 10 "the accessibility bus to be announced" atspi_ready
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

readonly MAIN_TITLE='^Calvessa Senior Citizens Cluub Members$'
readonly APP_TITLE='^Kelvory$'

# visible_window PID TITLE: the id of a visible window of that process with that title.
visible_window() {
  xdotool search --all --onlyvisible --pid "$1" --name "$2" 2> /dev/null | head -n 1
}
# wait_window PID TITLE SECONDS: the window's id, once it is visible.
wait_window() {
  local deadline=$((SECONDS + $3)) id
  while true; do
    id=$(visible_window "$1" "$2")
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    kill -0 "$1" 2> /dev/null || fail "kelvory (pid $1) ended while a window titled $2 was awaited"
    [ "$SECONDS" -lt "$deadline" ] || fail "no window titled $2 of pid $1 within $3s"
    sleep 0.1
  done
}
window_gone() { ! xdotool search --onlyvisible --name '.' 2> /dev/null | grep -qx "$1"; }
wait_gone() { poll "${2:-10}" "window $1 to close" window_gone "$1"; }
# start_kelvory <name>: starts the program folder's kelvory in the background, its output
# in e2e-kelvory-<name>.log; its pid is in $started, and the cleanup ends it.
start_kelvory() {
  "$program/kelvory" > "$work/e2e-kelvory-$1.log" 2>&1 &
  started=$!
  pids+=("$started")
}
process_gone() { ! kill -0 "$1" 2> /dev/null; }
# expect_exit <pid> <what ends it> <status>: the process ends within 10 s, with that status.
expect_exit() {
  poll 10 "$2 to end the program" process_gone "$1"
  local status=0
  wait "$1" || status=$?
  expect "exit status after $2" "$status" "$3"
}

# geometry WINDOW: sets X, Y, WIDTH, HEIGHT.
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

# click WINDOW LEFT TOP WIDTH HEIGHT: clicks the middle of a control placed in twips
# (1/1440 inch; 15 twips to the pixel at 96 dpi) in the window's client area.
click() {
  local x=$((($2 + $4 / 2) / 15)) y=$((($3 + $5 / 2) / 15))
  xdotool mousemove --window "$1" "$x" "$y" click 1
}

# answer WINDOW KEY: gives the dialog the keyboard and presses KEY there.
answer() {
  xdotool windowfocus --sync "$1"
  xdotool key "$2"
  wait_gone "$1"
}
# answer_dialog PID TITLE KEY: waits for the process's dialog with that title and answers it.
answer_dialog() {
  local dialog
  dialog=$(wait_window "$1" "$2" 15)
  answer "$dialog" "$3"
}

# shot WINDOW NAME: keeps a screenshot of the window as an artifact.
shot() {
  local file=$artifacts/$2.png
  "$grab" "$1" "$file" 2>> "$work/e2e-grab.log" || fail "screenshot $2 of window $1 failed"
  screenshots+=("$file")
}
screenshots=()

# png_size FILE: width x height from the PNG header.
png_size() {
  local hex
  hex=$(od -An -tx1 -j16 -N8 "$1" | tr -d ' \n')
  echo "$((16#${hex:0:8}))x$((16#${hex:8:8}))"
}

sql() { sqlite3 -cmd '.timeout 5000' "$db" "$@"; }

# expect WHAT ACTUAL EXPECTED
expect() {
  [ "$2" == "$3" ] && return 0
  echo "expected $1:" >&2
  printf '%s\n' "$3" | sed 's/^/  | /' >&2
  echo "found:" >&2
  printf '%s\n' "$2" | sed 's/^/  | /' >&2
  fail "$1 differs"
}

member_count() { sql 'select count(*) from members'; }
journal_count() { sql 'select count(*) from changeHistory'; }
count_is() { [ "$("$1")" == "$2" ]; }

# Layout of the main window, in twips: Left Top Width Height. The edit boxes are named
# by type_into through a reference.
# shellcheck disable=SC2034
readonly -a TEXT1_0=(210 7650 2385 330) TEXT1_1=(2580 7650 3255 330) TEXT1_2=(5880 7650 2295 330)
# shellcheck disable=SC2034
readonly -a TEXT1_3=(8220 7650 1305 330) TEXT1_4=(9600 7650 3015 330)
readonly -a CLEAR=(11550 8010 1095 1035) ADD_NEW=(240 8430 1395 525) UPDATE=(2160 8430 1245 525)
readonly -a DELETE=(4800 8430 1485 525) EXPORT=(11220 60 1455 1245) HISTORY=(10590 9180 2025 375)
readonly -a REFRESH=(11340 7230 1035 285) EXIT=(150 120 885 765) GRID=(420 1350 12285 5865)
readonly -a HISTORY_EXIT=(0 0 885 765)

# type_into WINDOW BOX TEXT: replaces the box's text by typing, as the operator does.
type_into() {
  local window=$1 text=$3
  local -n box=$2
  click "$window" "${box[@]}"
  xdotool key --clearmodifiers ctrl+a BackSpace
  [ -z "$text" ] || xdotool type --delay 8 -- "$text"
}

# pick_row WINDOW N: clicks member row N (1 = first under the headings) of the roster grid.
# The heading row and the member rows are one Times New Roman 12 line (plus margins) high.
readonly HEADING_PX=22 ROW_PX=21
pick_row() {
  local x=$(((GRID[0] + 600) / 15)) y=$((GRID[1] / 15 + HEADING_PX + ($2 - 1) * ROW_PX + ROW_PX / 2))
  xdotool mousemove --window "$1" "$x" "$y" click 1
}

today=$(date +%F)

# ---------------------------------------------------------------------------------------
step "first start: the name prompt comes before the main window"
start_kelvory first
first=$started
prompt=$(wait_window "$first" "$APP_TITLE" 30)
[ -z "$(visible_window "$first" "$MAIN_TITLE")" ] || fail "the main window shows before the name prompt is answered"
[ ! -e "$program/User.txt" ] || fail "User.txt exists before a name was typed"
shot "$prompt" e2e-first-run-prompt
xdotool windowfocus --sync "$prompt"
xdotool type --delay 8 -- "Margaret"
answer "$prompt" Return

main=$(wait_window "$first" "$MAIN_TITLE" 30)
printf '"Margaret"\r\n' > "$work/User.expected"
cmp "$program/User.txt" "$work/User.expected" || fail "User.txt does not hold the typed name as one quoted CR LF line"
expect "memberstatus" "$(sql "select member, status, created from memberstatus")" "Margaret|1|$today"
expect "members at first start" "$(member_count)" 0

geometry "$main"
expect "main window size in pixels" "${WIDTH}x${HEIGHT}" "861x660"
screen=$(xdotool getdisplaygeometry)
sx=$(((${screen% *} - WIDTH) / 2))
sy=$(((${screen#* } - HEIGHT) / 2))
if [ $((X - sx)) -gt 2 ] || [ $((sx - X)) -gt 2 ] || [ $((Y - sy)) -gt 2 ] || [ $((sy - Y)) -gt 2 ]; then
  fail "main window at $X,$Y, not centred on the ${screen/ /x} screen ($sx,$sy)"
fi

# backup_ok FILE: the copy passes SQLite's integrity check and holds the members the
# program's database holds.
backup_ok() {
  [ -f "$1" ] || fail "no backup $1"
  expect "integrity of $(basename "$1")" "$(sqlite3 "$1" 'pragma integrity_check')" ok
  expect "members in $(basename "$1")" "$(sqlite3 "$1" 'select * from members order by recordid')" \
    "$(sql 'select * from members order by recordid')"
}
backups=$program/Backups
step "the day's backup, made after admission"
backup_ok "$backups/Kelvory-$today.db"
expect "operator in the backup" "$(sqlite3 "$backups/Kelvory-$today.db" 'select member from memberstatus')" Margaret
expect "files in Backups" "$(ls "$backups")" "Kelvory-$today.db"

# ---------------------------------------------------------------------------------------
step "adding members"
# add_member NAME ADDRESS CITY PHONE COMMENT
add_member() {
  local before
  before=$(member_count)
  xdotool windowfocus --sync "$main"
  click "$main" "${CLEAR[@]}"
  type_into "$main" TEXT1_0 "$1"
  type_into "$main" TEXT1_1 "$2"
  type_into "$main" TEXT1_2 "$3"
  type_into "$main" TEXT1_3 "$4"
  type_into "$main" TEXT1_4 "$5"
  click "$main" "${ADD_NEW[@]}"
  answer_dialog "$first" "$APP_TITLE" Return # "Record Added"
  poll 10 "member $1 to be stored" count_is member_count $((before + 1))
}
add_member "Abbott, Helen" "12 Main St, Apt 4" "Calvessa, OR 97301" "503-555-0142" "Bridge club"
add_member "Carter, June" "77 Riverside Dr" "Keizer, OR 97303" "503-555-0119" "Drives on Tuesdays"
add_member "Brown, Walter" "408 Orchard Lane" "Salem, OR 97302" "503-555-0187" ""
add_member "O'Brien, Kate" "9 Willow Ct" "Calvessa, OR 97301" "503-555-0101" "New member"
expect "members after adding" "$(sql 'select recordid, name from members order by recordid')" \
  "1|Abbott, Helen
2|Carter, June
3|Brown, Walter
4|O'Brien, Kate"

# ---------------------------------------------------------------------------------------
step "picking Brown (second row in name order) and updating"
xdotool windowfocus --sync "$main"
click "$main" "${CLEAR[@]}"
pick_row "$main" 2
type_into "$main" TEXT1_1 "1500 Mission St SE"
type_into "$main" TEXT1_3 "503-555-0100"
type_into "$main" TEXT1_4 "Moved in May"
shot "$main" e2e-main-window
click "$main" "${UPDATE[@]}"
answer_dialog "$first" "$APP_TITLE" Return # "Record Updated"
poll 10 "the update to be journalled" count_is journal_count 5
expect "updated member" "$(sql 'select * from members where recordid = 3')" \
  "Brown, Walter|1500 Mission St SE|Salem, OR 97302|503-555-0100|Moved in May|3"

# ---------------------------------------------------------------------------------------
step "picking Carter (third row) and deleting: Escape, then No, then Yes"
pick_row "$main" 3
click "$main" "${DELETE[@]}"
confirm=$(wait_window "$first" '^DELETE$' 15)
# A Yes/No box has no answer for Escape: it stays until Yes or No is chosen.
xdotool windowfocus --sync "$confirm"
xdotool key Escape
sleep 1
[ "$(visible_window "$first" '^DELETE$')" == "$confirm" ] || fail "Escape answered the DELETE question"
answer "$confirm" n # No: nothing changes, no message
click "$main" "${DELETE[@]}"
confirm=$(wait_window "$first" '^DELETE$' 15) # the No above left no message behind
expect "members after answering No" "$(member_count)" 4
answer "$confirm" Return # Yes is the default button
answer_dialog "$first" "$APP_TITLE" Return # "Record Deleted"
poll 10 "Carter to be deleted" count_is member_count 3
expect "journal rows after the delete" "$(journal_count)" 6

# ---------------------------------------------------------------------------------------
step "Xcel Export, answered with Cancel"
expected_csv() {
  printf '%s\r\n' \
    'Name,Address,City State Zip,Phone,Comment,,' \
    'Abbott Helen,12 Main St Apt 4,Calvessa OR 97301,503-555-0142,Bridge club,1,' \
    'Brown Walter,1500 Mission St SE,Salem OR 97302,503-555-0100,Moved in May,3,' \
    "O'Brien Kate,9 Willow Ct,Calvessa OR 97301,503-555-0101,New member,4," \
    "$@"
}
click "$main" "${EXPORT[@]}"
answer_dialog "$first" "$APP_TITLE" Escape # OK/Cancel: Cancel
[ -f "$program/ExcelExport.csv" ] || fail "no ExcelExport.csv in the program folder"
expected_csv > "$work/export.expected"
cmp "$program/ExcelExport.csv" "$work/export.expected" || {
  od -c "$program/ExcelExport.csv" | head -40 >&2
  fail "ExcelExport.csv differs from the roster"
}
[ ! -e "$work/opened" ] || fail "Cancel still opened: $(cat "$work/opened")"

# ---------------------------------------------------------------------------------------
step "Transaction History"
click "$main" "${HISTORY[@]}"
history=$(wait_window "$first" '^Transaction History$' 15)
geometry "$history"
expect "history window size in pixels" "${WIDTH}x${HEIGHT}" "877x455"
shot "$history" e2e-history-window
click "$history" "${HISTORY_EXIT[@]}"
wait_gone "$history"
[ -n "$(visible_window "$first" "$MAIN_TITLE")" ] || fail "closing the history window closed the main window"

# ---------------------------------------------------------------------------------------
step "a second start while the first runs"
start_kelvory second
second=$started
refusal=$(wait_window "$second" "$APP_TITLE" 30)
[ -z "$(visible_window "$second" "$MAIN_TITLE")" ] || fail "the second start shows a main window"
shot "$refusal" e2e-second-instance
answer "$refusal" Return
expect_exit "$second" "OK on the refusal" 0

step "the first goes on working: a member stored elsewhere appears after Refresh, and OK opens the export"
sql "insert into members values ('Zimmer, Paul','31 Cedar Ave','Salem, OR 97302','503-555-0128','',5)"
xdotool windowfocus --sync "$main"
click "$main" "${REFRESH[@]}"
click "$main" "${EXPORT[@]}"
answer_dialog "$first" "$APP_TITLE" Return # OK: the file goes to the opener, here one that only records it
expected_csv 'Zimmer Paul,31 Cedar Ave,Salem OR 97302,503-555-0128,,5,' > "$work/export.expected"
cmp "$program/ExcelExport.csv" "$work/export.expected" || fail "after Refresh the export does not list Zimmer"
opened() { [ -s "$work/opened" ]; }
poll 10 "OK to hand the export to the opener" opened
expect "what OK opened" "$(cat "$work/opened")" "file://$(realpath "$program/ExcelExport.csv")"
kill -0 "$first" 2> /dev/null || fail "the first instance ended"

# ---------------------------------------------------------------------------------------
# save_labels PDF: in the open labels dialog, Save as PDF under that name, and OK on the
# message that says where it went.
# (PID: the program's process, the first one's unless given.)
save_labels() {
  local dialog files pid=${2:-$first}
  dialog=$(wait_window "$pid" '^Print Mailing Labels$' 15)
  xdotool windowfocus --sync "$dialog"
  xdotool key alt+s
  files=$(wait_window "$pid" '^Save Mailing Labels as PDF$' 15)
  xdotool windowfocus --sync "$files"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 8 -- "$1"
  answer "$files" Return
  answer_dialog "$pid" "$APP_TITLE" Return # "... mailing labels were saved to ..."
  wait_gone "$dialog"
  [ -s "$1" ] || fail "no labels in $1"
}
# label_lines PDF: the text of the labels, in the order they were printed.
label_lines() { pdftotext -raw -enc UTF-8 "$1" - | sed '/^\f*$/d; s/^\f//'; }

step "typing in the grid finds a member without her accent; Enter picks her for one label"
sql "insert into members values ('Émond, Lucie','5 Birch Ln','Salem, OR 97304','503-555-0150','',6)"
sql "insert into members values ('Nobody, Noaddress','','Salem, OR 97304','','',7)"
xdotool windowfocus --sync "$main"
click "$main" "${CLEAR[@]}"
click "$main" "${REFRESH[@]}"
# A click on the grid below its last row gives it the keyboard and picks nobody.
xdotool mousemove --window "$main" "$(((GRID[0] + 600) / 15))" "$(((GRID[1] + GRID[3]) / 15 - 30))" click 1
# A careful typist's pause between letters (0.7 s, longer than the system's keyboard
# interval) does not begin a new search; the tip over the grid shows what is sought.
xdotool type --delay 60 -- "em"
sleep 0.7
xdotool type -- "o"
shot "$main" e2e-find-by-typing
xdotool key Return
xdotool key ctrl+l
labels_dialog=$(wait_window "$first" '^Print Mailing Labels$' 15)
xdotool windowfocus --sync "$labels_dialog"
xdotool key alt+o # only the member in the boxes
save_labels "$work/one-label.pdf"
expect "the one label" "$(label_lines "$work/one-label.pdf")" "Émond, Lucie
5 Birch Ln
Salem, OR 97304"

step "labels for all members to a PDF, the one without an address left out"
xdotool windowfocus --sync "$main"
xdotool key ctrl+l
labels_dialog=$(wait_window "$first" '^Print Mailing Labels$' 15)
shot "$labels_dialog" e2e-labels-dialog
save_labels "$work/labels.pdf"
expect "labels in label order" "$(label_lines "$work/labels.pdf")" "Abbott, Helen
12 Main St, Apt 4
Calvessa, OR 97301
Brown, Walter
1500 Mission St SE
Salem, OR 97302
O'Brien, Kate
9 Willow Ct
Calvessa, OR 97301
Zimmer, Paul
31 Cedar Ave
Salem, OR 97302
Émond, Lucie
5 Birch Ln
Salem, OR 97304"
kill -0 "$first" 2> /dev/null || fail "the first instance ended"

# ---------------------------------------------------------------------------------------
step "the first is killed; its lock does not block the next start"
kill -KILL "$first"
wait "$first" 2> /dev/null || true
[ -e "$lock" ] || fail "no lock file left at $lock by the killed instance (nothing to prove)"
# As if the day's copy were yesterday's: this start is the first of a new day.
mv "$backups/Kelvory-$today.db" "$backups/Kelvory-2000-01-01.db"
start_kelvory third
third=$started
main3=$(wait_window "$third" "$MAIN_TITLE" 30)
step "the new day's backup holds every member"
backup_ok "$backups/Kelvory-$today.db"
expect "files in Backups" "$(ls "$backups")" "Kelvory-2000-01-01.db
Kelvory-$today.db"

# a11y ...: a11y_walk.py, bounded. walk_named PID TITLE: no unnamed focusable control there.
a11y() { timeout 30 "$PYTHON" "$here/a11y_walk.py" "$@"; }
walk_named() { a11y walk "$1" "$2" || fail "a control of \"$2\" has no name"; }
# tab_to PID WHAT [KEY]: presses Tab (or KEY) until the control with the focus is heard as
# WHAT ("role: name"), at most 20 times; with KEY "" it only waits for WHAT.
tab_to() {
  local key=${3-Tab} heard i
  for ((i = 1; i <= 20; i++)); do
    [ -z "$key" ] || xdotool key "$key"
    sleep 0.25
    heard=$(a11y focused "$1" 2>&1) || true
    echo "    ${key:-focus}: $heard"
    [ "$heard" != "$2" ] || return 0
  done
  fail "${key:-waiting} did not reach \"$2\" (last: \"$heard\")"
}
step "Import Members (Ctrl+I) by keys alone: a workbook with a title line, its first member already on the roster"
# An .xlsx as a spreadsheet program saves it, its cells as inline texts, made here with
# Python's own zip module.
"$PYTHON" - "$work/club-list.xlsx" << 'PY'
import sys
import zipfile
from xml.sax.saxutils import escape

main = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rows = [["Members 2026"], [], ["Last Name", "First Name", "Street", "City", "State", "Post Code", "Phone"],
        ["Abbott", "Helen", "12 Main St, Apt 4", "Calvessa", "OR", "97301", "503-555-0142"],
        ["Quinn", "Rosa", "3 Oak Ave", "Salem", "OR", "97302", "503-555-0171"],
        ["Young", "Ed", "", "Keizer", "OR", "97303", ""]]
cells = lambda r, row: "".join(f'<c r="{chr(65 + c)}{r}" t="inlineStr"><is><t>{escape(v)}</t></is></c>'
                               for c, v in enumerate(row) if v)
sheet = "".join(f'<row r="{r}">{cells(r, row)}</row>' for r, row in enumerate(rows, 1) if row)
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
    z.writestr("xl/workbook.xml", f'<workbook {main} xmlns:r="http://schemas.openxmlformats.org/officeDocument/'
               '2006/relationships"><sheets><sheet name="Members" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
               'relationships"><Relationship Id="rId1" Target="worksheets/sheet1.xml"/></Relationships>')
    z.writestr("xl/worksheets/sheet1.xml", f"<worksheet {main}><sheetData>{sheet}</sheetData></worksheet>")
PY
cp "$work/club-list.xlsx" "$work/club-list.before"
xdotool windowfocus --sync "$main3"
xdotool key ctrl+i
import_dialog=$(wait_window "$third" '^Import Members$' 15)
xdotool windowfocus --sync "$import_dialog"
xdotool type --delay 8 -- "$work/club-list.xlsx"
xdotool key Return # reads the file and shows the preview; imports nothing yet
sleep 1
expect "members before Import is pressed" "$(member_count)" 6
shot "$import_dialog" e2e-import-dialog
walk_named "$third" "Import Members"
# The list says each column's match; the choice beside it holds the current one's.
tab_to "$third" "list item: Column 1: Last Name → Last name"
tab_to "$third" "combo box: Last name"
tab_to "$third" "table: Rows of the file"
tab_to "$third" "push button: Import"
xdotool key space
answer_dialog "$third" "$APP_TITLE" Return # "2 members were imported ..."
wait_gone "$import_dialog"
expect "imported members" "$(sql 'select * from members where recordid > 7 order by recordid')" \
  "Quinn, Rosa|3 Oak Ave|Salem, OR 97302|503-555-0171||8
Young, Ed||Keizer, OR 97303|||9"
cmp "$work/club-list.xlsx" "$work/club-list.before" || fail "the import changed the file it read"
import_copy=$(ls "$backups" | grep -E '^Kelvory-[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}\.db$' || true)
[ -n "$import_copy" ] || fail "no copy of the database made before the import: $(ls "$backups")"
expect "members in the copy made before the import" "$(sqlite3 "$backups/$import_copy" 'select count(*) from members')" 6

step "by keys alone, as a screen reader hears it: every control named; Zimmer found, his phone edited, Update"
xdotool windowfocus --sync "$main3"
walk_named "$third" "Calvessa Senior Citizens Cluub Members"
tab_to "$third" "push button: EXIT" ""
tab_to "$third" "table: Member roster"
xdotool type --delay 60 -- "zim"
xdotool key Return
tab_to "$third" "text: Phone"
xdotool key --clearmodifiers ctrl+a BackSpace
xdotool type --delay 8 -- "503-555-0199"
tab_to "$third" "push button: Update" shift+Tab
xdotool key Return
answer_dialog "$third" "$APP_TITLE" Return # "Record Updated"

step "by keys alone: DELETE with its confirmation, PRINT, Xcel Export"
xdotool windowfocus --sync "$main3"
tab_to "$third" "table: Member roster" shift+Tab
xdotool type --delay 60 -- "nob"
xdotool key Return
tab_to "$third" "push button: DELETE"
xdotool key Return
answer_dialog "$third" '^DELETE$' Return   # Yes, the default button
answer_dialog "$third" "$APP_TITLE" Return # "Record Deleted"
xdotool windowfocus --sync "$main3"
tab_to "$third" "push button: PRINT" shift+Tab
xdotool key Return
answer_dialog "$third" "$APP_TITLE" Return # sent to the printer, or there is none
xdotool windowfocus --sync "$main3"
tab_to "$third" "push button: Xcel Export"
xdotool key Return
answer_dialog "$third" "$APP_TITLE" Escape
grep -q '^Zimmer Paul,31 Cedar Ave,Salem OR 97302,503-555-0199,,5,' "$program/ExcelExport.csv" \
  || fail "the export by keys does not hold the phone changed by keys"

step "by keys alone: Quinn marked as passed away in her details, every control named"
xdotool windowfocus --sync "$main3"
tab_to "$third" "table: Member roster" shift+Tab
xdotool type --delay 60 -- "quinn"
xdotool key Return
xdotool key ctrl+d
details=$(wait_window "$third" '^Member Details: Quinn, Rosa$' 15)
xdotool windowfocus --sync "$details"
walk_named "$third" "Member Details: Quinn, Rosa"
xdotool key alt+t # the status; on X11 Qt names a list box by its choice, its caption by relation
tab_to "$third" "combo box: active" ""
xdotool type -- "p" # passed away; the day it changed becomes today
xdotool key alt+s
wait_gone "$details"
expect "Quinn's details" "$(sql 'select recordid, status, statusChanged from memberDetails')" "8|passed away|$today"
xdotool windowfocus --sync "$main3"
xdotool key ctrl+shift+l
lists=$(wait_window "$third" '^Lists$' 15)
xdotool windowfocus --sync "$lists"
walk_named "$third" "Lists"
xdotool key Escape
wait_gone "$lists"

step "by keys alone: mailing labels leave Quinn out; Transaction History, every control named; EXIT"
xdotool windowfocus --sync "$main3"
xdotool key ctrl+l
xdotool windowfocus --sync "$(wait_window "$third" '^Print Mailing Labels$' 15)"
walk_named "$third" "Print Mailing Labels"
save_labels "$work/keys-labels.pdf" "$third"
if label_lines "$work/keys-labels.pdf" | grep -q Quinn; then fail "the labels hold a member who passed away"; fi
label_lines "$work/keys-labels.pdf" | grep -q '^Zimmer, Paul$' || fail "the labels by keys lost Zimmer"
xdotool windowfocus --sync "$main3"
tab_to "$third" "push button: Transaction History" shift+Tab
xdotool key Return
history3=$(wait_window "$third" '^Transaction History$' 15)
xdotool windowfocus --sync "$history3"
walk_named "$third" "Transaction History"
# The delete above taken back from the journal: the row before Quinn's details, the
# newest (rows of one day keep the order they were written in), Ctrl+Z, Yes.
tab_to "$third" "table: Journal of changes" ""
xdotool key ctrl+End Up ctrl+z
answer_dialog "$third" '^Undo$' Return     # "Take back this change?": Yes, the default button
answer_dialog "$third" "$APP_TITLE" Return # "... is back on the roster, with its record id 7."
expect "member back by keys" "$(sql 'select * from members where recordid = 7')" "Nobody, Noaddress||Salem, OR 97304|||7"
xdotool windowfocus --sync "$history3"
tab_to "$third" "push button: EXIT" # from the journal's grid
xdotool key Return
wait_gone "$history3"
xdotool windowfocus --sync "$main3"
tab_to "$third" "push button: EXIT"
xdotool key Return
expect_exit "$third" EXIT 0

# ---------------------------------------------------------------------------------------
step "what the session left behind"
expect "members" "$(sql 'select * from members order by recordid')" \
  "Abbott, Helen|12 Main St, Apt 4|Calvessa, OR 97301|503-555-0142|Bridge club|1
Brown, Walter|1500 Mission St SE|Salem, OR 97302|503-555-0100|Moved in May|3
O'Brien, Kate|9 Willow Ct|Calvessa, OR 97301|503-555-0101|New member|4
Zimmer, Paul|31 Cedar Ave|Salem, OR 97302|503-555-0199||5
Émond, Lucie|5 Birch Ln|Salem, OR 97304|503-555-0150||6
Nobody, Noaddress||Salem, OR 97304|||7
Quinn, Rosa|3 Oak Ave|Salem, OR 97302|503-555-0171||8
Young, Ed||Keizer, OR 97303|||9"
expect "journal" "$(sql 'select person, description from changeHistory order by rowid')" \
  "Margaret|Added : Abbott, Helen: 12 Main St, Apt 4: Calvessa, OR 97301: 503-555-0142: Bridge club
Margaret|Added : Carter, June: 77 Riverside Dr: Keizer, OR 97303: 503-555-0119: Drives on Tuesdays
Margaret|Added : Brown, Walter: 408 Orchard Lane: Salem, OR 97302: 503-555-0187: 
Margaret|Added : O'Brien, Kate: 9 Willow Ct: Calvessa, OR 97301: 503-555-0101: New member
Margaret|Changed : Brown, Walter: 1500 Mission St SE: Salem, OR 97302: 503-555-0100: Moved in May
Margaret|Deleted : Carter, June: 77 Riverside Dr: Keizer, OR 97303: 503-555-0119: Drives on Tuesdays
Margaret|Added : Quinn, Rosa: 3 Oak Ave: Salem, OR 97302: 503-555-0171: 
Margaret|Added : Young, Ed: : Keizer, OR 97303: : 
Margaret|Changed : Zimmer, Paul: 31 Cedar Ave: Salem, OR 97302: 503-555-0199: 
Margaret|Deleted : Nobody, Noaddress: : Salem, OR 97304: : 
Margaret|Details : Quinn, Rosa: passed away $today
Margaret|Added : Nobody, Noaddress: : Salem, OR 97304: : "
expect "journal dates" "$(sql "select count(*) from changeHistory where date = '$today'")" 12
expect "memberstatus after three starts" "$(sql 'select member, status from memberstatus')" "Margaret|1"
cmp "$program/User.txt" "$work/User.expected" || fail "User.txt changed after the first start"

for file in "${screenshots[@]}"; do
  echo "screenshot: $file ($(png_size "$file"))"
done
expect "main window screenshot size" "$(png_size "$artifacts/e2e-main-window.png")" "861x660"
expect "history window screenshot size" "$(png_size "$artifacts/e2e-history-window.png")" "877x455"
echo "e2e operator session passed in $(elapsed)s"
