#!/bin/sh
# The main job, end to end on a fresh Debian 12 machine (as root): installs
# what is missing, builds, prepares a private Wine prefix with the sandbox
# printer, registers the viewer as an installation would, prints the bundled
# sample with the viewer on the default printer (-u), shows where the
# printed bytes landed and that they equal the sample, and stops what it
# started.  Uses its own run folder (build/demo) and display :78 unless
# CORV_RUN_DIR or CORV_DISPLAY_NUM say otherwise.
#   scripts/demo.sh [sample]          the viewer's road
#   scripts/demo.sh control [sample]  the control's road: a container loads
#     "PrintFile" = the sample on the loopback server and activates the
#     control in run mode; the control downloads it and starts the viewer,
#     whose print dialog is answered from outside.
#   scripts/demo.sh browser [sample]  the browser's road: headless Chromium
#     with the extension opens a page of the loopback server (which sets a
#     session cookie; the spool file answers only with it) and presses its
#     print button; the extension hands the file to the print host under
#     Wine, which starts the viewer, whose print dialog is answered.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
export CORV_RUN_DIR=${CORV_RUN_DIR:-$CORV_BUILD_DIR/demo}
export CORV_DISPLAY_NUM=${CORV_DISPLAY_NUM:-78}
ROAD=viewer
case ${1:-} in control|browser) ROAD=$1; shift ;; esac
SAMPLE=${1:-$ROOT/samples/inventory-status.txt}

say() { printf 'demo: %s\n' "$*"; }

say "installing what is missing"
"$ROOT/scripts/setup-deps.sh"
say "building"
mkdir -p "$CORV_BUILD_DIR"
"$ROOT/scripts/build.sh" x86_64 >"$CORV_BUILD_DIR/demo-build.log" 2>&1 ||
  { tail -40 "$CORV_BUILD_DIR/demo-build.log"; exit 1; }

. "$ROOT/scripts/testbed.sh"
trap testbed_stop EXIT INT TERM
say "starting the test bed in $CORV_RUN_DIR (first run creates the Wine prefix, about 30 s)"
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support"

VIEWER="$CORV_BUILD_DIR/x86_64/viewer/Corvala Viewer.exe"
VIEWER_WIN=$(winepath -w "$VIEWER" 2>/dev/null)
VIEWER_DIR_WIN=${VIEWER_WIN%\\*}
SAMPLE_WIN=$(winepath -w "$SAMPLE" 2>/dev/null)
KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Corvala Viewer.exe'
say "registering $VIEWER_WIN under App Paths"
testbed_wine reg add "$KEY" /ve /t REG_SZ /d "$VIEWER_WIN" /f
testbed_wine reg add "$KEY" /v Path /t REG_SZ /d "$VIEWER_DIR_WIN" /f

# The viewer prints the sample itself, on the default printer.
viewer_road() {
  say "printing $(basename "$SAMPLE") ($(wc -c <"$SAMPLE") bytes) on the default printer \"$CORV_PRINTER\""
  say "  wine \"$VIEWER_WIN\" -u \"$SAMPLE_WIN\""
  set +e
  wine "$VIEWER" -u "$SAMPLE_WIN" </dev/null >"$CORV_RUN_DIR/demo-viewer.log" 2>&1
  rc=$?
  set -e
  [ "$rc" -eq 0 ] || { say "the viewer ended with exit code $rc"; exit 1; }
}

# A program of our own answers the viewer's print dialog from outside, until
# stop_answerer; show_answers says what it answered.
start_answerer() {
  rm -f "$CORV_RUN_DIR/demo-answered"
  wine "$CORV_BUILD_DIR/x86_64/tests/installer/answer-dialogs.exe" print \
    "$(winepath -w "$CORV_RUN_DIR/demo-answered")" 120000 </dev/null >"$CORV_RUN_DIR/demo-answers.log" 2>&1 &
  answerer=$!
}
stop_answerer() { touch "$CORV_RUN_DIR/demo-answered"; wait "$answerer" || true; }
show_answers() {
  tr -d '\r' <"$CORV_RUN_DIR/demo-answers.log" | sed 's/^print$/the print dialog, with OK/' |
    sed 's/^/demo: answered from outside the viewer: /'
}

