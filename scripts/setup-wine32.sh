#!/bin/sh
# Sets up 32-bit Wine for the i686 build's tests, once, in a folder outside
# the source tree that later runs reuse (CORV_WINE32_DIR, default
# /var/cache/corvala-wine32; about 1.5 minutes and 2 GiB the first time).
#
# This machine's kernel runs no 32-bit x86 code, so no WoW64 Wine works.
# What does: the host's own Wine version as i386 packages (unpacked, not
# installed) whose loader runs under qemu's user-mode i386 emulator, started
# by a private copy of the 64-bit Wine tree.  The 64-bit loader starts the
# "wine" beside it for every 32-bit program, so both widths share one prefix
# and one wineserver.  Debian 12's own qemu-i386 (7.2) cannot run Wine's
# address-space reservation; the next release's (10.x) can, and is static.
#
# Writes $CORV_WINE32_DIR/env.sh (sourced by wine-env.sh) and a "ready"
# marker naming the Wine version; does nothing when that marker is current.
# Exits non-zero, saying why, when the recipe cannot be had.
set -eu
DEST=${CORV_WINE32_DIR:-/var/cache/corvala-wine32}
NEXT_SUITE=${CORV_QEMU_SUITE:-trixie}
say() { echo "setup-wine32: $*" >&2; }
fail() { say "$*"; exit 1; }

# One set-up at a time: work trees side by side share the folder.
mkdir -p "$(dirname "$DEST")"
exec 9>"$DEST.lock"
flock 9
WINE_VERSION=$(dpkg-query -W -f '${Version}' wine64 2>/dev/null) || fail "wine64 is not installed"
if [ -f "$DEST/ready" ] && [ "$(cat "$DEST/ready")" = "$WINE_VERSION" ]; then
  exit 0
fi
say "setting up 32-bit Wine $WINE_VERSION in $DEST (once; about 1.5 minutes)"
rm -rf "$DEST"
mkdir -p "$DEST"
WORK=$DEST/download
ROOT32=$DEST/i386root
TREE=$DEST/tree

# The host's Debian archive, as its apt configuration names it.
SITE=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(COMPONENT)' 2>/dev/null |
  awk '$3 == "main" && $2 !~ /-/ { print $1; exit }')
CODENAME=$(. /etc/os-release && echo "$VERSION_CODENAME")
[ -n "$SITE" ] && [ -n "$CODENAME" ] || fail "no Debian archive in the apt configuration"

# A private apt configuration: its own sources, lists, cache and an empty
# package status, so nothing of the host's dpkg state changes.
private_apt() { # name, architecture, then "suite..." lines for its sources
  dir=$WORK/$1; arch=$2; shift 2
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/parts"
  : >"$dir/status"
  for suite in "$@"; do
    echo "deb [arch=$arch signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $SITE $suite main"
  done >"$dir/sources.list"
  cat >"$dir/apt.conf" <<EOF
Dir::Etc::SourceList "$dir/sources.list";
Dir::Etc::SourceParts "$dir/parts";
Dir::State::Lists "$dir/lists";
Dir::State::status "$dir/status";
Dir::Cache "$dir/cache";
APT::Architecture "$arch";
APT::Architectures { "$arch"; };
EOF
  APT_CONFIG=$dir/apt.conf apt-get update -q >"$dir/update.log" 2>&1 ||
    { cat "$dir/update.log" >&2; fail "apt-get update failed for $1"; }
}
apt_in() { name=$1; shift; APT_CONFIG=$WORK/$name/apt.conf apt-get -q -y "$@"; }

say "downloading wine32:i386 and libwine:i386 $WINE_VERSION with their libraries"
private_apt i386 i386 "$CODENAME" "$CODENAME-updates"
apt_in i386 install --download-only --no-install-recommends \
  "wine32:i386=$WINE_VERSION" "libwine:i386=$WINE_VERSION" libz-mingw-w64 >"$WORK/i386.log" 2>&1 ||
  { tail -20 "$WORK/i386.log" >&2; fail "the i386 Wine packages of version $WINE_VERSION cannot be had"; }
