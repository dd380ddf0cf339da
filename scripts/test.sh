#!/bin/sh
# Installs what is missing, builds both architectures, prepares the test bed
# (Xvfb, private Wine prefix with the sandbox printer, loopback HTTP server),
# runs every test under Wine with CTest, first the x86_64 build's, then the
# i686 build's (32-bit Wine, same prefix and server; emulated, so slower),
# and stops what it started.  Extra arguments go to both ctest runs (for
# example -R viewer).  A test labelled only_x86_64 or only_i686 runs in that
# width's run alone.  Without 32-bit Wine the i686 run is reported NOT RUN
# and the command fails.  Ends with a short run of the fuzzers.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/setup-deps.sh" || exit 1
"$ROOT/scripts/build.sh" || exit 1
. "$ROOT/scripts/testbed.sh"
trap 'testbed_stop; exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" "$CORV_BUILD_DIR/i686/tests/support" ||
  { testbed_stop; exit 1; }

run_width() { # width, the other width, ctest arguments...
  width=$1; other=$2; shift 2
  echo "== $width tests"
  (cd "$CORV_BUILD_DIR/$width" && ctest --output-on-failure -j2 -LE "^only_$other\$" "$@")
}
# Under the emulator a test program has once ended at start, in 0.01 s and
# without a word, and passed when run again: a test that fails there gets a
# second run, and its first failure stays in the log above.
I686_RETRY="--repeat until-pass:2"
summary=""
rc=0
run_width x86_64 i686 "$@" || rc=1
summary="x86_64: $([ $rc -eq 0 ] && echo passed || echo FAILED)"
if [ -z "${CORV_WINE32:-}" ]; then
  reason="32-bit Wine is not set up (scripts/setup-wine32.sh could not set it up, see above)"
elif ! testbed_prefix_serves i686; then
  reason="32-bit programs do not run in the prefix $WINEPREFIX (see above)"
else
  reason=""
fi
if [ -n "$reason" ]; then
  echo "== i686 tests NOT RUN: $reason"
  summary="$summary; i686: NOT RUN"
  rc=1
elif testbed_restart_http && run_width i686 x86_64 $I686_RETRY "$@"; then
  summary="$summary; i686: passed"
else
  summary="$summary; i686: FAILED"
  rc=1
fi
testbed_stop
echo "test.sh: $summary"
# A short run of every parser fuzzer (scripts/fuzz.sh 600 for a long one).
"$ROOT/scripts/fuzz.sh" 3 || rc=1
exit $rc
