#!/bin/sh
# Builds the Windows Installer package, installs it into a Wine prefix of its
# own (with the sandbox printer), uses it the way today's browsers do (a
# downloaded spool file, a corvala: link, hostile links), upgrades it and
# removes it again; a package whose 32-bit control fails to register rolls
# back.  Both widths: the 32-bit control and plug-in are used from 32-bit
# programs.  Each check is one check line or one row of a table.
#   installer_test.sh <x86_64 build folder>   (the i686 one is beside it)
# Runs under scripts/test.sh, whose display and loopback server it uses.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD64=$(cd "$1" && pwd)
HTTP_ROOT=${CORV_HTTP_ROOT:?run me through scripts/test.sh}
HTTP_BASE=http://127.0.0.1:${CORV_HTTP_PORT:?run me through scripts/test.sh}
export CORV_BUILD_DIR=$(dirname "$BUILD64")
export CORV_RUN_DIR=$CORV_BUILD_DIR/run/installer
unset CORV_WINEPREFIX
. "$ROOT/scripts/testbed.sh"
RUN=$CORV_RUN_DIR
TAG=installer-$$ # names on the loopback server, whose request counts outlive a run
BUILD32=$(dirname "$BUILD64")/i686
ANSWER=$BUILD64/tests/installer/answer-dialogs.exe
UPGRADE_CODE='{3A6E52C1-0B8D-4F27-9C41-7D2E9B50A613}'
PF=$WINEPREFIX/drive_c/Program\ Files/Corvala
PF86=$WINEPREFIX/drive_c/Program\ Files\ \(x86\)/Corvala
PUBLIC=$WINEPREFIX/drive_c/users/Public

passed=0
failed=0
check() { # what, then a command that succeeds when the check passes
  what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAILED: %s\n' "$what"; fi
}
finish() {
  wineserver -k 2>/dev/null
  echo "installer test: $passed checks passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit $?
}
trap 'failed=$((failed + 1)); finish' INT TERM
now_ms() { echo $(($(date +%s%N) / 1000000)); }
win() { wine "$@" </dev/null >"$RUN/wine.out" 2>&1; }

# --- a fresh prefix with the sandbox printer, three packages -------------
rm -rf "$RUN"
mkdir -p "$RUN" "$CORV_SPOOL_DIR"
testbed_prepare_prefix "$BUILD64/tests/support" "$BUILD32/tests/support" || { echo "no prefix"; failed=1; finish; }
testbed_prefix_serves i686 || { echo "32-bit programs do not run in the prefix"; failed=1; finish; }
wineserver -p60
check "package v1.0.4" env CORV_PACKAGE_VERSION=1.0.4 "$ROOT/scripts/package.sh" "$RUN/old.msi"
check "package (current version)" "$ROOT/scripts/package.sh" "$RUN/new.msi"
check "package rebuilt" "$ROOT/scripts/package.sh" "$RUN/rebuilt.msi"
# A 32-bit control whose registration script is hidden: DllRegisterServer fails.
python3 -c "import sys; d = open(sys.argv[1], 'rb').read(); k = 'REGISTRY'.encode('utf-16-le')
open(sys.argv[2], 'wb').write(d.replace(k, 'REGISTRX'.encode('utf-16-le')))" \
  "$BUILD32/activex/CorvalaActiveX.dll" "$RUN/CorvalaActiveX.dll"
check "package with a faulty 32-bit control" env CORV_PACKAGE_CONTROL32="$RUN/CorvalaActiveX.dll" \
  "$ROOT/scripts/package.sh" "$RUN/faulty.msi"
echo "package size: $(stat -c %s "$RUN/new.msi") bytes"

