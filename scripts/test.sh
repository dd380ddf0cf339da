#!/bin/sh
# Installs what is missing, builds both architectures, prepares the test bed (Xvfb, private Wine
# prefix with the sandbox printer, loopback HTTP server), runs every test
# under Wine with CTest, and stops what it started.  Extra arguments go to
# ctest (for example -R viewer).  Ends with a short run of the fuzzers.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/scripts/setup-deps.sh" || exit 1
"$ROOT/scripts/build.sh" || exit 1
. "$ROOT/scripts/testbed.sh"
trap 'testbed_stop; exit 1' INT TERM
testbed_start "$CORV_BUILD_DIR/x86_64/tests/support" || { testbed_stop; exit 1; }
cd "$CORV_BUILD_DIR/x86_64" && ctest --output-on-failure -j2 "$@"
rc=$?
testbed_stop
# A short run of every parser fuzzer (scripts/fuzz.sh 600 for a long one).
"$ROOT/scripts/fuzz.sh" 3 || rc=1
exit $rc
