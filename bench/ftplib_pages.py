#!/usr/bin/env python3
# Python's ftplib as the yardstick for ftp_bench: one session, named files one after another.
#   ftplib_pages.py get|put HOST PORT USER PASSWORD REMOTE_FOLDER LOCAL_FOLDER NAME...
# get fetches each NAME of REMOTE_FOLDER into LOCAL_FOLDER, put sends each the other way;
# get-tls and put-tls do the same over TLS, each data connection resuming the control
# connection's TLS session (as vsftpd asks), the certificate not checked, with TCP_NODELAY
# on the data connection as libcurl has it.
import ftplib
import os
import socket
import ssl
import sys


class ReusingTls(ftplib.FTP_TLS):
    def ntransfercmd(self, cmd, rest=None):
        conn, size = ftplib.FTP.ntransfercmd(self, cmd, rest)
        # Without it the TLS close after each upload waits out the peer's delayed ACK (about
        # 40 ms a file), a stall of ftplib's socket options rather than of FTP with TLS;
        # libcurl sets it too.
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn = self.context.wrap_socket(conn, server_hostname=self.host, session=self.sock.session)
        return conn, size


mode, host, port, user, password, remote, local = sys.argv[1:8]
names = sys.argv[8:]
tls = mode.endswith("-tls")
mode = mode.removesuffix("-tls")
if tls:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    ftp = ReusingTls(context=context)
else:
    ftp = ftplib.FTP()
ftp.connect(host, int(port))
ftp.login(user, password)
if tls:
    ftp.prot_p()
ftp.cwd(remote)
for name in names:
    path = os.path.join(local, name)
    if mode == "get":
        with open(path, "wb") as f:
            ftp.retrbinary("RETR " + name, f.write)
    else:
        with open(path, "rb") as f:
            ftp.storbinary("STOR " + name, f)
ftp.quit()
