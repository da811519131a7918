#!/usr/bin/env bash
# Runs every benchmark of the project and prints one table: each figure, the floor it is measured
# against in the same run (a plain loop, `find`, plain rename() calls), and the ratio.
#
#   bench/run-all.sh [--quick] [BUILD_FOLDER]     # default build/default (RelWithDebInfo)
#
# --quick runs each with small sizes (under two minutes in all): for a check that everything
# still runs and a rough figure. The full run moves 1 GiB per socket case and queues 100,000
# files, as the figures in the notes are taken; run it on a quiet machine.
# VANTEL_BENCH_LOG names a folder for each benchmark's own output (default: a temporary one).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
build=build/default
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    -h | --help)
      sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *) build=$arg ;;
  esac
done
bin=$build/bin
[[ -x $bin/bench_detection ]] || {
  echo "run-all: no benchmarks in $bin; build first: cmake --build --preset default" >&2
  exit 1
}
# A benchmark this build lacks (an older tree measured for comparison) is left out of the table.
have() {
  [[ -x $bin/$1 ]] || echo "run-all: $1 is not built; left out" >&2
  [[ -x $bin/$1 ]]
}

logs=${VANTEL_BENCH_LOG:-$(mktemp -d "${TMPDIR:-/tmp}/vantel-bench.XXXXXX")}
mkdir -p "$logs"

if ((quick)); then
  min_time=0.2 queue_filter=/10000/ queue_reps=2 pipeline_files=2000 pipeline_shows=20
  journal_filter='/10000$|Undo.*/1000/|RenameBack/1000/'
  transfer_mib=64 secure_mib=32 cli_files=5000 cli_shows=50
else
  min_time=1 queue_filter=. queue_reps=5 pipeline_files=10000 pipeline_shows=50
  journal_filter='/100000$|Undo.*/10000/|RenameBack/10000/'
  transfer_mib=1024 secure_mib=256 cli_files=100000 cli_shows=200
fi

step() {
  echo "run-all: $1" >&2
}

# Google Benchmark programs write their figures as JSON; the rest print lines read below.
step "detection"
"$bin/bench_detection" --benchmark_min_time="$min_time" --benchmark_min_warmup_time=0.5 \
  --benchmark_out="$logs/detection.json" --benchmark_out_format=json >"$logs/detection.txt" 2>"$logs/detection.err"
step "queueing"
have bench_queue && "$bin/bench_queue" --benchmark_filter="$queue_filter" --benchmark_repetitions="$queue_reps" \
  --benchmark_out="$logs/queue.json" --benchmark_out_format=json >"$logs/queue.txt" 2>"$logs/queue.err"
step "journal"
have bench_journal && "$bin/bench_journal" --benchmark_filter="$journal_filter" \
  --benchmark_out="$logs/journal.json" --benchmark_out_format=json >"$logs/journal.txt" 2>"$logs/journal.err"
step "pipeline ($pipeline_files files)"
have bench_pipeline && "$bin/bench_pipeline" "$pipeline_files" "$pipeline_shows" >"$logs/pipeline.txt" 2>"$logs/pipeline.err"
export VANTEL_BENCH_MIB=$transfer_mib STREAM_BENCH_MIB=$transfer_mib
step "control Read and Write ($transfer_mib MiB a case)"
# Five rounds of every case in a random order, each figure the median of its five: the plain
# loop and the control then meet the same spells of a shared machine's load (one round of a
# case alone varies by 10-30% there).
have bench_socket && "$bin/bench_socket" --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_out="$logs/socket.json" --benchmark_out_format=json \
  >"$logs/socket.txt" 2>"$logs/socket.err"
step "event-driven reads"
have bench_event && "$bin/bench_event" --benchmark_out="$logs/event.json" --benchmark_out_format=json \
  >"$logs/event.txt" 2>"$logs/event.err"
step "stream transfers"
have bench_stream && "$bin/bench_stream" --benchmark_out="$logs/stream.json" --benchmark_out_format=json \
  >"$logs/stream.txt" 2>"$logs/stream.err"
