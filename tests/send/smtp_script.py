#!/usr/bin/python3
# A scripted SMTP server on a loopback port for what a real one will not do.
# --reply KEY=TEXT answers a command by its verb ("RCPT2" for the second
# recipient, "AUTH-USER", "AUTH-PASS", "END" after the data; '|' separates
# lines); "STALL" answers nothing more; DATA-STALL=1 stops reading once the
# data flows, DATA-CLOSE=1 closes then. What the client sends goes to OUT.
import argparse, os, socket, time

ap = argparse.ArgumentParser()
ap.add_argument("--reply", action="append", default=[])
ap.add_argument("--out", required=True), ap.add_argument("--port-file", required=True)
a = ap.parse_args()
script = {"GREETING": "220 fake", "EHLO": "250 fake", "HELO": "250 fake", "AUTH": "334 VXNlcm5hbWU6",
          "AUTH-USER": "334 UGFzc3dvcmQ6", "AUTH-PASS": "235 ok", "MAIL": "250 ok", "RCPT": "250 ok",
          "DATA": "354 go", "END": "250 queued", "QUIT": "221 bye"}
script.update(kv.split("=", 1) for kv in a.reply)
out = open(a.out, "ab", buffering=0)
server = socket.create_server(("127.0.0.1", 0))
open(a.port_file + ".tmp", "w").write(str(server.getsockname()[1]))
os.rename(a.port_file + ".tmp", a.port_file)
server.settimeout(20)
conn = server.accept()[0]


def reply(key):
    text = script.get(key, script.get(key[:4]))
    if text == "STALL":
        time.sleep(60)
    conn.sendall(text.replace("|", "\r\n").encode() + b"\r\n")
    if key == "DATA" and "DATA-STALL" in script:
        time.sleep(60)


reply("GREETING")
buffer, data, rcpt, auth = b"", False, 0, 0
while chunk := conn.recv(65536):
    out.write(chunk)
    buffer += chunk
    if data and "DATA-CLOSE" in script and len(buffer) > 100000:
        break
    while (end := buffer.find(b"\r\n.\r\n" if data else b"\r\n")) >= 0:
        line, buffer = buffer[:end].decode("latin-1"), buffer[end + (5 if data else 2):]
        verb = line.split(" ")[0].split(":")[0]
        if data:
            verb, data = "END", False
        elif 0 < auth < 3:
            verb, auth = ("AUTH-USER" if auth == 1 else "AUTH-PASS"), auth + 1
        elif verb in ("AUTH", "RCPT"):
            auth, rcpt = (1 if verb == "AUTH" else 0), rcpt + (verb == "RCPT")
            verb += str(rcpt) if verb == "RCPT" else ""
        reply(verb)
        data = data or (verb == "DATA" and script["DATA"].startswith("354"))
conn.close()
