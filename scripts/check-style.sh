#!/usr/bin/env bash
# Fails when an include or a link points up the tool's layers, when a C++
# file of the project is not clang-formatted or when clang-tidy reports
# anything. Needs the compile database of the default build: the folder
# given, by default build/default (CTest's test "style" gives its own); the
# Windows sources are read through one of the preset "windows", configured
# in a folder inside it.
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
# The Windows sources, and those with a Windows branch of their own, are
# read once more as the MinGW-w64 cross build compiles them.
mapfile -t windows_sources < <({ git ls-files '*_win32.cpp'; git grep -l -e _WIN32 -- '*.cpp'; } |
                               sort -u)
# Test code: the unit tests, the probe programs they start, their support
# and fixtures, and the simulated client library's test side (its fixture
# and test platform). The simulated library itself is product code: every
# test and every first run depends on it.
test_code='(_test(_win32)?\.cpp$|probe[^/]*\.cpp$|^tests/|^steam_sim/(sim_fixture|test_))'
jobs=$(nproc 2>/dev/null || echo 2)
# in_shares DATABASE ARGUMENT... -- SOURCE...: clang-tidy with the
# arguments on the sources, against the compile database in the folder
# DATABASE, in four shares per core, each in one clang-tidy process: fewer
# processes to start than one per source, and no core left idle at the end
# while one long share finishes.
in_shares() {
  local database=$1 args=()
  shift
  while [[ $1 != -- ]]; do
    args+=("$1")
    shift
  done
  shift
  [[ $# -gt 0 ]] || return 0
  printf '%s\0' "$@" |
    xargs -0 -n "$((($# + 4 * jobs - 1) / (4 * jobs)))" -P "$jobs" \
          clang-tidy --quiet -p "$database" "${args[@]}"
}
# tidy DATABASE SOURCE...: the product code among the sources with every
# check, the test code with every check but the static analyzer, which
# would spend most of the whole check on it (GoogleTest's macro expansions
# alone took three quarters); it all runs under AddressSanitizer,
# UndefinedBehaviorSanitizer and valgrind, which catch at run time what the
# analyzer would look for. More arguments for clang-tidy in `tidy_args`.
tidy_args=()
tidy() {
  local database=$1 code tests
  shift
  mapfile -t code < <(printf '%s\n' "$@" | grep -Ev "$test_code")
  mapfile -t tests < <(printf '%s\n' "$@" | grep -E "$test_code")
  in_shares "$database" "${tidy_args[@]}" -- "${code[@]}"
  in_shares "$database" "${tidy_args[@]}" --checks=-clang-analyzer-* -- "${tests[@]}"
}
tidy "$build_dir" "${sources[@]}"

# The cross build's compile database, configured (never built) in a folder
# of its own. clang is told the cross compiler's target and where its C++
# library's headers are, which it doesn't find by itself.
windows_build=$build_dir/mingw-compile-database
if ! cmake --preset windows -B "$windows_build" >"$windows_build.log" 2>&1; then
  cat "$windows_build.log" >&2
  exit 1
fi
# A GCC option of the build that clang doesn't know.
sed -i 's/ -fno-keep-inline-dllexport//g' "$windows_build/compile_commands.json"
compiler=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p;T;q' "$windows_build/compile_commands.json")
tidy_args=(--extra-arg-before=--target="$("$compiler" -dumpmachine)")
while read -r folder; do
  tidy_args+=(--extra-arg=-isystem"$folder")
done < <("$compiler" -E -x c++ -v - </dev/null 2>&1 |
         sed -n '/^#include <...> search starts/,/^End of search/s|^ \(.*/c++.*\)$|\1|p')
tidy "$windows_build" "${windows_sources[@]}"
echo "style: layers point down; ${#files[@]} files formatted; ${#sources[@]} sources clean" \
     "under clang-tidy, and ${#windows_sources[@]} as the Windows build compiles them"
