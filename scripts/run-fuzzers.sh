#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each.
# usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1 seconds=$2
shopt -s nullglob
targets=("$build"/fuzz/*)
if ((${#targets[@]} == 0)); then
  echo "run-fuzzers: no fuzz targets"; exit 0
fi
for t in "${targets[@]}"; do
  [[ -x $t && -f $t ]] || continue
  name=$(basename "$t")
  corpus="$build/fuzz-corpus/$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/$name"
  echo "== $name (${seconds}s)"
  args=("$corpus")
  [[ -d $seeds ]] && args+=("$seeds")
  "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${args[@]}"
done
