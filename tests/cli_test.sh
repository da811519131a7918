#!/usr/bin/env bash
# Whole-program tests of vantel-cli. Usage: cli_test.sh PATH-TO-vantel-cli CASE
# Every run gets a fresh temporary HOME, XDG folders, APPDATA and registry folder, so nothing
# outside that folder is read or written.
set -uo pipefail

cli=$1
case_name=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data APPDATA=$tmp/appdata
export VANTEL_REGISTRY_DIR=$tmp/registry
# Lookups (none of these cases gets that far) would go to a loopback port nobody serves.
export VANTEL_API_BASE=http://127.0.0.1:9
mkdir -p "$HOME"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run ARGS...: runs the program; sets status, out and err.
run() {
    "$cli" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
    status=$?
    out=$(cat "$tmp/out")
    err=$(cat "$tmp/err")
}

expect_status() {
    [[ $status == "$1" ]] || fail "$2: exit status $status, expected $1 (stderr: $err)"
}

expect_in() {
    [[ $1 == *"$2"* ]] || fail "$3: '$2' not in: $1"
}

make_folder() {
    mkdir -p "$tmp/videos/sub" "$tmp/videos/Sample"
    touch "$tmp/videos/a.mkv" "$tmp/videos/sub/b.avi" "$tmp/videos/c.txt" \
        "$tmp/videos/Sample/d.mkv"
}

case $case_name in
usage)
    run --help
    expect_status 0 "--help"
    expect_in "$out" "Usage: vantel-cli" "--help"
    expect_in "$out" "unless --yes is given" "--help on replacing files"
    run --yes
    expect_status 0 "--yes without paths"
    run --version
    expect_status 0 "--version"
    expect_in "$out" "4.0" "--version"
    for bad in "--bogus" "--get" "--set logging" "--get types $tmp" "--detect" "--api" \
        "--api api.tvmaze.com $tmp" "--dry-run --detect x.avi"; do
        # shellcheck disable=SC2086
        run $bad
        expect_status 2 "$bad"
        expect_in "$err" "Try 'vantel-cli --help'" "$bad"
    done
    run --api api.tvmaze.com "$tmp"
    expect_in "$err" "--api needs an http:// or https:// URL with a host, not 'api.tvmaze.com'" \
        "a bad --api"
    ;;
settings)
    run --get logging
    expect_status 1 "--get of a value never stored"
    expect_in "$err" "logging is not set" "--get of a value never stored"
    run --set logging=2 --set "types=.AVI;Mkv;" --set autoclose=1
    expect_status 0 "--set"
    run --get logging --get types --get autoclose
    expect_status 0 "--get after --set"
    [[ $out == $'2\navi;mkv\n1' ]] || fail "--get after --set printed: $out"
    [[ -f $VANTEL_REGISTRY_DIR/registry.txt ]] || fail "the store is not in VANTEL_REGISTRY_DIR"

    # Refused commands change nothing, also the valid ones given with them.
    for bad in "colour=1" "logging=3" "confirm=yes" "types=ab" "Types=avi"; do
        run --set confirm=1 --set "$bad"
        expect_status 2 "--set $bad"
        [[ -n $err ]] || fail "--set $bad: no reason given"
    done
    run --get confirm
    expect_status 1 "--get confirm after refused sets"
    run --set colour=1
    expect_in "$err" "unknown setting 'colour'" "--set colour=1"
    run --get colour
    expect_status 2 "--get colour"

    # Without the relocation variable the store lives in the XDG configuration folder.
    unset VANTEL_REGISTRY_DIR
    run --set nocache=1
    expect_status 0 "--set without VANTEL_REGISTRY_DIR"
    [[ -f $XDG_CONFIG_HOME/vantel/registry.txt ]] || fail "the store is not under XDG_CONFIG_HOME"
    ;;