step "secure channel ($secure_mib MiB a case)"
have bench_secure && VANTEL_BENCH_MIB=$secure_mib "$bin/bench_secure" --benchmark_out="$logs/secure.json" \
  --benchmark_out_format=json >"$logs/secure.txt" 2>"$logs/secure.err"
step "vantel-cli end to end ($cli_files files)"
have bench_cli_scale && "$bin/bench_cli_scale" "$cli_files" "$cli_shows" >"$logs/cli.txt" 2>"$logs/cli.err"
if [[ -x $bin/bench_server ]]; then
  step "server and datagrams"
  "$bin/bench_server" --benchmark_out="$logs/server.json" --benchmark_out_format=json \
    >"$logs/server.txt" 2>"$logs/server.err"
fi

python3 - "$logs" "$quick" <<'PY'
import json, os, re, sys

logs, quick = sys.argv[1], sys.argv[2] == "1"
rows = []

def load(name):
    path = os.path.join(logs, name + ".json")
    if not os.path.exists(path):
        return []
    return json.load(open(path))["benchmarks"]

def pick(benchmarks, prefix, field, aggregate=None):
    for b in benchmarks:
        if not b["name"].startswith(prefix):
            continue
        if aggregate is not None and b.get("aggregate_name") != aggregate:
            continue
        if field in b:
            return b[field]
    return None

def row(what, figure, unit, floor=None, floor_unit="", ratio=None, note=""):
    rows.append((what, figure, unit, floor, floor_unit, ratio, note))

def rate_row(what, benchmarks, ours, plain, field="bytes_per_second", scale=1e6, unit="MB/s"):
    # A case run several times stands for its median; one run once, for itself.
    a = pick(benchmarks, ours, field, "median") or pick(benchmarks, ours, field)
    b = pick(benchmarks, plain, field, "median") or pick(benchmarks, plain, field)
    if a and b:
        row(what, a / scale, unit, b / scale, unit, a / b)

# Detection: no floor; the target it must reach stands in its place.
det = load("detection")
for name, what, target in (("BM_GetbitsFileNames", "Detection, file names", 2e6),
                           ("BM_GetbitsDriverOrder", "Detection, driver order", 1e6)):
    v = pick(det, name, "items_per_second")
    if v:
        row(what, v, "names/s", target, "names/s (target)", v / target)

# Queueing a folder against find over the same tree (the fastest repetition of each).
queue = load("queue")
for n in (10000, 100000):
    ours = pick(queue, f"BM_AddFolderToQueue/{n}/", "real_time", "min")
    find = pick(queue, f"BM_FindTypeF/{n}/", "real_time", "min")
    if ours and find:
        row(f"Queueing a folder of {n:,} files", ours, "ms", find, "ms (find -type f)", ours / find,
            "times find")

# Reading the journal of one large run back: no floor, it must only grow with the run's size.
for b in load("journal"):
    what = {"BM_ParseJournal": "Journal read back", "BM_NextRunNumber": "Journal, a new run's number"}
    name, renames = b["name"].split("/")[:2]
    if name in what:
        row(f"{what[name]}, {int(renames):,} renames", b["real_time"], "ms")
# The undo of a whole run, files and records, against plain rename() calls of the files back.
journal = load("journal")
for b in journal:
    name, renames = b["name"].split("/")[:2]
    if name == "BM_UndoRun":
        plain = pick(journal, f"BM_PlainRenameBack/{renames}/", "real_time")
        if plain:
            row(f"Undo of a run, {int(renames):,} renames", b["real_time"], "ms", plain,
                "ms (rename() back)", b["real_time"] / plain)

def read(name):
    path = os.path.join(logs, name + ".txt")
    return open(path).read() if os.path.exists(path) else ""

# The pipeline: warm caches against plain rename() calls.
text = read("pipeline")
m = re.search(r"files (\d+) across (\d+) shows", text)
warm = re.search(r"warm caches:\s+(\d+) done,\s+(\d+) requests,\s+([\d.]+) s,\s+(\d+) files/s", text)
cold = re.search(r"cold caches:\s+(\d+) done,\s+(\d+) requests", text)
floor = re.search(r"floor:\s+(\d+) plain rename\(\) calls,\s+([\d.]+) s,\s+(\d+) files/s", text)
if m and warm and floor:
    files = int(m.group(1))
    row(f"Warm pipeline, {files:,} files", float(warm.group(4)), "files/s", float(floor.group(3)),
        "files/s (rename loop)", float(floor.group(3)) / float(warm.group(4)), "times the loop")
