#!/usr/bin/env python3
# pyftpdlib for ftp_bench, each answer held back as a network would:
#   ftp_latency_server.py ROOT USER PASSWORD DELAY_MS PORT
# Serves ROOT to USER (who may write) on 127.0.0.1 and PORT until killed. On loopback an answer is often there by the time the client
# looks; over a network it never is, and that is where a client's waiting shows.
import logging
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, delay, port = sys.argv[1:6]
delay = float(delay) / 1000


class Handler(FTPHandler):
    def respond(self, resp, logfun=logging.debug):
        time.sleep(delay)  # one client at a time: holding the whole server is holding its answer
        super().respond(resp, logfun)


Handler.authorizer = DummyAuthorizer()
Handler.authorizer.add_user(user, password, root, perm="elradfmw")
logging.basicConfig(level=logging.WARNING)
server = FTPServer(("127.0.0.1", int(port)), Handler)
server.serve_forever(timeout=0.2, handle_exit=False)
