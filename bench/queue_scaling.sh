#!/usr/bin/env bash
# Runs the queueing benchmark and checks that it scales linearly: queueing a folder of 100,000
# files must take under 12 times as long as one of 10,000. Prints both figures and those of
# `find DIR -type f` over the same trees. Usage: bench/queue_scaling.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$build/bin/bench_queue" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$json"
python3 - "$json" <<'PY'
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(open(sys.argv[1]))["benchmarks"]
        if b.get("aggregate_name") == "median"}
def ms(name): return runs[name]
small, large = ms("BM_AddFolderToQueue/10000"), ms("BM_AddFolderToQueue/100000")
for n in (10000, 100000):
    print(f"{n:>7} files: add_to_queue {ms(f'BM_AddFolderToQueue/{n}'):9.1f} ms   "
          f"find -type f {ms(f'BM_FindTypeF/{n}/real_time'):9.1f} ms")
ratio = large / small
print(f"ratio 100,000 / 10,000: {ratio:.2f} (must be under 12)")
sys.exit(0 if ratio < 12 else 1)
PY
