#!/bin/sh
# Viewer benchmark: prints figures, asserts nothing.  The data path (first
# read of the source to the closed output, dialogs excluded) for a 256 MB
# source with 1 and 3 copies, to a file and to the sandbox printer, against
# cp (cat for 3 copies) of the same bytes in the same run; the whole process
# time of a small job; the peak memory for a 16 MB and a 256 MB source.
# Uses its own run folder (build/bench-viewer) and display :79 by default.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
export CORV_RUN_DIR=${CORV_RUN_DIR:-$CORV_BUILD_DIR/bench-viewer}
export CORV_DISPLAY_NUM=${CORV_DISPLAY_NUM:-79}
BIG_MB=${BENCH_BIG_MB:-256}

"$ROOT/scripts/build.sh" >"$CORV_BUILD_DIR/bench-viewer-build.log" 2>&1 ||
  { tail -40 "$CORV_BUILD_DIR/bench-viewer-build.log"; exit 1; }
. "$ROOT/scripts/testbed.sh"
trap 'rm -rf "$WORK"; testbed_stop' EXIT INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" "$CORV_BUILD_DIR/i686/tests/support"

WORK=$CORV_RUN_DIR/bench-data
rm -rf "$WORK"; mkdir -p "$WORK"
win() { winepath -w "$1" 2>/dev/null; }
now() { date +%s%N; }
secs() { echo "$1 $2" | awk '{ printf "%.3f", ($2 - $1) / 1e9 }'; }
ratio() { echo "$1 $2" | awk '{ printf "%.2f", ($2 > 0 ? $1 / $2 : 0) }'; }
field() { sed -n "s/^$1=//p" "$2" | tr -d '\r'; }

head -c $((BIG_MB * 1024 * 1024)) /dev/urandom >"$WORK/big.prn"
head -c $((16 * 1024 * 1024)) /dev/urandom >"$WORK/mid.prn"
head -c 7000 /dev/urandom >"$WORK/small.prn"
cat "$WORK/big.prn" >/dev/null

# bench_viewer <mode> <source> <copies> [target]: data-path seconds and peak bytes
run_bench() {
  out=$WORK/bench.out
  wine "$BENCH" "$@" </dev/null >"$out" 2>&1 || { cat "$out"; exit 1; }
  rm -f "$CORV_SPOOL_DIR"/job-*.prn "$WORK"/out*.cv
}

baseline() { # tool copies: the best of three runs of cp (cat for 3 copies) or cat
  best=""
  for _ in 1 2 3; do
    t0=$(now)
    if [ "$1" = cp ] && [ "$2" = 1 ]; then
      cp "$WORK/big.prn" "$WORK/cp.out"
    else
      for _ in $(seq 1 "$2"); do cat "$WORK/big.prn"; done >"$WORK/cp.out"
    fi
    t1=$(now); rm -f "$WORK/cp.out"
    t=$(secs "$t0" "$t1")
    best=$(echo "$t ${best:-$t}" | awk '{ print ($1 < $2 ? $1 : $2) }')
  done
  echo "$best"
}

# The figures of one width (x86_64 or i686: emulated, see setup-wine32.sh).
bench_width() {
  BENCH="$CORV_BUILD_DIR/$1/tests/viewer/bench_viewer.exe"
  VIEWER="$CORV_BUILD_DIR/$1/viewer/Corvala Viewer.exe"
  echo "Viewer data path, ${BIG_MB} MB source (seconds, best of 3 for the baselines)"
  echo "  cp: coreutils cp (copy_file_range, no user-space copy; cat for 3 copies); cat: read/write in user space"
  echo "  floor: a bare loop of 4096-byte ReadFile/WriteFile calls under Wine, the platform's cost of 4 KB blocks"
  printf '%-26s %9s %9s %9s %9s %9s %9s %9s\n' "case" "viewer" "cp" "/cp" "cat" "/cat" "floor" "/floor"
  for copies in 1 3; do
    for mode in file print; do
      base=$(baseline cp "$copies")
      cat_base=$(baseline cat "$copies")
      if [ "$mode" = file ]; then
        run_bench file "$(win "$WORK/big.prn")" "$copies" "$(win "$WORK")\\out$copies.cv"
      else
        run_bench print "$(win "$WORK/big.prn")" "$copies"
      fi
      t=$(field data_path_seconds "$WORK/bench.out")
      wine "$BENCH" floor "$(win "$WORK/big.prn")" "$copies" "$(win "$WORK")\\floor.out" </dev/null \
        >"$WORK/floor.out.txt" 2>&1 || { cat "$WORK/floor.out.txt"; exit 1; }
      rm -f "$WORK/floor.out"
      floor=$(field data_path_seconds "$WORK/floor.out.txt")
      printf '%-26s %9s %9s %9s %9s %9s %9s %9s\n' "$mode, $copies copies" "$t" "$base" "$(ratio "$t" "$base")" \
        "$cat_base" "$(ratio "$t" "$cat_base")" "$floor" "$(ratio "$t" "$floor")"
    done
  done

  echo
  echo "Peak memory of the job's process (PeakPagefileUsage, MB; before the job -> after)"
  for size in mid big; do
    for mode in file print; do
      if [ "$mode" = file ]; then
        run_bench file "$(win "$WORK/$size.prn")" 1 "$(win "$WORK")\\out1.cv"
      else
        run_bench print "$(win "$WORK/$size.prn")" 1
      fi
      mb=$(( $(wc -c <"$WORK/$size.prn") / 1048576 ))
      printf '%-26s %6s -> %6s\n' "$mode, $mb MB source" \
        "$(field peak_before_bytes "$WORK/bench.out" | awk '{ printf "%.1f", $1 / 1048576 }')" \
        "$(field peak_bytes "$WORK/bench.out" | awk '{ printf "%.1f", $1 / 1048576 }')"
    done
  done

  echo
  echo "Whole process, small job (7000 bytes, -u, printed), Corvala Viewer.exe under Wine"
  for i in 1 2 3; do
    t0=$(now)
    wine "$VIEWER" -u "$(win "$WORK/small.prn")" </dev/null >/dev/null 2>&1
    t1=$(now)
    printf 'run %d: %s s\n' "$i" "$(secs "$t0" "$t1")"
  done
  cmd='C:\windows\system32\cmd.exe'
  [ "$1" = i686 ] && cmd='C:\windows\syswow64\cmd.exe'
  t0=$(now); wine "$cmd" /c exit </dev/null >/dev/null 2>&1; t1=$(now)
  printf 'for scale, "wine %s /c exit": %s s\n' "$cmd" "$(secs "$t0" "$t1")"
}

for_each_width bench_width
