#!/usr/bin/env bash
# Builds, tests and packs a release into dist/:
#   modpublish-<version>-windows-x64.zip
#   modpublish-<version>-linux-x86_64.tar.gz
#   SHA256SUMS
# with <version> from project() in CMakeLists.txt.
#
# Runs from a clean tree only (nothing changed, staged or untracked), so that
# a release is a commit; it checks again at the end that the run changed
# nothing in it.
#
# The tests are the whole CTest suites of the two builds the archives come
# from: preset "default" (Linux, the slow tests included) and preset
# "windows" (under Wine, through scripts/windows-tests.sh). Both are
# configured afresh, so no setting left in a build folder gets into a
# release. Among those tests, `package` packs each archive, checks its
# contents and runs its programs from an unpacked copy; the archives
# released are the ones it checked, with the checksums it recorded. The
# sanitizer build, the memory check, style checks and fuzzing are left to
# the test command (scripts/test.sh), which CI runs on every change: they
# test the same sources, not the programs that ship.
set -euo pipefail
cd "$(dirname "$0")/.."

unclean() {
  if [[ -n $(git status --porcelain --untracked-files=all) ]]; then
    echo "release: $1:" >&2
    git status --short --untracked-files=all >&2
    exit 1
  fi
}
unclean "the tree is not clean; commit or stash the changes first"

version=$(sed -n 's/^project(modpublish VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z $version ]]; then
  echo "release: no version in project() of CMakeLists.txt" >&2
  exit 1
fi
linux=build/default/package/modpublish-$version-linux-$(uname -m).tar.gz
windows=build/windows/package/modpublish-$version-windows-x64.zip

bash scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

# Archives of an earlier run must not pass for this run's.
rm -rf build/default/package build/windows/package dist

cmake --preset default --fresh
cmake --build --preset default -j "$jobs"
# Twice as many tests as cores: the process tests mostly wait.
ctest --preset default -j "$((jobs * 2))"

cmake --preset windows --fresh
bash scripts/windows-tests.sh -j "$jobs"

for archive in "$linux" "$windows"; do
  if [[ ! -f $archive.sha256 ]]; then
    echo "release: the package test left no checked $archive" >&2
    exit 1
  fi
done
unclean "the build or the tests changed the tree"

mkdir dist
cp "$linux" "$windows" dist/
cat "$linux.sha256" "$windows.sha256" >dist/SHA256SUMS
(cd dist && sha256sum --check --strict SHA256SUMS)
echo "release: modpublish $version in dist/"