say "unpacking $(ls "$WORK"/i386/cache/archives/*.deb | wc -l) packages"
mkdir -p "$ROOT32/etc"
for deb in "$WORK"/i386/cache/archives/*.deb; do dpkg -x "$deb" "$ROOT32"; done
echo 'include /etc/ld.so.conf.d/*.conf' >"$ROOT32/etc/ld.so.conf"
ldconfig -r "$ROOT32"
[ -x "$ROOT32/usr/lib/wine/wine" ] || fail "no i386 Wine loader in the packages"

say "downloading qemu-user from $NEXT_SUITE (Debian 12's qemu-i386 cannot run Wine)"
private_apt next amd64 "$NEXT_SUITE"
(cd "$WORK" && apt_in next download qemu-user >"$WORK/qemu.log" 2>&1) ||
  { tail -20 "$WORK/qemu.log" >&2; fail "qemu-user cannot be had from $NEXT_SUITE"; }
dpkg -x "$WORK"/qemu-user_*.deb "$WORK/qemu"
mkdir -p "$DEST/bin"
cp "$WORK/qemu/usr/bin/qemu-i386" "$DEST/bin/qemu-i386"
"$DEST/bin/qemu-i386" --version >/dev/null || fail "qemu-i386 does not run here"

# The private tree: hard links to the host's 64-bit Wine, the i386 files
# beside them, and a "wine" that runs the i386 loader under the emulator.
# Each loader finds its DLLs and the other width's loader beside the path it
# runs from (the emulator shows the i386 one its real path): the i386 loader
# is a hard link in the tree too, so a 32-bit process starts 64-bit ones
# (the desktop) through wine64 and 32-bit ones through this "wine".
say "building the private Wine tree"
mkdir -p "$TREE/lib/wine" "$TREE/share"
ln /usr/lib/wine/wine64 /usr/lib/wine/wineserver64 "$TREE/lib/wine/"
ln "$ROOT32/usr/lib/wine/wine" "$TREE/lib/wine/wine-i386"
mkdir -p "$TREE/lib/x86_64-linux-gnu" "$TREE/lib/i386-linux-gnu"
cp -al /usr/lib/x86_64-linux-gnu/wine "$TREE/lib/x86_64-linux-gnu/wine"
cp -al "$ROOT32/usr/lib/i386-linux-gnu/wine" "$TREE/lib/i386-linux-gnu/wine"
cp -al /usr/share/wine "$TREE/share/wine"
cat >"$TREE/lib/wine/wine" <<EOF
#!/bin/sh
exec "$DEST/bin/qemu-i386" -L "$ROOT32" -0 "\$0" "$TREE/lib/wine/wine-i386" "\$@"
EOF
chmod +x "$TREE/lib/wine/wine"

# user32 imports zlib1.dll: Debian's mingw build, marked as a Wine builtin.
for pair in x86_64:x86_64-linux-gnu/wine/x86_64-windows i686:i386-linux-gnu/wine/i386-windows; do
  mingw=${pair%%:*}; target=$TREE/lib/${pair#*:}/zlib1.dll
  rm -f "$target" # a hard link to a host file, if the host has one: never write through it
  cp "$ROOT32/usr/$mingw-w64-mingw32/lib/zlib1.dll" "$target"
  printf 'Wine builtin DLL' | dd of="$target" bs=1 seek=64 conv=notrunc status=none
  head -c 16 /dev/zero | dd of="$target" bs=1 seek=80 conv=notrunc status=none
done

# Commands on PATH that reach the private tree.
mkdir -p "$DEST/path"
for cmd in wine wine64; do
  printf '#!/bin/sh\nWINELOADER=%s exec %s "$@"\n' "$TREE/lib/wine/wine64" "$TREE/lib/wine/wine64" >"$DEST/path/$cmd"
done
printf '#!/bin/sh\nexec %s "$@"\n' "$TREE/lib/wine/wineserver64" >"$DEST/path/wineserver"
for tool in wineboot winepath regedit; do
  printf '#!/bin/sh\nexec %s %s.exe "$@"\n' "$DEST/path/wine" "$tool" >"$DEST/path/$tool"
done
chmod +x "$DEST"/path/*
cat >"$DEST/env.sh" <<EOF
# Sourced by scripts/wine-env.sh: 32-bit programs run (see setup-wine32.sh).
export PATH="$DEST/path:\$PATH"
export WINESERVER="$TREE/lib/wine/wineserver64"
export CORV_WINE32="$DEST"
EOF

rm -rf "$WORK"
echo "$WINE_VERSION" >"$DEST/ready"
say "done: $(du -sh "$DEST" | cut -f1) in $DEST"
