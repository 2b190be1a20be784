#!/usr/bin/env python3
"""Holds a write lease on FILE, as a Samba or NFS server does for its clients, and lets go at
once when the kernel asks for it back because another process opens the file.

    lease_holder.py FILE SECONDS

Prints "held" once the lease is taken, or "cannot: REASON" and exits 2 when it cannot be
(taking one needs the file's owner or root, and a file system with leases). Prints "released"
and exits 0 once it has let go; exits 1 when nobody asked within SECONDS.
"""
import fcntl
import os
import signal
import sys
import time

path, seconds = sys.argv[1], float(sys.argv[2])
asked = False


def on_break(_signum, _frame):
    global asked
    asked = True


# The kernel asks with SIGIO, which would otherwise end this process.
signal.signal(signal.SIGIO, on_break)
fd = os.open(path, os.O_RDONLY)
try:
    fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_WRLCK)
except OSError as error:
    print("cannot:", error.strerror, flush=True)
    sys.exit(2)
print("held", flush=True)
deadline = time.monotonic() + seconds
while not asked and time.monotonic() < deadline:
    time.sleep(0.01)
if not asked:
    sys.exit(1)
fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_UNLCK)
print("released", flush=True)
