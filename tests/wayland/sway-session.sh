#!/usr/bin/env bash
# Headless sway with XWayland, part one: the application starts there,
# `status` answers, `doctor` names sway and what works, and the mode key,
# bound in sway's config to `quillwren hold voice` / `quillwren release
# voice` and typed through the virtual keyboard (wtype), makes a take that
# reaches the stand-in.
#
# usage: sway-session.sh QUILLWREN_BINARY STANDIN_BINARY (77: skipped)
set -euo pipefail
source "$(dirname "$0")/sway-lib.sh"

in_sway "$WORK/quillwren" status | grep -q '"hasApiKey":true' || fail "\`quillwren status\` did not answer"
grep -q "\[Platform\] mode keys: the desktop's key bindings only" "$WORK/app.log" ||
    fail "the start-up log lacks the mode keys' line"

doctor=0
in_sway "$WORK/quillwren" doctor >"$WORK/doctor.txt" 2>/dev/null || doctor=$?
cat "$WORK/doctor.txt"
grep -qx "session: Wayland (sway), XWayland $XDISPLAY" "$WORK/doctor.txt" || fail "doctor did not name sway"
grep -q "^mode keys: the desktop's key bindings only .* — does not work: .*\`quillwren hold voice\` on press" "$WORK/doctor.txt" ||
    fail "doctor's mode keys line"
grep -qx "indicator window: XWayland window — works" "$WORK/doctor.txt" || fail "doctor's window line"
grep -qx "paste keystroke: zwp_virtual_keyboard_v1 (Ctrl+V; terminals by app_id) — works" "$WORK/doctor.txt" || fail "doctor's paste line"
grep -qx "clipboard: wlr data-control — works" "$WORK/doctor.txt" || fail "doctor's clipboard line"
grep -qx "screen capture: wlr-screencopy — works" "$WORK/doctor.txt" || fail "doctor's capture line"
# The keys are not known to work until a binding has reached the application.
[ "$doctor" -eq 1 ] || fail "doctor exited $doctor before any binding arrived"

# The take: Alt held through sway's binding while speech plays into the microphone.
frames_before=$(grep -c '"ws-binary"' "$WORK/standin.jsonl" || true)
take_through_binding
wait_for 80 grep -q '🔚 释放快捷键，关闭模式：语音输入法' "$WORK/app.log" || fail "the binding's release did not end the take"
wait_for 100 grep -q '"finish-task"' "$WORK/standin.jsonl" || fail "the take never finished at the stand-in"
frames=$(grep -c '"ws-binary"' "$WORK/standin.jsonl" || true)
[ "$frames" -gt "$frames_before" ] || fail "no audio reached the stand-in"
grep -q '"run-task"' "$WORK/standin.jsonl" || fail "no recognition task at the stand-in"

# A binding that arrived proves the route: doctor now says the instance's keys work.
in_sway "$WORK/quillwren" doctor >"$WORK/doctor.txt" 2>/dev/null || fail "doctor still fails after the binding"
grep -q "^  mode keys: the desktop's key bindings (last used .*) — works" "$WORK/doctor.txt" ||
    fail "doctor does not say the bindings work"
echo "sway: a take of $((frames - frames_before)) audio frames reached the stand-in through sway's binding"
