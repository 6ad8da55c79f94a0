#!/usr/bin/env bash
# Runs every benchmark program of a benchmark build.
# usage: run-benchmarks.sh BUILD_DIR
set -euo pipefail
build=$1
shopt -s nullglob
for b in "$build"/bench/*; do
  [[ -x $b && -f $b ]] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2
done
