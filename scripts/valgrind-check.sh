#!/usr/bin/env bash
# Runs the built tool end to end under Valgrind's memcheck against the
# simulated Steam client library, once per kind of run: a new item, an
# update of an existing item, failing steps (early, in a call, in a result),
# the usage text and a missing description file. Fails when any run reports
# a memory error or a definite or indirect leak, or when a run does not end
# as that kind of run should (so a run that stopped early can't pass as
# clean).
#
#   scripts/valgrind-check.sh           uses build/default, built if needed
#   MODPUBLISH_BUILD_DIR=dir scripts/valgrind-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${MODPUBLISH_BUILD_DIR:-build/default}
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake --preset default -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" --target modpublish steam_api >/dev/null
tool=$(realpath "$build_dir")/bin/modpublish

scratch=$(mktemp -d "${TMPDIR:-/tmp}/modpublish-valgrind.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failures=0

# [seed=ID] check NAME STATUS MARKER SCENARIO [ARG...]: runs the tool under
# memcheck in a fresh folder holding a copy of the example mod, its own
# Workshop, journal and scenario (SCENARIO: directives separated by ';').
# With `seed`, the Workshop already holds item ID of app 250, as an earlier
# run would have left it. Expects exit status STATUS and standard output
# holding the line MARKER.
check() {
  local name=$1 status=$2 marker=$3 scenario=$4 item=${seed:-}
  shift 4
  local dir=$scratch/$name
  mkdir -p "$dir/workshop"
  cp -r examples/example_mod "$dir/mod"
  tr ';' '\n' <<<"$scenario" >"$dir/scenario.txt"
  if [[ -n $item ]]; then
    mkdir -p "$dir/workshop/items/$item/r1"
    printf 'id %s\napp 250\ntype 0\nvisibility 2\n' "$item" \
      >"$dir/workshop/items/$item/r1/item.txt"
  fi
  local actual=0
  (
    cd "$dir"
    STEAMSIM_WORKSHOP=$dir/workshop STEAMSIM_JOURNAL=$dir/journal.txt \
    STEAMSIM_SCENARIO=$dir/scenario.txt \
      valgrind --error-exitcode=1 --leak-check=full \
               --errors-for-leak-kinds=definite,indirect --log-file="$dir/valgrind.log" \
               "$tool" "$@" >"$dir/stdout.txt" </dev/null
  ) || actual=$?
  # The exit status alone can't tell a memcheck error from the tool's own
  # status 1 after a missing file; the summary line can.
  local problems=()
  grep -q 'ERROR SUMMARY: 0 errors' "$dir/valgrind.log" || problems+=("memcheck errors")
  [[ $actual -eq $status ]] || problems+=("exit status $actual, expected $status")
  grep -qxF -- "$marker" "$dir/stdout.txt" || problems+=("no line \"$marker\" in the output")
  if [[ ${#problems[@]} -eq 0 ]]; then
    echo "valgrind: $name: clean"
  else
    failures=$((failures + 1))
    echo "valgrind: $name: ${problems[*]}" >&2
    sed 's/^/  | /' "$dir/valgrind.log" >&2
    sed 's/^/  > /' "$dir/stdout.txt" >&2
  fi
}

# A new item whose results arrive after a few pumps, so the waits run too.
check new 0 "Uploading done successfully" "app_id 250;item_ids 917;pumps 2 1 3" mod
seed=917 check update 0 "Uploading done successfully" "app_id 250" -s -u 917 mod
check init-fails 0 "Fail during Initializing SteamAPI step." "fail SteamAPI_Init" mod
check call-fails 0 "Fail during Setting item title with SteamUGC step." \
  "app_id 250;item_ids 917;fail SetItemTitle 2" mod
check result-fails 0 "Fail during Submiting item update with SteamUGC step." \
  "app_id 250;item_ids 917;result 3 9" mod
check usage 0 "Usage: $tool [-s] [-u <steamfileid>] <path>" "" -h
check missing-file 1 "File not found: nowhere/descript.ion" "" nowhere

if [[ $failures -ne 0 ]]; then
  echo "valgrind: $failures run(s) failed" >&2
  exit 1
fi
echo "valgrind: every run clean"
