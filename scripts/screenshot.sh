#!/usr/bin/env bash
# Makes docs/screenshots/main-window.png: the desktop program's window after it has worked
# through a sample folder, looked up at the local TVmaze stand-in, under a virtual X server; and
# the user guide's pictures of the preferences and the filter wizard's steps
# (renamer/shell/resources/preferences.png, wizard-step1.png ... wizard-step5.png).
#
#   scripts/screenshot.sh            # builds first (cmake --preset default)
#
# Needs xvfb-run, xdotool and ImageMagick's import (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

if [[ -z ${VANTEL_SCREENSHOT_DISPLAY:-} ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target vantel vantel-cli vantel-dialog-shots tvmaze_standin kvlink6 ws2_32 >/dev/null
  export VANTEL_SCREENSHOT_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

bin=$top/build/default/bin
out=$top/docs/screenshots/main-window.png
root=$(mktemp -d "${TMPDIR:-/tmp}/vantel-screenshot.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT

# A home and registry of the script's own.
export HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
export XDG_CACHE_HOME=$root/home/.cache XDG_RUNTIME_DIR=$root/runtime
export VANTEL_REGISTRY_DIR=$root/registry VANTEL_OPEN_PROGRAM=true
unset APPDATA
mkdir -p "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$bin/tvmaze-standin" >"$root/standin.out" 2>"$root/standin.err" &
pids+=($!)
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^READY http=\([0-9]*\).*/\1/p' "$root/standin.out" 2>/dev/null || true)
  [[ -n $port ]] && break
  sleep 0.1
done
[[ -n $port ]] || { echo "screenshot: the stand-in did not start" >&2; exit 1; }
export VANTEL_API_BASE=http://127.0.0.1:$port

videos=$root/Videos
mkdir -p "$videos/Under the Dome/Season 1"
touch "$videos/Game.of.Thrones.S01E01.720p.mp4" "$videos/game of thrones 1x02 x264.mkv" \
  "$videos/Under the Dome/Season 1/under.the.dome.s01e02.720p.hdtv.mkv" \
  "$videos/Mr.Robot.S01E01.720p.mkv" "$videos/Some.Unknown.Show.S01E01.avi"

"$bin/vantel" "$videos" >"$root/vantel.log" 2>&1 &
pids+=($!)
window=
for _ in $(seq 200); do
  window=$(xdotool search --name '^Vantel 4\.0$' 2>/dev/null | head -n 1 || true)
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "screenshot: no window appeared" >&2; exit 1; }

# The queue is worked through when the last file has its new name and the unknown show failed.
for _ in $(seq 300); do
  [[ -e "$videos/Mr. Robot - 1x01 - eps1.0hellofriend.mov.mkv" ]] && break
  sleep 0.1
done
sleep 3
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "screenshot: $out"
ls -R "$videos"

# The dialogs, drawn by the program's own classes with a work folder of their own.
shots=$root/shots
mkdir -p "$shots"
"$bin/vantel-dialog-shots" "$shots"
cp "$shots"/preferences.png "$shots"/wizard-step*.png "$top/renamer/shell/resources/"
