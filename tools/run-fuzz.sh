#!/usr/bin/env bash
# Fuzzes every target of a build made with -DARX_FUZZ=ON (tests/fuzz) for
# SECONDS each (default 20), one per core at a time. Each starts from its
# seed corpus (tests/fuzz/NAME/corpus) and dictionary; what it adds stays in
# BUILD/fuzz/NAME/, never in the repository. A target that breaks leaves
# the input as BUILD/fuzz/NAME/crash-... (or leak-, timeout-, oom-); keep
# it in the corpus once fixed (docs/testing.md). Fails when any target broke.
#
#   bash tools/run-fuzz.sh build-check [SECONDS] [NAME...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: run-fuzz.sh BUILD_DIR [SECONDS] [NAME...]}" && pwd)"
seconds="${2:-20}"
shift $(($# < 2 ? $# : 2))

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for program in "$build"/bin/fuzz_*; do
    [ -x "$program" ] && names+=("${program##*/fuzz_}")
  done
fi
[ ${#names[@]} -gt 0 ] || { echo "no fuzz targets in $build/bin (configure with -DARX_FUZZ=ON)" >&2; exit 1; }

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

fuzz() {
  local name="$1" out="$build/fuzz/$1"
  rm -rf "$out"
  mkdir -p "$out/new"
  local options=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1
    -artifact_prefix="$out/")
  [ -f "$here/tests/fuzz/$name/dictionary" ] && options+=(-dict="$here/tests/fuzz/$name/dictionary")
  if "$build/bin/fuzz_$name" "${options[@]}" "$out/new" "$here/tests/fuzz/$name/corpus" \
    >"$out/log" 2>&1; then
    echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$out/log" |
      grep -o '[0-9]*$') runs in ${seconds} s, $(ls "$out/new" | wc -l) new inputs," \
      "$(grep -o 'cov: [0-9]*' "$out/log" | tail -n 1)"
  else
    echo "fuzz $name FAILED; its log ($out/log) ends:" >&2
    tail -n 60 "$out/log" >&2
    ls "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-* 2>/dev/null >&2 || true
    return 1
  fi
}

jobs="$(nproc)"
status=0
running=0
for name in "${names[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  fuzz "$name" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit "$status"
