#!/usr/bin/env bash
# Headless sway with XWayland, part two: the modes finish in native Wayland
# windows. With no window at all the text waits on the clipboard. A dictation through sway's binding lands in a native client (wev,
# which logs the keys it receives) as the paste chord, with the transcript
# on the Wayland clipboard (wl-paste); the reply mode captures the output
# through screencopy (the stand-in receives a JPEG of the whole output with
# the native window on it, not XWayland's empty black screen) while the ball
# shows at the bottom centre without taking the focus, and so does the live
# caption above it;
# `quillwren capture` does the same from the command line; a terminal gets
# the terminal's chord.
#
# usage: sway-native.sh QUILLWREN_BINARY STANDIN_BINARY (77: skipped)
set -euo pipefail
source "$(dirname "$0")/sway-lib.sh"

# No window yet: the keystroke would go nowhere, so the text waits on the
# clipboard and the status says so (sway's window list tells).
take_through_commands
wait_for 100 status_says "文本已复制到剪贴板，请手动粘贴" || fail "with no window the status is $(in_sway "$WORK/quillwren" status)"
[ "$(in_sway wl-paste -n)" = "$TRANSCRIPT" ] || fail "the clipboard holds \"$(in_sway wl-paste -n)\""

# A native Wayland window with the focus: wev logs every key it is sent.
# (Line-buffered: its log is read while it runs.)
in_sway stdbuf -oL wev >"$WORK/home/client.log" 2>&1 &
# The app_id of the window with the focus, from sway's tree.
focused_app() {
    in_sway swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    if node.get("focused"):
        return node.get("app_id") or node.get("name")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        found = walk(child)
        if found:
            return found
print(walk(json.load(sys.stdin)) or "")'
}
wev_focused() { [ "$(focused_app)" = wev ]; }
wait_for 50 wev_focused || fail "wev's window did not get the focus (focused: $(focused_app))"

# Dictation through the bound Alt key, speech into the microphone.
take_through_binding
wait_for 100 grep -q '✅ \[语音输入\] 文本注入成功' "$WORK/app.log" || fail "the text was not pasted"
[ "$(in_sway wl-paste -n)" = "$TRANSCRIPT" ] || fail "the Wayland clipboard holds \"$(in_sway wl-paste -n)\""
# wev saw Ctrl held and V pressed: the chord reached the native window.
wait_for 30 grep -q 'sym: v ' "$WORK/home/client.log" || fail "no V reached the native window"
grep -q 'sym: Control_L' "$WORK/home/client.log" || fail "no Ctrl reached the native window"
grep -q 'depressed: 00000004' "$WORK/home/client.log" || fail "V did not come with Ctrl held"
status_says "文本已输入" || fail "the status is $(in_sway "$WORK/quillwren" status)"

# With the live caption on, the words show beside the ball while the key is
# held: an XWayland window above it, left alone by sway, wev keeping the focus;
# it goes with the ball.
in_sway "$WORK/quillwren" config set liveCaption true >/dev/null
activations=$(count_in_log "$ACTIVATED")
pasted=$(count_in_log '✅ \[语音输入\] 文本注入成功')
in_sway "$WORK/quillwren" hold voice
wait_for 80 more_in_log "$ACTIVATED" "$activations" || fail "the hold did not become a take"
speak
window_geometry() { # the window's x y width height, if it is mapped
    in_sway xwininfo -name "$1" 2>/dev/null | awk '/IsViewable/ {v = 1} /Absolute upper-left X/ {x = $NF}
        /Absolute upper-left Y/ {y = $NF} /Width:/ {w = $NF} /Height:/ {h = $NF} END { if (v) print x, y, w, h }'
}
caption_shown() { [ -n "$(window_geometry "Quillwren caption")" ]; }
wait_for 30 caption_shown || fail "no caption beside the ball"
read -r cx cy cw ch <<<"$(window_geometry "Quillwren caption")"
read -r bx by bw bh <<<"$(window_geometry "Quillwren indicator")"
[ $((cy + ch)) -le $((by + (bh - 48) / 2)) ] && [ $((cx + cw / 2 - bx - bw / 2)) -ge -1 ] && [ $((cx + cw / 2 - bx - bw / 2)) -le 1 ] ||
    fail "the caption ($cx $cy $cw $ch) is not above the ball ($bx $by $bw $bh)"
