#!/usr/bin/env python3
"""How the native programs treat the terminal and their output on the ways a run can go:
a terminal shared non-blocking; output into a full pipe that cannot block, a full device, a
pipe with no reader. Each check prints one line; any FAIL fails the run.

    manners.py PROGRAM_DIR

A check waits for what the program shows for at most LIMIT seconds: only a hang runs out.
"""
import fcntl
import os
import re
import select
import shutil
import subprocess
import struct
import sys
import tempfile
import termios
import time

LIMIT = 30
PAUSE = rb'Press any key to continue \. \. \. '
RESET = b'\x1b[0m'
LINES = 3000


class Failure(Exception):
    pass


class Terminal:
    """A pseudo-terminal with `argv` as the leader of its session; everything shown is kept."""

    def __init__(self, argv, blocking=True):
        self.master, self.slave = os.openpty()
        os.set_blocking(self.slave, blocking)
        self.before = termios.tcgetattr(self.slave)
        self.shown, self.seen = b'', 0
        self.process = subprocess.Popen(argv, stdin=self.slave, stdout=self.slave,
                                        stderr=self.slave, start_new_session=True,
                                        preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))

    def expect(self, pattern):
        """Waits until `pattern` shows after what was last expected; returns where it starts."""
        deadline = time.monotonic() + LIMIT
        while not (found := re.compile(pattern).search(self.shown, self.seen)):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                raise Failure(f'{pattern!r} never showed; the end shown: {self.shown[-200:]!r}')
            self.shown += os.read(self.master, 65536)
        self.seen = found.end()
        return found.start()

    def send(self, keys):
        os.write(self.master, keys)

    def given_back(self):
        """Fails unless the colours were reset last and the settings are as they were."""
        while select.select([self.master], [], [], 0)[0]:
            self.shown += os.read(self.master, 65536)  # what an ended program left unread
        colours_reset(self.shown)
        if termios.tcgetattr(self.slave) != self.before:
            raise Failure('terminal settings not given back')

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        os.close(self.master)
        os.close(self.slave)


def process_state(pid):
    """The state letter of process `pid`; Z also when it is gone."""
    try:
        return open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()[0]
    except FileNotFoundError:
        return 'Z'


def colours_reset(shown):
    sgr = re.findall(rb'\x1b\[[0-9;]*m', shown)
    if sgr and sgr[-1] != RESET:
        raise Failure(f'colours left on: {sgr[-1]!r}')





def non_blocking_pause():
    """The terminal shared non-blocking: the pause still sleeps until a key comes."""
    term = Terminal(['./lumtass', 'A.wav'], blocking=False)
    try:
        term.expect(PAUSE)
        deadline = time.monotonic() + LIMIT
        while (state := process_state(term.process.pid)) not in 'SZ':
            if time.monotonic() > deadline:
                raise Failure('the pause spins instead of sleeping')
            time.sleep(0.05)
        if state != 'S':
            raise Failure('the pause ended with no key')
        term.send(b'x')
        if term.process.wait(LIMIT) != 0:
            raise Failure('the key did not end the run')
        term.given_back()
    finally:
        term.close()






def late_reader():
    """A non-blocking pipe with a small buffer, read only once no further line fits. Some
    lines are longer than the buffer, which takes them in parts."""
    reader, writer = os.pipe2(os.O_NONBLOCK)
    size = fcntl.fcntl(writer, fcntl.F_SETPIPE_SZ, 4096)  # full after a few lines
    names = [f'track number {n:04}.ogg' + 'long' * 2000 * (n % 1000 == 999) for n in range(LINES)]
    process = subprocess.Popen(['./lumtass'] + names, stdin=subprocess.DEVNULL,
                               stdout=writer, stderr=subprocess.PIPE)
    os.close(writer)
    deadline = time.monotonic() + LIMIT
    while process.poll() is None and time.monotonic() < deadline and \
            struct.unpack('i', fcntl.ioctl(reader, termios.FIONREAD, b'0000'))[0] < size - 64:
        time.sleep(0.05)
    os.set_blocking(reader, True)
    with os.fdopen(reader, 'rb') as pipe:
        lines = pipe.read().decode().splitlines()
    if process.wait(LIMIT) != 0 or process.stderr.read():
        raise Failure('exit status not 0 or something on standard error')
    if lines[3:-1] != [f'{name}  -  n/a' for name in names]:
        raise Failure(f'{len(lines) - 4} of {LINES} table lines arrived')


def write_failure(program):
    with open('/dev/full', 'wb') as out:
        result = subprocess.run([f'./{program}', 'A.wav'], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.PIPE, timeout=LIMIT)
    expected = f'{program}: write error: No space left on device\n'
    if result.stderr.decode() != expected or result.returncode != 1:
        raise Failure(f'exit status {result.returncode}, standard error {result.stderr!r}')


def no_reader(program):
    reader, writer = os.pipe()
    os.close(reader)
    result = subprocess.run([f'./{program}', 'A.wav'], stdin=subprocess.DEVNULL,
                            stdout=writer, stderr=subprocess.PIPE, timeout=LIMIT)
    os.close(writer)
    if result.stderr or result.returncode != 0:
        raise Failure(f'exit status {result.returncode}, standard error {result.stderr!r}')


def main():
    programs = os.path.abspath(sys.argv[1])
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'data')
    checks = [('the pause on a non-blocking terminal', non_blocking_pause, ())]
    checks.append((f'{LINES} lines into a non-blocking pipe read late', late_reader, ()))
    for program in ['lumtass', 'brevane']:
        checks.append((f'{program} writing to /dev/full', write_failure, (program,)))
        checks.append((f'{program} writing to a pipe with no reader', no_reader, (program,)))
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        # The programs run from here: Brevane writes its config file beside itself, and a
        # stand-in takes the editor's place.
        os.chdir(work)
        for program in ['lumtass', 'brevane']:
            shutil.copy(f'{programs}/{program}', program)
        shutil.copy(f'{data}/wave_data_named.ogg', 'A.wav')
        with open('xdg-open', 'w') as editor:
            editor.write('#!/bin/sh\n')
        os.chmod('xdg-open', 0o755)
        os.environ['PATH'] = work + os.pathsep + os.environ['PATH']
        for what, check, args in checks:
            try:
                check(*args)
                print(f'ok    {what}')
            except Failure as failure:
                print(f'FAIL  {what}: {failure}')
                failed += 1
    print(f'manners: {len(checks) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
