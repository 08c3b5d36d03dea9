# Sourced by the Wayland session tests (through sway-lib.sh, or directly):
# what every headless session test shares. Before sourcing: set -euo
# pipefail, QUILLWREN and STANDIN (the binaries), and a function in_desktop
# that runs a command inside the session. Afterwards: $WORK (with app.log,
# standin.jsonl), $PORT, $KEY, $TRANSCRIPT, $PIDS (killed at the end), skip,
# fail, wait_for, speak, take_through_commands, status_says, count_in_log,
# more_in_log, ball_at_bottom_centre. The caller may set stop_session (a function run first at the
# end) and LOGS (what to show when the test fails).

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

wait_for() { # tenths of a second, then the command
    local tries=$1; shift
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1)); [ "$tries" -gt 0 ] || return 1; sleep 0.1
    done
}

WORK=$(mktemp -d /tmp/quillwren-session.XXXXXX)
chmod 755 "$WORK"
PIDS=()
LOGS=(app.log)
cleanup() {
    local status=$?
    ! declare -F stop_session >/dev/null || stop_session
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        for log in "${LOGS[@]}"; do
            echo "--- $log (last lines)"; tail -n 40 "$WORK/$log" 2>/dev/null || true
        done
    fi
    [ -z "${KEEP_WORK:-}" ] && rm -rf "$WORK" || echo "kept $WORK"
}
trap cleanup EXIT

# The stand-in, on 127.0.0.1 like every test's.
KEY=sk-wayland-0123456789abcdef
TRANSCRIPT="你好，这是 Wayland 里的识别结果。"
cat >"$WORK/scenario.json" <<JSON
{"apiKey": "$KEY", "recognition": {"sentences": ["$TRANSCRIPT"]}}
JSON
"$STANDIN" --strict --port 0 --port-file "$WORK/standin.port" --scenario "$WORK/scenario.json" \
    --record "$WORK/standin.jsonl" >/dev/null 2>&1 &
PIDS+=($!)
wait_for 50 test -s "$WORK/standin.port" || fail "the stand-in did not start"
PORT=$(cat "$WORK/standin.port")

# A second of tone, and a function that plays it into the virtual microphone.
sox -n -r 16000 -c 1 -b 16 "$WORK/speech.wav" synth 1.0 sine 440 2>/dev/null
speak() { timeout 3 paplay --device=vmic_sink "$WORK/speech.wav" || true; }

count_in_log() { grep -c "$1" "$WORK/app.log" || true; }
# Whether the log has more of the line than it had ($2 times).
more_in_log() { [ "$(count_in_log "$1")" -gt "$2" ]; }
ACTIVATED='✅ 长按检测成功，激活模式：语音输入法'
# A dictation through the commands a binding would run.
take_through_commands() {
    local activations
    activations=$(count_in_log "$ACTIVATED")
    in_desktop "$WORK/quillwren" hold voice
    wait_for 80 more_in_log "$ACTIVATED" "$activations" || fail "the hold did not become a take"
    speak
    in_desktop "$WORK/quillwren" release voice
}
# Whether the application's status message is exactly this.
status_says() { in_desktop "$WORK/quillwren" status | grep -q "\"statusMessage\":\"$1\""; }

# The ball shows (an XWayland window) at the bottom centre of an output of
# $1x$2 pixels.
ball_at_bottom_centre() {
    local output_width=$1 output_height=$2 geometry width height x y
    ball_shown() { in_desktop xwininfo -root -tree | grep -q '"Quillwren indicator"'; }
    wait_for 30 ball_shown || fail "the ball did not show"
    geometry=$(in_desktop xwininfo -root -tree | grep '"Quillwren indicator"' | grep -o '[0-9]*x[0-9]*+[0-9]*+[0-9]*' |
        head -n1)
    read -r width height x y <<<"$(echo "$geometry" | tr 'x+' '  ')"
    [ $((x + width / 2)) -eq $((output_width / 2)) ] || fail "the ball is not centred: $geometry on ${output_width}x$output_height"
    [ $((y + height)) -le "$output_height" ] && [ "$y" -gt $((output_height / 2)) ] ||
        fail "the ball is not at the bottom: $geometry on ${output_width}x$output_height"
}
