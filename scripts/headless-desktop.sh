# Sourced by scripts/test and scripts/demo: a private headless desktop for the
# program and its tests. desktop_start brings up, in this order, private XDG
# folders, an X server, a D-Bus session, an unlocked keyring, a window manager
# and an audio server with a virtual microphone; desktop_stop ends each process
# it started, by PID, in reverse order. Nothing touches the user's own session,
# settings or keyring.

DESKTOP_PIDS=()
DESKTOP_DIR=""

desktop_log() { echo "desktop: $*" >&2; }

# Waits up to $1 tenths of a second for the command that follows to succeed.
desktop_wait_for() {
    local tries=$1; shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

desktop_start() {
    DESKTOP_DIR=$(mktemp -d /tmp/quillwren-desktop.XXXXXX)
    chmod 700 "$DESKTOP_DIR"
    local d
    for d in runtime data config cache; do mkdir -m 700 "$DESKTOP_DIR/$d"; done
    export XDG_RUNTIME_DIR="$DESKTOP_DIR/runtime"
    export XDG_DATA_HOME="$DESKTOP_DIR/data"
    export XDG_CONFIG_HOME="$DESKTOP_DIR/config"
    export XDG_CACHE_HOME="$DESKTOP_DIR/cache"

    # X server; it writes its display number to fd 3 once it accepts clients.
    Xvfb -displayfd 3 -screen 0 2560x1440x24 -nolisten tcp \
        3>"$DESKTOP_DIR/display" >"$DESKTOP_DIR/xvfb.log" 2>&1 &
    DESKTOP_PIDS+=($!)
    desktop_wait_for 100 test -s "$DESKTOP_DIR/display" || { desktop_log "Xvfb did not start"; return 1; }
    export DISPLAY=":$(head -n1 "$DESKTOP_DIR/display")"
    desktop_wait_for 50 xdpyinfo || { desktop_log "X display $DISPLAY does not answer"; return 1; }

    # D-Bus before any Qt program runs, or each would start a bus of its own.
    # (dbus-daemon itself: dbus-launch would leave records under ~/.dbus.)
    dbus-daemon --session --fork --print-address=3 --print-pid=4 \
        3>"$DESKTOP_DIR/dbus.address" 4>"$DESKTOP_DIR/dbus.pid" || { desktop_log "dbus-daemon did not start"; return 1; }
    DESKTOP_PIDS+=("$(head -n1 "$DESKTOP_DIR/dbus.pid")")
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$DESKTOP_DIR/dbus.address")
    export DBUS_SESSION_BUS_ADDRESS

    # An unlocked keyring: otherwise a write opens an unlock prompt and hangs.
    printf 'quillwren-test' | gnome-keyring-daemon --unlock --components=secrets \
        >"$DESKTOP_DIR/keyring.env" 2>"$DESKTOP_DIR/keyring.log"
    local keyring_pid=""
    desktop_wait_for 50 desktop_keyring_pid || { desktop_log "the keyring did not start"; return 1; }
    keyring_pid=$(desktop_keyring_pid)
    DESKTOP_PIDS+=("$keyring_pid")

    # The accessibility bus, through which the tests reach the widgets as a
    # screen reader does; a Qt program joins it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1.
    /usr/libexec/at-spi-bus-launcher --launch-immediately >"$DESKTOP_DIR/at-spi.log" 2>&1 &
    DESKTOP_PIDS+=($!)

    # A window manager gives an active window and a system tray.
    # Kept running: once, in a clean-clone run, jwm went away in the middle of
    # the suite and every test that needs a window manager failed after it.
    # A restart is logged and reported when the desktop stops.
    (
        trap 'kill "$wm" 2>/dev/null; exit 0' TERM
        while :; do
            jwm >>"$DESKTOP_DIR/jwm.log" 2>&1 &
            wm=$!
            wait "$wm"
            echo "jwm exited with status $?; restarting" >>"$DESKTOP_DIR/jwm.log"
            sleep 0.2
        done
    ) &
    DESKTOP_PIDS+=($!)

    # An audio server with a virtual microphone "vmic" that tests speak into
    # through the sink vmic_sink, and a null speaker.
    pulseaudio --daemonize=yes --exit-idle-time=-1 --log-target="file:$DESKTOP_DIR/pulse.log" \
        >/dev/null 2>&1 || { desktop_log "pulseaudio did not start"; return 1; }
    desktop_wait_for 50 pactl info || { desktop_log "pulseaudio does not answer"; return 1; }
    DESKTOP_PIDS+=("$(cat "$XDG_RUNTIME_DIR/pulse/pid")")
    pactl unload-module module-suspend-on-idle >/dev/null 2>&1 || true
    pactl load-module module-null-sink sink_name=vmic_sink rate=16000 channels=1 >/dev/null
    pactl load-module module-remap-source master=vmic_sink.monitor source_name=vmic \
        source_properties=device.description=VirtualMic >/dev/null
    pactl load-module module-null-sink sink_name=speaker >/dev/null
    pactl set-default-source vmic
    pactl set-default-sink speaker
    # A silent stream keeps the microphone's path awake, so that audio played
    # into it arrives at once rather than up to two seconds late. It asks for
    # 20 ms of latency: with pacat's default of two seconds the null sink
    # renders in two-second blocks, and a new recording of the microphone got
    # its audio late and in bursts, most of a one-second word missing.
    pacat --playback --latency-msec=20 --device=vmic_sink --format=s16le --rate=16000 --channels=1 /dev/zero \
        >/dev/null 2>&1 &
    DESKTOP_PIDS+=($!)
    sleep 2
    desktop_log "up: DISPLAY=$DISPLAY, D-Bus, keyring, accessibility bus, jwm, pulseaudio with source vmic"
}

desktop_keyring_pid() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
        awk '/uint32/ { print $2; found = 1 } END { exit !found }'
}

desktop_stop() {
    # A second Ctrl+C must not cut the clean-up short.
    trap '' INT TERM
    local i pid
    for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${DESKTOP_PIDS[$i]}
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${DESKTOP_PIDS[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    DESKTOP_PIDS=()
    if [ -n "$DESKTOP_DIR" ] && grep -q "restarting" "$DESKTOP_DIR/jwm.log" 2>/dev/null; then
        desktop_log "the window manager had to be restarted: $(grep -c restarting "$DESKTOP_DIR/jwm.log") time(s)"
    fi
    desktop_stop_stragglers
    if [ -n "$DESKTOP_DIR" ]; then
        rm -rf "$DESKTOP_DIR"
        DESKTOP_DIR=""
    fi
}

# Processes the session bus started on demand (the accessibility bus, say) or
# that a test left behind know the desktop by its private runtime folder.
desktop_stop_stragglers() {
    [ -n "$DESKTOP_DIR" ] || return 0
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/}; pid=${pid%/environ}
        [ "$pid" != "$$" ] && [ "$pid" != "$BASHPID" ] || continue
        if tr '\0' '\n' 2>/dev/null <"$environ" | grep -qx "XDG_RUNTIME_DIR=$DESKTOP_DIR/runtime"; then
            desktop_log "stopping leftover process $pid: $(tr '\0' ' ' </proc/"$pid"/cmdline 2>/dev/null)"
            kill -9 "$pid" 2>/dev/null || true
        fi
    done
}
