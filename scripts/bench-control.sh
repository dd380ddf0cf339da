#!/bin/sh
# Download benchmark of the ActiveX control: prints figures, asserts nothing.
# One 256 MB file from the loopback server, in the same run:
#   control  the download job into its temporary file, up to the hand-off to
#            the viewer (the recorder stands in for it);
#   bare     a plain URL-moniker transfer with the job's bind flags, reading
#            the bytes and dropping them;
#   curl     curl -o /dev/null.
# The best of BENCH_RUNS runs each, the ratios, and the peak memory of the
# job's process against the bare transfer's (each variant in a process of its
# own): the job should add about one read block, not the file.
# Usage: scripts/bench-control.sh   (CORV_BUILD_DIR / CORV_DISPLAY_NUM as for test.sh)
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
mkdir -p "$CORV_BUILD_DIR"
"$ROOT/scripts/build.sh" >"$CORV_BUILD_DIR/bench-control-build.log" 2>&1 ||
  { tail -40 "$CORV_BUILD_DIR/bench-control-build.log"; exit 1; }
. "$ROOT/scripts/testbed.sh"
SIZE_MB=${BENCH_BIG_MB:-256}
RUNS=${BENCH_RUNS:-3}
DATA=$CORV_HTTP_ROOT/bench-control-$SIZE_MB.bin
cleanup() { rm -f "$DATA"; testbed_stop; }
trap cleanup EXIT
trap 'exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" "$CORV_BUILD_DIR/i686/tests/support" || exit 1

URL=http://127.0.0.1:$CORV_HTTP_PORT/files/$(basename "$DATA")
head -c $((SIZE_MB * 1048576)) /dev/urandom >"$DATA"

best() { sort -n | head -1; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
mb() { awk "BEGIN { printf \"%.1f\", $1 / 1048576 }"; }
field() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }

# bench_download <variant>: every run's line goes to $OUT/<variant>.txt.
OUT=$CORV_RUN_DIR/bench-control
mkdir -p "$OUT"
run_variant() {
  wine "$BENCH" "$1" "$URL" "$RUNS" </dev/null >"$OUT/$1.txt" 2>&1 ||
    { echo "bench-control: the $1 download failed:" >&2; cat "$OUT/$1.txt" >&2; exit 1; }
  for bytes in $(field bytes "$OUT/$1.txt"); do
    [ "$bytes" -eq $((SIZE_MB * 1048576)) ] ||
      { echo "bench-control: the $1 download gave $bytes bytes" >&2; exit 1; }
  done
}

for _ in $(seq 1 "$RUNS"); do
  curl -s -o /dev/null -w '%{time_total}\n' "$URL"
done >"$OUT/curl.txt" || { echo "bench-control: curl failed" >&2; exit 1; }
# The figures of one width: its download job against its bare transfer.
bench_width() {
  BENCH=$CORV_BUILD_DIR/$1/tests/activex/bench_download.exe
  run_variant bare
  run_variant control

  curl_s=$(best <"$OUT/curl.txt")
  bare_s=$(field seconds "$OUT/bare.txt" | best)
  control_s=$(field seconds "$OUT/control.txt" | best)

  echo "Download of $SIZE_MB MB over loopback (seconds, best of $RUNS; every run in brackets)"
  printf '%-10s %8.3f   [%s]\n' control "$control_s" "$(field seconds "$OUT/control.txt" | tr '\n' ' ')"
  printf '%-10s %8.3f   [%s]\n' bare "$bare_s" "$(field seconds "$OUT/bare.txt" | tr '\n' ' ')"
  printf '%-10s %8.3f   [%s]\n' curl "$curl_s" "$(tr '\n' ' ' <"$OUT/curl.txt")"
  echo "ratios: control/bare $(ratio "$control_s" "$bare_s"), control/curl $(ratio "$control_s" "$curl_s"), bare/curl $(ratio "$bare_s" "$curl_s")"
  echo
  echo "Peak memory of the process (MB; before the first run -> after the last)"
  for v in control bare; do
    printf '%-10s PeakPagefileUsage %7s -> %7s   PeakWorkingSetSize %7s -> %7s\n' "$v" \
      "$(mb "$(field peak_pagefile_before "$OUT/$v.txt")")" "$(mb "$(field peak_pagefile "$OUT/$v.txt")")" \
      "$(mb "$(field peak_working_set_before "$OUT/$v.txt")")" "$(mb "$(field peak_working_set "$OUT/$v.txt")")"
  done
  kb() { echo $(( ($(field "$1" "$OUT/control.txt") - $(field "$1" "$OUT/bare.txt")) / 1024 )); }
  echo "control - bare: PeakPagefileUsage $(kb peak_pagefile) KB, PeakWorkingSetSize $(kb peak_working_set) KB"
}

for_each_width bench_width
