#!/usr/bin/env python3
# pyftpdlib for ftp_bench, each answer held back as a network would:
#   ftp_latency_server.py ROOT USER PASSWORD DELAY_MS
# Serves ROOT to USER (who may write) on 127.0.0.1 and a free port until killed, printing
# "port N" once it listens. On loopback an answer is often there by the time the client
# looks; over a network it never is, and that is where a client's waiting shows.
import logging
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, delay = sys.argv[1:5]
delay = float(delay) / 1000


class Handler(FTPHandler):
    def respond(self, resp, logfun=logging.debug):
        time.sleep(delay)  # one client at a time: holding the whole server is holding its answer
        super().respond(resp, logfun)


Handler.authorizer = DummyAuthorizer()
Handler.authorizer.add_user(user, password, root, perm="elradfmw")
logging.basicConfig(level=logging.WARNING)
server = FTPServer(("127.0.0.1", 0), Handler)
os.write(1, b"port %d\n" % server.address[1])
server.serve_forever(timeout=0.2, handle_exit=False)
