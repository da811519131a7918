#!/usr/bin/env bash
# The installed program: cmake --install into a staging root (DESTDIR) under /usr, as a package
# installs it, then the installed files and programs are checked from there.
#
# Usage: install_test.sh CMAKE BUILD-FOLDER CASE
#   layout   what is installed where (nothing of the tests), the RUNPATHs, the desktop entry,
#            the AppStream metadata, the manual pages against the programs' own --help
#   run      the installed vantel-cli on a sample folder against the TVmaze stand-in, in an
#            environment of its own: the control is registered from where it is installed,
#            also over a registration that names the build folder's module
#   deb      the Debian package (cpack -G DEB): its files, its dependencies, lintian
set -uo pipefail

cmake=$1
build=$2
case_name=$3
tmp=$(mktemp -d)
standin_pid=
cleanup() {
    if [[ -n $standin_pid ]]; then kill "$standin_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

gui=$(sed -n 's/^VANTEL_GUI:BOOL=//p' "$build/CMakeCache.txt")
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
root=$tmp/root
usr=$root/usr
private=$usr/${libdir:-lib}/vantel

install_into_root() {
    if ! DESTDIR=$root "$cmake" --install "$build" --prefix /usr --component vantel \
        >"$tmp/install.log" 2>&1; then
        cat "$tmp/install.log" >&2
        echo "FAIL: cmake --install failed" >&2
        exit 1
    fi
}

# long_options: the long options (--name) of standard input, one per line, sorted.
long_options() {
    grep -oP -- '--[a-z][a-z-]*[a-z](?![-.a-z])' | sort -u
}

# The manual page as text, its hyphens plain.
man_text() {
    MANWIDTH=200 man -l "$1" 2>/dev/null | col -b | sed 's/‐/-/g'
}

case $case_name in
layout)
    install_into_root
    programs=(vantel-cli kvhost regsvr)
    [[ $gui == ON ]] && programs+=(vantel)
    for program in "${programs[@]}"; do
        [[ -x $usr/bin/$program ]] || fail "no $program in usr/bin"
        runpath=$(readelf -d "$usr/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
        [[ $runpath == "\$ORIGIN/../${libdir:-lib}/vantel" ]] ||
            fail "$program's RUNPATH is '$runpath'"
        # Every library of the project comes from the private folder, none from the build.
        if ldd "$usr/bin/$program" | grep -q "$build"; then
            fail "$program still loads from the build folder: $(ldd "$usr/bin/$program")"
        fi
    done
    # Nothing else in bin: no test, benchmark, fuzzer or test tool.
    extra=$(cd "$usr/bin" && ls | grep -vxE 'vantel|vantel-cli|kvhost|regsvr')
    [[ -z $extra ]] || fail "more programs installed: $extra"
    for lib in libkvlink6.so libws2_32.so libkvtrace6.so libplatform_com.so libplatform_user.so \
        libplatform_registry.so libplatform_shell.so; do
        [[ -f $private/$lib ]] || fail "no $lib in the private library folder"
    done
    # No library of ours on the system's library path, where libws2_32.so could shadow another.
    shared=$(find "$usr" -name '*.so*' ! -path "$private/*")
    [[ -z $shared ]] || fail "libraries outside the private folder: $shared"
    [[ -z $(find "$root" -name '*_test*' -o -name '*bench*' -o -name '*fuzz*' \
        -o -name 'tvmaze-standin' -o -name 'libcom_test_server.so') ]] ||
        fail "test files installed: $(find "$root" -name '*test*')"
    # The control module itself registers from there.
    VANTEL_REGISTRY_DIR=$tmp/registry "$usr/bin/regsvr" -s "$private/libkvlink6.so" ||
        fail "the installed regsvr cannot register the installed control"

    for page in vantel-cli kvhost regsvr; do
        [[ -f $usr/share/man/man1/$page.1.gz ]] || fail "no manual page $page(1)"
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l "$usr/share/man/man1/$page.1.gz" \
            2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "$page(1) has formatting warnings: $warnings"
    done
    # The manual pages name every option the programs' own help names, and no other.
    help_options=$("$usr/bin/vantel-cli" --help | long_options)
    page_options=$(man_text "$usr/share/man/man1/vantel-cli.1.gz" | long_options)
    [[ $help_options == "$page_options" ]] ||
        fail "vantel-cli --help and vantel-cli(1) differ: $(diff <(echo "$help_options") \
            <(echo "$page_options") | tr '\n' ' ')"
    help_options=$("$usr/bin/kvhost" --help | long_options)
    page_options=$(man_text "$usr/share/man/man1/kvhost.1.gz" | long_options)
    [[ $help_options == "$page_options" ]] ||
        fail "kvhost --help and kvhost(1) differ: $(diff <(echo "$help_options") \
            <(echo "$page_options") | tr '\n' ' ')"
    usage=$("$usr/bin/regsvr" 2>&1)
    for option in -u -s; do
        [[ $usage == *"[$option]"* ]] || fail "regsvr's usage lacks $option"
        man_text "$usr/share/man/man1/regsvr.1.gz" | grep -qE -- "^ *$option( |\$)" ||
            fail "regsvr(1) lacks $option"
    done
    # vantel-cli --version says "vantel-cli 4.0 (build 151)"; the page is of "Vantel 4.0".
    version=$("$usr/bin/vantel-cli" --version)
    [[ $version == "vantel-cli ${project_version%.*} (build ${project_version##*.})" ]] ||
        fail "vantel-cli --version says '$version', the project is $project_version"
    man_text "$usr/share/man/man1/vantel-cli.1.gz" | grep -q "Vantel ${project_version%.*}" ||
        fail "vantel-cli(1) is not of version ${project_version%.*}"
    [[ -f $usr/share/doc/vantel/copyright && -f $usr/share/doc/vantel/changelog.gz ]] ||
        fail "no copyright or changelog in share/doc/vantel"
    [[ -f $usr/share/bash-completion/completions/vantel-cli ]] || fail "no bash completion"
    bash -n "$usr/share/bash-completion/completions/vantel-cli" || fail "bash completion"

    if [[ $gui == ON ]]; then
        [[ -f $usr/share/man/man1/vantel.1.gz ]] || fail "no manual page vantel(1)"
        [[ -f $usr/share/vantel/vantel-help.html ]] || fail "no help page in share/vantel"
        # Every picture the help page shows is installed beside it.
        for picture in $(grep -o 'src="[^"]*"' "$usr/share/vantel/vantel-help.html" | sed 's/src="\(.*\)"/\1/'); do
            [[ -f $usr/share/vantel/$picture ]] || fail "the help page shows $picture, which is not installed"
        done
        for size in 16 22 24 32 48 64 128 256; do
            [[ -f $usr/share/icons/hicolor/${size}x$size/apps/vantel.png ]] ||
                fail "no ${size}x$size icon"
        done
        [[ -f $usr/share/icons/hicolor/scalable/apps/vantel.svg ]] || fail "no scalable icon"
        entry=$usr/share/applications/io.github.vantel.Vantel.desktop
        metainfo=$usr/share/metainfo/io.github.vantel.Vantel.metainfo.xml
        desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
        grep -qx 'Exec=vantel %f' "$entry" || fail "the desktop entry does not start vantel"
        appstreamcli validate --no-net --pedantic "$metainfo" >"$tmp/appstream" 2>&1 ||
            fail "appstreamcli validate: $(cat "$tmp/appstream")"
        grep -q "<release version=\"$project_version\"" "$metainfo" ||
            fail "the metadata's release is not the project's version $project_version"
    fi
    ;;
run)
    install_into_root
    cli=$usr/bin/vantel-cli
    [[ -x $cli ]] || {
        echo "FAIL: no installed vantel-cli" >&2
        exit 1
    }
    export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
    export XDG_CACHE_HOME=$tmp/cache XDG_STATE_HOME=$tmp/state APPDATA=$tmp/appdata
    unset VANTEL_REGISTRY_DIR VANTEL_API_BASE
    mkdir -p "$HOME"
    "$build/bin/tvmaze-standin" >"$tmp/standin.out" 2>"$tmp/standin.err" &
    standin_pid=$!
    for _ in $(seq 100); do
        grep -q READY "$tmp/standin.out" 2>/dev/null && break
        sleep 0.1
    done
    port=$(sed -n 's/^READY http=\([0-9]*\).*/\1/p' "$tmp/standin.out")
    [[ -n $port ]] || {
        echo "FAIL: the stand-in did not start: $(cat "$tmp/standin.err")" >&2
        exit 1
    }
    key='HKCU\Software\Classes\CLSID\{E05F5BC3-43FB-48CE-9266-025DCDACB529}\InprocServer32'
    registered() {
        "$build/bin/reg" query "$key" /ve 2>/dev/null | sed -n 's/.*REG_SZ *//p'
    }
    videos=$tmp/videos
    mkdir -p "$videos/Under the Dome/Season 1"
    touch "$videos/Under the Dome/Season 1/under.the.dome.s01e02.720p.hdtv.mkv" \
        "$videos/Game.of.Thrones.S01E01.mp4"

    # A fresh user: the installed program, started by its name through PATH from another
    # folder, registers the control installed with it.
    (cd "$HOME" && PATH=$usr/bin:$PATH vantel-cli --dry-run --api "http://127.0.0.1:$port" \
        "$videos" >"$tmp/out" 2>"$tmp/err")
    status=$?
    [[ $status == 0 ]] || fail "a dry run: exit status $status: $(cat "$tmp/out" "$tmp/err")"
    [[ $(grep -c $'\tPlanned\t' "$tmp/out") == 2 ]] || fail "a dry run printed: $(cat "$tmp/out")"
    grep -q "The socket control is not registered; registering $private/libkvlink6.so" \
        "$tmp/err" || fail "no registration from the installed folder: $(cat "$tmp/err")"
    [[ $(registered) == "$private/libkvlink6.so" ]] ||
        fail "the registration names '$(registered)', not the installed module"
    [[ -f $XDG_CONFIG_HOME/vantel/registry.txt ]] || fail "the registry store is not in XDG_CONFIG_HOME"

    # A registration left by the build folder is renewed, and the files are renamed. The
    # caches are bypassed, so that the lookups need the control again.
    "$cli" --set nocache=1 || fail "--set nocache=1"
    "$build/bin/regsvr" -s "$build/lib/libkvlink6.so" || fail "regsvr of the build's module"
    [[ $(registered) == "$build/lib/libkvlink6.so" ]] || fail "regsvr did not register the build"
    "$cli" --api "http://127.0.0.1:$port" "$videos" >"$tmp/out" 2>"$tmp/err"
    status=$?
    [[ $status == 0 ]] || fail "the run: exit status $status: $(cat "$tmp/out" "$tmp/err")"
    grep -q "The socket control is registered to $build/lib/libkvlink6.so; registering $private/libkvlink6.so" \
        "$tmp/err" || fail "the build's registration was not renewed: $(cat "$tmp/err")"
    [[ $(registered) == "$private/libkvlink6.so" ]] ||
        fail "after the run the registration names '$(registered)'"
    [[ -f "$videos/Under the Dome/Season 1/Under the Dome - 1x02 - The Fire.mkv" &&
        -f "$videos/Game of Thrones - 1x01 - Winter is Coming.mp4" ]] ||
        fail "the files were not renamed: $(cat "$tmp/out"; find "$videos" -type f)"
    # The next run finds the registration as it should be and says nothing about it.
    "$cli" --history >"$tmp/out" 2>"$tmp/err" || fail "--history: $(cat "$tmp/err")"
    "$cli" --undo >"$tmp/out" 2>"$tmp/err" || fail "--undo: $(cat "$tmp/out" "$tmp/err")"
    touch "$videos/Game.of.Thrones.S01E02.mp4"
    "$cli" --api "http://127.0.0.1:$port" "$videos/Game.of.Thrones.S01E02.mp4" >"$tmp/out" \
        2>"$tmp/err" || fail "a second run: $(cat "$tmp/out" "$tmp/err")"
    ! grep -q "registering" "$tmp/err" || fail "a run registered again: $(cat "$tmp/err")"
    # Nothing was written outside the temporary folder's environment: the work folder is there.
    [[ -d $APPDATA/Vantel ]] || fail "no work folder under APPDATA"
    ;;
