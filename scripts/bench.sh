#!/usr/bin/env bash
# Builds the release preset and runs the board-path benchmarks: each figure beside its floor
# (the same frames over a socket pair between two processes, measured in the same run) and the
# ratio of the medians. Extra arguments go to the benchmark program (e.g. --benchmark_filter=Read).
# Usage: scripts/bench.sh [benchmark options]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release
cmake --build --preset release --target board_path_bench vboard vboard-panel >/dev/null
out=$(mktemp)
bench_args=("$@")
trace=$(mktemp)
trap 'rm -f "$out" "$trace"' EXIT
# The figures, each beside its floor. TITLE [VAR=value...] (the environment of the run).
figures() {
  echo "$1"
  shift
  env "$@" build/release/bench/board_path_bench --benchmark_repetitions=3 --benchmark_min_time=0.2 \
    --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$out" \
    --benchmark_out_format=json "${bench_args[@]}" >/dev/null
  python3 - "$out" <<'PY'
import json, sys
runs = {b["run_name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("aggregate_name") == "median"}
def us(b): return b["real_time"] * {"ns": 1e-3, "us": 1, "ms": 1e3, "s": 1e6}[b["time_unit"]]
print(f"{'figure':32} {'median':>12} {'floor':>12} {'ratio':>7}")
for name, b in runs.items():
    if name.startswith("BM_Floor_"): continue
    if name.startswith("BM_PollerAt1ms"):
        floor = runs.get(name.replace("BM_PollerAt1ms", "BM_Floor_Sleep1ms"))
    else:
        floor = runs.get(name.replace("BM_", "BM_Floor_", 1))
    label = name[3:].replace("/real_time", "").replace("/manual_time", "")
    if floor is None:
        print(f"{label:32} {us(b):10.1f}us"); continue
    if "reports/s" in b:
        print(f"{label:32} {b['reports/s']:9.0f}/s  {floor['reports/s']:9.0f}/s {b['reports/s'] / floor['reports/s']:7.2f}")
    else:
        print(f"{label:32} {us(b):10.1f}us {us(floor):10.1f}us {us(b) / us(floor):7.2f}")
PY
}
figures "Board path (BOARD_TRACE unset: the trace is off)"
# The same with the session trace on: every board call also writes its line.
figures "Board path with BOARD_TRACE set" BOARD_TRACE="$trace"
echo "trace written: $(wc -l <"$trace") lines"
# Starting the command line as a process (no Qt loaded), 20 times, beside starting /bin/true.
per_run() {
  local start
  start=$(date +%s%N)
  for _ in $(seq 20); do "$@" >/dev/null; done
  echo $(( ($(date +%s%N) - start) / 20000 ))
}
echo "vboard --help as a process: $(per_run build/release/vboard/vboard --help)us (/bin/true: $(per_run /bin/true)us)"
