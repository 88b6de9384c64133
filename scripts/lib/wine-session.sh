# Starts and stops a Wine session for the tests, the benchmarks and
# scripts/run: an X display (Xvfb unless one is given), a prefix, a
# persistent wineserver, and one Wine virtual desktop, which is where tray
# icons work and where synthesized key presses reach RegisterHotKey.
#
# Sourced by bash scripts. Wine's helper processes inherit stdout and stderr,
# so everything they print goes to log files: a pipe would hang.

WINE_SESSION_PIDS=""

wine_session_log() { echo "wine-session: $*" >&2; }

# True when the name of an X window holds TEXT. The whole listing is read
# first: xwininfo fails when a window goes away while it walks the tree, and
# under "set -o pipefail" a grep -q that stops reading early fails the pipe
# whenever it cuts xwininfo off mid-write.
x_window_named() {
    local tree
    tree=$(xwininfo -root -tree 2>/dev/null) || true
    [[ "$tree" == *"$1"* ]]
}

# A new prefix whose programs all open in the virtual desktop "Default".
# The settings must be in place before any program opens a window, so the
# prefix is made without a display.
make_wine_prefix() {
    local logs="$1"
    env -u DISPLAY wine wineboot -i >"$logs/wineboot.log" 2>&1 </dev/null
    cat >"$logs/session.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="$WINE_SESSION_DESKTOP"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
REG
    # PENDRIX_WINE_DPI: the display's scale (96 is 100 %, 144 is 150 %),
    # read by Wine when the desktop starts.
    if [ -n "${PENDRIX_WINE_DPI:-}" ]; then
        local dpi
        dpi=$(printf '%08x' "$PENDRIX_WINE_DPI")
        cat >>"$logs/session.reg" <<REG

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:$dpi

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]
"LogPixels"=dword:$dpi
REG
    fi
    env -u DISPLAY wine regedit /S "$(winepath -w "$logs/session.reg" 2>/dev/null)" \
        >"$logs/regedit.log" 2>&1 </dev/null
    # wineboot left a headless desktop process behind; a fresh server lets
    # the desktop come up on the display.
    wineserver -k >/dev/null 2>&1 </dev/null || true
    wineserver -p30 >>"$logs/wineserver.log" 2>&1 </dev/null
}

# start_wine_session PREFIX [use-current-display] [keep-prefix]
#   PENDRIX_WINE_DESKTOP: the desktop's size (default 1024x768)
#   use-current-display: run on $DISPLAY when it is set, else on a new Xvfb
#   keep-prefix: reuse PREFIX when it exists, so the user's hotkeys survive
# About one start in a hundred, Wine's desktop never comes up (explorer ends
# at once), and starting explorer again on the same display and prefix does
# not always help: the whole session is then made again, up to three times.
start_wine_session() {
    local try
    for try in 1 2 3; do
        start_wine_session_once "$@" && return 0
        wine_session_log "starting the session again (try $try of 3 failed)"
        [ -n "$WINE_SESSION_XVFB" ] && unset DISPLAY
        stop_wine_desktop
    done
    return 1
}

