#!/usr/bin/env python3
"""How the native programs treat the terminal and their output on the ways a run can go:
ended by a signal while measuring or at the pause, stopped and continued under a job-control
shell, killed while stopped; output into a full pipe that cannot block, a full device, a pipe
with no reader. Each check prints one line; any FAIL fails the run.

    manners.py PROGRAM_DIR

A check waits for what the program shows for at most LIMIT seconds: only a hang runs out.
"""
import fcntl
import os
import re
import resource
import select
import shutil
import signal
import subprocess
import struct
import sys
import tempfile
import termios
import time

LIMIT = 30
PAUSE = rb'Press any key to continue \. \. \. '
COLOURS = rb'\x1b\[38;2;[0-9;]*m'
RESET = b'\x1b[0m'
SHELL_PROMPT = rb'ready> '

# Ending signals: what, whether strace holds the program in its first open of the file (so the
# signal comes while it measures), the signal, the key that sends it (else it is sent).
ENDINGS = [
    ('Ctrl+C while measuring', True, signal.SIGINT, b'\x03'),
    ('SIGTERM while measuring', True, signal.SIGTERM, None),
    ('SIGHUP while measuring', True, signal.SIGHUP, None),
    ('Ctrl+\\ while measuring', True, signal.SIGQUIT, b'\x1c'),
    ('Ctrl+C at the pause', False, signal.SIGINT, b'\x03'),
]
SHELLS = [['bash', '--norc', '--noprofile', '-i'], ['dash', '-i']]
LINES = 3000


class Failure(Exception):
    pass


class Terminal:
    """A pseudo-terminal with `argv` as the leader of its session; everything shown is kept."""

    def __init__(self, argv, ignored=(), blocking=True):
        self.master, self.slave = os.openpty()
        os.set_blocking(self.slave, blocking)
        self.before = termios.tcgetattr(self.slave)
        self.shown, self.seen = b'', 0

        def start():
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)
            resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
            for number in ignored:
                signal.signal(number, signal.SIG_IGN)
        env = dict(os.environ, PS1=SHELL_PROMPT.decode(), TERM='dumb', HISTFILE='')
        env.pop('ENV', None)
        self.process = subprocess.Popen(argv, stdin=self.slave, stdout=self.slave,
                                        stderr=self.slave, env=env, start_new_session=True,
                                        preexec_fn=start)

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


def ended_by(process, number):
    try:
        status = process.wait(LIMIT)
    except subprocess.TimeoutExpired:
        raise Failure('still running')
    if status != -number:
        raise Failure(f'ended with {status}, not by {signal.Signals(number).name}')


def ending(held, number, key):
    hold = ['strace', '-f', '-qq', '-o', '/dev/null', '-P', 'A.wav',
            '-e', 'inject=openat:delay_enter=2000000:when=1'] if held else []
    term = Terminal(hold + ['./lumtass', 'A.wav'])
    try:
        term.expect(COLOURS if held else PAUSE)
        if key:
            term.send(key)
        else:
            os.killpg(term.process.pid, number)
        ended_by(term.process, number)
        term.given_back()
    finally:
        term.close()


def ignored_interrupt():
    term = Terminal(['./lumtass', 'A.wav'], ignored=[signal.SIGINT])
    try:
        term.expect(PAUSE)
        term.send(b'\x03')
        term.send(b'x')
        if term.process.wait(LIMIT) != 0:
            raise Failure('Ctrl+C the starter ignored ended the run')
        term.given_back()
    finally:
        term.close()


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


def command(term, line):
    """Runs `line` in the shell on the terminal and waits for it to finish."""
    term.send(line.encode() + b'; echo "fin""ished"\n')
    term.expect(rb'finished\r\n')
    term.expect(SHELL_PROMPT)


def shell_given_back(term, when):
    """The shell's own settings, as it runs a command (bash edits lines in other settings),
    and its colours, compared with those before the program ran."""
    colours_reset(term.shown)
    command(term, f'stty -g >{when}')
    if open(when).read() != open('before').read():
        raise Failure(f'{when}: the shell has not its terminal settings')


def stopped_at_pause(shell):
    """Ctrl+Z at the pause, fg, one key."""
    term = Terminal(shell)
    try:
        term.expect(SHELL_PROMPT)
        command(term, 'stty -g >before')
        term.send(b'./lumtass A.wav\n')
        term.expect(PAUSE)
        term.send(b'\x1a')
        term.expect(SHELL_PROMPT)
        shell_given_back(term, 'stopped')
        term.send(b'fg\n')
        term.expect(COLOURS)
        term.send(b'x')
        term.expect(SHELL_PROMPT)
        shell_given_back(term, 'after')
    finally:
        term.close()


def killed_when_stopped(shell):
    """kill %1 on the program stopped at its pause: bash continues the job after SIGTERM, dash
    leaves it stopped, as any job, until fg."""
    term = Terminal(shell)
    try:
        term.expect(SHELL_PROMPT)
        command(term, 'stty -g >before')
        term.send(b'./lumtass A.wav\n')
        term.expect(PAUSE)
        term.send(b'\x1a')
        term.expect(SHELL_PROMPT)
        command(term, 'jobs -p >pid; kill %1' + ('; fg' if shell[0] == 'dash' else ''))
        pid, deadline = int(open('pid').read()), time.monotonic() + LIMIT
        while process_state(pid) != 'Z':
            if time.monotonic() > deadline:
                raise Failure('still there after kill %1')
            time.sleep(0.1)
        shell_given_back(term, 'after')
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
    checks = [(what, ending, (held, number, key)) for what, held, number, key in ENDINGS]
    checks.append(('Ctrl+C the starter ignored, at the pause', ignored_interrupt, ()))
    checks.append(('the pause on a non-blocking terminal', non_blocking_pause, ()))
    for shell in SHELLS:
        checks.append((f'Ctrl+Z at the pause under {shell[0]}, fg, one key',
                       stopped_at_pause, (shell,)))
        checks.append((f'kill %1 on the program stopped at the pause under {shell[0]}',
                       killed_when_stopped, (shell,)))
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
