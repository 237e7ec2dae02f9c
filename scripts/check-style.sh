#!/usr/bin/env bash
# Fails when a C++ file of the project is not clang-formatted or when
# clang-tidy reports anything. Needs the compile database of the default
# build (build/default), which scripts/test.sh makes first.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${files[@]}"

# clang-tidy reads the sources the default build compiles; headers are
# checked through them.
mapfile -t sources < <(git ls-files '*.cpp' | grep -v -e '^fuzz/' -e '^bench/' \
                       -e '_win32\.cpp$')
clang-tidy --quiet -p build/default "${sources[@]}"
echo "style: ${#files[@]} files formatted, ${#sources[@]} sources clean under clang-tidy"
