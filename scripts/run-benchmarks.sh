#!/usr/bin/env bash
# Runs the benchmarks of a benchmark build and writes bench/results.md.
# usage: run-benchmarks.sh BUILD_DIR
#   bench_section   the floor: a flag round trip through a shared section
#   bench_roads     the system's roads end to end (about 2 minutes); it
#                   prints the table and writes bench/results.md
#   others          every other benchmark program, printed only
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob

floor_ns=""
if [[ -x $build/bench/bench_section ]]; then
  echo "== bench_section"
  csv=$("$build/bench/bench_section" --benchmark_min_time=0.5 --benchmark_format=csv 2>/dev/null)
  echo "$csv"
  # name,iterations,real_time,cpu_time,time_unit,...
  floor_ns=$(echo "$csv" | awk -F, '/BM_SectionFlagRoundTrip/ {
    t = $3; u = $5; gsub(/"/, "", u)
    if (u == "us") t *= 1000; else if (u == "ms") t *= 1000000
    print t; exit }')
fi

for b in "$build"/bench/*; do
  [[ -x $b && -f $b ]] || continue
  case $(basename "$b") in bench_section|bench_roads) continue ;; esac
  echo "== $(basename "$b")"
  "$b" --benchmark_min_time=0.2
done

if [[ -x $build/bench/bench_roads ]]; then
  echo "== bench_roads"
  args=(--results "$root/bench/results.md" --notes "$root/bench/roads/notes.md")
  [[ -n $floor_ns ]] && args+=(--floor-ns "$floor_ns")
  "$build/bench/bench_roads" "${args[@]}"
  echo "written: bench/results.md"
fi