product_code() { msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }'; }
msi() { # msiexec arguments...; the time it took lands in $RUN/msi.ms
  start=$(now_ms)
  win msiexec "$@" /qn
  rc=$?
  echo $(($(now_ms) - start)) >"$RUN/msi.ms"
  return $rc
}
install() { package=$1; shift; msi /i "$(winepath -w "$RUN/$package")" "$@"; }
cat >"$RUN/products.js" <<EOF
var installer = new ActiveXObject("WindowsInstaller.Installer");
var products = installer.RelatedProducts("$UPGRADE_CODE");
for (var i = 0; i < products.Count; i++)
  WScript.Echo(products.Item(i) + " " + installer.ProductInfo(products.Item(i), "VersionString"));
EOF
products_are() { # expected "code version" lines[, the cscript to ask]
  win "${2:-cscript}" //nologo "$(winepath -w "$RUN/products.js")"
  [ "$(tr -d '\r' <"$RUN/wine.out")" = "$1" ]
}
export_registry() { # whole registry as UTF-8 lines
  win regedit /E "$(winepath -w "$RUN/$1.reg")"
  iconv -f UTF-16 -t UTF-8 "$RUN/$1.reg" | tr -d '\r' >"$RUN/$1.txt"
}
# Wine registers its scripting and installer type libraries on first use
# (each width's cscript its own): use them once before the reference export.
check "no product before" products_are ""
check "no product before (32-bit cscript)" products_are "" 'C:\windows\syswow64\cscript.exe'
export_registry before

# --- a failing 32-bit registration rolls the whole install back ----------
check "faulty package fails" test "$(install faulty.msi; echo $?)" -ne 0
check "faulty package: no product" products_are ""
check "faulty package: no file left" test ! -e "$PF" -a ! -e "$PF86"
export_registry rolled-back
check "faulty package: no control key in either view" test -z "$(grep -i -e '6C0F4A2E' -e 'CorvalaAX' "$RUN/rolled-back.txt")"

# --- v1 by default, then v2 with every feature: an upgrade -------------
check "v1 installs" install old.msi
echo "install time (first): $(cat "$RUN/msi.ms") ms"
check "v1 is the one product" products_are "$(product_code "$RUN/old.msi") 1.0.4"
check "satellite absent by default" test ! -e "$PF/corvres.dll"
check "v2 installs over v1" install new.msi ADDLOCAL=ALL
echo "install time (upgrade): $(cat "$RUN/msi.ms") ms"
check "v2 replaced v1" products_are "$(product_code "$RUN/new.msi") 1.0.5"

# --- files and keys ------------------------------------------------------
while read -r file; do
  check "file $file" test -f "$WINEPREFIX/drive_c/$file"
