#!/usr/bin/env bash
# Runs the queueing benchmark and checks that it scales linearly: queueing a folder of 100,000
# files must take under 12 times as long as one of 10,000. Prints both figures (the fastest of
# the repetitions, CPU time of the queueing thread and elapsed time) and the elapsed time of
# `find DIR -type f` over the same trees. The check uses CPU time, which other work on a shared
# machine disturbs least. Usage: bench/queue_scaling.sh [build folder] [repetitions]
# With VANTEL_BENCH_MILLION=1 a tree of 1,000,000 files is measured too (minutes, about 0.2 GB of
# disk while it runs), and queueing it must take under 11 times as long as 100,000 files.
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
sizes = sorted(n for name, n in fastest if name == "BM_AddFolderToQueue")
for n in sizes:
    cpu, real = fastest[("BM_AddFolderToQueue", n)]
    find = fastest[("BM_FindTypeF", n)][1]
    print(f"{n:>7} files: add_to_queue {cpu:7.1f} ms CPU, {real:7.1f} ms elapsed;"
          f"   find DIR -type f {find:7.1f} ms elapsed ({cpu / find:.2f}x)")
ok = True
for small, large, limit in ((10000, 100000, 12), (100000, 1000000, 11)):
    if large not in sizes:
        continue
    ratio = fastest[("BM_AddFolderToQueue", large)][0] / fastest[("BM_AddFolderToQueue", small)][0]
    print(f"add_to_queue, {large:,} files / {small:,} files: {ratio:.2f} (must be under {limit})")
    ok = ok and ratio < limit
sys.exit(0 if ok else 1)
PY
