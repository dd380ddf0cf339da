#!/bin/sh
# Benchmark of the browser plug-in's data path, through the browser stand-in
# (nphost) under Wine with the sandbox printer.  Prints figures, asserts
# nothing:
#   - two copies of a 16 MB and a 64 MB stream in 64 KB blocks: the time
#     ratio (collecting is linear when it is about 4) and peak memory;
#   - one copy of 16 MB and of 256 MB: memory must not grow with the stream.
# Usage: scripts/bench-plugin.sh   (CORV_BUILD_DIR / CORV_DISPLAY_NUM as for test.sh)
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/build.sh" >/dev/null || exit 1
. "$ROOT/scripts/testbed.sh"
trap testbed_stop EXIT INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" "$CORV_BUILD_DIR/i686/tests/support" || exit 1
export DISPLAY=:$CORV_DISPLAY_NUM

DATA=$CORV_RUN_DIR/bench-plugin
mkdir -p "$DATA"

make_source() { # $1 megabytes
  f=$DATA/source-$1.cvep
  [ -f "$f" ] || head -c $(($1 * 1048576)) /dev/urandom >"$f"
  echo "$f"
}

# Runs one stream; prints its "figures:" line.  $1 copies, $2 source file.
run_stream() {
  out=$DATA/run.log
  wine "$HOST" -a "$1" -b 65536 "Z:$PLUGIN" "Z:$2" </dev/null >"$out" 2>&1
  rm -f "$CORV_SPOOL_DIR"/job-*.prn
  line=$(grep "^figures:" "$out" | tr -d "\r")
  if [ -z "$line" ]; then
    echo "bench-plugin: the stream failed:" >&2; cat "$out" >&2; exit 1
  fi
  echo "$line"
}

field() { # $1 figures line, $2 key
  echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"
}

# The faster of two runs, against noise from the rest of the machine.
best_of_two() { # $1 copies, $2 file
  a=$(run_stream "$1" "$2"); b=$(run_stream "$1" "$2")
  if awk "BEGIN { exit !($(field "$a" seconds) <= $(field "$b" seconds)) }"; then echo "$a"; else echo "$b"; fi
}

mb() { awk "BEGIN { printf \"%.1f MB\", $1 / 1048576 }"; }

report() { # $1 label, $2 figures line
  s=$(field "$2" seconds)
  browser=$(field "$2" peak_browser_bytes)
  grown=$(( $(field "$2" peak_pagefile) - $(field "$2" pagefile_before) ))
  printf '%-28s %8.3f s   browser memory peak %10s   process memory growth %10s\n' \
    "$1" "$s" "$(mb "$browser")" "$(mb "$grown")"
}

# The figures of one width: its browser stand-in with its plug-in.
bench_width() {
  HOST=$CORV_BUILD_DIR/$1/tests/plugin/nphost/nphost.exe
  PLUGIN=$CORV_BUILD_DIR/$1/plugin/NPcvw32.dll
  small=$(make_source 16)
  large=$(make_source 64)
  huge=$(make_source 256)

  two16=$(best_of_two 2 "$small")
  two64=$(best_of_two 2 "$large")
  one16=$(run_stream 1 "$small")
  one256=$(run_stream 1 "$huge")

  echo "Plug-in data path (first block to closed document), 64 KB blocks, sandbox printer:"
  report "2 copies of 16 MB" "$two16"
  report "2 copies of 64 MB" "$two64"
  report "1 copy of 16 MB" "$one16"
  report "1 copy of 256 MB" "$one256"
  awk "BEGIN { printf \"time ratio 64 MB / 16 MB, 2 copies: %.2f (linear: about 4)\n\", \
    $(field "$two64" seconds) / $(field "$two16" seconds) }"
}

for_each_width bench_width
