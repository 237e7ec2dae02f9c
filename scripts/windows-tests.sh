#!/bin/bash
# Builds the Windows x64 cross build (preset "windows") and runs all of its
# tests, the Windows programs under Wine (see cmake/wine-run.sh). Extra
# arguments go to ctest, e.g. `-R Reader` or `-j 2`.
# Exit status: ctest's, or that of the configure or build step that failed.
#
# One persistent wineserver serves the whole run, so that each test program
# starts in a fraction of a second instead of booting Wine anew. It is
# stopped at the end, also on failure or interruption.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

wine=${MODPUBLISH_WINE:-/usr/lib/wine/wine64}
wineserver=${MODPUBLISH_WINESERVER:-/usr/lib/wine/wineserver64}
for tool in "$wine" "$wineserver" x86_64-w64-mingw32-g++-posix; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows-tests: $tool is missing; run scripts/install-deps.sh as root" >&2
    exit 1
  fi
done

cmake --preset windows
# -k 0: builds every target that can be built, and lists every error.
cmake --build --preset windows -- -k 0

# The prefix of the preset's emulator: private to this build folder.
export WINEPREFIX="$root/build/windows/wineprefix"
export WINEDEBUG=-all
export DISPLAY=
mkdir -p "$WINEPREFIX"

# Fails harmlessly when a server for this prefix still runs from an earlier
# test run; that one is stopped at the end all the same.
"$wineserver" -p || true
trap '"$wineserver" -k 2>/dev/null || true' EXIT
# Creates the prefix on first use and starts Wine's background services
# before any test does, so the tests' output isn't mixed with Wine's.
cmake/wine-run.sh "$WINEPREFIX" cmd /c exit >/dev/null

# A test that fails is run once more. Under Wine a test program now and
# then fails to start at all: no output, a failure after a few hundredths
# of a second (seen once in a clean run of the whole suite, never again in
# dozens of reruns). A test that fails for a reason of its own fails twice.
status=0
ctest --preset windows --repeat until-pass:2 "$@" || status=$?
exit "$status"
