#!/usr/bin/env python3
"""A throw-away FTP server for the tests.

usage: ftp_server.py ROOT USER PASSWORD [LOGIN_LOG]

Serves ROOT on 127.0.0.1 at a free port, prints "port N" on the first line of
stdout, and stops when stdin closes or on SIGTERM/SIGINT. Every successful login
adds a line to LOGIN_LOG, so a test can count how often the client logged in.
"""
import logging
import os
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    if len(sys.argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    root, user, password = sys.argv[1:4]
    login_log = sys.argv[4] if len(sys.argv) > 4 else None

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")

    class Handler(FTPHandler):
        def on_login(self, username):
            if login_log:
                with open(login_log, "a") as log:
                    log.write(username + "\n")

    logging.basicConfig(level=logging.WARNING)
    Handler.authorizer = authorizer
    # Answer a wrong password at once, so tests with short timeouts see the refusal.
    Handler.auth_failed_timeout = 0.05
    Handler.banner = "test server ready"
    Handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), Handler)
    server.max_cons = 64

    def stop(*_):
        server.close_all()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        finally:
            os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    sys.stdout.write("port %d\n" % server.address[1])
    sys.stdout.flush()
    server.serve_forever(timeout=0.2, handle_exit=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
