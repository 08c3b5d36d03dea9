#!/usr/bin/env bash
# The service's real host names, served by the stand-in: in a private mount
# namespace the hosts file points the service's names at 127.0.0.1 and the
# system's trust store holds a test authority that signed the stand-in's
# certificate, so the application reaches "the service" exactly as it would
# the real one (TLS on port 443, no override of any address).
#
# Checked: a Singapore account's question goes to the Singapore host for its
# recognition, its chat and its synthesis; `config show` and `doctor` for a
# workspace; a key refused by the chosen region and taken by the other makes
# `doctor` name the region and the fix, and the failed take's notice say so;
# a key both regions refuse is called wrong.
#
# usage: region-hosts.sh QUILLWREN_BINARY STANDIN_BINARY (77: skipped)
set -euo pipefail
QUILLWREN=$(realpath "$1")
STANDIN=$(realpath "$2")
skip() { echo "region-hosts: skipped: $*"; exit 77; }
fail() {
    echo "region-hosts: FAILED: $*" >&2
    for log in app.log standin.jsonl; do
        [ -f "$WORK/$log" ] && { echo "--- $log" >&2; tail -n 60 "$WORK/$log" >&2; }
    done
    exit 1
}
# desktop_wait_for TENTHS COMMAND…
source "$(dirname "$0")/../../scripts/headless-desktop.sh"

