#!/usr/bin/env python3
# Python's ftplib as the yardstick for ftp_bench: one session, named files one after another.
#   ftplib_pages.py get|put HOST PORT USER PASSWORD REMOTE_FOLDER LOCAL_FOLDER NAME...
# get fetches each NAME of REMOTE_FOLDER into LOCAL_FOLDER, put sends each the other way.
import ftplib
import os
import sys

mode, host, port, user, password, remote, local = sys.argv[1:8]
names = sys.argv[8:]
ftp = ftplib.FTP()
ftp.connect(host, int(port))
ftp.login(user, password)
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
