#!/usr/bin/env bash
# Builds and runs every test of the project:
#   - the Linux build (preset "default"): unit, simulator and process tests,
#     the slow ones (inputs of hundreds of megabytes) included;
#   - the same suite but the slow tests under AddressSanitizer +
#     UndefinedBehaviorSanitizer (preset "asan");
#   - process tests of the default build under Valgrind's memory checker;
#   - the Windows x64 cross build, its whole suite but the slow tests run
#     under Wine (preset "windows");
#   - the formatting, layering and static-analysis checks;
#   - a bounded fuzzing run of the description reader, alongside the stages
#     after the sanitizer build.
# Installs what it needs first when run as root (Debian packages). Prints
# how long each stage took, in wall-clock and in CPU seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

# CPU seconds (user + system) of the finished child processes so far, in
# $cpu. `times` runs in this shell, not in a subshell: a subshell would
# report its own children only.
times_file=$(mktemp "${TMPDIR:-/tmp}/modpublish-times.XXXXXX")
trap 'rm -f "$times_file"' EXIT
cpu_seconds() {
  times >"$times_file"
  cpu=$(tail -n 1 "$times_file" | awk '{
    total = 0
    for (i = 1; i <= 2; i++) { split($i, part, "m"); total += part[1] * 60 + part[2] }
    printf "%d", total }')
}
stage_name=
stage() {
  local now
  now=$SECONDS
  cpu_seconds
  if [[ -n $stage_name ]]; then
    echo "== $stage_name: $((now - stage_wall)) s, $((cpu - stage_cpu)) s of CPU"
  fi
  stage_name=${1:-}
  stage_wall=$now
  stage_cpu=$cpu
  if [[ -n $stage_name ]]; then
    echo "== $stage_name"
  fi
}

for preset in default asan; do
  stage "$preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  # The process tests mostly wait on the tool's 100 ms pumps: twice as many
  # at once as there are cores keeps the cores busy.
  ctest --preset "$preset" -j "$((jobs * 2))"
done

# The fuzzer needs one core for its fixed time; the stages below spend much
# of theirs waiting on the tool's pumps and on Wine, so it runs beside them.
# In a session of its own, so that a failing stage stops it and the fuzzer
# with it.
fuzz_log=$(mktemp "${TMPDIR:-/tmp}/modpublish-fuzz-log.XXXXXX")
setsid bash scripts/fuzz.sh 60 >"$fuzz_log" 2>&1 </dev/null &
fuzz_pid=$!
trap 'kill -- "-$fuzz_pid" 2>/dev/null || true; rm -f "$fuzz_log" "$times_file"' EXIT

# The process tests that cover each kind of run (a new item with waits, an
# update, a failure at every step, the usage text, a missing file) once
# more, every run of the tool under memcheck.
stage valgrind
python3 tests/e2e/run.py --runner valgrind --tool build/default/bin/modpublish \
  --simulator build/default/bin/libsteam_api.so \
  --fixture build/default/fixtures/incomplete_steam_api.so \
  command_line worked_examples failures.StepFailureTest.test_every_step_in_silent_mode

stage windows
bash scripts/windows-tests.sh -j "$jobs"

stage checks
bash scripts/check-style.sh

stage fuzz
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
trap - EXIT
cat "$fuzz_log"
rm -f "$fuzz_log"
if [[ $fuzz_status -ne 0 ]]; then
  exit "$fuzz_status"
fi
stage
cpu_seconds
rm -f "$times_file"
echo "== all: $SECONDS s, $cpu s of CPU"
