#!/bin/sh
# Runs a Windows program of the build under the project's Wine prefix (the
# emulator CTest uses).  Output goes through a file: Wine's background
# services inherit descriptors and would keep a pipe open for ever.
ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/scripts/wine-env.sh"
export DISPLAY=${DISPLAY:-:$CORV_DISPLAY_NUM}
out=$(mktemp "${TMPDIR:-/tmp}/corv-wine.XXXXXX")
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
