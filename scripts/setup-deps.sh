#!/bin/sh
# Installs what building and testing need on Debian 12 (run as root).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PACKAGES="cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev
  xvfb x11-utils xdotool doctest-dev python3 procps clang libclang-rt-14-dev wixl msitools curl zip
  osslsigncode openssl libxml2-utils gcc"
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
# playwright-core (one package, no browser of its own) and crx (the CRX3
# packer) live outside the source tree, in the build folder's node folder;
# the versions are pinned.  npm drops what one install does not name, so
# both are installed together.
NODE_PACKAGES="playwright-core@1.65.2 crx@5.0.1"
NODE_DIR=${CORV_BUILD_DIR:-$ROOT/build}/node
node_version() {
  node -p 'require(process.argv[1]).version' "$NODE_DIR/node_modules/$1/package.json" 2>/dev/null
}
for p in $NODE_PACKAGES; do
  [ "$(node_version "${p%@*}")" = "${p##*@}" ] && continue
  mkdir -p "$NODE_DIR"
  npm install --prefix "$NODE_DIR" --no-save --no-audit --no-fund $NODE_PACKAGES >"$NODE_DIR/npm.log" 2>&1 ||
    { cat "$NODE_DIR/npm.log"; exit 1; }
  break
done

# 32-bit Wine for the i686 tests (outside the source tree, reused); without
# it scripts/test.sh reports the i686 run as not run.
"$(dirname "$0")/setup-wine32.sh" ||
  echo "setup-deps: 32-bit Wine could not be set up: the i686 tests cannot run" >&2
