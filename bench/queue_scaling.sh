#!/usr/bin/env bash
# Runs the queueing benchmark and checks that it scales linearly: queueing a folder of 100,000
# files must take under 12 times as long as one of 10,000. Prints both figures (the fastest of
# the repetitions, CPU time of the queueing thread and elapsed time) and the elapsed time of
# `find DIR -type f` over the same trees. The check uses CPU time, which other work on a shared
# machine disturbs least. Usage: bench/queue_scaling.sh [build folder] [repetitions]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
repetitions=${2:-5}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/bin/bench_queue" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_format=json >"$json"
python3 - "$json" <<'PY'
import json, sys
fastest = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "min":
        name = b["run_name"].split("/")
        fastest[(name[0], int(name[1]))] = (b["cpu_time"], b["real_time"])
for n in (10000, 100000):
    cpu, real = fastest[("BM_AddFolderToQueue", n)]
    print(f"{n:>7} files: add_to_queue {cpu:7.1f} ms CPU, {real:7.1f} ms elapsed;"
          f"   find DIR -type f {fastest[('BM_FindTypeF', n)][1]:7.1f} ms elapsed")
ratio = fastest[("BM_AddFolderToQueue", 100000)][0] / fastest[("BM_AddFolderToQueue", 10000)][0]
print(f"add_to_queue, 100,000 files / 10,000 files: {ratio:.2f} (must be under 12)")
sys.exit(0 if ratio < 12 else 1)
PY