if m and cold:
    shows = int(m.group(2))
    row("Cold caches, requests per show", int(cold.group(2)) / shows, "requests")

sock = load("socket")
for chunk in ("2048", "65536"):
    rate_row(f"Control Write, {int(chunk) // 1024} KiB", sock, f"BM_WriteString/{chunk}/",
             f"BM_PlainSend/{chunk}/")
    rate_row(f"Control Read, {int(chunk) // 1024} KiB", sock, f"BM_ReadString/{chunk}/",
             f"BM_PlainReceive/{chunk}/")
event = load("event")
for chunk in ("2048", "65536"):
    rate_row(f"Event-driven Read, {int(chunk) // 1024} KiB", event, f"BM_EventRead/{chunk}/",
             f"BM_PlainReceive/{chunk}/")
idle = pick(event, "BM_IdleControl", "cpu_percent")
if idle is not None:
    row("Idle connected control, CPU", idle, "%")
stream = load("stream")
rate_row("StoreStream", stream, "BM_StoreStream", "BM_PlainRecvWrite")
rate_row("WriteStream of a file", stream, "BM_WriteStreamFile", "BM_PlainSendfile")
rate_row("ReadLine", stream, "BM_ReadLine", "BM_PlainReadLines", "items_per_second", 1e6,
         "M lines/s")
secure = load("secure")
rate_row("Secure download", secure, "BM_ControlDownload", "BM_PlainDownload")
rate_row("Secure upload", secure, "BM_ControlUpload", "BM_PlainUpload")
server = load("server")
rate_row("Accepted connections, blocking", server, "BM_AcceptBlocking", "BM_PlainAccept",
         "items_per_second", 1, "per s")
rate_row("Accepted connections, event-driven", server, "BM_AcceptEvents", "BM_PlainAccept",
         "items_per_second", 1, "per s")
rate_row("Datagram round trips", server, "BM_ControlDatagrams", "BM_PlainDatagrams",
         "items_per_second", 1, "per s")

# vantel-cli end to end: time and peak memory.
text = read("cli")
m = re.search(r"files (\d+) across", text)
for kind, label in (("--dry-run", "dry run"), ("real run", "real run")):
    r = re.search(re.escape(kind) + r":\s+([\d.]+) s, peak\s+([\d.]+) MiB,\s+(-?\d+) bytes per item",
                  text)
    if m and r:
        files = int(m.group(1))
        row(f"vantel-cli {label}, {files:,} files", float(r.group(1)), "s")
        row(f"vantel-cli {label}, peak memory", float(r.group(2)), "MiB", 100, "MiB (limit)",
            float(r.group(2)) / 100)
        row(f"vantel-cli {label}, per queued item", float(r.group(3)), "bytes")

def fmt(v):
    if v is None:
        return ""
    if isinstance(v, float) and v >= 1000:
        return f"{v:,.0f}"
    if isinstance(v, float):
        return f"{v:.3g}" if v < 10 else f"{v:.1f}"
    return f"{v:,}"

print(("Quick run (small sizes): rough figures only" if quick else "Full run") + f"; logs in {logs}")
print(f"| {'What':<40} | {'Figure':>22} | {'Floor':>34} | {'Ratio':>6} |")
print(f"|{'-' * 42}|{'-' * 24}|{'-' * 36}|{'-' * 8}|")
for what, figure, unit, floor, floor_unit, ratio, note in rows:
    f = f"{fmt(figure)} {unit}"
    fl = f"{fmt(floor)} {floor_unit}" if floor is not None else "-"
    ra = f"{ratio:.2f}" if ratio is not None else "-"
    print(f"| {what:<40} | {f:>22} | {fl:>34} | {ra:>6} |")
PY
