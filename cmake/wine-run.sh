#!/bin/sh
# Runs a Windows program of the cross build under Wine: the emulator CMake
# puts in front of every test command of the windows preset.
#
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENT...]
#
# PREFIX is the build's own Wine prefix, so no Wine state lands in $HOME; it
# is created on first use. Standard input, output, error and the exit status
# pass through unchanged. Windows programs write "\r\n" line ends to a pipe.
#
# The one exception is test discovery (--gtest_list_tests): CMake's reader of
# that list splits on "\n" only and would keep the "\r" in every suite name,
# so there those line ends are turned back into "\n".
set -eu

if [ "$#" -lt 2 ]; then
  echo "usage: $0 WINEPREFIX PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
WINEPREFIX=$1
shift
case "$WINEPREFIX" in
  /*) ;;
  *) WINEPREFIX=$(pwd)/$WINEPREFIX ;;  # Wine takes absolute prefixes only.
esac

WINE=${MODPUBLISH_WINE:-/usr/lib/wine/wine64}
WINESERVER=${MODPUBLISH_WINESERVER:-/usr/lib/wine/wineserver64}
export WINEPREFIX
export WINEARCH=win64
# Silent, unless a test asks Wine for a trace (MODPUBLISH_WINEDEBUG, e.g.
# "+loaddll" to see which libraries a program loads).
export WINEDEBUG=${MODPUBLISH_WINEDEBUG:--all}
# No Mono or Gecko install prompts and no window: console programs only.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=

ready="$WINEPREFIX/.initialised"
services="$WINEPREFIX.services"

# True when the services.exe recorded in $services runs for this prefix.
# Shell built-ins and one grep: this runs before every test.
services_running() {
  read -r pid 2>/dev/null <"$services" || return 1
  read -r name 2>/dev/null <"/proc/$pid/comm" || return 1
  [ "$name" = services.exe ] &&
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null
}

# Records the services.exe of this prefix in $services.
record_services() {
  for pid in $(pgrep -x services.exe); do
    if grep -qzxF "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null; then
      echo "$pid" >"$services"
      return 0
    fi
  done
  return 1
}

# Wine starts its background services (services.exe, winedevice.exe, ...)
# with the first program of a session, and they inherit that program's
# standard output. Started by a test, they would hold CTest's output pipe
# open until the wineserver ends, and CTest would wait for them. So they are
# started here first, detached from every pipe, under a wineserver that
# stays up for a few seconds between tests (a persistent one started by
# scripts/windows-tests.sh takes precedence). The lock keeps concurrent
# tests from doing this twice.
if [ ! -f "$ready" ] || ! services_running; then
  mkdir -p "$WINEPREFIX"
  # Nothing started while the lock is held may inherit it (9>&-): the
  # wineserver and the services outlive this script.
  (
    flock 9
    if [ ! -f "$ready" ] || ! services_running; then
      "$WINESERVER" -p15 </dev/null >/dev/null 2>&1 9>&- || true  # fails if one runs
      if [ ! -f "$ready" ]; then
        if ! "$WINE" wineboot --init </dev/null >"$WINEPREFIX.log" 2>&1 9>&-; then
          echo "$0: could not create the Wine prefix $WINEPREFIX:" >&2
          cat "$WINEPREFIX.log" >&2
          exit 1
        fi
        # Wine writes its registry files only later, when the server saves.
        touch "$ready"
      fi
      if ! record_services; then
        "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
        record_services || true  # without it, every test comes back here
      fi
    fi
  ) 9>"$WINEPREFIX.lock"
fi

for argument in "$@"; do
  if [ "$argument" = "--gtest_list_tests" ]; then
    status_file=$(mktemp)
    { "$WINE" "$@" && status=0 || status=$?; echo "$status" >"$status_file"; } |
      tr -d '\r'
    status=$(cat "$status_file")  # the program's, not tr's
    rm -f "$status_file"
    exit "$status"
  fi
done

exec "$WINE" "$@"
