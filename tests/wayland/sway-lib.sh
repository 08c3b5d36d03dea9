# Sourced by the sway tests: a headless sway session with XWayland, run as an
# unprivileged user (sway refuses to run as root), with that user's session
# bus and unlocked keyring, the stand-in on 127.0.0.1, and the application
# running in the session. The desktop of scripts/test lends its audio server
# (and so its virtual microphone) through a socket anyone may use.
#
# Before sourcing: set -euo pipefail; the caller's arguments are
# QUILLWREN_BINARY STANDIN_BINARY. Exits 77 (skipped) when not root or when
# sway is not installed. Afterwards: $WORK, $PORT, $XDISPLAY, as_user,
# in_sway, wait_for, fail, speak, take_through_binding, take_through_commands,
# status_says, $TRANSCRIPT, and the application's log in $WORK/app.log.
QUILLWREN=$1
STANDIN=$2
TEST_USER=quillwren-sway

for tool in sway wtype wev foot wl-paste swaymsg runuser pactl paplay; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ "$(id -u)" -eq 0 ] || { echo "skipped: creating the unprivileged user needs root"; exit 77; }
id -u "$TEST_USER" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$TEST_USER"

in_desktop() { in_sway "$@"; }
source "$(dirname "${BASH_SOURCE[0]}")/session-lib.sh"
mkdir -m 700 "$WORK/runtime" "$WORK/home"
chown "$TEST_USER" "$WORK/runtime" "$WORK/home"
# The build tree may sit where the user cannot reach (/root): a copy can run.
install -m 755 "$QUILLWREN" "$WORK/quillwren"
PULSE_MODULE=""
LOGS=(sway.log app.log home/client.log)
stop_session() {
    pkill -u "$TEST_USER" 2>/dev/null || true
    [ -z "$PULSE_MODULE" ] || pactl unload-module "$PULSE_MODULE" 2>/dev/null || true
}

# The user's own audio: the desktop's server, through a socket anyone may use.
PULSE_MODULE=$(pactl load-module module-native-protocol-unix auth-anonymous=1 socket="$WORK/pulse.sock")

# The user's session bus and keyring, as a login would start them.
as_user() {
    runuser -u "$TEST_USER" -- env -i HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" PATH=/usr/bin:/bin \
        XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share" \
        PULSE_SERVER="unix:$WORK/pulse.sock" QUILLWREN_WS_URL="ws://127.0.0.1:$PORT/api-ws/v1/inference/" \
        ${BUS:+DBUS_SESSION_BUS_ADDRESS=$BUS} "$@"
}
BUS=""
BUS=$(as_user dbus-daemon --session --fork --print-address=1 | head -n1)
[ -n "$BUS" ] || fail "no session bus for $TEST_USER"
printf 'quillwren-test' | as_user gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
echo "$KEY" | as_user "$WORK/quillwren" key set >/dev/null 2>&1 || fail "the key could not be stored"
as_user "$WORK/quillwren" config set compatibleBaseURL "http://127.0.0.1:$PORT/compatible-mode/v1" >/dev/null

# sway, headless, with XWayland, binding Alt (left) as a user would.
cat >"$WORK/config" <<CONF
xwayland enable
output HEADLESS-1 mode ${SWAY_OUTPUT_MODE:-1280x720}
bindsym --no-repeat Alt_L exec $WORK/quillwren hold voice
bindsym --release Alt_L exec $WORK/quillwren release voice
CONF
as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -d -c "$WORK/config" \
    >"$WORK/sway.log" 2>&1 &
wait_for 100 test -S "$WORK/runtime/wayland-1" || fail "sway did not start"
SWAYSOCK=$(ls "$WORK"/runtime/sway-ipc.*.sock)
# What sway gives the programs it starts: its display and XWayland's.
as_user swaymsg -s "$SWAYSOCK" exec "env > $WORK/home/sway.env" >/dev/null
wait_for 50 grep -q '^DISPLAY=' "$WORK/home/sway.env" || fail "sway started no XWayland"
XDISPLAY=$(sed -n 's/^DISPLAY=//p' "$WORK/home/sway.env")
in_sway() {
    as_user WAYLAND_DISPLAY=wayland-1 DISPLAY="$XDISPLAY" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway \
        SWAYSOCK="$SWAYSOCK" "$@"
}

# A dictation through sway's binding of Alt: wtype's virtual keyboard lets go
# of its keys when it exits, so one wtype holds the key for the whole take,
# and the tone plays once the take has started.
take_through_binding() {
    local presses activations
    presses=$(count_in_log '⬇️ \[语音输入法\]')
    activations=$(count_in_log "$ACTIVATED")
    in_sway wtype -P Alt_L -s 2500 -p Alt_L &
    local typist=$!
    wait_for 80 more_in_log '⬇️ \[语音输入法\]' "$presses" || fail "the binding's hold did not reach the application"
    wait_for 80 more_in_log "$ACTIVATED" "$activations" || fail "the hold did not become a take"
    speak
    wait "$typist" || fail "wtype failed"
}
# APP_ENV (an array the caller may set): more of the application's
# environment. STAMP_LOG=1: each log line starts with the milliseconds since
# the start, stamped on arrival (for the benchmarks).
# before_app (a function the caller may define): runs in the session just
# before the application starts.
! declare -F before_app >/dev/null || before_app
if [ "${STAMP_LOG:-0}" = 1 ]; then
    in_sway "${APP_ENV[@]}" "$WORK/quillwren" run 2>&1 | python3 -u -c '
import sys, time
start = time.monotonic()
for line in sys.stdin:
    print("%.2f %s" % ((time.monotonic() - start) * 1000, line), end="", flush=True)' >"$WORK/app.log" &
else
    in_sway "${APP_ENV[@]}" "$WORK/quillwren" run >"$WORK/app.log" 2>&1 &
fi
wait_for 150 grep -q '事件监听已启用' "$WORK/app.log" || fail "the application did not start in sway"
