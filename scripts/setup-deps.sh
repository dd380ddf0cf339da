#!/bin/sh
# Installs what building and testing need on Debian 12 (run as root).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PACKAGES="cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev
  xvfb x11-utils xdotool doctest-dev python3 procps clang libclang-rt-14-dev wixl msitools curl zip"
# The browsers the extension's tests drive, without their recommended extras.
BROWSERS="chromium firefox-esr"
missing() {
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || printf ' %s' "$p"
  done
}
missing=$(missing $PACKAGES)
# Node and npm drive the browsers in the extension's tests; any installed
# node of 18 or later will do, otherwise Debian's.
command -v node >/dev/null 2>&1 || missing="$missing nodejs"
command -v npm >/dev/null 2>&1 || missing="$missing npm"
browsers=$(missing $BROWSERS)
if [ -n "$missing$browsers" ]; then
  echo "installing:$missing$browsers"
  apt-get update -q
fi
# Wine keeps its recommended libraries (fonts, X extensions, TLS, printing).
[ -z "$missing" ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
[ -z "$browsers" ] || DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $browsers
# playwright-core (one package, no browser of its own) lives outside the
# source tree, in the build folder's node folder; the version is pinned.
PLAYWRIGHT_VERSION=1.65.2
NODE_DIR=${CORV_BUILD_DIR:-$ROOT/build}/node
if [ "$(cat "$NODE_DIR/node_modules/playwright-core/package.json" 2>/dev/null |
      sed -n 's/^ *"version": "\(.*\)",$/\1/p')" != "$PLAYWRIGHT_VERSION" ]; then
  mkdir -p "$NODE_DIR"
  npm install --prefix "$NODE_DIR" --no-save --no-audit --no-fund \
    "playwright-core@$PLAYWRIGHT_VERSION" >"$NODE_DIR/npm.log" 2>&1 ||
    { cat "$NODE_DIR/npm.log"; exit 1; }
fi

# 32-bit Wine for the i686 tests (outside the source tree, reused); without
# it scripts/test.sh reports the i686 run as not run.
"$(dirname "$0")/setup-wine32.sh" ||
  echo "setup-deps: 32-bit Wine could not be set up: the i686 tests cannot run" >&2
