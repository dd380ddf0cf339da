#!/bin/sh
# Installs what building and testing need on Debian 12 (run as root).
set -eu
PACKAGES="cmake make g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev
  xvfb x11-utils xdotool doctest-dev python3 procps clang libclang-rt-14-dev wixl msitools curl"
missing=""
for p in $PACKAGES; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing
fi

# 32-bit Wine for the i686 tests (outside the source tree, reused); without
# it scripts/test.sh reports the i686 run as not run.
"$(dirname "$0")/setup-wine32.sh" ||
  echo "setup-deps: 32-bit Wine could not be set up: the i686 tests cannot run" >&2
