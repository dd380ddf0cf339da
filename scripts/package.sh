#!/bin/sh
# Builds the Windows Installer package build/corvala-<version>.msi from the
# x86_64 and i686 builds (building them first when a deliverable is missing).
#   scripts/package.sh [output.msi]
# The product version is the first three fields of the viewer's file
# version unless CORV_PACKAGE_VERSION names another (tests build an older
# one to upgrade from).
# With CORV_SIGN_CERT (a PKCS#12 file; CORV_SIGN_PASSWORD its password,
# CORV_SIGN_TIMESTAMP_URL a time-stamp server) every program and library in
# the package is signed (Authenticode, SHA-256) before it goes in, and the
# package after it is built; without it nothing is signed.  The package is
# written under a temporary name and renamed once complete: a failure leaves
# no package.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${CORV_BUILD_DIR:-$ROOT/build}
VIEWER="$BUILD/x86_64/viewer/Corvala Viewer.exe"
CONTROL=$BUILD/x86_64/activex/CorvalaActiveX.dll
# Tests swap in a faulty 32-bit control to see the install roll back.
CONTROL32=${CORV_PACKAGE_CONTROL32:-$BUILD/i686/activex/CorvalaActiveX.dll}
PLUGIN64=$BUILD/x86_64/plugin/NPcvw32.dll
PLUGIN32=$BUILD/i686/plugin/NPcvw32.dll
SATELLITE=$BUILD/x86_64/resources/corvres.dll
PRINTHOST="$BUILD/x86_64/printhost/Corvala Print Host.exe"
UPGRADE_CODE='{3A6E52C1-0B8D-4F27-9C41-7D2E9B50A613}'

EXTENSION_ID_FILE=$BUILD/extension/chromium-id.txt
. "$ROOT/scripts/sign.sh"

fail() { echo "package.sh: $*" >&2; exit 1; }

for f in "$VIEWER" "$CONTROL" "$CONTROL32" "$PLUGIN64" "$PLUGIN32" "$SATELLITE" "$PRINTHOST" "$EXTENSION_ID_FILE"; do
  [ -f "$f" ] || { "$ROOT/scripts/build.sh"; break; }
done
EXTENSION_ID=$(cat "$EXTENSION_ID_FILE")
echo "$EXTENSION_ID" | grep -Eq '^[a-p]{32}$' || fail "bad extension id '$EXTENSION_ID' in $EXTENSION_ID_FILE"

# A string value of a module's version resource (UTF-16 key, then its value).
version_value() {
  strings -el "$1" | sed -n "/^$2\$/{n;p;q}"
}

file_version=$(version_value "$VIEWER" FileVersion)
default_version=$(echo "$file_version" | tr -d ' ' | tr ',' '.' | cut -d. -f1-3)
VERSION=${CORV_PACKAGE_VERSION:-$default_version}
echo "$VERSION" | grep -Eq '^[0-9]+\.[0-9]+\.[0-9]+$' || fail "bad product version '$VERSION'"
MIME_TYPE=$(version_value "$PLUGIN64" MIMEType)
SUFFIXES=$(version_value "$PLUGIN64" FileExtents)
MIME_DESCRIPTION=$(version_value "$PLUGIN64" FileOpenName)
PLUGIN_DESCRIPTION=$(version_value "$PLUGIN64" FileDescription)
[ -n "$MIME_TYPE" ] && [ -n "$SUFFIXES" ] || fail "no MIME type in the plug-in's version resource"

OUT=${1:-$BUILD/corvala-$VERSION.msi}
case $OUT in /*) ;; *) OUT=$(pwd)/$OUT ;; esac
PART=$OUT.part
rm -f "$OUT" "$PART"
# A stage of its own: two packages may be built at once (tests do).
mkdir -p "$BUILD"
STAGE=$(mktemp -d "$BUILD/stage.XXXXXX")
trap 'sign_cleanup; rm -rf "$PART" "$STAGE"' EXIT
trap 'exit 1' INT TERM
if sign_prepare "$STAGE/signing"; then SIGN=1; else SIGN=; fi
mkdir -p "$STAGE/x86_64" "$STAGE/i686" "$STAGE/policy"
cp "$VIEWER" "$CONTROL" "$PLUGIN64" "$SATELLITE" "$STAGE/x86_64/"
cp "$PLUGIN32" "$CONTROL32" "$STAGE/i686/"
cp "$PRINTHOST" "$STAGE/x86_64/"
# The host manifest lets in the extension whose key the build used.
sed "s/@EXTENSION_ID@/$EXTENSION_ID/g" "$ROOT/installer/com.corvala.print.json" >"$STAGE/com.corvala.print.json"
cp "$ROOT/installer/com.corvala.print.firefox.json" "$STAGE/"
# The Group Policy template, checked before it ships.
cp -r "$ROOT/installer/policy/." "$STAGE/policy/"
python3 "$ROOT/scripts/check-admx.py" "$STAGE/policy" || fail "the Group Policy template is not sound"
if [ -n "$SIGN" ]; then
  for pe in "$STAGE"/x86_64/* "$STAGE"/i686/*; do
    sign_file "$pe"
  done
else
  echo "package.sh: CORV_SIGN_CERT not set: the programs and the package are not signed" >&2
fi

# wixl takes File/@Source relative to the current directory, and drops
# attributes it does not know with only a warning: refuse that.
log=$STAGE/wixl.log
(cd "$STAGE" && wixl -a x64 -D Version="$VERSION" -D Stage=. -D MimeType="$MIME_TYPE" \
     -D Suffixes="$SUFFIXES" -D MimeDescription="$MIME_DESCRIPTION" \
     -D PluginDescription="$PLUGIN_DESCRIPTION" \
     -o "$PART" "$ROOT/installer/corvala.wxs") >"$log" 2>&1 || { cat "$log" >&2; fail "wixl failed"; }
if grep -q 'has no property named' "$log"; then
  cat "$log" >&2; fail "wixl ignored an attribute"
fi

# Fix-ups wixl cannot express: a rebuild of the same version replaces the
# installed one (513 = migrate features + maximum inclusive), and the old
# product goes before the new one is installed, and RollbackControl32 runs
# only when the install fails (3442 = exe named by a property, in the script,
# rollback, return ignored, no impersonation).
msibuild "$PART" \
  -q "UPDATE \`CustomAction\` SET \`Type\` = 3442 WHERE \`Action\` = 'RollbackControl32'" \
  -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$UPGRADE_CODE', '$VERSION', 513, 'WIX_UPGRADE_DETECTED')" \
  -q "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1401 WHERE \`Action\` = 'RemoveExistingProducts'" ||
  fail "msibuild failed"
[ -z "$SIGN" ] || sign_file "$PART"
mv "$PART" "$OUT"
echo "$OUT"
