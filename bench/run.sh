#!/usr/bin/env bash
# Builds the suite and runs every benchmark, each beside the reference tool it is
# measured against, in one run. Prints the figures; nothing here is a pass/fail test.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/setup.sh" >/dev/null
for benchmark in "$here"/build/bench/*; do
  [ -x "$benchmark" ] || continue
  echo "== $(basename "$benchmark")"
  "$benchmark" --benchmark_counters_tabular=true
done
