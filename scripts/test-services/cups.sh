# shellcheck shell=bash
# Sourced by fixture.sh, which gives each function the folder of one CTest run.
#
# A print queue of our own, so that PRINT reaches a real default printer end to end:
# a cupsd on loopback with its configuration, spool and logs in a scratch folder under
# /tmp that the run's folder links to as cups-test-server (the system's /etc/cups and
# port 631 stay untouched), and one cups-pdf queue made the default. It needs no init
# system and runs as whoever runs the tests (root in CI). The scratch folder is not in
# the build folder because the filters run as lp, which could not reach a build in a
# folder of mode 0700 and would print every job as nothing.
#
# Exports CUPS_SERVER for the tests; KELVORY_TEST_CUPS_QUEUE, KELVORY_TEST_CUPS_PAGE_LOG and
# KELVORY_TEST_CUPS_PDF_DIR (where cups-pdf writes) so that a test can prove a job landed;
# and KELVORY_TEST_CUPS_REQUIRED=1, so that the print queue test fails, instead of
# skipping, when the queue could not be set up.

# The scheduler behind a run's link, if it still runs, and with it the folder when asked.
cups_stop() { # LINK [remove]
  local dir="" pid
  [ -L "$1" ] && dir=$(readlink "$1" | grep -E '^/tmp/kelvory-cups\.[A-Za-z0-9]+$' || true)
  [ -n "$dir" ] || return 0
  pid=$(cat "$dir/cupsd.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && grep -qs "$dir/cupsd.conf" "/proc/$pid/cmdline"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  if [ "${2:-}" = remove ]; then
    rm -rf "$dir"
    rm -f "$1"
  fi
}

cups_down() {
  rm -f "$1/cups.env"
  cups_stop "$1/cups-test-server"
}

cups_remove() {
  cups_stop "$1/cups-test-server" remove
}

cups_up() {
  local state=$1
  local link=$state/cups-test-server
  local dir
  local queue=Kelvory-PDF
  local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  local started
  started=$(date +%s%N)

  if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null || [ ! -x /usr/lib/cups/backend/cups-pdf ] \
    || [ ! -f "$ppd" ]; then
    echo "cups.sh: cups, cups-client or printer-driver-cups-pdf is missing (scripts/install-deps.sh)" >&2
    return 1
  fi

  # What a run of the same id left behind goes first.
  cups_stop "$link" remove
  rm -f "$link"
  if ! dir=$(mktemp -d /tmp/kelvory-cups.XXXXXX) || ! chmod 755 "$dir" || ! ln -s "$dir" "$link"; then
    echo "cups.sh: cannot make the scratch folder under /tmp or its link $link" >&2
    return 1
  fi
  mkdir -p "$dir/ppd" "$dir/spool" "$dir/cache" "$dir/state" "$dir/log"
  # Filters run as lp and need somewhere to write.
  mkdir -m 1777 "$dir/tmp"

  local user group
  user="lp"
  group="lp"
  if [ "$(id -u)" -ne 0 ]; then
    user=$(id -un)
    group=$(id -gn)
  fi
  cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
CacheDir $dir/cache
StateDir $dir/state
TempDir $dir/tmp
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User $user
Group $group
SystemGroup root
EOF

  # Ports in use (another build's queue, a system cupsd) are passed over.
  local port pid="" ready=""
  for port in $(seq 6310 6329); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      continue
    fi
    cat >"$dir/cupsd.conf" <<EOF
Listen 127.0.0.1:$port
LogLevel warn
Browsing No
DefaultShared No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
    Allow from 127.0.0.1
  </Limit>
</Policy>
EOF
    # Its own session and no inherited descriptors: CTest waits for the setup's output to close.
    setsid cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/cupsd.pid"
    # Bounded: a scheduler that is not up within five seconds is not coming.
    for _ in $(seq 1 100); do
      if ! kill -0 "$pid" 2>/dev/null; then
        break
      fi
      if CUPS_SERVER=127.0.0.1:$port lpstat -r 2>/dev/null | grep -q 'is running'; then
        ready=1
        break
      fi
      sleep 0.05
    done
    [ -n "$ready" ] && break
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
    # Only a port taken since the check is worth another try; anything else would fail again.
    grep -qs 'Address already in use' "$dir/log/error_log" "$dir/log/cupsd.out" || break
  done
  if [ -z "$ready" ]; then
    echo "cups.sh: the test print server did not start; see $dir/log" >&2
    return 1
  fi
  export CUPS_SERVER=127.0.0.1:$port
  if ! lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" 2>"$dir/log/lpadmin.err" \
    || ! lpadmin -d "$queue" 2>>"$dir/log/lpadmin.err"; then
    cat "$dir/log/lpadmin.err" >&2
    echo "cups.sh: the cups-pdf queue could not be added" >&2
    return 1
  fi
  # Where cups-pdf puts the jobs of the user who runs the tests, from its own settings.
  local out home
  out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
  home=$(getent passwd "$(id -un)" | cut -d: -f6)
  # shellcheck disable=SC2016 # cups-pdf's own variables, replaced here literally
  out=${out:-'${HOME}/PDF'}
  # shellcheck disable=SC2016
  out=${out//'${HOME}'/$home}
  # shellcheck disable=SC2016
  out=${out//'${USER}'/$(id -un)}
  printf '%s\n' "CUPS_SERVER=$CUPS_SERVER" "KELVORY_TEST_CUPS_QUEUE=$queue" \
    "KELVORY_TEST_CUPS_PAGE_LOG=$dir/log/page_log" "KELVORY_TEST_CUPS_PDF_DIR=$out" KELVORY_TEST_CUPS_REQUIRED=1 \
    >"$state/cups.env"
  echo "cups.sh: print queue $queue on $CUPS_SERVER, ready after $((($(date +%s%N) - started) / 1000000)) ms"
}