folder)
    make_folder
    run "$tmp/videos"
    expect_status 1 "a folder whose items cannot all be processed"
    mapfile -t lines <<<"$out"
    [[ ${#lines[@]} == 2 ]] || fail "expected 2 items, got: $out"
    IFS=$'\t' read -r index state path detail <<<"${lines[0]}"
    [[ $index == 1 && $path == "$tmp/videos/a.mkv" ]] || fail "first item: ${lines[0]}"
    [[ $state == Failed && -n $detail ]] || fail "first item must fail with a reason: ${lines[0]}"
    IFS=$'\t' read -r index state path detail <<<"${lines[1]}"
    [[ $index == 2 && $path == "$tmp/videos/sub/b.avi" ]] || fail "second item: ${lines[1]}"
    expect_in "$err" "Vantel 4.0 (build" "start line"
    expect_in "$err" "All items processed" "end of the pass"
    # The work folder was made under APPDATA, and nothing else was written outside $tmp.
    [[ -d $APPDATA/Vantel ]] || fail "no work folder under APPDATA"

    # The same folder given twice, once with a trailing "/": still two items.
    run "$tmp/videos" "$tmp/videos/"
    mapfile -t lines <<<"$out"
    [[ ${#lines[@]} == 2 ]] || fail "the same files twice gave: $out"
    ;;
empty)
    run
    expect_status 0 "no path"
    [[ -z $out ]] || fail "no path printed: $out"
    [[ $err != *"No work to do"* ]] || fail "a level-2 line shown at level 1"
    run --set logging=2
    run
    expect_status 0 "no path, verbose"
    expect_in "$err" "No work to do" "no path, verbose"
    # Paths that queue nothing are no error either.
    make_folder
    run "$tmp/videos/c.txt" "$tmp/missing.mkv" "\"$tmp/videos/a.mkv\" \"$tmp/videos/sub/b.avi\""
    expect_status 0 "nothing queued"
    [[ -z $out ]] || fail "nothing queued printed: $out"
    expect_in "$err" "no such file or folder: $tmp/missing.mkv" "a missing path"
    # A relative path is queued as the whole path below the current folder.
    cd "$tmp" && run videos/a.mkv && cd - >/dev/null
    expect_in "$out" "$(printf '1\tFailed\t%s' "$tmp/videos/a.mkv")" "a relative path"
    ;;
quoted)
    make_folder
    run "\"$tmp/videos/a.mkv\""
    expect_status 1 "a quoted path"
    [[ $out == 1$'\t'*$'\t'"$tmp/videos/a.mkv"$'\t'* ]] || fail "a quoted path: $out"
    ;;
interrupt)
    make_folder
    "$cli" "$tmp/videos" >"$tmp/out" 2>"$tmp/err" </dev/null &
    pid=$!
    # Wait until the program has started its core, then ask it to stop.
    for _ in $(seq 100); do
        grep -q "started" "$tmp/err" 2>/dev/null && break
        sleep 0.05
    done
    kill -INT "$pid"
    wait "$pid"
    status=$?
    [[ $status == 1 ]] || fail "an interrupted run: exit status $status, expected 1"
    [[ $(wc -l <"$tmp/out") == 2 ]] || fail "an interrupted run still reports every item"
    ;;
detect)
    # Names need not exist; a path is looked at from its folder's name first.
    run --detect "Show.Name.S01E02.avi" "/tv/Doctor Who 2005 - 2x03 - Tooth/x.avi"
    expect_status 0 "--detect, all matched"
    [[ $out == $'show name\t1\t2\t1\tshow name\ndoctor who 2005\t2\t3\t4\tdoctor who 2005' ]] ||
        fail "--detect printed: $out"
    # The last field is the show as searched, after the exceptions of the Exceptions list.
    mkdir -p "$APPDATA/Vantel"
    printf 'Doctor Who 2005\tDoctor Who (2005)\r\n' >"$APPDATA/Vantel/man.dat"
    run --detect "/tv/Doctor Who 2005 - 2x03 - Tooth/x.avi" "show name 1080p.avi"
    expect_status 1 "--detect, one not matched"
    [[ $out == $'doctor who 2005\t2\t3\t4\tdoctor who (2005)\nno match\tshow name 1080p.avi' ]] ||
        fail "--detect with an exception printed: $out"
    # Verbose logging tells what was tried.
    run --set logging=2
    run --detect "show name 1080p.avi"
    expect_in "$err" "Looking up filename filter for: show name 1080p.avi (p=0)" "--detect, verbose"
    expect_in "$err" "Loaded 1 efilters" "--detect, verbose"
    # An exceptions file that does not load is reported, and what loaded still applies.
    printf 'Lost\tLost (2004)\r\nno tab\r\n' >"$APPDATA/Vantel/man.dat"
    run --detect "lost.s01e05.avi"
    expect_status 0 "--detect with a broken man.dat"
    [[ $out == $'lost\t1\t5\t1\tlost (2004)' ]] || fail "--detect with a broken man.dat: $out"
    expect_in "$err" "Error loading efilters: line 2 holds no TAB" "--detect with a broken man.dat"
    expect_in "$err" "Failed to load efilters" "--detect with a broken man.dat"
    [[ $(cat "$APPDATA/Vantel/man.dat") == $'Lost\tLost (2004)\r\nno tab\r' ]] ||
        fail "--detect changed man.dat"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

exit $((failures > 0))
