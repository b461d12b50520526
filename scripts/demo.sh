#!/usr/bin/env bash
# Installs what a WAV needs (a compiler, CMake, pasmo), builds tapecast and
# the bundled examples, then encodes hello.bin into hello.wav at 1200 baud,
# ready to play into an MSX (BLOAD"CAS:",R).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --encoder "$root/build"
"$root/build/encoder/tapecast" 1200 -o "$root/hello.wav" "$root/build/examples/hello.bin"
