#!/usr/bin/env bash
# Installs what is missing, builds, and runs the headless front end on a sample folder: every
# file is detected, looked up in the TVmaze episode database and renamed.
#
# The lookups go to the real service (https://api.tvmaze.com) when it answers within a few
# seconds; otherwise (no internet access) to the local TVmaze stand-in, which serves recorded
# TVmaze replies. The demo says which one it used.
#
# The sample folder and every file the program writes (settings, registry, work folder and
# caches) live in a temporary folder that is removed at the end: HOME, the XDG folders, APPDATA
# and the registry store all point into it, so the demo leaves nothing behind and reads none of
# your settings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j2

cli=$PWD/build/default/bin/vantel-cli
standin=$PWD/build/default/bin/tvmaze-standin
real_api=https://api.tvmaze.com
probe_seconds=${VANTEL_DEMO_PROBE_SECONDS:-3}

demo=$(mktemp -d)
standin_pid=
cleanup() {
    if [[ -n $standin_pid ]]; then kill "$standin_pid" 2>/dev/null || true; fi
    rm -rf "$demo"
}
trap cleanup EXIT

# An environment of its own below folder $1.
isolate() {
    export HOME=$1/home XDG_CONFIG_HOME=$1/config XDG_DATA_HOME=$1/data
    export APPDATA=$1/appdata VANTEL_REGISTRY_DIR=$1/registry
    unset VANTEL_API_BASE
    mkdir -p "$HOME"
}

# Is the real service reachable through the program itself? A dry run of one file, in an
# environment of its own, with a short time-out.
probe=$demo/probe
mkdir -p "$probe/videos"
touch "$probe/videos/under.the.dome.s01e01.mkv"
echo "run-demo: asking the real TVmaze service ($real_api), time-out ${probe_seconds} s..."
if (isolate "$probe" && "$cli" --set logging=2 &&
    VANTEL_HTTP_TIMEOUT=$probe_seconds VANTEL_HTTP_TRACE=1 \
        timeout $((probe_seconds * 4 + 10)) "$cli" --dry-run --api "$real_api" "$probe/videos" \
        2>"$probe/log" | grep -q $'\tPlanned\t'); then
    api=$real_api
    echo "run-demo: the real service answered: looking episodes up at $api"
else
    "$standin" >"$demo/standin.out" 2>"$demo/standin.err" &
    standin_pid=$!
    for _ in $(seq 100); do
        grep -q READY "$demo/standin.out" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -n 's/^READY http=\([0-9]*\).*/\1/p' "$demo/standin.out")
    if [[ -z $port ]]; then
        echo "run-demo: the stand-in did not start:" >&2
        cat "$demo/standin.err" >&2
        exit 1
    fi
    api=http://127.0.0.1:$port
    reason=$(grep -m1 -o 'HTTP: Unable.*\|HTTP: The certificate.*\|HTTP: Unhandled.*' \
        "$probe/log" 2>/dev/null || true)
    echo "run-demo: the real service did not answer (${reason:-no answer in time}): looking"
    echo "run-demo: episodes up at the local TVmaze stand-in with recorded TVmaze data, $api"
fi
echo

isolate "$demo"
videos=$demo/videos
mkdir -p "$videos/Under the Dome/Season 1" "$videos/Mr.Robot.S01E01.720p" "$videos/Sample" \
    "$videos/misc"
touch "$videos/Under the Dome/Season 1/under.the.dome.s01e02.720p.hdtv.mkv" \
    "$videos/Under the Dome/Season 1/Under the Dome - 1x03 - unknown.avi" \
    "$videos/Game.of.Thrones.S01E01.mp4" \
    "$videos/game of thrones 1x02 x264.mkv" \
    "$videos/Mr.Robot.S01E01.720p/mr-robot.mkv" \
    "$videos/Sample/under.the.dome.s01e01.sample.mkv" \
    "$videos/misc/notes.txt"

echo "run-demo: sample folder:"
(cd "$demo" && find videos -type f | sort | sed 's/^/  /')
echo
echo "run-demo: $cli --set logging=2"
"$cli" --set logging=2
echo "run-demo: $cli --api $api $videos"
echo "run-demo: (the log goes to standard error; one line per queued file to standard output:"
echo "run-demo:  number, status, path, and the new path or why the file could not be processed)"
status=0
"$cli" --api "$api" "$videos" || status=$?
echo
echo "run-demo: vantel-cli exited with status $status (0: every file done, 1: not every file)"
echo "run-demo: the sample folder now (episodes looked up at $api):"
(cd "$demo" && find videos -type f | sort | sed 's/^/  /')
