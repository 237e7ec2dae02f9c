#!/usr/bin/env bash
# Builds and runs every test of the project:
#   - the Linux build (preset "default"): unit, simulator and process tests;
#   - the same suite under AddressSanitizer + UndefinedBehaviorSanitizer
#     (preset "asan");
#   - the Windows x64 cross build, its whole suite run under Wine
#     (preset "windows");
#   - end-to-end runs under valgrind's memory checker;
#   - the formatting and static-analysis checks, and a bounded fuzzing run
#     of the description reader.
# Installs what it needs first when run as root (Debian packages).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
for preset in default asan; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$((jobs * 2))"
done

# End-to-end runs under valgrind, on the default build.
echo "== valgrind"
bash scripts/valgrind-check.sh

echo "== windows"
bash scripts/windows-tests.sh

echo "== checks"
bash scripts/check-style.sh

echo "== fuzz"
bash scripts/fuzz.sh 60
