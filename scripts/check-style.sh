#!/usr/bin/env bash
# Fails when an include or a link points up the tool's layers, when a C++
# file of the project is not clang-formatted or when clang-tidy reports
# anything. Needs the compile database of the default build: the folder
# given, by default build/default (CTest's test "style" gives its own).
#
#   scripts/check-style.sh [BUILD_DIR]
set -euo pipefail
build_dir=$(realpath -m "${1:-build/default}")
cd "$(dirname "$0")/.."

# The layers, top down: app -> workshop and check -> description ->
# console -> platform. A folder uses its own layer and those below it only
# (workshop and check, side by side, don't use each other); nothing of the
# tool uses the simulator, which shares no code with it.
# FOLDER:FOLDERS IT MUST NOT USE
layers=(
  "workshop:app check"
  "check:app workshop"
  "description:app workshop check"
  "console:app workshop check description"
  "platform:app workshop check description console"
)
violations=0
# uses PATTERN FILE...: prints the lines of the files that match PATTERN;
# true when there is one.
uses() {
  local pattern=$1
  shift
  [[ $# -gt 0 ]] && grep -nE "$pattern" "$@"
}
include_of() { echo "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$1/"; }
for rule in "${layers[@]}"; do
  folder=${rule%%:*}
  mapfile -t sources < <(git ls-files "$folder/*.cpp" "$folder/*.h")
  mapfile -t build < <(git ls-files "$folder/CMakeLists.txt")
  for above in ${rule#*:}; do
    # Its sources' includes, and the libraries its CMakeLists.txt links.
    if uses "$(include_of "$above")" "${sources[@]}" ||
       uses "\<modpublish_$above\>" "${build[@]}"; then
      echo "layers: $folder/ uses $above/, a layer above it" >&2
      violations=$((violations + 1))
    fi
  done
done
# Tests may look at both sides (the real-library probe compares them).
mapfile -t sources < <(git ls-files app check workshop description console platform |
                       grep -E '\.(cpp|h)$')
if uses "$(include_of steam_sim)" "${sources[@]}"; then
  echo "layers: the tool includes the simulator" >&2
  violations=$((violations + 1))
fi
if [[ $violations -ne 0 ]]; then
  exit 1
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"

# clang-tidy reads the sources the default build compiles; headers are
# checked through them.
mapfile -t sources < <(git ls-files '*.cpp' | grep -v -e '^fuzz/' -e '^bench/' \
                       -e '_win32\.cpp$')
# Test code: the unit tests, their support, and the simulated client
# library with its test fixtures, which ship with nothing.
test_code='(_test\.cpp$|^tests/|^steam_sim/)'
mapfile -t code < <(printf '%s\n' "${sources[@]}" | grep -Ev "$test_code")
mapfile -t tests < <(printf '%s\n' "${sources[@]}" | grep -E "$test_code")
jobs=$(nproc 2>/dev/null || echo 2)
# tidy ARGUMENT... -- SOURCE...: the sources in four shares per core, each
# in one clang-tidy process: fewer processes to start than one per source,
# and no core left idle at the end while one long share finishes.
tidy() {
  local args=()
  while [[ $1 != -- ]]; do
    args+=("$1")
    shift
  done
  shift
  printf '%s\0' "$@" |
    xargs -0 -n "$((($# + 4 * jobs - 1) / (4 * jobs)))" -P "$jobs" \
          clang-tidy --quiet -p "$build_dir" "${args[@]}"
}
tidy -- "${code[@]}"
# Test code gets every check but the static analyzer, which would spend
# most of the whole check on it (GoogleTest's macro expansions alone took
# three quarters); it all runs under AddressSanitizer,
# UndefinedBehaviorSanitizer and valgrind, which catch at run time what the
# analyzer would look for.
tidy --checks=-clang-analyzer-* -- "${tests[@]}"
echo "style: layers point down; ${#files[@]} files formatted, ${#sources[@]} sources clean under clang-tidy"
