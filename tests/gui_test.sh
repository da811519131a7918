#!/usr/bin/env bash
# Whole-program tests of the desktop program under a real X server, driven as a user drives it.
#
#   gui_test.sh VANTEL STANDIN CASE
#
# CASE: rename (start with a file, see it renamed through the TVmaze stand-in), handover (a second
# start with another file hands it over and ends while the first renames it), close (File > Exit
# closes the window and ends the program), uninstall ("/uninstall" shows no window and leaves
# nothing of ours). Without an X server of its own the script starts one with xvfb-run; when none
# can be had it skips (exit status 77) and says why.
set -euo pipefail

vantel=$(realpath "$1")
standin=$(realpath "$2")
case_name=$3

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED ($case_name): $*" >&2
  if [[ -n ${log:-} && -f $log ]]; then
    echo "--- program output:" >&2
    cat "$log" >&2
  fi
  exit 1
}

if [[ -z ${VANTEL_GUI_TEST_DISPLAY:-} ]]; then
  command -v xvfb-run >/dev/null || skip "xvfb-run is not installed (scripts/install-deps.sh installs xvfb)"
  command -v xdotool >/dev/null || skip "xdotool is not installed (scripts/install-deps.sh installs it)"
  command -v xauth >/dev/null || skip "xauth is not installed (scripts/install-deps.sh installs it)"
  if ! xvfb-run -a true >/dev/null 2>&1; then
    skip "no X server could be started with xvfb-run"
  fi
  export VANTEL_GUI_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

# A home, registry and runtime folder of the test's own.
root=$(mktemp -d "${TMPDIR:-/tmp}/vantel-gui-test.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$root"
}
trap cleanup EXIT
export HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
export XDG_CACHE_HOME=$root/home/.cache XDG_RUNTIME_DIR=$root/runtime
export VANTEL_REGISTRY_DIR=$root/registry VANTEL_HTTP_TIMEOUT=2
unset APPDATA
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$root/videos"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Nothing is opened on this desktop: the help page or a web address would go to this stand-in.
export VANTEL_OPEN_PROGRAM=true
registry=$VANTEL_REGISTRY_DIR/registry.txt
log=$root/vantel.log

start_standin() {
  "$standin" >"$root/standin.out" 2>"$root/standin.err" &
  pids+=($!)
  local port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^READY http=\([0-9]*\).*/\1/p' "$root/standin.out" 2>/dev/null || true)
    [[ -n $port ]] && break
    sleep 0.1
  done
  [[ -n $port ]] || fail "the TVmaze stand-in did not start: $(cat "$root/standin.err")"
  export VANTEL_API_BASE=http://127.0.0.1:$port
}

# Starts the program in the background with the arguments; its process id in $program.
start_vantel() {
  "$vantel" "$@" >>"$log" 2>&1 &
  program=$!
  pids+=("$program")
}

# The window of the program, found by its caption as a user (or a second start) finds it.
find_window() {
  local window=
  for _ in $(seq 200); do
    window=$(xdotool search --name '^Vantel 4\.0$' 2>/dev/null | head -n 1 || true)
    [[ -n $window ]] && break
    sleep 0.1
  done
  [[ -n $window ]] || fail "no window captioned \"Vantel 4.0\" appeared"
  echo "$window"
}

# Waits until the file exists (up to limit tenths of a second).
wait_for_file() {
  local file=$1 limit=${2:-300}
  for _ in $(seq "$limit"); do
    [[ -e $file ]] && return 0
    sleep 0.1
  done
  fail "$(basename "$file") did not appear; the folder holds: $(ls "$(dirname "$file")")"
}

# Waits for the process to end (up to limit tenths of a second); its status in $status.
wait_for_exit() {
  local pid=$1 limit=${2:-100}
  for _ in $(seq "$limit"); do
    if ! kill -0 "$pid" 2>/dev/null; then
      status=0
      wait "$pid" || status=$?
      return 0
    fi
    sleep 0.1
  done
  fail "process $pid did not end"
}

# File > Exit, with the mouse and the keyboard: open the menu bar's first menu, go up to its last
# entry ("Exit"), press Return.
exit_by_menu() {
  local window=$1
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool mousemove --window "$window" 12 10 click 1
  sleep 0.5
  xdotool key Up
  sleep 0.2
  xdotool key Return
}

