#!/bin/sh
# Builds each libFuzzer harness natively with clang (address and undefined-
# behaviour sanitizers) from the COM-free parser sources it exercises, and
# runs it for the given number of seconds (default 5) on a working copy of
# its seed corpus.  Prints runs and coverage; exits non-zero when a harness
# finds a fault.  Usage: scripts/fuzz.sh [seconds] [harness...]
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${CORV_BUILD_DIR:-$ROOT/build}/fuzz
SECONDS_EACH=${1:-5}
[ $# -gt 0 ] && shift
ONLY="$*"
CXX=${CXX_FUZZ:-clang++-14}
command -v "$CXX" >/dev/null 2>&1 || CXX=clang++

# name: product sources (besides tests/fuzz/<name>_fuzz.cpp)
HARNESSES="
registrar_script: activex/server/registrar_script.cpp
stream_format: activex/control/stream_format.cpp
link_source: viewer/link_source.cpp
printhost_session: printhost/session.cpp printhost/json_reader.cpp printhost/json_writer.cpp printhost/codec.cpp printhost/download_path.cpp printhost/viewer_report.cpp
url_check: activex/download/url_check.cpp
"

mkdir -p "$BUILD"
failed=0
echo "$HARNESSES" | while IFS=: read -r name sources; do
  [ -z "$name" ] && continue
  if [ -n "$ONLY" ] && ! echo " $ONLY " | grep -q " $name "; then continue; fi
  exe=$BUILD/${name}_fuzz
  srcs=""; incs=""
  for s in $sources; do srcs="$srcs $ROOT/$s"; incs="$incs -I$ROOT/$(dirname "$s")"; done
  $CXX -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
       $incs "$ROOT/tests/fuzz/${name}_fuzz.cpp" $srcs -o "$exe" || { echo "fuzz: $name does not build"; exit 1; }
  corpus=$BUILD/${name}_corpus
  mkdir -p "$corpus"
  [ -d "$ROOT/tests/fuzz/corpus/$name" ] && cp -n "$ROOT/tests/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null
  log=$BUILD/${name}.log
  (cd "$BUILD" && "$exe" -max_total_time="$SECONDS_EACH" -max_len=4096 -print_final_stats=1 "$corpus" >"$log" 2>&1)
  rc=$?
  runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
  if [ $rc -ne 0 ]; then
    echo "fuzz: $name FAILED (see $log)"; tail -30 "$log"; exit 1
  fi
  echo "fuzz: $name ok, $runs in ${SECONDS_EACH}s, $cov, crashes 0"
done || failed=1
exit $failed