start_wine_session_once() {
    local prefix="$1" use_display="${2:-}" keep="${3:-}"
    WINE_SESSION_DESKTOP="${PENDRIX_WINE_DESKTOP:-1024x768}"
    local screen=1280x1024
    [ -n "${PENDRIX_WINE_DESKTOP:-}" ] && screen="$PENDRIX_WINE_DESKTOP"
    export WINEPREFIX="$prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local logs="$prefix.logs"
    local fresh=1
    if [ -n "$keep" ] && [ -f "$prefix/system.reg" ]; then
        fresh=""
        rm -rf "$logs"
    else
        rm -rf "$prefix" "$logs"
    fi
    mkdir -p "$prefix" "$logs"
    WINE_SESSION_LOGS="$logs"
    WINE_SESSION_XVFB=""

    if [ -z "$use_display" ] || [ -z "${DISPLAY:-}" ]; then
        local fdfile="$logs/display"
        : >"$fdfile"
        Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$fdfile" >"$logs/xvfb.log" 2>&1 &
        WINE_SESSION_PIDS="$WINE_SESSION_PIDS $!"
        local i
        for i in $(seq 1 100); do
            [ -s "$fdfile" ] && break
            sleep 0.1
        done
        [ -s "$fdfile" ] || { wine_session_log "Xvfb did not start"; return 1; }
        export DISPLAY=":$(head -n1 "$fdfile")"
        WINE_SESSION_XVFB=1
    fi

    wineserver -p30 >"$logs/wineserver.log" 2>&1 </dev/null
    [ -n "$fresh" ] && make_wine_prefix "$logs"

    # Wine's own errors from explorer, so that a desktop that does not come
    # up says why.
    WINEDEBUG=-all,err+all wine explorer /desktop=Default,"$WINE_SESSION_DESKTOP" \
        >"$logs/explorer.log" 2>&1 </dev/null &
    WINE_SESSION_PIDS="$WINE_SESSION_PIDS $!"
    local up=""
    for i in $(seq 1 300); do
        if x_window_named 'Wine desktop'; then
            up=1
            break
        fi
        sleep 0.1
    done
    if [ -z "$up" ]; then
        wine_session_log "the Wine virtual desktop did not appear; explorer said:"
        tail -n 20 "$logs/explorer.log" >&2 || true
        return 1
    fi

    # The desktop closes soon after the last Wine program ends; an idle
    # cmd.exe reading from a FIFO keeps it up between tests.
    mkfifo "$logs/keepalive"
    sleep infinity >"$logs/keepalive" &
    WINE_SESSION_KEEPALIVE=$!
    wine cmd.exe <"$logs/keepalive" >"$logs/keepalive.log" 2>&1 &
    WINE_SESSION_PIDS="$WINE_SESSION_PIDS $!"
}

# A PulseAudio server with a null sink, so that Wine offers a real mixer
# (the speakers line with volume and mute). Wine programs started after this
# find it through PULSE_SERVER.
start_audio_server() {
    local runtime="$1"
    rm -rf "$runtime"
    mkdir -p "$runtime/pulse"
    chmod 700 "$runtime"
    if ! XDG_RUNTIME_DIR="$runtime" pulseaudio -n --daemonize=yes --exit-idle-time=-1 \
        --load="module-null-sink sink_name=nullsink" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$runtime/pulse/native" \
        >"$runtime.log" 2>&1 </dev/null; then
        wine_session_log "PulseAudio did not start (see $runtime.log)"
        return 1
    fi
    local i
    for i in $(seq 1 50); do
        [ -S "$runtime/pulse/native" ] && break
        sleep 0.1
    done
    export PULSE_SERVER="unix:$runtime/pulse/native"
    WINE_SESSION_AUDIO="$runtime"
}

# Ends Wine and the X server it started, leaving the audio server.
stop_wine_desktop() {
    # Under "set -e" a failed kill of what has ended already must not end the caller.
    if [ -n "${WINE_SESSION_KEEPALIVE:-}" ]; then
        kill "$WINE_SESSION_KEEPALIVE" 2>/dev/null || true
    fi
    WINE_SESSION_KEEPALIVE=""
    wineserver -k >/dev/null 2>&1 </dev/null || true
    local pid
    for pid in $WINE_SESSION_PIDS; do
        kill "$pid" 2>/dev/null || true
    done
    WINE_SESSION_PIDS=""
    wait 2>/dev/null || true
}

stop_wine_session() {
    stop_wine_desktop
    if [ -n "${WINE_SESSION_AUDIO:-}" ]; then
        XDG_RUNTIME_DIR="$WINE_SESSION_AUDIO" pulseaudio --kill >/dev/null 2>&1 </dev/null || true
    fi
}
