#!/usr/bin/env python3
"""lease_holder.py SECONDS FILE...: holds a write lease on each FILE, as a Samba or NFS server
does, and lets one go as soon as the kernel asks for it back (another process opens the file).

Prints "held", or "cannot: REASON" and exits 2 (a lease needs the file's owner or root, and a
file system with leases). Exits 0 once every lease was asked back within SECONDS, else 1.
"""
import fcntl
import os
import signal
import sys
import time

# The kernel asks with SIGIO, which would end this process; the lease's own state tells.
signal.signal(signal.SIGIO, signal.SIG_IGN)
held = {}
try:
    for path in sys.argv[2:]:
        held[path] = os.open(path, os.O_RDONLY)
        fcntl.fcntl(held[path], fcntl.F_SETLEASE, fcntl.F_WRLCK)
except OSError as error:
    print("cannot:", error.strerror, flush=True)
    sys.exit(2)
print("held", flush=True)
deadline = time.monotonic() + float(sys.argv[1])
while held and time.monotonic() < deadline:
    # A lease being asked back reads as what it is to become.
    for path, fd in list(held.items()):
        if fcntl.fcntl(fd, fcntl.F_GETLEASE) != fcntl.F_WRLCK:
            fcntl.fcntl(fd, fcntl.F_SETLEASE, fcntl.F_UNLCK)
            del held[path]
    time.sleep(0.01)
sys.exit("the lease on " + ", ".join(held) + " was never asked back" if held else 0)
