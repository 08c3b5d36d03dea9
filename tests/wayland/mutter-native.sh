#!/usr/bin/env bash
# Headless mutter (GNOME's compositor) with XWayland: the dictated text
# reaches a native Wayland window through XWayland's clipboard, which mutter
# hands to Wayland clients, and the paste keystroke through the RemoteDesktop
# portal; tests/wayland/MutterPortal plays the portal, granting the consent
# after a while and passing the keys to mutter's own remote-desktop
# interface, as the portal's GNOME backend does. While the consent is asked
# the status says what to allow; a terminal (told by the accessibility bus)
# gets its chord; the ball shows without taking the focus, and the reply
# says it cannot capture; with the consent refused the text waits on the
# clipboard.
#
# usage: mutter-native.sh QUILLWREN_BINARY STANDIN_BINARY PORTAL_BINARY (77: skipped)
set -euo pipefail
QUILLWREN=$1
STANDIN=$2
PORTAL=$3
for tool in mutter xclip pactl paplay; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import gi; gi.require_version("Gtk", "3.0")' 2>/dev/null ||
    { echo "skipped: GTK's Python binding (gir1.2-gtk-3.0) is not installed"; exit 77; }
[ -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] || { echo "skipped: no test desktop (its audio server)"; exit 77; }
PULSE="unix:$XDG_RUNTIME_DIR/pulse/native"
# The session's environment; in_desktop runs a command in it. (A command
# started in the background through `env` itself is the process $! names.)
session_env() {
    SESSION_ENV=(XDG_RUNTIME_DIR="$WORK/runtime" DBUS_SESSION_BUS_ADDRESS="$BUS" XDG_CONFIG_HOME="$WORK/home/config"
        XDG_DATA_HOME="$WORK/home/data" PULSE_SERVER="$PULSE" WAYLAND_DISPLAY=quillwren-mutter
        DISPLAY="$XDISPLAY" XAUTHORITY="$XAUTH" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
        QUILLWREN_WS_URL="ws://127.0.0.1:$PORT/api-ws/v1/inference/")
}
in_desktop() { env "${SESSION_ENV[@]}" "$@"; }
source "$(dirname "$0")/session-lib.sh"
mkdir -m 700 "$WORK/runtime" "$WORK/home"
LOGS=(mutter.log portal.log app.log)
BUS="" XDISPLAY="" XAUTH=""
session_env

# A session bus of its own, its keyring, and mutter on it.
BUS=$(in_desktop dbus-daemon --session --fork --print-pid=3 --print-address=1 3>"$WORK/bus.pid" | head -n1)
PIDS+=("$(cat "$WORK/bus.pid")")
session_env
printf 'quillwren-test' | in_desktop gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
# Everything of the session, the services its bus started included, is
# found by its environment.
stop_session() {
    local environ
    for environ in /proc/[0-9]*/environ; do
        ! { tr '\0' '\n' <"$environ"; } 2>/dev/null | grep -qx "XDG_RUNTIME_DIR=$WORK/runtime" ||
            kill "$(basename "$(dirname "$environ")")" 2>/dev/null || true
    done
}
echo "$KEY" | in_desktop "$QUILLWREN" key set >/dev/null 2>&1 || fail "the key could not be stored"
in_desktop "$QUILLWREN" config set compatibleBaseURL "http://127.0.0.1:$PORT/compatible-mode/v1" >/dev/null
env "${SESSION_ENV[@]}" mutter --headless --wayland --wayland-display=quillwren-mutter --virtual-monitor 1280x720 --sm-disable \
    >"$WORK/mutter.log" 2>&1 &
PIDS+=($!)
wait_for 100 grep -q 'Using public X11 display' "$WORK/mutter.log" || fail "mutter did not start XWayland"
XDISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$WORK/mutter.log" | head -n1)
wait_for 50 ls "$WORK"/runtime/.mutter-Xwaylandauth.* || fail "mutter wrote no XWayland authority"
XAUTH=$(ls "$WORK"/runtime/.mutter-Xwaylandauth.* | head -n1)
session_env
wait_for 100 in_desktop xdpyinfo || fail "XWayland ($XDISPLAY) does not answer"
ln -sf "$(realpath "$QUILLWREN")" "$WORK/quillwren"

# The portal, whose dialog the user reads for 2.5 s before allowing.
start_portal() {
    rm -f "$WORK/portal.log"
    env "${SESSION_ENV[@]}" "$PORTAL" "$@" >"$WORK/portal.log" 2>&1 &
    PORTAL_PID=$!
    PIDS+=("$PORTAL_PID")
    wait_for 50 grep -q ready "$WORK/portal.log" || fail "the portal did not start"
}
start_portal --consent-ms 2500

# A native GTK window with the focus: its text field shows what is pasted.
# The accessibility bus says which application's window is active.
active_app() {
    in_desktop /usr/bin/python3 -c '
import pyatspi
for app in pyatspi.Registry.getDesktop(0):
    if app and any(w.getState().contains(pyatspi.STATE_ACTIVE) for w in app):
        print(app.name)'
}
app_is_active() { [ "$(active_app)" = "$1" ]; }
open_field() { # OUT NAME
    env "${SESSION_ENV[@]}" GDK_BACKEND=wayland /usr/bin/python3 "$(dirname "$0")/entry-window.py" "$1" "$2" &
    PIDS+=($!)
    wait_for 100 app_is_active "$2" || fail "$2's window did not become active (active: $(active_app))"
}
open_field "$WORK/entry.txt" quillwren-entry

