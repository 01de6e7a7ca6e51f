#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz) and runs one, or all one after another, for a time.
# Usage: scripts/fuzz.sh TARGET|all [SECONDS]   (default 60 s a target)
# Targets: frame_decode frame_reader tcp_endpoint hex_text vboard_parsers (see fuzz/CMakeLists.txt).
# Starts from the committed seeds in fuzz/corpus/TARGET/; what a run finds that is new is kept in
# build/fuzz/corpus/TARGET/ for the next run, and an input that fails is saved under
# build/fuzz/artifacts/ (replay it with: build/fuzz/fuzz/TARGET_fuzz FILE).
set -euo pipefail
cd "$(dirname "$0")/.."
targets=(frame_decode frame_reader tcp_endpoint hex_text vboard_parsers)
which=${1:-}
seconds=${2:-60}
if [ -z "$which" ] || { [ "$which" != all ] && [[ ! " ${targets[*]} " == *" $which "* ]]; }; then
  echo "usage: scripts/fuzz.sh TARGET|all [SECONDS]; targets: ${targets[*]}" >&2
  exit 2
fi
[ "$which" = all ] || targets=("$which")

scripts/setup.sh fuzz

status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" build/fuzz/artifacts
  log="build/fuzz/$t.log"
  if build/fuzz/fuzz/"${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=1024 -artifact_prefix="build/fuzz/artifacts/$t-" \
      "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    corpus=$(find "build/fuzz/corpus/$t" "fuzz/corpus/$t" -type f | wc -l)
    echo "fuzz $t: ${runs:-?} runs in ${seconds} s, no failure (corpus $corpus inputs)"
  else
    echo "fuzz $t: FAILED; the input is under build/fuzz/artifacts/; the log:" >&2
    tail -n 60 "$log" >&2
    status=1
  fi
done
exit $status
