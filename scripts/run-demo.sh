#!/usr/bin/env bash
# Installs what is missing, builds, and runs the headless front end on a sample folder.
#
# The sample folder and every file the program writes (settings, work folder) live in a
# temporary folder that is removed at the end: HOME, the XDG folders, APPDATA and the registry
# store all point into it, so the demo leaves nothing behind and reads none of your settings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
export HOME=$demo/home XDG_CONFIG_HOME=$demo/config XDG_DATA_HOME=$demo/data
export APPDATA=$demo/appdata VANTEL_REGISTRY_DIR=$demo/registry
mkdir -p "$HOME"

videos=$demo/videos
mkdir -p "$videos/Lost/Season 1" "$videos/Sample" "$videos/misc"
touch "$videos/Lost/Season 1/lost.s01e05.720p.hdtv.mkv" \
    "$videos/Lost/Season 1/Lost - 1x06 - House of the Rising Sun.avi" \
    "$videos/the.office.us.s02e01.mp4" \
    "$videos/Sample/lost.s01e05.sample.mkv" \
    "$videos/misc/notes.txt" \
    "$videos/misc/holiday 2019.mkv"

echo "run-demo: sample folder:"
(cd "$demo" && find videos -type f | sort | sed 's/^/  /')
echo
echo "run-demo: build/default/bin/vantel-cli --set logging=2"
build/default/bin/vantel-cli --set logging=2
echo "run-demo: build/default/bin/vantel-cli $videos"
echo "run-demo: (the log goes to standard error; one line per queued file to standard output:"
echo "run-demo:  number, status, path, and the new path or why the file could not be processed)"
status=0
build/default/bin/vantel-cli "$videos" || status=$?
echo
echo "run-demo: vantel-cli exited with status $status (0: every file done, 1: not every file)"
echo "run-demo: stages not yet in this build fail their files with a message saying so."
