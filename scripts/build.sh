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
# publishing, in $BUILD/extension, and the Chromium package for deployment
# by policy (CRX3 and its update manifest), signed with the extension's key:
# CORV_EXTENSION_KEY names it (a PEM file kept outside the repository);
# without it a development key, made once in the build folder, is used.
EXT=$BUILD/extension
mkdir -p "$EXT"
if [ -n "${CORV_EXTENSION_KEY:-}" ]; then
  [ -r "$CORV_EXTENSION_KEY" ] || { echo "build.sh: CORV_EXTENSION_KEY: cannot read $CORV_EXTENSION_KEY" >&2; exit 1; }
  key=$CORV_EXTENSION_KEY
else
  key=$EXT/dev-key.pem
  if [ ! -s "$key" ]; then
    (umask 077 && openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$key.part" 2>/dev/null &&
      mv "$key.part" "$key") || { echo "build.sh: cannot make $key" >&2; exit 1; }
  fi
fi
python3 "$ROOT/scripts/build-extension.py" "$ROOT/extension" "$EXT" "$key"
version=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$ROOT/extension/manifest.json")
node "$ROOT/scripts/pack-crx.mjs" "$EXT/corvala-print-$version-chromium.zip" "$key" "$EXT"
[ -n "${CORV_EXTENSION_KEY:-}" ] ||
  echo "build.sh: CORV_EXTENSION_KEY not set: the Chromium package is signed with the development key $key (id $(cat "$EXT/chromium-id.txt"))"
