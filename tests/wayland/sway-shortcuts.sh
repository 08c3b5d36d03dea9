#!/usr/bin/env bash
# Headless sway with XWayland, the mode keys through the desktop's
# GlobalShortcuts portal: with no keyboard readable and a portal on the
# user's session bus, the application binds its three shortcuts there, and a
# shortcut's keys going down and, after a spoken second, up (as the portal
# reports them) make a take that reaches the stand-in.
#
# usage: sway-shortcuts.sh QUILLWREN_BINARY STANDIN_BINARY SHORTCUTS_PORTAL_BINARY (77: skipped)
set -euo pipefail
PORTAL_BINARY=$3

# The portal runs before the application starts, as a desktop's does.
before_app() {
    install -m 755 "$PORTAL_BINARY" "$WORK/shortcuts-portal"
    mkfifo -m 600 "$WORK/portal.in"
    as_user "$WORK/shortcuts-portal" <"$WORK/portal.in" >"$WORK/portal.log" 2>&1 &
    exec 3>"$WORK/portal.in"
    wait_for 50 grep -q '^ready' "$WORK/portal.log" || fail "the portal did not start"
}
source "$(dirname "$0")/sway-lib.sh"
LOGS+=(portal.log)

wait_for 50 grep -q '✅ \[快捷键\] 全局快捷键已绑定' "$WORK/app.log" || fail "the shortcuts were not bound"
in_sway "$WORK/quillwren" doctor >"$WORK/doctor.txt" 2>/dev/null || true
cat "$WORK/doctor.txt"
grep -qx "  mode keys: the desktop's global shortcuts (voice: LOGO+ALT+v, chat: LOGO+ALT+c, reply: LOGO+ALT+r) — works" \
    "$WORK/doctor.txt" || fail "doctor does not show the instance's shortcuts"

frames_before=$(grep -c '"ws-binary"' "$WORK/standin.jsonl" || true)
activations=$(count_in_log "$ACTIVATED")
echo "activate voice" >&3
wait_for 80 more_in_log "$ACTIVATED" "$activations" || fail "the shortcut did not become a take"
speak
echo "deactivate voice" >&3
wait_for 80 grep -q '🔚 释放快捷键，关闭模式：语音输入法' "$WORK/app.log" || fail "the shortcut's release did not end the take"
wait_for 100 grep -q '"finish-task"' "$WORK/standin.jsonl" || fail "the take never finished at the stand-in"
frames=$(grep -c '"ws-binary"' "$WORK/standin.jsonl" || true)
[ "$frames" -gt "$frames_before" ] || fail "no audio reached the stand-in"
exec 3>&-
echo "sway: a take of $((frames - frames_before)) audio frames reached the stand-in through the portal's shortcut"
