#!/bin/sh
# Browser benchmark of the extension: prints figures, asserts nothing.
# A 50 MB spool file in headless Chromium, in the same run and browser:
#   print      from the page's print button through the extension and the
#              print host under Wine (warm) to the viewer's start (the
#              recorder stands in for it: the host's "done");
#   download   the browser's own download of the same bytes into its
#              downloads folder, from the same page.
# One warm-up round, then the best of BENCH_RUNS rounds, the ratio, and the
# print host's peak memory (one chunk, not the file).
# Usage: scripts/bench-browser.sh   (CORV_BUILD_DIR / CORV_DISPLAY_NUM as for test.sh)
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
mkdir -p "$CORV_BUILD_DIR"
"$ROOT/scripts/build.sh" x86_64 >"$CORV_BUILD_DIR/bench-browser-build.log" 2>&1 ||
  { tail -40 "$CORV_BUILD_DIR/bench-browser-build.log"; exit 1; }
. "$ROOT/scripts/testbed.sh"
SIZE_MB=${BENCH_BIG_MB:-50}
RUNS=${BENCH_RUNS:-3}
OUT=$CORV_RUN_DIR/bench-browser
KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\Corvala Viewer.exe'
cleanup() { rm -f "$CORV_HTTP_ROOT/bench.cvep" "$CORV_HTTP_ROOT/bench.bin"; testbed_stop; }
trap cleanup EXIT
trap 'exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" || exit 1

head -c $((SIZE_MB * 1048576)) /dev/urandom >"$CORV_HTTP_ROOT/bench.cvep"
cp "$CORV_HTTP_ROOT/bench.cvep" "$CORV_HTTP_ROOT/bench.bin"
cp "$ROOT/tests/extension/print_page.html" "$CORV_HTTP_ROOT/"
testbed_wine reg add "$KEY" /ve /t REG_SZ /d \
  "$(winepath -w "$CORV_BUILD_DIR/x86_64/tests/activex/viewer_recorder.exe" 2>/dev/null)" /f
rm -rf "$OUT"
CORVALA_PRINTHOST_STATS=1 node "$ROOT/tests/extension/press_print.mjs" "$OUT" bench.cvep bench.bin \
  $((RUNS + 1)) >"$OUT.txt" 2>&1 || { echo "bench-browser: a round failed:" >&2; cat "$OUT.txt" >&2; exit 1; }
testbed_wine reg delete "$KEY" /f

round_ms() { sed -n "s/^round \([0-9]*\): $1 \([0-9]*\) ms$/\1 \2/p" "$OUT.txt" | awk '$1 > 1 { print $2 }'; }
print_ms=$(round_ms "print button to viewer started" | sort -n | head -1)
download_ms=$(round_ms "the browser's own download" | sort -n | head -1)
echo "$SIZE_MB MB over loopback in headless Chromium (ms, best of $RUNS after a warm-up; every round in brackets)"
printf '%-10s %6d   [%s]\n' print "$print_ms" "$(round_ms "print button to viewer started" | tr '\n' ' ')"
printf '%-10s %6d   [%s]\n' download "$download_ms" "$(round_ms "the browser's own download" | tr '\n' ' ')"
echo "ratio print/download: $(awk "BEGIN { printf \"%.2f\", $print_ms / $download_ms }")"
echo "print host peak memory per print (MB):"
sed -n 's/^printhost peak: pagefile \([0-9]*\) bytes, working set \([0-9]*\) bytes.*/\1 \2/p' "$OUT/host-stderr.log" |
  awk '{ printf "  PeakPagefileUsage %.1f, PeakWorkingSetSize %.1f\n", $1 / 1048576, $2 / 1048576 }'
