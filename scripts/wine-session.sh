# Sourced by the test, demo and benchmark scripts: which architectures this
# host can run under Wine, a private X display and a fresh Wine prefix for
# one run, removed again when the run ends.
#   wine_probe           decides once which loader runs which architecture
#   wine_arch_runs ARCH  true when ARCH (x86 or x64) programs run here
#   wine_arch_plan ARCH  says what a run does with ARCH (see below)
#   wine_session_start   exports DISPLAY and WINEPREFIX, prepares the prefix
#   wine_session_stop    stops Wine and Xvfb and deletes the prefix
#   dress_wine ARGS...   runs a Windows program (or wineboot, reg, regsvr32,
#                        winepath, cmd) through the loader the probe chose
#
# Debian's `wine` wrapper always takes the 32-bit loader when that file is
# executable, so on a kernel that cannot execute 32-bit programs every Wine
# command fails through it, 64-bit ones included. The probe tries each
# loader instead and every Wine command of a run goes through the one that
# starts. DRESS_WINE32_LOADER and DRESS_WINE64_LOADER name other loaders
# (the probe's own test points them at ones that cannot execute).

wine_probe() {
    [ -n "${DRESS_WINE:-}" ] && [ -n "${DRESS_RUNS_X64:-}" ] && return 0
    local loader32=${DRESS_WINE32_LOADER:-/usr/lib/wine/wine}
    local loader64=${DRESS_WINE64_LOADER:-/usr/lib/wine/wine64}
    DRESS_RUNS_X86=0
    DRESS_RUNS_X64=0
    "$loader32" --version >/dev/null 2>&1 && DRESS_RUNS_X86=1
    "$loader64" --version >/dev/null 2>&1 && DRESS_RUNS_X64=1
    if [ $DRESS_RUNS_X86 = 1 ]; then
        # The 32-bit loader starts 64-bit programs through its 64-bit sibling.
        DRESS_WINE=$loader32
    elif [ $DRESS_RUNS_X64 = 1 ]; then
        DRESS_WINE=$loader64
        # Programs that Wine itself starts (services, the desktop, child
        # processes) must use the same loader.
        export WINELOADER=$loader64
    else
        DRESS_WINE=
    fi
    export DRESS_WINE DRESS_RUNS_X86 DRESS_RUNS_X64
}

wine_arch_runs() {
    wine_probe
    case $1 in
        x86) [ "$DRESS_RUNS_X86" = 1 ] ;;
        x64) [ "$DRESS_RUNS_X64" = 1 ] ;;
        *) return 1 ;;
    esac
}

# What a run does with ARCH's programs: status 0 and no output when they run
# here; status 1 and the line that says why they do not; status 2 and the
# same line when DRESS_REQUIRE_X86=1 asked for x86 and it cannot run.
wine_arch_plan() {
    local arch=$1
    wine_arch_runs "$arch" && return 0
    local why
    case $arch in
        x86) why="its tests need a host that runs 32-bit programs (${DRESS_WINE32_LOADER:-/usr/lib/wine/wine} does not start here)" ;;
        *) why="Wine's 64-bit loader (${DRESS_WINE64_LOADER:-/usr/lib/wine/wine64}) does not start here" ;;
    esac
    echo "$arch: built and checked without running; $why"
    if [ "$arch" = x86 ] && [ "${DRESS_REQUIRE_X86:-0}" = 1 ]; then
        echo "$arch: DRESS_REQUIRE_X86=1 asks for the x86 tests, so this run fails"
        return 2
    fi
    return 1
}

dress_wine() {
    wine_probe
    if [ -z "$DRESS_WINE" ]; then
        echo "no Wine loader starts on this host: neither ${DRESS_WINE32_LOADER:-/usr/lib/wine/wine} nor ${DRESS_WINE64_LOADER:-/usr/lib/wine/wine64}" >&2
        return 1
    fi
    "$DRESS_WINE" "$@"
}

wine_session_start() {
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts in a fresh prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    wine_probe
    if [ -z "$DRESS_WINE" ]; then
        echo "wine session: no Wine loader starts on this host, so no Windows program can run" >&2
        return 1
    fi

    local display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_SESSION_XVFB=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    if [ ! -e "/tmp/.X11-unix/X$display" ]; then
        echo "wine session: Xvfb did not start on display :$display" >&2
        return 1
    fi

    WINE_SESSION_PREFIX=$(mktemp -d /tmp/dress-wine.XXXXXX)
    export WINEPREFIX=$WINE_SESSION_PREFIX
    if ! dress_wine wineboot -i >/dev/null 2>&1; then
        echo "wine session: wineboot -i failed with $DRESS_WINE in $WINEPREFIX" >&2
        return 1
    fi
    # Windows has these handler lists; a bare Wine prefix does not, and the
    # extensions' registration opens them without creating them.
    local key
    for key in 'HKCR\Folder\shellex\PropertySheetHandlers' 'HKCR\*\shellex\PropertySheetHandlers' \
               'HKCR\Drive\shellex\PropertySheetHandlers'; do
        dress_wine reg add "$key" /f >/dev/null 2>&1
    done
    # There is no window manager on the private display: without one, Wine
    # would wait two seconds for every top-level window it hides.
    dress_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    # Keep the server, Wine's services and its desktop process up between
    # test programs: each then starts in a fraction of a second, and no
    # helper process started by a test keeps holding the test's output.
    wineserver -p
    sleep 2147483647 | dress_wine cmd.exe >/dev/null 2>&1 &
    WINE_SESSION_KEEPALIVE=$!
    # Wait for this prefix's desktop and RPC service: a test program that
    # started them itself would hand them its output, and its runner would
    # wait for them. Other prefixes on the machine may have their own.
    for _ in $(seq 200); do
        wine_session_running 'explorer.exe /desktop' && wine_session_running 'rpcss.exe' && break
        sleep 0.1
    done
}

# True when a process of this session's prefix has `pattern` in its
# command line.
wine_session_running() {
    local pid
    for pid in $(pgrep -f "$1"); do
        tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

wine_session_stop() {
    if [ -n "${WINE_SESSION_KEEPALIVE:-}" ]; then
        pkill -P "$$" -f 'sleep 2147483647' 2>/dev/null || true
    fi
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ -n "${WINE_SESSION_XVFB:-}" ]; then kill "$WINE_SESSION_XVFB" 2>/dev/null || true; fi
    if [ -n "${WINE_SESSION_PREFIX:-}" ] && [ -d "$WINE_SESSION_PREFIX" ]; then
        rm -rf "$WINE_SESSION_PREFIX"
    fi
}
