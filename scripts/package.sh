#!/usr/bin/env bash
# Builds Cassonic's Debian packages (run as root on Debian 12): tapecast and
# the front-end without the tests, then `cpack -G DEB`, and lists each
# package's control data and contents.  The packages are left in the build
# folder (build-package/ unless named): tapecast_*.deb and cassonic_*.deb.
#   scripts/package.sh [build-dir [cmake options...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-package}
shift || true
# Configured for /usr, where the packages install, so that what the
# front-end knows of its installed place is where it lands.
"$root/scripts/setup.sh" --package "$build" -DCMAKE_INSTALL_PREFIX=/usr "$@"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
for deb in "$build"/*.deb; do
  echo "== $(basename "$deb")"
  dpkg-deb -I "$deb"
  dpkg-deb -c "$deb"
done