[ "$(focused_app)" = wev ] || fail "the caption took the focus from wev: $(focused_app)"
in_sway "$WORK/quillwren" release voice
caption_gone() { ! caption_shown; }
wait_for 20 caption_gone || fail "the caption stayed after the release"
wait_for 100 more_in_log '✅ \[语音输入\] 文本注入成功' "$pasted" || fail "the captioned take was not pasted"
in_sway "$WORK/quillwren" config set liveCaption false >/dev/null

# The reply mode: the screen through screencopy, the draft pasted the same way.
images() { grep -c '"kind":"image"' "$WORK/standin.jsonl" || true; }
images_before=$(images)
more_images() { [ "$(images)" -gt "$images_before" ]; }
in_sway "$WORK/quillwren" hold reply
# While the key is held the ball shows: an XWayland window at the bottom
# centre of the output, left alone by sway (not tiled, not centred, never
# focused), and wev keeps the focus.
output_width=$(in_sway swaymsg -t get_outputs | python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["rect"]["width"])')
output_height=$(in_sway swaymsg -t get_outputs | python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["rect"]["height"])')
ball_at_bottom_centre "$output_width" "$output_height"
[ "$(focused_app)" = wev ] || fail "the ball took the focus from wev: $(focused_app)"
sleep 0.3
in_sway "$WORK/quillwren" release reply
wait_for 100 more_images ||
    fail "no screenshot reached the stand-in"
image=$(grep '"kind":"image"' "$WORK/standin.jsonl" | tail -n1)
echo "$image"
echo "$image" | grep -q '"jpeg":true' || fail "the screenshot is not a JPEG"
# wev's window fills the output: what XWayland's screen would show is black.
echo "$image" | python3 -c '
import json, sys
entry = json.loads(sys.stdin.read())
sys.exit(0 if min(entry["mean_rgb"]) > 60 else "the screenshot is black: mean %r" % entry["mean_rgb"])'
# The draft lands like the dictation: on the clipboard and pasted into wev.
wait_for 100 status_says "BFF 回复已输入" || fail "the reply did not finish: $(in_sway "$WORK/quillwren" status)"
[ "$(in_sway wl-paste -n)" = "好的，我这就过去！" ] || fail "the clipboard holds \"$(in_sway wl-paste -n)\" after the reply"
[ "$(grep -c 'state: 1 (pressed)' <(grep -A1 'key: 55;' "$WORK/home/client.log"))" -ge 2 ] ||
    fail "the reply's Ctrl+V did not reach the native window"

# The command line takes the same picture.
in_sway "$WORK/quillwren" capture -o "$WORK/home/shot.jpg" 2>/dev/null || fail "capture failed"
[ -s "$WORK/home/shot.jpg" ] || fail "capture wrote nothing"
# A terminal (foot) takes Ctrl+V as a control character: its app_id, from
# sway's window list, gets it Ctrl+Shift+V, and the text arrives.
typed="$WORK/home/typed.txt"
in_sway foot -e sh -c "stty raw -echo; exec cat > '$typed'" >/dev/null 2>&1 &
foot_focused() { [ "$(focused_app)" = foot ]; }
wait_for 50 foot_focused || fail "foot did not get the focus (focused: $(focused_app))"
sleep 0.3
take_through_commands
typed_text() { [ "$(cat "$typed" 2>/dev/null)" = "$TRANSCRIPT" ]; }
wait_for 100 typed_text || fail "the terminal got \"$(cat "$typed" 2>/dev/null)\""
grep -q '目标窗口 foot 是终端，使用 Ctrl+Shift+V' "$WORK/app.log" || fail "foot did not get Ctrl+Shift+V"

size=$(echo "$image" | python3 -c 'import json, sys; e = json.load(sys.stdin); print("%dx%d" % (e["width"], e["height"]))')
echo "sway: dictation and reply reached a native window; the screenshot was $size"
