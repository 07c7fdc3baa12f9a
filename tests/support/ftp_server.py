#!/usr/bin/env python3
# A throw-away FTP server for the tests:
#   ftp_server.py ROOT USER PASSWORD LOG LISTING [PERM [CERT PORT]]
# Serves ROOT to USER on 127.0.0.1 and a free port until killed, printing "port N" once it
# listens, and writes the user's name to LOG at each login. Given a LISTING file (not "")
# it misbehaves on purpose: LIST sends that file's bytes as they are (or is refused when
# the file is empty), PWD is refused, so the client never learns the login folder's name,
# and LOG gets every command line as well. PERM is pyftpdlib's permission string: read only
# ("elr") unless given, "elradfmw" lets the user upload, rename and delete. Given CERT (a PEM
# file holding certificate and key) it speaks only TLS, AUTH TLS first, on PORT.
# BW_FTP_TRICKS in the environment, a comma-separated list, makes it fail on purpose:
# drop-rnto (the first RNTO hangs up without renaming), rnto-then-drop (the first RNTO
# renames, then hangs up), no-dele, no-overwrite (RNTO onto a file is refused), mdtm-lies
# (every MDTM gives one time from long ago), idle-after-retr (once a download is sent the
# session is over, as after an idle timeout).
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, log, listing = sys.argv[1:6]
perm = sys.argv[6] if len(sys.argv) > 6 else "elr"
cert, port = (sys.argv[7], int(sys.argv[8])) if len(sys.argv) > 8 else (None, 0)
listing = listing or None
tricks = set(filter(None, os.environ.get("BW_FTP_TRICKS", "").split(",")))


class DataHandler(TLS_DTPHandler):
    def readable(self):
        # libcurl shakes hands on the data connection before it names the transfer; pyftpdlib
        # would take the early bytes for a hang-up.
        return True if self._ssl_accepting else super().readable()


class Handler(TLS_FTPHandler if cert else FTPHandler):
    auth_failed_timeout = 0.05  # tests with short timeouts must see a refusal

    def note(self, text):
        with open(log, "a") as f:
            f.write(text + "\n")

    def pre_process_command(self, line, cmd, arg):
        if listing is not None:
            self.note(line)
        super().pre_process_command(line, cmd, arg)

    def on_login(self, username):
        self.note(username)

    def ftp_RNTO(self, path):
        once = {"drop-rnto", "rnto-then-drop"} & tricks
        if once:
            tricks.difference_update(once)
            if "rnto-then-drop" in once:
                os.rename(self._rnfr, path)
            return self.close()
        if "no-overwrite" in tricks and os.path.exists(path):
            self._rnfr = None
            return self.respond("553 a file of that name is there")
        return super().ftp_RNTO(path)

    def on_file_sent(self, file):
        if "idle-after-retr" in tricks:
            self.respond("421 Control connection timed out.")
            self.close_when_done()

    def ftp_DELE(self, path):
        return self.respond("550 not deleted") if "no-dele" in tricks else super().ftp_DELE(path)

    def ftp_MDTM(self, path):
        return self.respond("213 19800101000000") if "mdtm-lies" in tricks else super().ftp_MDTM(path)

    def ftp_PWD(self, line):
        return super().ftp_PWD(line) if listing is None else self.respond("502 no")

    def ftp_LIST(self, path):
        if listing is None:
            return super().ftp_LIST(path)
        with open(listing, "rb") as f:  # read anew each time: the test may change it
            data = f.read()
        return self.push_dtp_data(data, cmd="LIST") if data else self.respond("550 not for you")


if cert:
    Handler.certfile = cert
    Handler.dtp_handler = DataHandler
    Handler.tls_control_required = Handler.tls_data_required = True
Handler.authorizer = DummyAuthorizer()
Handler.authorizer.add_user(user, password, root, perm=perm)
logging.basicConfig(level=logging.WARNING)
server = FTPServer(("127.0.0.1", port), Handler)
os.write(1, b"port %d\n" % server.address[1])  # in one piece: the test reads it once
server.serve_forever(timeout=0.2, handle_exit=False)
