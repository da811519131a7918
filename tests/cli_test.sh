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
    # Nothing stored: the default in effect, and a word that it is the default.
    run --get logging --get types --get autoclose
    expect_status 0 "--get of values never stored"
    [[ $out == $'1\navi;mkv;mpg;mp4\n0' ]] || fail "--get of the defaults printed: $out"
    expect_in "$err" "logging is not set; this is the default" "--get of a value never stored"
    expect_in "$err" "types is not set; this is the default" "--get of a value never stored"
    run --set logging=2 --set "types=.AVI;Mkv;" --set autoclose=1
    expect_status 0 "--set"
    run --get logging --get types --get autoclose
    expect_status 0 "--get after --set"
    [[ $out == $'2\navi;mkv\n1' ]] || fail "--get after --set printed: $out"
    [[ -z $err ]] || fail "--get of stored values said: $err"
    [[ -f $VANTEL_REGISTRY_DIR/registry.txt ]] || fail "the store is not in VANTEL_REGISTRY_DIR"

    # Refused commands change nothing, also the valid ones given with them.
    for bad in "colour=1" "logging=3" "confirm=yes" "types=ab" "Types=avi"; do
        run --set confirm=1 --set "$bad"
        expect_status 2 "--set $bad"
        [[ -n $err ]] || fail "--set $bad: no reason given"
    done
    run --get confirm
    [[ $out == 0 ]] || fail "--get confirm after refused sets printed: $out"
    expect_in "$err" "confirm is not set" "--get confirm after refused sets"
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
    # Each path that queues nothing is named with its reason, and the status is 1.
    make_folder
    mkdir -p "$tmp/only-text"
    touch "$tmp/only-text/notes.txt" "$tmp/only-text/sample.avi" "$tmp/videos/Sample/e.avi"
    long=$tmp/$(printf 'x%.0s' {1..300}).mkv
    run "$tmp/videos/c.txt" "$tmp/missing.mkv" "\"$tmp/videos/a.mkv\" \"$tmp/videos/sub/b.avi\"" \
        "$tmp/only-text" "$tmp/videos/Sample/e.avi" "$long" "ab"
    expect_status 1 "nothing queued"
    [[ -z $out ]] || fail "nothing queued printed: $out"
    expect_in "$err" "nothing queued from $tmp/videos/c.txt: its type (txt) is not one of the accepted types avi;mkv;mpg;mp4" "another type"
    expect_in "$err" "nothing queued from $tmp/missing.mkv: no such file or folder" "a missing path"
    expect_in "$err" "nothing queued from \"$tmp/videos/a.mkv\" \"$tmp/videos/sub/b.avi\": no such file or folder" "two paths in one"
    expect_in "$err" "nothing queued from $tmp/only-text: the folder holds no file to queue: 1 file of a type not in avi;mkv;mpg;mp4, 1 file with \"sample\" in the path" "a folder"
    expect_in "$err" "nothing queued from $tmp/videos/Sample/e.avi: \"sample\" is in its path" "a sample"
    expect_in "$err" "nothing queued from $long: the path is longer than the system allows" "a long name"
    expect_in "$err" "nothing queued from ab: " "a short path"
    # The same file twice: the second queues nothing; the run itself fails its one item.
    run "$tmp/videos/a.mkv" "$tmp/videos/a.mkv"
    expect_status 1 "the same file twice"
    expect_in "$err" "nothing queued from $tmp/videos/a.mkv: it is queued already" "the same file twice"
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
lists)
    dat=$APPDATA/Vantel
    run --filters
    expect_status 0 "--filters"
    [[ $out == $'1\tShow Name Equals Anything\tRename\t[show] - [s]x[ee] - [title]\t' ]] ||
        fail "--filters with no filters.dat printed: $out"
    # Stored as the filter wizard stores its fields.
    run --add-filter --type .MKV --not --move "/tv/[show]"
    expect_status 0 "--add-filter"
    expect_in "$out" $'2\tFile Type Doesn\'t Equal mkv\tMove & Rename\t[show] - [s]x[ee] - [title]\t/tv/[show]/' \
        "--add-filter prints the list"
    run --add-filter --show "Lost*" --mask "[show] [s]x[ee]"
    expect_status 0 "--add-filter --show"
    [[ $(cat "$dat/filters.dat") == "$(printf '%s\r\n' \
        $'1\tTrue\t\t*\t\t[show] - [s]x[ee] - [title]\tShow Name Equals Anything\t0\t1' \
        $'2\tTrue\tmkv\t\t/tv/[show]/\t[show] - [s]x[ee] - [title]\tFile Type Doesn\'t Equal mkv\t2\t0' \
        $'1\tTrue\t\tlost*\t\t[show] [s]x[ee]\tShow Name Equals lost*\t0\t1')" ]] ||
        fail "filters.dat after two --add-filter: $(cat -A "$dat/filters.dat")"
    run --add-filter --copy "D:"
    expect_status 1 "--add-filter with a short path"
    expect_in "$err" "Path not valid: You must enter a complete path" "--add-filter with a short path"
    run --move-filter 3 1
    expect_status 0 "--move-filter 3 1"
    [[ $(cut -f1 <<<"$out") == $'1\n2\n3' && $(cut -f2 <<<"$out") == \
        $'Show Name Equals lost*\nShow Name Equals Anything\nFile Type Doesn\'t Equal mkv' ]] ||
        fail "--move-filter 3 1 printed: $out"
    run --move-filter 3 down
    expect_status 1 "--move-filter past the end"
    run --remove-filter 4
    expect_status 1 "--remove-filter outside the list"
    expect_in "$err" "there is no filter 4 (the list holds 3)" "--remove-filter outside the list"
    run --remove-filter 1
    run --remove-filter 1
    run --remove-filter 1
    expect_status 1 "removing the last filter"
    expect_in "$err" "Unable to remove filter: You must have at least one filter" "the last filter"
    [[ $(wc -l <"$dat/filters.dat") == 1 ]] || fail "the last filter was removed"

    run --add-exception "Doctor Who 2005" "Doctor Who (2005)"
    run --add-exception "The Office" "The Office (US)"
    expect_status 0 "--add-exception"
    run --add-exception "" "x"
    expect_status 1 "--add-exception with an empty name"
    expect_in "$err" "Detected Name Required: Please enter a detected show name" "an empty name"
    run --add-exception $'a\tb' "x"
    expect_status 1 "--add-exception with a TAB"
    run --move-exception 2 up
    [[ $out == $'1\tThe Office\tThe Office (US)\n2\tDoctor Who 2005\tDoctor Who (2005)' ]] ||
        fail "--move-exception 2 up printed: $out"
    [[ $(cat "$dat/man.dat") == $'The Office\tThe Office (US)\r\nDoctor Who 2005\tDoctor Who (2005)\r' ]] ||
        fail "man.dat: $(cat -A "$dat/man.dat")"
    run --remove-exception 1
    run --remove-exception 1
    expect_status 0 "--remove-exception"
    [[ ! -e $dat/man.dat ]] || fail "removing the only exception keeps man.dat"
    run --exceptions
    expect_status 0 "--exceptions of an empty list"
    [[ -z $out ]] || fail "--exceptions of an empty list printed: $out"

    # A list that did not load whole is not changed.
    printf 'Lost\tLost (2004)\r\nno tab\r\n' >"$dat/man.dat"
    run --remove-exception 1
    expect_status 1 "--remove-exception on a broken man.dat"
    expect_in "$err" "man.dat did not load" "a broken man.dat"
    [[ $(cat "$dat/man.dat") == $'Lost\tLost (2004)\r\nno tab\r' ]] || fail "a broken man.dat was changed"

    for bad in "--show x" "--remove-filter 0" "--move-filter 1 sideways" "--add-exception x" \
        "--filters --exceptions" "--filters $tmp" "--history --undo" "--undo --yes" \
        "--add-exception a b --not"; do
        # shellcheck disable=SC2086
        run $bad
        expect_status 2 "$bad"
    done
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

exit $((failures > 0))
