#!/bin/sh
# The main job, end to end on a fresh Debian 12 machine (as root): installs
# what is missing, builds, prepares a private Wine prefix with the sandbox
# printer, registers the viewer as an installation would, prints the bundled
# sample with the viewer on the default printer (-u), shows where the
# printed bytes landed and that they equal the sample, and stops what it
# started.  Uses its own run folder (build/demo) and display :78 unless
# CORV_RUN_DIR or CORV_DISPLAY_NUM say otherwise.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
export CORV_RUN_DIR=${CORV_RUN_DIR:-$CORV_BUILD_DIR/demo}
export CORV_DISPLAY_NUM=${CORV_DISPLAY_NUM:-78}
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

before=$(ls "$CORV_SPOOL_DIR" | grep -c '^job-' || true)
say "printing $(basename "$SAMPLE") ($(wc -c <"$SAMPLE") bytes) on the default printer \"$CORV_PRINTER\""
say "  wine \"$VIEWER_WIN\" -u \"$SAMPLE_WIN\""
set +e
wine "$VIEWER" -u "$SAMPLE_WIN" </dev/null >"$CORV_RUN_DIR/demo-viewer.log" 2>&1
rc=$?
set -e
[ "$rc" -eq 0 ] || { say "the viewer ended with exit code $rc"; exit 1; }

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
