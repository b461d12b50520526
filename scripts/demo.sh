#!/usr/bin/env bash
# Sets up and builds Cassonic, then encodes the bundled example hello.bin
# into hello.wav at 1200 baud, ready to play into an MSX (BLOAD"CAS:",R).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
"$root/build/encoder/tapecast" 1200 -o "$root/hello.wav" "$root/build/examples/hello.bin"
