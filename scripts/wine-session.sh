# Sourced by the test and demo scripts: a private X display and a fresh Wine
# prefix for one run, removed again when the run ends.
#   wine_session_start   exports DISPLAY and WINEPREFIX, prepares the prefix
#   wine_session_stop    stops Wine and Xvfb and deletes the prefix

wine_session_start() {
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts in a fresh prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="

    local display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_SESSION_XVFB=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

    WINE_SESSION_PREFIX=$(mktemp -d /tmp/dress-wine.XXXXXX)
    export WINEPREFIX=$WINE_SESSION_PREFIX
    wineboot -i >/dev/null 2>&1
    # Windows has these handler lists; a bare Wine prefix does not, and the
    # extensions' registration opens them without creating them.
    local key
    for key in 'HKCR\Folder\shellex\PropertySheetHandlers' 'HKCR\*\shellex\PropertySheetHandlers' \
               'HKCR\Drive\shellex\PropertySheetHandlers'; do
        wine reg add "$key" /f >/dev/null 2>&1
    done
    # There is no window manager on the private display: without one, Wine
    # would wait two seconds for every top-level window it hides.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    # Keep the server, Wine's services and its desktop process up between
    # test programs: each then starts in a fraction of a second, and no
    # helper process started by a test keeps holding the test's output.
    wineserver -p
    sleep 2147483647 | wine cmd.exe >/dev/null 2>&1 &
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
