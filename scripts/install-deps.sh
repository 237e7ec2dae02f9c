#!/bin/bash
# Installs the Debian 12 packages that scripts/test.sh needs, those that are
# missing only. As root it installs them with apt-get (one `apt-get update`
# first, and only when something is missing); as anyone else it lists what
# is missing and fails. Prints nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3  # the Linux build and the process tests
  libgtest-dev                   # GoogleTest, built for Linux
  googletest                     # its sources, /usr/src/googletest, for the Windows build
  clang libclang-rt-14-dev       # the fuzzing run (libFuzzer)
  clang-format clang-tidy        # style and static-analysis checks
  valgrind
  g++-mingw-w64-x86-64-posix     # the Windows x64 cross build
  wine64                         # runs its tests
  procps                         # pgrep, used by cmake/wine-run.sh
  chromium                       # loads modpublish-check's page in the browser test
  tmux                           # a real terminal for the test of the live progress
)

# One dpkg-query for all: it prints the installed ones and is silent (but
# for stderr) about packages it has never heard of.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "${packages[@]}" 2>/dev/null |
            awk '$2 == "ii" { print $1 }' || true)
missing=()
for package in "${packages[@]}"; do
  if ! grep -qxF "$package" <<<"$installed"; then
    missing+=("$package")
  fi
done
# npm fetches the real client libraries for the real_client_library test.
# Any npm on the PATH will do: a Node.js from elsewhere carries its own and
# conflicts with Debian's package, so that is installed only when none is.
if ! command -v npm >/dev/null; then
  missing+=(npm)
fi
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root to install them: sudo bash $0" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