start_app() {
    # The last instance's log goes first: its lines must not pass for this one's.
    rm -f "$WORK/app.log"
    env "${SESSION_ENV[@]}" "$WORK/quillwren" run >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    PIDS+=("$APP_PID")
    wait_for 150 grep -q '事件监听已启用' "$WORK/app.log" || fail "the application did not start in mutter"
}
start_app
ASKING="请在桌面弹出的对话框中允许 Quillwren 控制键盘（只用于粘贴识别的文字）"
wait_for 20 status_says "$ASKING" || fail "while the portal asks, the status is $(in_desktop "$WORK/quillwren" status)"
wait_for 50 status_says "已获得按键权限，松开按键后文字会自动粘贴" ||
    fail "after the consent the status is $(in_desktop "$WORK/quillwren" status)"
in_desktop "$WORK/quillwren" doctor >"$WORK/doctor.txt" 2>/dev/null || true
cat "$WORK/doctor.txt"
grep -qx "session: Wayland (GNOME), XWayland $XDISPLAY" "$WORK/doctor.txt" || fail "doctor did not name GNOME"
grep -q "^clipboard: .*XWayland.* — works" "$WORK/doctor.txt" || fail "doctor's clipboard line"

# Dictation: XWayland's clipboard, then Ctrl+V through the portal, into the
# native window.
take_through_commands
wait_for 100 grep -q '✅ \[语音输入\] 文本注入成功' "$WORK/app.log" || fail "the text was not pasted"
wait_for 60 grep -qx "$TRANSCRIPT" "$WORK/entry.txt" || fail "the native field holds \"$(cat "$WORK/entry.txt" 2>/dev/null)\""
grep -qx "Ctrl+v" "$WORK/entry.txt.keys" || fail "the field was not sent Ctrl+V: $(cat "$WORK/entry.txt.keys")"
wait_for 20 status_says "文本已输入" || fail "the status is $(in_desktop "$WORK/quillwren" status)"

# A terminal, as the accessibility bus names it, gets Ctrl+Shift+V.
open_field "$WORK/terminal.txt" gnome-terminal-server
take_through_commands
wait_for 100 grep -q '目标窗口 gnome-terminal-server 是终端，使用 Ctrl+Shift+V' "$WORK/app.log" ||
    fail "the terminal was not told from other windows"
wait_for 30 grep -qx "Ctrl+Shift+v" "$WORK/terminal.txt.keys" ||
    fail "the terminal was not sent Ctrl+Shift+V: $(cat "$WORK/terminal.txt.keys" 2>/dev/null)"

# The reply mode: the ball shows at the bottom centre without taking the
# focus; with no Screenshot portal the capture fails and says so.
images_before=$(grep -c '"kind":"image"' "$WORK/standin.jsonl" || true)
in_desktop "$WORK/quillwren" hold reply
ball_at_bottom_centre 1280 720
app_is_active gnome-terminal-server || fail "the ball took the focus: $(active_app) is active"
sleep 0.6 # a long press
in_desktop "$WORK/quillwren" release reply
capture_failed() { in_desktop "$WORK/quillwren" status | grep -q '"statusMessage":"截屏失败'; }
wait_for 100 capture_failed || fail "the reply's status is $(in_desktop "$WORK/quillwren" status)"
[ "$(grep -c '"kind":"image"' "$WORK/standin.jsonl" || true)" -eq "$images_before" ] ||
    fail "a screenshot was sent without a way to take one"

# The consent refused: the take's text waits on the clipboard, and says so.
kill "$APP_PID" "$PORTAL_PID"
wait "$APP_PID" "$PORTAL_PID" 2>/dev/null || true
start_portal --consent-ms 10 --response 1
start_app
wait_for 50 status_says "未获得按键权限：识别的文字会留在剪贴板，请手动粘贴" ||
    fail "after the refusal the status is $(in_desktop "$WORK/quillwren" status)"
keys_before=$(wc -l <"$WORK/terminal.txt.keys")
take_through_commands
wait_for 100 status_says "文本已复制到剪贴板，请手动粘贴" || fail "the status is $(in_desktop "$WORK/quillwren" status)"
[ "$(in_desktop xclip -o -selection clipboard)" = "$TRANSCRIPT" ] || fail "the clipboard does not hold the text"
[ "$(wc -l <"$WORK/terminal.txt.keys")" -eq "$keys_before" ] || fail "a key was sent without the consent"
! grep -q '文本注入成功' <(tail -n 20 "$WORK/app.log") || fail "the log claims the text was typed"
# The ball was shown several times: no window of ours names a transient
# parent the compositor cannot find.
! grep -q 'Invalid WM_TRANSIENT_FOR' "$WORK/mutter.log" ||
    fail "mutter: $(grep -m1 'Invalid WM_TRANSIENT_FOR' "$WORK/mutter.log")"
echo "mutter: the text reached the native window; the terminal got its chord; the refusal kept the text"
