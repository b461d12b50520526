#!/usr/bin/env bash
# Installs everything the tests need, builds Cassonic with its tests and
# benchmarks, then runs the whole test suite.
# With --sanitize, builds and tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build directory of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--sanitize" ]; then
  build=$root/build-sanitize
  "$root/scripts/setup.sh" "$build" -DCASSONIC_SANITIZE=ON
else
  build=$root/build
  "$root/scripts/setup.sh" "$build"
fi
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
