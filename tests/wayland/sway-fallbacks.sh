#!/usr/bin/env bash
# Headless sway with the virtual keyboard and screencopy withheld from the
# application (QUILLWREN_WAYLAND_IGNORE), as on a compositor without them:
# `doctor` says so with the fix, a dictation leaves its text on the Wayland
# clipboard with "文本已复制到剪贴板，请手动粘贴" and sends no keystroke, and the reply
# mode fails visibly without sending a black screen. Nothing claims success.
#
# usage: sway-fallbacks.sh QUILLWREN_BINARY STANDIN_BINARY (77: skipped)
set -euo pipefail
IGNORE=QUILLWREN_WAYLAND_IGNORE=zwp_virtual_keyboard_manager_v1,zwlr_screencopy_manager_v1
APP_ENV=("$IGNORE")
source "$(dirname "$0")/sway-lib.sh"

in_sway "$IGNORE" "$WORK/quillwren" doctor >"$WORK/doctor.txt" 2>/dev/null || true
cat "$WORK/doctor.txt"
grep -q "^paste keystroke: none (XTest reaches only XWayland windows) — does not work: .*the text stays on the clipboard" \
    "$WORK/doctor.txt" || fail "doctor's paste line"
grep -q "^screen capture: none (XWayland's screen shows only X11 windows) — does not work" "$WORK/doctor.txt" ||
    fail "doctor's capture line"
grep -qx "clipboard: wlr data-control — works" "$WORK/doctor.txt" || fail "doctor's clipboard line"

in_sway stdbuf -oL wev >"$WORK/home/client.log" 2>&1 &
wev_open() { in_sway swaymsg -t get_tree | grep -q '"app_id": "wev"'; }
wait_for 50 wev_open || fail "wev did not open"
sleep 0.3

take_through_commands
wait_for 100 status_says "文本已复制到剪贴板，请手动粘贴" || fail "the status is $(in_sway "$WORK/quillwren" status)"
[ "$(in_sway wl-paste -n)" = "$TRANSCRIPT" ] || fail "the clipboard holds \"$(in_sway wl-paste -n)\""
! grep -q 'sym: v ' "$WORK/home/client.log" || fail "a keystroke was sent all the same"
! grep -q '文本注入成功' "$WORK/app.log" || fail "the log claims the text was typed"

images_before=$(grep -c '"kind":"image"' "$WORK/standin.jsonl" || true)
in_sway "$WORK/quillwren" hold reply
sleep 0.6
in_sway "$WORK/quillwren" release reply
capture_failed() { in_sway "$WORK/quillwren" status | grep -q '"statusMessage":"截屏失败'; }
wait_for 100 capture_failed || fail "the reply's status is $(in_sway "$WORK/quillwren" status)"
[ "$(grep -c '"kind":"image"' "$WORK/standin.jsonl" || true)" -eq "$images_before" ] ||
    fail "a screenshot was sent without a way to take one"
echo "sway fallbacks: the text waited on the clipboard, the reply said the capture failed"