# A container of a web page's kind hosts the control; the print dialog of
# the viewer it starts is answered by a program of its own.
control_road() {
  host="$CORV_BUILD_DIR/x86_64/tests/activex/control-demo-host.exe"
  control_win=$(winepath -w "$CORV_BUILD_DIR/x86_64/activex/CorvalaActiveX.dll" 2>/dev/null)
  cp "$SAMPLE" "$CORV_HTTP_ROOT/"
  url="http://127.0.0.1:$CORV_HTTP_PORT/files/$(basename "$SAMPLE")"
  say "the loopback server offers $(basename "$SAMPLE") ($(wc -c <"$SAMPLE") bytes) at $url"
  say "a container registers $control_win, loads \"PrintFile\" = $url"
  say "  into the control and activates it in place in run mode:"
  start_answerer
  set +e
  wine "$host" "$control_win" "$url" </dev/null >"$CORV_RUN_DIR/demo-host.log" 2>&1
  rc=$?
  set -e
  stop_answerer
  tr -d '\r' <"$CORV_RUN_DIR/demo-host.log" | sed 's/^/demo:   /'
  show_answers
  [ "$rc" -eq 0 ] || { say "the container ended with exit code $rc"; exit 1; }
}

# A web page's print button, the extension and the print host.
browser_road() {
  name=$(basename "$SAMPLE")
  cp "$SAMPLE" "$CORV_HTTP_ROOT/"
  cp "$ROOT/tests/extension/print_page.html" "$CORV_HTTP_ROOT/"
  say "the loopback server offers http://127.0.0.1:$CORV_HTTP_PORT/page/print_page.html?file=$name,"
  say "  which sets a session cookie; /spool/$name answers only to that cookie"
  say "headless Chromium loads $CORV_BUILD_DIR/extension/chromium, the print host is"
  say "  $CORV_BUILD_DIR/x86_64/printhost/Corvala Print Host.exe under Wine; the page's button is pressed:"
  start_answerer
  rm -rf "$CORV_RUN_DIR/browser"
  set +e
  node "$ROOT/tests/extension/press_print.mjs" "$CORV_RUN_DIR/browser" "$name" >"$CORV_RUN_DIR/demo-browser.log" 2>&1
  rc=$?
  set -e
  # "done" means the viewer started: its dialog comes after that.
  for _ in $(seq 1 300); do
    [ "$(ls "$CORV_SPOOL_DIR" | grep -c '^job-' || true)" -gt "$before" ] && break
    sleep 0.1
  done
  stop_answerer
  sed 's/^/demo:   /' "$CORV_RUN_DIR/demo-browser.log"
  show_answers
  [ "$rc" -eq 0 ] || { say "the browser's road failed"; exit 1; }
}

before=$(ls "$CORV_SPOOL_DIR" | grep -c '^job-' || true)
"${ROAD}_road"

# The port command writes the job file in a shell of its own: wait for it.
job=""
for _ in $(seq 1 100); do
  count=$(ls "$CORV_SPOOL_DIR" | grep -c '^job-' || true)
  if [ "$count" -gt "$before" ]; then
    job=$CORV_SPOOL_DIR/$(ls "$CORV_SPOOL_DIR" | grep '^job-' | sort | tail -1)
    size1=$(wc -c <"$job"); sleep 0.2; size2=$(wc -c <"$job")
    [ "$size1" -eq "$size2" ] && [ "$size2" -gt 0 ] && break
  fi
  sleep 0.1
done
[ -n "$job" ] || { say "no document reached the printer"; exit 1; }

say "the printed bytes landed in $job ($(wc -c <"$job") bytes)"
if cmp "$SAMPLE" "$job"; then
  say "cmp: the printed document equals $(basename "$SAMPLE") byte for byte"
else
  say "the printed document differs from the sample"; exit 1
fi
