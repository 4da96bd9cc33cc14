"""A pyftpdlib server on a free loopback port for tests and benchmarks.

Prints "PORT <n>" once it listens. With --log, every command is written as
one line "CMD <verb> <arg> tls=<0|1> files=<names>", every upload's first
block of data as "DATA files=...", and completed and broken uploads as
"RECEIVED <name> files=..." and "INCOMPLETE <name> files=...", where files
are the names in the served tree at that moment (so a test can see what a
typist's program polling the directory would have seen). Ends by itself
after --max-seconds. Run with /usr/bin/python3 (Debian's pyftpdlib).
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

args = None
log = None


def files():
    names = []
    for folder, _, entries in os.walk(args.root):
        rel = os.path.relpath(folder, args.root)
        names += [e if rel == "." else rel + "/" + e for e in entries]
    return ",".join(sorted(names))


def note(line):
    if log:
        log.write(line + "\n")
        log.flush()


class NoteFirstWrite:
    def __init__(self, f):
        self._f = f
        self._written = False

    def write(self, data):
        if not self._written:
            self._written = True
            note("DATA files=" + files())
        return self._f.write(data)

    def __getattr__(self, name):
        return getattr(self._f, name)


class WatchedFS(AbstractedFS):
    def open(self, filename, mode):
        f = AbstractedFS.open(self, filename, mode)
        return NoteFirstWrite(f) if "w" in mode or "a" in mode else f


def watched(base):
    class PatientDTP(base.dtp_handler):
        # libcurl begins the TLS handshake on a data connection before it
        # sends the transfer command; pyftpdlib 1.5.7 takes data arriving
        # that early for a hang-up and closes the connection.
        def readable(self):
            if not self.receive and getattr(self, "_ssl_accepting", False):
                return True
            return base.dtp_handler.readable(self)

    class Handler(base):
        abstracted_fs = WatchedFS
        dtp_handler = PatientDTP

        def pre_process_command(self, line, cmd, arg):
            secure = 1 if getattr(self, "_ssl_established", False) else 0
            shown = "*" if cmd == "PASS" else (arg or "")
            note("CMD %s %s tls=%d files=%s" % (cmd, shown, secure, files()))
            base.pre_process_command(self, line, cmd, arg)

        def on_file_received(self, file):
            note("RECEIVED %s files=%s" % (os.path.basename(file), files()))

        def on_incomplete_file_received(self, file):
            note("INCOMPLETE %s files=%s" % (os.path.basename(file), files()))

    return Handler


def main():
    global args, log
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", default="typist")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--cert", help="PEM with certificate and key: TLS_FTPHandler")
    parser.add_argument("--log")
    parser.add_argument("--max-seconds", type=float, default=300)
    args = parser.parse_args()
    if args.log:
        log = open(args.log, "a")

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmw")
    handler = watched(TLS_FTPHandler if args.cert else FTPHandler)
    handler.authorizer = authorizer
    handler.passive_ports = None
    if args.cert:
        handler.certfile = args.cert
    logging.disable(logging.CRITICAL)
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    threading.Timer(args.max_seconds, lambda: os._exit(3)).start()
    server.serve_forever(timeout=0.5)


if __name__ == "__main__":
    sys.exit(main())