case $case_name in
  rename)
    start_standin
    file=$root/videos/Game.of.Thrones.S01E01.mp4
    touch "$file"
    start_vantel "$file"
    window=$(find_window)
    wait_for_file "$root/videos/Game of Thrones - 1x01 - Winter is Coming.mp4"
    [[ ! -e $file ]] || fail "the old name is still there"
    exit_by_menu "$window"
    wait_for_exit "$program"
    [[ $status -eq 0 ]] || fail "vantel ended with status $status"
    ;;

  handover)
    start_standin
    first_file=$root/videos/Game.of.Thrones.S01E01.mp4
    second_file="$root/videos/game of thrones 1x02 x264.mkv"
    touch "$first_file" "$second_file"
    start_vantel "$first_file"
    first=$program
    window=$(find_window)
    started=$(date +%s%N)
    start_vantel "$second_file"
    second=$program
    wait_for_exit "$second" 100
    ended=$(date +%s%N)
    [[ $status -eq 0 ]] || fail "the second start ended with status $status"
    echo "handover: the second start ended after $(((ended - started) / 1000000)) ms"
    kill -0 "$first" 2>/dev/null || fail "the first instance is gone"
    windows=$(xdotool search --name '^Vantel 4\.0$' | wc -l)
    [[ $windows -eq 1 ]] || fail "$windows windows captioned \"Vantel 4.0\""
    wait_for_file "$root/videos/Game of Thrones - 1x02 - The Kingsroad.mkv"
    wait_for_file "$root/videos/Game of Thrones - 1x01 - Winter is Coming.mp4"
    exit_by_menu "$window"
    wait_for_exit "$first"
    [[ $status -eq 0 ]] || fail "vantel ended with status $status"
    ;;

  close)
    start_vantel
    window=$(find_window)
    grep -q 'SOFTWARE\\Vantel' "$registry" || fail "the program's key was not written"
    exit_by_menu "$window"
    wait_for_exit "$program"
    [[ $status -eq 0 ]] || fail "vantel ended with status $status"
    [[ -z $(xdotool search --name '^Vantel 4\.0$' 2>/dev/null || true) ]] || fail "a window is left"
    ;;

  uninstall)
    # A first run leaves its key, its work folder and the file manager entries behind.
    start_vantel
    window=$(find_window)
    exit_by_menu "$window"
    wait_for_exit "$program"
    entry=$XDG_DATA_HOME/applications/vantel-open-with.desktop
    [[ -f $entry ]] || fail "the first run made no desktop entry"
    [[ -d $XDG_DATA_HOME/Vantel ]] || fail "the first run made no work folder"
    grep -q 'Directory\\shell\\Vantel' "$registry" || fail "the first run made no shell entries"
    # A file of the user's that happens to share a data file's name stays where it is.
    mkdir -p "$root/cwd"
    echo "mine" >"$root/cwd/filters.dat"
    # No window may appear: without a display the program would fail if it tried to show one.
    (cd "$root/cwd" && env -u DISPLAY "$vantel" /uninstall) >>"$log" 2>&1 || fail "/uninstall failed"
    [[ -z $(xdotool search --name '^Vantel' 2>/dev/null || true) ]] || fail "a window appeared"
    ! grep -qi 'SOFTWARE\\Vantel' "$registry" || fail "the key SOFTWARE\\Vantel is left"
    ! grep -q 'shell\\Vantel' "$registry" || fail "shell entries are left: $(grep 'shell\\Vantel' "$registry")"
    [[ ! -e $entry ]] || fail "the desktop entry is left"
    [[ ! -e $XDG_DATA_HOME/Vantel ]] || fail "the work folder is left"
    [[ $(cat "$root/cwd/filters.dat") == mine ]] || fail "a file it did not make was touched"
    ;;

  confirm_ok | confirm_cancel)
    start_standin
    "$(dirname "$vantel")/vantel-cli" --set confirm=1 >>"$log" 2>&1 || fail "could not switch confirm on"
    file=$root/videos/Game.of.Thrones.S01E01.mp4
    renamed="$root/videos/Game of Thrones - 1x01 - Winter is Coming.mp4"
    touch "$file"
    start_vantel "$file"
    window=$(find_window)
    confirm=
    for _ in $(seq 300); do
      confirm=$(xdotool search --name '^Confirm File Rename$' 2>/dev/null | head -n 1 || true)
      [[ -n $confirm ]] && break
      sleep 0.1
    done
    [[ -n $confirm ]] || fail "no window \"Confirm File Rename\" appeared"
    [[ -e $file && ! -e $renamed ]] || fail "the file changed before the answer"
    sleep 0.5
    if [[ -n ${VANTEL_GUI_TEST_SHOTS:-} ]] && command -v import >/dev/null; then
      import -window root "$VANTEL_GUI_TEST_SHOTS/$case_name-asked.png" || true
    fi
    xdotool windowactivate --sync "$confirm" 2>/dev/null || xdotool windowfocus --sync "$confirm"
    if [[ $case_name == confirm_ok ]]; then
      xdotool key Return
      wait_for_file "$renamed"
      [[ ! -e $file ]] || fail "the old name is still there"
    else
      xdotool key Escape
      for _ in $(seq 30); do
        [[ -z $(xdotool search --name '^Confirm File Rename$' 2>/dev/null || true) ]] && break
        sleep 0.1
      done
      [[ -z $(xdotool search --name '^Confirm File Rename$' 2>/dev/null || true) ]] ||
        fail "the confirmation did not close on Escape"
      sleep 2
      [[ -e $file ]] || fail "the file is gone"
      [[ ! -e $renamed ]] || fail "the file was renamed although the user cancelled"
    fi
    if [[ -n ${VANTEL_GUI_TEST_SHOTS:-} ]] && command -v import >/dev/null; then
      import -window "$window" "$VANTEL_GUI_TEST_SHOTS/$case_name-after.png" || true
    fi
    exit_by_menu "$window"
    wait_for_exit "$program"
    [[ $status -eq 0 ]] || fail "vantel ended with status $status"
    ;;

  *)
    fail "unknown case $case_name"
    ;;
esac
echo "PASSED: $case_name"
