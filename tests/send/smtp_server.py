#!/usr/bin/python3
# A real SMTP server (aiosmtpd) on a loopback port for the mail tests and the
# benchmark. Each message is parsed with Python's email package into OUT/<n>/:
# fields.txt ("name<TAB>value" lines), body.bin, att<i>.bin and the whole raw.eml. A server that
# says no refuses every recipient (550); one that misbehaves mid-message hangs
# up or stops reading once the data passed --cut-after bytes, and leaves OUT.cut.
import argparse, asyncio, email, email.policy, email.utils, os, socket, ssl, time
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult

ap = argparse.ArgumentParser()
for option in ("--mode", "--cert", "--key", "--user", "--password", "--out", "--port-file"):
    ap.add_argument(option)
ap.add_argument("--parse", type=int, default=1)
ap.add_argument("--refuse", action="store_true")
ap.add_argument("--cut-after", type=int, default=0)
ap.add_argument("--cut", choices=("drop", "stall"), default="drop")
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
            # The typist pool's fields, decoded as a reader of today decodes them.
            modern = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
            fields.update((k.lower(), str(v)) for k, v in modern.items() if k.lower().startswith("x-tavrine-"))
            fields["defects"] = str(sum(len(p.defects) for p in msg.walk()))
            parts = [p for p in msg.walk() if not p.is_multipart()]
            put("body.bin", parts[0].get_payload(decode=True))
            for i, part in enumerate(parts[1:]):
                fields["att%d" % i] = "%s %s" % (part.get_content_type(), part.get_filename())
                put("att%d.bin" % i, part.get_payload(decode=True))
        put("raw.eml", envelope.original_content)
        put("fields.txt", "".join("%s\t%s\n" % kv for kv in fields.items()).encode())
        os.rename(folder + ".tmp", folder)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if a.refuse:
            return "550 5.1.1 No such typist here"
        envelope.rcpt_tos.append(address)
        return "250 OK"


class Misbehaving(SMTP):
    async def smtp_DATA(self, arg):
        if not a.cut_after:
            return await super().smtp_DATA(arg)
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        received = 0
        while received < a.cut_after:
            line = await self._reader.readuntil(b"\r\n")
            if line == b".\r\n":
                return await self.push("451 message ended early")
            received += len(line)
        open(a.out + ".cut", "w").close()
        if a.cut == "stall":
            await asyncio.sleep(3600)
        self.transport.close()


class Server(Controller):
    def factory(self):
        return Misbehaving(self.handler, **self.SMTP_kwargs)


# handled=False: aiosmtpd then answers a refusal with 535 itself; its default
# (handled=True) sends nothing, and the client waits out its reply time.
def authenticate(server, session, envelope, mechanism, data):
    ok = data.login == a.user.encode() and data.password == a.password.encode()
    return AuthResult(success=ok, handled=False)


with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
# With a user, a mail only after a logon: a client that skips AUTH is refused.
kw = {"authenticator": authenticate, "auth_require_tls": a.mode == "starttls", "auth_required": True} if a.user else {}
if a.mode in ("starttls", "tls"):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(a.cert, a.key)
    kw.update({"ssl_context": ctx} if a.mode == "tls" else {"tls_context": ctx, "require_starttls": True})
Server(Handler(), hostname="127.0.0.1", port=port, data_size_limit=0, **kw).start()
open(a.port_file + ".tmp", "w").write(str(port))
os.rename(a.port_file + ".tmp", a.port_file)
time.sleep(300)
