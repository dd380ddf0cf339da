#!/bin/sh
# Runs every benchmark and prints its figures (ratios against baselines
# measured in the same run).  Benchmarks are not tests: nothing here fails
# on a number.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
status=0
for bench in "$ROOT"/scripts/bench-*.sh; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" || status=1
done
exit $status