done <<'EOF'
Program Files/Corvala/Corvala Viewer.exe
Program Files/Corvala/CorvalaActiveX.dll
Program Files/Corvala/NPcvw32.dll
Program Files/Corvala/corvres.dll
Program Files (x86)/Corvala/NPcvw32.dll
Program Files/Corvala/Corvala Print Host.exe
Program Files/Corvala/com.corvala.print.json
Program Files/Corvala/com.corvala.print.firefox.json
Program Files (x86)/Corvala/CorvalaActiveX.dll
Program Files/Corvala/policy/corvala.admx
Program Files/Corvala/policy/en-US/corvala.adml
Program Files/Corvala/policy/de-DE/corvala.adml
EOF
check "the i686 plug-in is the 32-bit one" cmp -s "$PF86/NPcvw32.dll" "$BUILD32/plugin/NPcvw32.dll"
check "the i686 control is the 32-bit one" cmp -s "$PF86/CorvalaActiveX.dll" "$BUILD32/activex/CorvalaActiveX.dll"
# Each manifest names the host beside it and lets in only our extension.
manifest_is() { python3 -c 'import json, sys
m = json.load(open(sys.argv[1]))
assert (m["name"], m["path"], m["type"]) == ("com.corvala.print", "Corvala Print Host.exe", "stdio")
assert m.get(sys.argv[2]) == [sys.argv[3]] and len(m) == 5' "$PF/$1" "$2" "$3"; }
check "Chromium manifest" manifest_is com.corvala.print.json allowed_origins \
  "chrome-extension://$(cat "$CORV_BUILD_DIR/extension/chromium-id.txt")/"
check "Firefox manifest" manifest_is com.corvala.print.firefox.json allowed_extensions print@corvala.com
export_registry installed
reg_has() { # key, exported line
  KEY="[$1]" LINE=$2 awk '/^\[/ { inside = ($0 == ENVIRON["KEY"]); next }
    inside && $0 == ENVIRON["LINE"] { found = 1 } END { exit !found }' "$RUN/installed.txt"
}
HKLM='HKEY_LOCAL_MACHINE\Software'
CLASSES="$HKLM\\Classes"
PLUGIN='MozillaPlugins\@corvala.example/NPcvw32'
MIME='MimeTypes\application/x-corvala400-ep'
while IFS='|' read -r key line; do
  check "key $key: $line" reg_has "$key" "$line"
done <<EOF
$HKLM\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe|@="C:\\\\Program Files\\\\Corvala\\\\Corvala Viewer.exe"
$HKLM\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Corvala Viewer.exe|"Path"="C:\\\\Program Files\\\\Corvala\\\\"
$HKLM\\$PLUGIN|"Path"="C:\\\\Program Files\\\\Corvala\\\\NPcvw32.dll"
$HKLM\\$PLUGIN|"Description"="Corvala/400  Plugin"
$HKLM\\$PLUGIN|"ProductName"="Corvala/400"
$HKLM\\$PLUGIN|"Vendor"="Corvala Software"
$HKLM\\$PLUGIN|"Version"="1.0.5"
$HKLM\\$PLUGIN\\$MIME|"Description"="Corvala/400(*.cvep)"
$HKLM\\$PLUGIN\\$MIME|"Suffixes"="cvep"
$HKLM\\Wow6432Node\\$PLUGIN|"Path"="C:\\\\Program Files (x86)\\\\Corvala\\\\NPcvw32.dll"
$HKLM\\Wow6432Node\\$PLUGIN|"Version"="1.0.5"
$HKLM\\Wow6432Node\\$PLUGIN\\$MIME|"Suffixes"="cvep"
$CLASSES\\.cvep|@="Corvala.SpoolFile"
$CLASSES\\.cvep|"Content Type"="application/x-corvala400-ep"
$CLASSES\\MIME\\Database\\Content Type\\application/x-corvala400-ep|"Extension"=".cvep"
$CLASSES\\Corvala.SpoolFile\\shell\\open\\command|@="\\"C:\\\\Program Files\\\\Corvala\\\\Corvala Viewer.exe\\" \\"%1\\""
$CLASSES\\corvala|@="URL:Corvala/400 Protocol"
$CLASSES\\corvala|"URL Protocol"=""
$CLASSES\\corvala\\shell\\open\\command|@="\\"C:\\\\Program Files\\\\Corvala\\\\Corvala Viewer.exe\\" -g -- \\"%1\\""
$CLASSES\\CLSID\\{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\InprocServer32|@="C:\\\\Program Files\\\\Corvala\\\\CorvalaActiveX.dll"
$CLASSES\\CLSID\\{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\InprocServer32|"ThreadingModel"="Apartment"
$CLASSES\\CorvalaAX.CorvalaAX.1\\CLSID|@="{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}"
$CLASSES\\Typelib\\{6C0F4A20-91B7-4D5A-8E36-3B9F12C7A4D0}\\1.0|@="CorvalaActiveX 1.0 Type Library"
$HKLM\\Google\\Chrome\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.json"
$HKLM\\Microsoft\\Edge\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.json"
$HKLM\\Mozilla\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.firefox.json"
$HKLM\\Wow6432Node\\Google\\Chrome\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.json"
$HKLM\\Wow6432Node\\Microsoft\\Edge\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.json"
$HKLM\\Wow6432Node\\Mozilla\\NativeMessagingHosts\\com.corvala.print|@="C:\\\\Program Files\\\\Corvala\\\\com.corvala.print.firefox.json"
$CLASSES\\Typelib\\{6C0F4A20-91B7-4D5A-8E36-3B9F12C7A4D0}\\1.0\\0\\win64|@="C:\\\\Program Files\\\\Corvala\\\\CorvalaActiveX.dll"
$CLASSES\\Typelib\\{6C0F4A20-91B7-4D5A-8E36-3B9F12C7A4D0}\\1.0\\0\\win32|@="C:\\\\Program Files (x86)\\\\Corvala\\\\CorvalaActiveX.dll"
$CLASSES\\Wow6432Node\\CLSID\\{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\InprocServer32|@="C:\\\\Program Files (x86)\\\\Corvala\\\\CorvalaActiveX.dll"
$CLASSES\\Wow6432Node\\CLSID\\{6C0F4A2E-91B7-4D5A-8E36-3B9F12C7A4D0}\\InprocServer32|"ThreadingModel"="Apartment"
EOF

# The control, created by its ProgID through the registered type library.
cat >"$RUN/control.js" <<'EOF'
var control = new ActiveXObject("CorvalaAX.CorvalaAX.1");
control.PrintFile = "http://127.0.0.1/files/report.cvep";
WScript.Echo(control.PrintFile);
EOF
control_answers() { # the cscript of one width
  win "$1" //nologo "$(winepath -w "$RUN/control.js")"
  [ "$(tr -d '\r' <"$RUN/wine.out")" = "http://127.0.0.1/files/report.cvep" ]
}
for folder in system32 syswow64; do
  check "control created by ProgID from $folder's cscript, PrintFile set and read" \
    control_answers "C:\\windows\\$folder\\cscript.exe"
done

# --- the two roads through the shell -------------------------------------
# Starts target as the shell would and answers the viewer's dialogs (a print
# dialog is confirmed only when $2 is "print"); what was seen lands in
# $RUN/answers.txt.
road() {
  rm -f "$RUN/stop"
  wine "$ANSWER" "$2" "$(winepath -w "$RUN/stop")" 30000 </dev/null >"$RUN/answers.txt" 2>&1 &
  answerer=$!
  win start /wait "$1"
  touch "$RUN/stop"
  wait $answerer
  tr -d '\r' <"$RUN/answers.txt" >"$RUN/seen.txt"
}
jobs_now() { ls "$CORV_SPOOL_DIR" | wc -l; }
printed() { # expected bytes; the newest document after $jobs documents
  for _ in $(seq 1 50); do
    [ "$(jobs_now)" -gt "$jobs" ] && break
    sleep 0.2
  done
  [ "$(jobs_now)" -eq $((jobs + 1)) ] &&
    cmp -s "$1" "$CORV_SPOOL_DIR/$(ls -t "$CORV_SPOOL_DIR" | head -n 1)"
}
fetches() { python3 -c "import urllib.request, sys
print(urllib.request.urlopen(sys.argv[1] + '/stats/files/' + sys.argv[2]).read().decode())" "$HTTP_BASE" "$1"; }
seen_is() { [ "$(cat "$RUN/seen.txt")" = "$1" ]; }
# One message naming $1 (the German texts are installed: the text varies).
seen_refusal() { [ "$(wc -l <"$RUN/seen.txt")" -eq 1 ] && LC_ALL=C grep -q -F " $1: " "$RUN/seen.txt"; }

# The installed 32-bit plug-in, loaded by the 32-bit browser stand-in.
head -c 30000 /dev/urandom >"$RUN/plugin.cvep"
jobs=$(jobs_now)
check "32-bit plug-in prints through the 32-bit browser stand-in" \
  win "$BUILD32/tests/plugin/nphost/nphost.exe" -a 1 'C:\Program Files (x86)\Corvala\NPcvw32.dll' "Z:$RUN/plugin.cvep"
check "32-bit plug-in: printed bytes equal the stream" printed "$RUN/plugin.cvep"

cp "$ROOT/samples/inventory-status.txt" "$PUBLIC/downloaded report.cvep"
jobs=$(jobs_now)
road 'C:\users\Public\downloaded report.cvep' print
check "file road: print dialog, no message" seen_is print
check "file road: printed bytes equal the file" printed "$PUBLIC/downloaded report.cvep"
check "file road: the file stays" test -f "$PUBLIC/downloaded report.cvep"

head -c 20000 /dev/urandom >"$HTTP_ROOT/$TAG-link.cvep"
jobs=$(jobs_now)
road "corvala:$HTTP_BASE/files/$TAG-link.cvep" print
check "link road: print dialog, no message" seen_is print
check "link road: printed bytes equal the served file" printed "$HTTP_ROOT/$TAG-link.cvep"
check "link road: fetched once" test "$(fetches $TAG-link.cvep)" = 1

# Hostile links: refused with a message naming the first operand (a quote
# splits the link); nothing printed, fetched or deleted.
echo "victim" >"$PUBLIC/victim.cvep"
cp "$PUBLIC/victim.cvep" "$HTTP_ROOT/$TAG-hostile.cvep"
while IFS='|' read -r link operand; do
  jobs=$(jobs_now)
  road "$link" none
  check "hostile $link: refused with a message" seen_refusal "$operand"
  check "hostile $link: nothing printed" test "$(jobs_now)" -eq "$jobs"
  check "hostile $link: the victim stays" test -f "$PUBLIC/victim.cvep"
done <<EOF
corvala:$HTTP_BASE/files/$TAG-hostile.cvep" -d "C:\\users\\Public\\victim.cvep|corvala:$HTTP_BASE/files/$TAG-hostile.cvep
corvala:file:///C:/users/Public/victim.cvep|corvala:file:///C:/users/Public/victim.cvep
corvala:C:\\users\\Public\\victim.cvep|corvala:C:\\users\\Public\\victim.cvep
corvala:victim.cvep|corvala:victim.cvep
EOF
check "hostile links fetched nothing" test "$(fetches $TAG-hostile.cvep)" = 0

# --- the same version rebuilt, then removal ------------------------------
check "rebuilt package installs" install rebuilt.msi
check "the rebuild replaced the build" products_are "$(product_code "$RUN/rebuilt.msi") 1.0.5"
check "uninstall" msi /x "$(winepath -w "$RUN/rebuilt.msi")"
echo "uninstall time: $(cat "$RUN/msi.ms") ms"
check "no product left" products_are ""
check "no file left" test ! -e "$PF" -a ! -e "$PF86"
export_registry removed
grep '^\[' "$RUN/before.txt" | sort >"$RUN/before.keys"
grep '^\[' "$RUN/removed.txt" | sort >"$RUN/removed.keys"
# Windows Installer keeps its own (empty) product lists; Wine adds the display
# (and a video key for each display it starts on) and its font cache.
cat >"$RUN/theirs.keys" <<'EOF'
[HKEY_LOCAL_MACHINE\Hardware\DEVICEMAP\VIDEO]
[HKEY_LOCAL_MACHINE\Software\Classes\Installer]
[HKEY_LOCAL_MACHINE\Software\Classes\Installer\Features]
[HKEY_LOCAL_MACHINE\Software\Classes\Installer\Products]
[HKEY_LOCAL_MACHINE\Software\Classes\Installer\UpgradeCodes]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UpgradeCodes]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UserData]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Components]
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Installer\UserData\S-1-5-18\Products]
EOF
comm -13 "$RUN/before.keys" "$RUN/removed.keys" | grep -v -x -F -f "$RUN/theirs.keys" |
  grep -v -F -e '[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Video\' \
    -e '\Software\Wine\Fonts\Cache\' >"$RUN/added.keys"
check "no key added" test ! -s "$RUN/added.keys"
# Covers the host keys of both views too.
check "no value of ours" test -z "$(grep -i -E 'corvala|cvep|6C0F4A2' "$RUN/removed.txt" | grep -v -i 'sandbox')"
finish
