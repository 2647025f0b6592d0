#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, each on a scratch copy of its seed
# corpus (the tree never changes), and prints executions per second. Inputs that break a target
# are kept in BUILD_DIR/fuzz-artifacts/. Usage: run-fuzz.sh [BUILD_DIR [SECONDS]]
set -euo pipefail

build=${1:-build-fuzz}
seconds=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrovan-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

status=0
found=0
printf '%-24s %10s %12s  %s\n' target execs/s runs result
for target in "$build"/fuzz/*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  found=$((found + 1))
  name=$(basename "$target")
  corpus="$scratch/corpus-$name"
  mkdir -p "$corpus"
  if [ -d "$here/corpus/$name" ]; then
    cp -R "$here/corpus/$name/." "$corpus/"
  fi
  log="$scratch/$name.log"
  result=ok
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$scratch/$name-" "$corpus" >"$log" 2>&1; then
    result=FAILED
    status=1
    mkdir -p "$build/fuzz-artifacts"
    cp "$scratch/$name-"* "$build/fuzz-artifacts/" 2>/dev/null || true
    tail -n 40 "$log"
  fi
  execs=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-24s %10s %12s  %s\n' "$name" "${execs:-?}" "${runs:-?}" "$result"
done
if [ "$found" -eq 0 ]; then
  echo "no fuzz targets in $build/fuzz" >&2
  exit 1
fi
exit "$status"
