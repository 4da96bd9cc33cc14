#!/usr/bin/env bash
# Sends as a user would, with the real tavrine-cli and a private home: one
# dictation to a typist's FTP server (pyftpdlib with TLS, a certificate made
# here and trusted through SSL_CERT_FILE) and one to a command recipient;
# `queue work` delivers both. The uploaded file is read back with
# `tavrine-cli dct`, the command's copy compared with it, and a status file
# the typist left on the server shows in `tavrine-cli list --sent`.
# Usage: scripts/try_send_ftp.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
CLI=${1:-build/normal}/app/cli/tavrine-cli
[ -x "$CLI" ] || { echo "build tavrine-cli first" >&2; exit 2; }
for tool in sox openssl; do command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 2; }; done
/usr/bin/python3 -c 'import pyftpdlib, OpenSSL' || { echo "needs python3-pyftpdlib and python3-openssl" >&2; exit 2; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrine-ftp.XXXXXX")
SERVER=
cleanup() { [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data"
export TAVRINE_MACHINE_CONFIG="$WORK/machine.conf"
mkdir -p "$HOME" "$WORK/root" "$WORK/typist in"

openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=typist -addext subjectAltName=IP:127.0.0.1 \
    -keyout "$WORK/key.pem" -out "$WORK/cert.pem" 2>/dev/null
cat "$WORK/cert.pem" "$WORK/key.pem" > "$WORK/server.pem"
export SSL_CERT_FILE="$WORK/cert.pem"
/usr/bin/python3 tests/support/ftp_server.py --root "$WORK/root" --cert "$WORK/server.pem" --log "$WORK/server.log" \
    --max-seconds 120 > "$WORK/server.out" 2>/dev/null &
SERVER=$!
for _ in $(seq 100); do grep -q PORT "$WORK/server.out" 2>/dev/null && break; sleep 0.05; done
PORT=$(awk '/PORT/ {print $2}' "$WORK/server.out")

"$CLI" settings set UserInfo UserID 12
"$CLI" settings set UserInfo Name "Ann Lee"
TYPIST=$("$CLI" recipient add Typist SendMethod=3 "FtpServer=127.0.0.1:$PORT" FtpUserName=typist FtpPassword=secret)
cat > "$WORK/collect.sh" <<'SH'
#!/bin/sh
cp "$1" "$(dirname "$0")/typist in/"
SH
chmod +x "$WORK/collect.sh"
COLLECTOR=$("$CLI" recipient add Collector SendMethod=4 "RunCommand='$WORK/collect.sh' %filepath%")
sox -n -r 11025 -c 1 -b 16 "$WORK/speech.wav" synth 3 sine 440 vol 0.3
LETTER=$("$CLI" new --name Letter --notes "For the typist")
MEMO=$("$CLI" new --name Memo --notes "For the typist")
"$CLI" record "$LETTER" --from "$WORK/speech.wav"
"$CLI" record "$MEMO" --from "$WORK/speech.wav"

# The typist's status file for dictation 1, waiting on the server.
/usr/bin/python3 -c 'import struct,sys; open(sys.argv[1],"wb").write(struct.pack("<II16s",0,int(sys.argv[2]),b"Typed"))' \
    "$WORK/root/s0000012.sta" "$LETTER"
"$CLI" send "$LETTER" --to "$TYPIST"
"$CLI" send "$MEMO" --to "$COLLECTOR"
"$CLI" queue
"$CLI" queue work
echo "--- on the server:"; ls "$WORK/root"
echo "--- collected by the command:"; ls "$WORK/typist in"
"$CLI" dct "$WORK/root/12-${LETTER}_letter_by_ann_lee.dct"
"$CLI" dct "$WORK/typist in/12-$MEMO Memo by Ann Lee.dct"
echo "--- sent:"; "$CLI" list --sent
"$CLI" list --sent | awk -F "\t" '$2 == "Letter" && $7 == "Typed" { found = 1 } END { exit !found }'
echo "PASS: status file applied"
grep -c "PASS \* tls=1" "$WORK/server.log" | sed 's/^/log-ons over TLS: /'
