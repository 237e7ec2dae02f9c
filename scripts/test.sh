#!/usr/bin/env bash
# Builds and runs every test of the project:
#   - the Linux build (preset "default"): unit, simulator and process tests,
#     the slow ones (inputs of hundreds of megabytes) included;
#   - the same suite but the slow tests under AddressSanitizer +
#     UndefinedBehaviorSanitizer (preset "asan");
#   - the Windows x64 cross build, its whole suite but the slow tests run
#     under Wine (preset "windows");
#   - beside those from the default build on: process tests of the default
#     build under Valgrind's memory checker, the formatting, layering and
#     static-analysis checks, and a bounded fuzzing run of the description
#     reader and of the description markup with modpublish-check's page.
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

# Jobs that run beside the stages, each in a session of its own (so that a
# failing stage stops it with everything it started), its output in a log
# that `collect` prints when it is waited for.
declare -A job_pid job_log
background() {
  local name=$1
  shift
  job_log[$name]=$(mktemp "${TMPDIR:-/tmp}/modpublish-$name.XXXXXX")
  setsid "$@" >"${job_log[$name]}" 2>&1 </dev/null &
  job_pid[$name]=$!
}
collect() {
  local name=$1 status=0
  wait "${job_pid[$name]}" || status=$?
  kill -- "-${job_pid[$name]}" 2>/dev/null || true  # anything it left behind
  cat "${job_log[$name]}"
  rm -f "${job_log[$name]}"
  unset "job_pid[$name]" "job_log[$name]"
  if [[ $status -ne 0 ]]; then
    echo "== $name failed (status $status)" >&2
    exit "$status"
  fi
}
stop_jobs() {
  local name
  for name in "${!job_pid[@]}"; do
    # The job itself too, in case it has not yet made its session.
    kill -- "-${job_pid[$name]}" "${job_pid[$name]}" 2>/dev/null || true
    rm -f "${job_log[$name]}"
  done
  rm -f "$times_file"
}
trap stop_jobs EXIT

# The process tests spend most of their time waiting on the tool's 100 ms
# pumps, so twice as many run at once as there are cores, and the jobs that
# need nothing but the default build (or a build of their own) run beside
# the stages from there on: the style and layering checks, a fuzzing run of
# fixed length and the memory check.
for preset in default asan; do
  stage "$preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  if [[ $preset == default ]]; then
    background checks bash scripts/check-style.sh
    background fuzz bash scripts/fuzz.sh 60
    # The process tests that cover each kind of run (a new item with waits,
    # an update, a failure at every step, the usage text, a missing file)
    # once more, every run of the tool under memcheck.
    background valgrind python3 tests/e2e/run.py --runner valgrind \
      --tool build/default/bin/modpublish --simulator build/default/bin/libsteam_api.so \
      --fixture build/default/fixtures/incomplete_steam_api.so \
      worked_examples.NewItemTest.test_verbose \
      worked_examples.UpdateTest.test_one_language_without_description \
      command_line.UsageTest.test_no_arguments_print_the_usage \
      command_line.PathCandidateTest \
      failures.StepFailureTest.test_every_step_in_silent_mode
  fi
  ctest --preset "$preset" -j "$((jobs * 2))"
done

stage windows
bash scripts/windows-tests.sh -j "$jobs"

# What the background jobs printed, and their verdicts. A job's CPU time
# counts in the stage during which it ended.
stage valgrind
collect valgrind
stage checks
collect checks
stage fuzz
collect fuzz
stage
cpu_seconds
echo "== all: $SECONDS s, $cpu s of CPU"
