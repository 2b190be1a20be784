#!/usr/bin/env python3
"""Runs a command in an 80 x 24 pseudo-terminal and presses keys when its output shows a text.

    press_keys.py OUTPUT COMMAND [PATTERN KEYS]...

Each PATTERN (a regular expression) is looked for in what the terminal showed after the place
where the previous one was found; as soon as it shows, KEYS are typed (escapes as in Python
strings: \\x03 is Ctrl+C). Everything the terminal showed goes to OUTPUT. Exits with the
command's status, or 124 when it has not ended after 300 seconds.
"""
import fcntl
import os
import pty
import re
import select
import signal
import struct
import sys
import termios
import time


def main():
    output, command, steps = sys.argv[1], sys.argv[2], sys.argv[3:]
    pid, terminal = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
        os.execvp("sh", ["sh", "-c", "exec " + command])
    shown, searched_to = b"", 0
    keys = [(re.compile(steps[i].encode()), steps[i + 1].encode().decode("unicode_escape"))
            for i in range(0, len(steps) - 1, 2)]
    deadline = time.monotonic() + 300
    timed_out = True
    while time.monotonic() < deadline:
        if select.select([terminal], [], [], 0.5)[0]:
            try:
                data = os.read(terminal, 65536)
            except OSError:  # the terminal is gone with the command
                data = b""
            if not data:
                timed_out = False
                break
            shown += data
        if keys:
            found = keys[0][0].search(shown, searched_to)
            if found:
                os.write(terminal, keys.pop(0)[1].encode("latin-1"))
                searched_to = found.end()
    if timed_out:
        os.kill(pid, signal.SIGKILL)
    with open(output, "wb") as file:
        file.write(shown)
    status = os.waitpid(pid, 0)[1]
    sys.exit(124 if timed_out else os.waitstatus_to_exitcode(status))


main()
