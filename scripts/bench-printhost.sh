#!/bin/sh
# Print host benchmark: prints figures, asserts nothing.  One transfer of
# 5 MB and one of 50 MB through the real host under Wine, over pipes, in
# 1 MiB chunks, once as base64 and once as Latin-1 text; for each the time
# from the host's start to its "done" (the viewer started: the recorder
# stands in), the throughput, and the host's own peak memory.  The 50 MB
# peak against the 5 MB one shows whether memory grows with the file (it
# should stay at about one chunk).
# Usage: scripts/bench-printhost.sh   (CORV_BUILD_DIR / CORV_DISPLAY_NUM as for test.sh)
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
mkdir -p "$CORV_BUILD_DIR"
"$ROOT/scripts/build.sh" x86_64 >"$CORV_BUILD_DIR/bench-printhost-build.log" 2>&1 ||
  { tail -40 "$CORV_BUILD_DIR/bench-printhost-build.log"; exit 1; }
. "$ROOT/scripts/testbed.sh"
trap testbed_stop EXIT
trap 'exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" || exit 1

B=$CORV_BUILD_DIR/x86_64
OUT=$CORV_RUN_DIR/bench-printhost
mkdir -p "$OUT"
field() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }
peak() { sed -n "s/.*$1 \([0-9]*\) bytes.*/\1/p" "$2"; }
mb() { awk "BEGIN { printf \"%.1f\", $1 / 1048576 }"; }

echo "Transfers through the print host (1 MiB chunks; time to \"done\", host's peak memory in MB)"
for enc in base64 latin1; do
  for size in 5 50; do
    run=$OUT/$enc-$size
    wine "$B/tests/printhost/bench_printhost.exe" "$B/printhost/Corvala Print Host.exe" \
      "$B/tests/activex/viewer_recorder.exe" "$size" "$enc" "$run.err" </dev/null >"$run.txt" 2>&1 ||
      { echo "bench-printhost: the $enc transfer of $size MB failed:" >&2; cat "$run.txt" "$run.err" >&2; exit 1; }
    s=$(field seconds "$run.txt")
    printf '%-7s %3s MB  %7.3f s  %6.1f MB/s  PeakPagefileUsage %6s  PeakWorkingSetSize %6s\n' "$enc" "$size" "$s" \
      "$(awk "BEGIN { print $size / $s }")" "$(mb "$(peak pagefile "$run.err")")" "$(mb "$(peak 'working set' "$run.err")")"
  done
  echo "  $enc: peak pagefile 50 MB / 5 MB = $(awk "BEGIN { printf \"%.2f\", $(peak pagefile "$OUT/$enc-50.err") / $(peak pagefile "$OUT/$enc-5.err") }")"
done
rm -rf "$CORV_SCRATCH_DIR"/bench-printhost-*