deb)
    for tool in cpack dpkg-deb dpkg-shlibdeps lintian fakeroot; do
        command -v "$tool" >/dev/null || {
            echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)" >&2
            exit 1
        }
    done
    cpack=$(dirname "$cmake")/cpack
    if ! "$cpack" -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" \
        >"$tmp/cpack.log" 2>&1; then
        cat "$tmp/cpack.log" >&2
        echo "FAIL: cpack failed" >&2
        exit 1
    fi
    deb=$(ls "$tmp"/package/vantel_*.deb 2>/dev/null | head -1)
    [[ -n $deb ]] || {
        echo "FAIL: no package made: $(cat "$tmp/cpack.log")" >&2
        exit 1
    }
    dpkg-deb -c "$deb" >"$tmp/files"
    for file in ./usr/bin/vantel-cli ./usr/bin/kvhost ./usr/bin/regsvr \
        "./usr/${libdir:-lib}/vantel/libkvlink6.so" "./usr/${libdir:-lib}/vantel/libws2_32.so" \
        ./usr/share/doc/vantel/copyright ./usr/share/man/man1/vantel-cli.1.gz; do
        grep -q " $file\$" "$tmp/files" || fail "the package lacks $file"
    done
    ! grep -qE '_test|bench|fuzz|standin' "$tmp/files" || fail "the package holds test files"
    # Owned by root, as installed files are.
    ! awk '{print $2}' "$tmp/files" | grep -qv '^root/root$' || fail "files not owned by root"
    depends=$(dpkg-deb -f "$deb" Depends)
    for needed in libc6 libssl3 libstdc++6; do
        [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
    done
    [[ $gui != ON || $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt: $depends"
    # Binaries are stripped; the private libraries are not a dependency of their own.
    [[ $depends != *platform* && $depends != *kvlink* ]] || fail "Depends names ours: $depends"
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1 ||
        fail "lintian: $(cat "$tmp/lintian")"
    cat "$tmp/lintian"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

exit $((failures > 0))
