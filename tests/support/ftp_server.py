"""pyftpdlib on a free loopback port (user typist, password secret) for tests and benchmarks.

Faults of hostile or broken servers on request: --nlst fail answers every name listing with 450, --nlst huge
sends a listing of about 5 MiB of made-up names; --drip GLOB sends the files matching GLOB one byte every
--drip-seconds. --anonymous also lets the anonymous user in, with the same rights.

Prints "PORT <n>". With --log, writes a line per command ("CMD <verb> <arg> tls=<0|1>"), per upload
as it begins ("DATA") and per finished upload ("RECEIVED <name>"), each followed by "files=" and the
names in the served tree at that moment: what a typist's program polling the folder would see. A server that
misbehaves mid-upload logs "CUT" when it hangs up or stops reading.
"""
import argparse, fnmatch, logging, os, threading, time
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer, ThreadedFTPServer

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--cert", help="certificate and key in one PEM: TLS_FTPHandler")
parser.add_argument("--log")
parser.add_argument("--max-seconds", type=float, default=300)
parser.add_argument("--lose-tail", type=int, default=0, help="bytes cut off every upload: a data connection torn down early")
parser.add_argument("--anonymous", action="store_true")
parser.add_argument("--nlst", choices=["fail", "huge"])
parser.add_argument("--drip")
parser.add_argument("--drip-seconds", type=float, default=0.5)
parser.add_argument("--read-only", action="store_true", help="uploads refused (550)")
parser.add_argument("--cut-after", type=int, default=0, help="once an upload has brought this many bytes: --cut")
parser.add_argument("--cut", choices=("drop", "stall"), default="drop", help="hang up, or stop reading the upload")
args = parser.parse_args()
log = open(args.log, "a") if args.log else None
log_lock = threading.Lock()


def note(text):
    if log:
        with log_lock:
            names = [os.path.relpath(os.path.join(d, f), args.root) for d, _, fs in os.walk(args.root) for f in fs]
            log.write("%s files=%s\n" % (text, ",".join(sorted(names))))
            log.flush()


base = TLS_FTPHandler if args.cert else FTPHandler


class PatientDTP(base.dtp_handler):
    # libcurl begins TLS on a data connection before it sends the transfer command; pyftpdlib 1.5.7
    # takes data arriving that early for a hang-up and closes the connection.
    stalled = False

    def readable(self):
        if self.stalled:
            return False
        return True if not self.receive and getattr(self, "_ssl_accepting", False) else super().readable()

    def use_sendfile(self):
        return False if self.cmd_channel.dripping else super().use_sendfile()

    # With --drip every connection has a thread of its own, so this sleep holds up no other client.
    def send(self, data):
        if not self.cmd_channel.dripping:
            return super().send(data)
        time.sleep(args.drip_seconds)
        return super().send(data[:1])

    def handle_read_event(self):
        super().handle_read_event()
        if args.cut_after and self.receive and not self.stalled and self.tot_bytes_received >= args.cut_after:
            note("CUT")
            self.stalled = True
            if args.cut == "drop":
                self.cmd_channel.close()


class Handler(base):
    dtp_handler = PatientDTP
    dripping = False

    def pre_process_command(self, line, cmd, arg):
        note("CMD %s %s tls=%d" % (cmd, "*" if cmd == "PASS" else arg, getattr(self, "_ssl_established", False)))
        base.pre_process_command(self, line, cmd, arg)

    def ftp_STOR(self, file, mode="w"):
        result = base.ftp_STOR(self, file, mode)
        note("DATA")
        return result

    def ftp_NLST(self, path):
        self.dripping = False
        if args.nlst == "fail":
            return self.respond("450 No listing now.")
        if args.nlst == "huge":
            return self.push_dtp_data(b"".join(b"made-up-name-%07d.dct\r\n" % i for i in range(200000)), cmd="NLST")
        return base.ftp_NLST(self, path)

    def ftp_RETR(self, file):
        self.dripping = bool(args.drip) and fnmatch.fnmatch(os.path.basename(file), args.drip)
        return base.ftp_RETR(self, file)

    def on_file_received(self, file):
        if args.lose_tail:
            os.truncate(file, max(0, os.path.getsize(file) - args.lose_tail))
        note("RECEIVED " + os.path.basename(file))


logging.disable(logging.CRITICAL)
Handler.authorizer = DummyAuthorizer()
perm = "elr" if args.read_only else "elradfmw"
Handler.authorizer.add_user("typist", "secret", args.root, perm=perm)
if args.anonymous:
    Handler.authorizer.add_anonymous(args.root, perm=perm)
Handler.certfile = args.cert
server = (ThreadedFTPServer if args.drip else FTPServer)(("127.0.0.1", 0), Handler)
print("PORT %d" % server.socket.getsockname()[1], flush=True)
threading.Timer(args.max_seconds, lambda: os._exit(3)).start()
server.serve_forever(timeout=0.5)
