#!/bin/sh
# Browser benchmark of the extension: prints figures, asserts nothing.
# A 50 MB and a 100 KB spool file in headless Chromium, each in the same
# run and browser:
#   print      from the page's print button through the extension, the
#              browser's download and the print host under Wine (warm) to
#              the viewer's start (the recorder stands in for it: the
#              host's "done");
#   download   the browser's own download of the same bytes into its
#              downloads folder, from the same page.
# One warm-up round, then the best of BENCH_RUNS rounds, the ratio; then the
# print host's peak memory for a 1 MB and a 50 MB print.
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
cleanup() { rm -f "$CORV_HTTP_ROOT"/*.cvep "$CORV_HTTP_ROOT"/*.bin; testbed_stop; }
trap cleanup EXIT
trap 'exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" || exit 1

cp "$ROOT/tests/extension/print_page.html" "$CORV_HTTP_ROOT/"
testbed_wine reg add "$KEY" /ve /t REG_SZ /d \
  "$(winepath -w "$CORV_BUILD_DIR/x86_64/tests/activex/viewer_recorder.exe" 2>/dev/null)" /f

# press <name> <bytes> <rounds>: the rounds' lines in $OUT-<name>.txt
press() {
  head -c "$2" /dev/urandom >"$CORV_HTTP_ROOT/$1.cvep"
  cp "$CORV_HTTP_ROOT/$1.cvep" "$CORV_HTTP_ROOT/$1.bin"
  rm -rf "$OUT-$1"
  CORVALA_PRINTHOST_STATS=1 node "$ROOT/tests/extension/press_print.mjs" "$OUT-$1" "$1.cvep" "$1.bin" "$3" \
    >"$OUT-$1.txt" 2>&1 || { echo "bench-browser: a round failed:" >&2; cat "$OUT-$1.txt" >&2; exit 1; }
  rm -f "$CORV_HTTP_ROOT/$1.cvep" "$CORV_HTTP_ROOT/$1.bin"
}
round_ms() { sed -n "s/^round \([0-9]*\): $2 \([0-9]*\) ms$/\1 \2/p" "$OUT-$1.txt" | awk '$1 > 1 { print $2 }'; }
best() { round_ms "$1" "$2" | sort -n | head -1; }
report() { # name, label
  print_ms=$(best "$1" "print button to viewer started")
  download_ms=$(best "$1" "the browser's own download")
  echo "$2 over loopback in headless Chromium (ms, best of $RUNS after a warm-up; every round in brackets)"
  printf '  %-10s %6d   [%s]\n' print "$print_ms" "$(round_ms "$1" "print button to viewer started" | tr '\n' ' ')"
  printf '  %-10s %6d   [%s]\n' download "$download_ms" "$(round_ms "$1" "the browser's own download" | tr '\n' ' ')"
  echo "  ratio print/download: $(awk "BEGIN { printf \"%.2f\", $print_ms / ($download_ms > 0 ? $download_ms : 1) }")"
}
peak() { # name, label: the host's peak of the print rounds
  sed -n 's/^printhost peak: pagefile \([0-9]*\) bytes, working set \([0-9]*\) bytes.*/\1 \2/p' "$OUT-$1/host-stderr.log" |
    sort -n | tail -1 | awk -v label="$2" '{ printf "  %s: PeakPagefileUsage %.1f MB, PeakWorkingSetSize %.1f MB\n", label, $1 / 1048576, $2 / 1048576 }'
}

press big $((SIZE_MB * 1048576)) $((RUNS + 1))
press small 102400 $((RUNS + 1))
press one 1048576 2
testbed_wine reg delete "$KEY" /f
report big "$SIZE_MB MB"
report small "100 KB"
echo "print host peak memory per print:"
peak one "1 MB"
peak big "$SIZE_MB MB"
