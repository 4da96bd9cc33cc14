#!/usr/bin/python3
# A real SMTP server (aiosmtpd) on a loopback port for the mail tests and the
# benchmark. Each message is parsed with Python's email package into OUT/<n>/:
# fields.txt ("name<TAB>value" lines), body.bin and att<i>.bin.
import argparse, email, email.policy, email.utils, os, socket, ssl, time
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

ap = argparse.ArgumentParser()
for option in ("--mode", "--cert", "--key", "--user", "--password", "--out", "--port-file"):
    ap.add_argument(option)
ap.add_argument("--parse", type=int, default=1)
a = ap.parse_args()


class Handler:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        folder = os.path.join(a.out, str(Handler.count))
        os.makedirs(folder + ".tmp")
        put = lambda name, data: open(os.path.join(folder + ".tmp", name), "wb").write(data)
        fields = {"envelope-from": envelope.mail_from, "envelope-to": ",".join(envelope.rcpt_tos),
                  "tls": str(server.transport.get_extra_info("ssl_object") is not None)}
        if a.parse:
            msg = email.message_from_bytes(envelope.original_content, policy=email.policy.compat32)
            fields.update((name, str(msg.get(name, ""))) for name in ("From", "To", "Subject", "X-Mailer", "Date"))
            if msg["Date"]:
                fields["date-epoch"] = str(int(email.utils.parsedate_to_datetime(msg["Date"]).timestamp()))
            fields["content-type"], fields["boundary"] = msg.get_content_type(), msg.get_boundary() or ""
            fields["defects"] = str(sum(len(p.defects) for p in msg.walk()))
            parts = [p for p in msg.walk() if not p.is_multipart()]
            put("body.bin", parts[0].get_payload(decode=True))
            for i, part in enumerate(parts[1:]):
                fields["att%d" % i] = "%s %s" % (part.get_content_type(), part.get_filename())
                put("att%d.bin" % i, part.get_payload(decode=True))
        put("fields.txt", "".join("%s\t%s\n" % kv for kv in fields.items()).encode())
        os.rename(folder + ".tmp", folder)
        return "250 OK"


def authenticate(server, session, envelope, mechanism, data):
    return AuthResult(success=data.login == a.user.encode() and data.password == a.password.encode())


with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
kw = {"authenticator": authenticate, "auth_require_tls": a.mode == "starttls"} if a.user else {}
if a.mode in ("starttls", "tls"):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(a.cert, a.key)
    kw.update({"ssl_context": ctx} if a.mode == "tls" else {"tls_context": ctx, "require_starttls": True})
Controller(Handler(), hostname="127.0.0.1", port=port, data_size_limit=0, **kw).start()
open(a.port_file + ".tmp", "w").write(str(port))
os.rename(a.port_file + ".tmp", a.port_file)
time.sleep(300)
