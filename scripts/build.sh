#!/bin/sh
# Builds both architectures with their tests: build/x86_64 (run under Wine)
# and build/i686 (run under 32-bit Wine, see setup-wine32.sh).
# Usage: scripts/build.sh [x86_64|i686]...
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${CORV_BUILD_DIR:-$ROOT/build}
ARCHES=${*:-x86_64 i686}
JOBS=$(nproc 2>/dev/null || echo 2)
mkdir -p "$BUILD"
for arch in $ARCHES; do
  case $arch in
    x86_64|i686) ;;
    *) echo "build.sh: unknown architecture $arch" >&2; exit 2 ;;
  esac
  cmake -S "$ROOT" -B "$BUILD/$arch" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" \
        -DCORV_BUILD_TESTS=ON >"$BUILD/cmake-$arch.log" 2>&1 ||
    { cat "$BUILD/cmake-$arch.log"; exit 1; }
  cmake --build "$BUILD/$arch" -j "$JOBS"
done
# The browser extension, unpacked for Chromium and Firefox and packed for
# publishing, in $BUILD/extension.
python3 "$ROOT/scripts/build-extension.py" "$ROOT/extension" "$BUILD/extension"
