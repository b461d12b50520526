#!/usr/bin/env bash
# Installs what Cassonic needs on Debian 12 (run as root), then configures and
# builds it.
#   scripts/setup.sh [--encoder|--package] [build-dir [cmake options...]]
# --encoder  only what a WAV needs: a compiler, CMake and pasmo; builds
#            tapecast and the bundled examples, no front-end, no tests.
# --package  what the Debian packages need: tapecast and the front-end,
#            no tests, and the tools CPack uses.
# (none)     everything: the front-end, the tests and benchmarks, and the
#            tools the tests use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# What building tapecast, and so making a WAV, needs.
encoder_packages=(build-essential cmake pasmo)
# What the front-end needs besides: Qt, with Qt Multimedia for playing the
# WAV in its window (through the desktop's PulseAudio or PipeWire server).
frontend_packages=(qt6-base-dev qt6-multimedia-dev)
# What `cpack -G DEB` needs: dpkg-shlibdeps (dpkg-dev) and file.
package_packages=(dpkg-dev file)
# What the tests and benchmarks need besides: GoogleTest, the Z80 emulator
# of the emulated MSX, the C-BIOS ROM images, groff for the manual pages,
# mtools for disk images, an X server and the desktop-file checkers for the
# front-end's tests, clang and libFuzzer for scripts/fuzz.sh, openMSX as a
# second emulator, sox and lame for spoiling tapes as audio paths do.
test_packages=(libgtest-dev libz80ex-dev cbios groff mtools openmsx sox lame
  xvfb xauth appstream desktop-file-utils libxml2-utils
  clang libclang-rt-14-dev)

mode=all
case "${1:-}" in
  --encoder) mode=encoder; shift ;;
  --package) mode=package; shift ;;
esac
case $mode in
  encoder)
    packages=("${encoder_packages[@]}")
    options=(-DBUILD_TESTING=OFF -DCASSONIC_FRONTEND=OFF) ;;
  package)
    packages=("${encoder_packages[@]}" "${frontend_packages[@]}" "${package_packages[@]}")
    options=(-DBUILD_TESTING=OFF -DCASSONIC_FRONTEND=ON) ;;
  all)
    packages=("${encoder_packages[@]}" "${frontend_packages[@]}" "${package_packages[@]}" "${test_packages[@]}")
    options=(-DBUILD_TESTING=ON -DCASSONIC_FRONTEND=ON) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=${1:-$root/build}
shift || true
# CASSONIC_CMAKE_ARGS adds options of the caller's (CI sets warnings as errors);
# options given after the build folder come last and win.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" ${CASSONIC_CMAKE_ARGS:-} "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