if [ -z "${REGION_HOSTS_PRIVATE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || skip "needs root (a private mount namespace and port 443)"
    command -v openssl >/dev/null || skip "no openssl"
    [ -n "${DISPLAY:-}" ] || skip "no desktop"
    REGION_HOSTS_PRIVATE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

WORK=$(mktemp -d /tmp/quillwren-region.XXXXXX)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
cd "$WORK"

SINGAPORE=dashscope-intl.aliyuncs.com
BEIJING=dashscope.aliyuncs.com
WORKSPACE=ws-7q.ap-southeast-1.maas.aliyuncs.com

# A test authority and the service's certificate.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quillwren test authority" \
    -keyout ca.key -out ca.pem 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=$BEIJING" -keyout service.key -out service.csr 2>/dev/null
printf 'subjectAltName=DNS:%s,DNS:%s,DNS:*.cn-beijing.maas.aliyuncs.com,DNS:*.ap-southeast-1.maas.aliyuncs.com\n' \
    "$BEIJING" "$SINGAPORE" >san.cnf
openssl x509 -req -in service.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile san.cnf \
    -out service.pem 2>/dev/null
# Only this namespace sees them: the trust store holds just the test
# authority, the hosts file sends the service's names here.
mkdir certs
cp ca.pem certs/ca-certificates.crt
cp ca.pem certs/quillwren-test.pem
ln -s quillwren-test.pem "certs/$(openssl x509 -hash -noout -in ca.pem).0"
mount --bind "$WORK/certs" /etc/ssl/certs
{ cat /etc/hosts; echo "127.0.0.1 $BEIJING $SINGAPORE $WORKSPACE"; } >hosts
mount --bind "$WORK/hosts" /etc/hosts
getent hosts "$SINGAPORE" | grep -q '^127\.0\.0\.1' || fail "the hosts file is not used"

# Keys: the Singapore host takes only the Singapore key, every other host the
# Beijing one.
KEY_SG=sk-intl-5a5a5a5a5a5a5a
KEY_BJ=sk-beij-6b6b6b6b6b6b6b
cat >scenario.json <<JSON
{"apiKey": "$KEY_BJ", "hostKeys": {"$SINGAPORE": "$KEY_SG"},
 "recognition": {"sentences": ["今天天气怎么样？"]},
 "chat": {"answers": {"今天天气怎么样？": "今天晴，最高二十三度。适合出门走走！"}},
 "synthesis": {"voice": "espeak"}}
JSON
"$STANDIN" --strict --port 443 --tls-cert service.pem --tls-key service.key --scenario scenario.json \
    --record standin.jsonl >standin.out 2>&1 &
PIDS+=($!)
desktop_wait_for 50 grep -q listening standin.out || fail "the stand-in did not start: $(cat standin.out)"

export XDG_CONFIG_HOME="$WORK/config"
export XDG_DATA_HOME="$WORK/data"
unset QUILLWREN_WS_URL
Q() { "$QUILLWREN" "$@"; }
records() { grep "\"kind\":\"$1\"" standin.jsonl || true; }

# --- a Singapore account, set from the command line
echo "$KEY_SG" | Q key set >/dev/null
Q config set serviceRegion singapore >/dev/null
Q config set asrLanguage zh >/dev/null
Q config show >shown.json
grep -q "\"webSocket\":\"wss://$SINGAPORE/api-ws/v1/inference/\"" shown.json || fail "config show: $(cat shown.json)"
grep -q "\"compatibleMode\":\"https://$SINGAPORE/compatible-mode/v1\"" shown.json || fail "config show: $(cat shown.json)"
Q doctor >doctor.txt 2>/dev/null || true
grep -qx "service: reachable, and the key sk-i\*\*\*\*5a5a is accepted (https://$SINGAPORE/compatible-mode/v1, wss://$SINGAPORE/api-ws/v1/inference/)" doctor.txt ||
    fail "doctor in Singapore: $(grep service: doctor.txt)"

# A question asked aloud: Ctrl held while speech plays into the microphone.
espeak-ng -v cmn -w question.wav "今天天气怎么样？" 2>/dev/null
Q 2>app.log &
APP=$!
PIDS+=($APP)
desktop_wait_for 100 grep -q '🟢' app.log || fail "the application did not start"
xdotool keydown ctrl
sleep 1
paplay --device=vmic_sink question.wav
xdotool keyup ctrl
desktop_wait_for 150 grep -q '"kind":"tts-audio"' standin.jsonl || fail "the answer was never synthesised"
desktop_wait_for 150 sh -c "'$QUILLWREN' status | grep -q 回复已完成" || fail "the answer was not spoken to its end"
upgrades=$(records ws-upgrade)
echo "$upgrades" | grep -q "\"host\":\"$SINGAPORE\"" || fail "no handshake with the Singapore host: $upgrades"
if echo "$upgrades" | grep -v "\"host\":\"$SINGAPORE\"" | grep -q .; then fail "a handshake went elsewhere: $upgrades"; fi
records http-request | grep '/chat/completions' | grep -q "\"host\":\"$SINGAPORE\"" ||
    fail "the chat request did not go to the Singapore host: $(records http-request)"
grep -q '"language_hints":\["zh"\]' standin.jsonl || fail "the run-task did not name the language"

# --- a workspace: its own host, in config show and doctor
Q config set workspaceId ws-7q >/dev/null
Q config show | grep -q "\"native\":\"https://$WORKSPACE/api/v1\"" || fail "config show names no workspace host"
Q doctor >/dev/null 2>&1 || true
records http-request | grep -q "\"host\":\"$WORKSPACE\"" || fail "doctor did not ask the workspace's host"
Q config set workspaceId "" >/dev/null

# --- a Singapore key while Beijing is set: doctor names the region and the fix
Q config set serviceRegion beijing >/dev/null
Q doctor >doctor.txt 2>/dev/null || true
grep -qx "service: the key sk-i\*\*\*\*5a5a belongs to the Singapore region, not to Beijing as set (https://$BEIJING/compatible-mode/v1 refused it, the Singapore region accepts it) — \`quillwren config set serviceRegion singapore\` fixes it" doctor.txt ||
    fail "doctor with the wrong region: $(grep service: doctor.txt)"

# ... and the failed take's notice says so too.
xdotool keydown alt
sleep 0.8
paplay --device=vmic_sink question.wav
xdotool keyup alt
desktop_wait_for 150 grep -q '⚠️ \[服务\] 这个 API Key 属于新加坡地域，而设置的是北京地域' app.log ||
    fail "the refused take did not name the region"
grep -q '🔔 \[通知\] .*（这个 API Key 属于新加坡地域，而设置的是北京地域：在设置的 API Key 页选择新加坡，或运行 quillwren config set serviceRegion singapore）' app.log ||
    fail "the notice did not name the region"
Q quit >/dev/null 2>&1 || true
wait "$APP" 2>/dev/null || true

# --- a key neither region takes is wrong
echo "sk-wrong-0000000000000" | Q key set >/dev/null
Q doctor >doctor.txt 2>/dev/null || true
grep -q "^service: the key sk-w\*\*\*\*0000 was refused: Incorrect API key provided. — the key is wrong (the Singapore and the Beijing region both refuse it)" doctor.txt ||
    fail "doctor with a wrong key: $(grep service: doctor.txt)"
echo "region-hosts: passed"
