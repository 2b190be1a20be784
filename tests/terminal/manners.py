#!/usr/bin/env python3
"""How the native programs leave the terminal and deliver their output however a run goes:
ended by a signal while measuring or at the pause, stopped and continued under a job-control
shell, killed while stopped; output into a full pipe that cannot block, a full device, a pipe
with no reader. One line per check; any FAIL fails the run.

    manners.py PROGRAM_DIR

A check waits at most LIMIT seconds for what it expects: only a hang runs out.
"""
import fcntl
import os
import re
import resource
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

LIMIT = 30
PAUSE = rb'Press any key to continue \. \. \. '
COLOURS = rb'\x1b\[38;2;[0-9;]*m'
PROMPT = rb'ready> '
# Signals that end a run: what, whether strace holds the program in its first open of the
# file (so that the signal comes while it measures), the signal, the key that sends it.
ENDINGS = [('Ctrl+C while measuring', True, signal.SIGINT, b'\x03'),
           ('SIGTERM while measuring', True, signal.SIGTERM, None),
           ('SIGHUP while measuring', True, signal.SIGHUP, None),
           ('Ctrl+\\ while measuring', True, signal.SIGQUIT, b'\x1c'),
           ('Ctrl+C at the pause', False, signal.SIGINT, b'\x03')]
SHELLS = [['bash', '--norc', '--noprofile', '-i'], ['dash', '-i']]
LINES = 3000


class Failure(Exception):
    pass


def until(condition, failure):
    deadline = time.monotonic() + LIMIT
    while not condition():
        if time.monotonic() > deadline:
            raise Failure(failure)
        time.sleep(0.05)


def state(pid):
    """Process `pid`'s state letter; Z also once it is gone."""
    try:
        return open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()[0]
    except FileNotFoundError:
        return 'Z'


class Terminal:
    """A pseudo-terminal whose session `argv` leads; what it shows is kept in `shown`."""

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
        env = dict(os.environ, PS1=PROMPT.decode(), TERM='dumb', HISTFILE='', ENV='')
        self.process = subprocess.Popen(argv, stdin=self.slave, stdout=self.slave,
                                        stderr=self.slave, env=env, start_new_session=True,
                                        preexec_fn=start)

    def read(self, wait):
        if not select.select([self.master], [], [], wait)[0]:
            return False
        self.shown += os.read(self.master, 65536)
        return True

    def expect(self, pattern):
        """Waits until `pattern` shows after what was expected before."""
        deadline = time.monotonic() + LIMIT
        while not (found := re.compile(pattern).search(self.shown, self.seen)):
            if not self.read(max(0, deadline - time.monotonic())):
                raise Failure(f'{pattern!r} never showed; last shown: {self.shown[-200:]!r}')
        self.seen = found.end()

    def send(self, keys):
        os.write(self.master, keys)

    def command(self, line):
        """Has the shell on the terminal run `line`, and waits for its prompt."""
        self.send(line.encode() + b'; echo "fin""ished"\n')
        self.expect(rb'finished\r\n')
        self.expect(PROMPT)

    def colours_reset(self):
        sgr = re.findall(rb'\x1b\[[0-9;]*m', self.shown)
        if sgr and sgr[-1] != b'\x1b[0m':
            raise Failure(f'colours left on: {sgr[-1]!r}')

    def given_back(self, process_ended=True):
        """The colours reset last and the settings as before: the terminal's own settings
        after a program, the shell's as it runs a command (bash edits lines in others)."""
        while process_ended and self.read(0):
            pass
        self.colours_reset()
        if process_ended and termios.tcgetattr(self.slave) != self.before:
            raise Failure('terminal settings not given back')
        if not process_ended:
            self.command('stty -g >now')
            if open('now').read() != open('before').read():
                raise Failure('the shell has not its terminal settings')

    def ended(self, status):
        try:
            if self.process.wait(LIMIT) != status:
                raise Failure(f'ended with {self.process.returncode}, not {status}')
        except subprocess.TimeoutExpired:
            raise Failure('still running')
        self.given_back()

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        os.close(self.master)
        os.close(self.slave)


def ending(term, held, number, key):
    term.expect(COLOURS if held else PAUSE)
    if key:
        term.send(key)
    else:
        os.killpg(term.process.pid, number)
    term.ended(-number)


def pause_waits(term, keys):
    """The pause sleeps, after `keys`, until one more key ends it."""
    term.expect(PAUSE)
    term.send(keys)
    until(lambda: state(term.process.pid) in 'SZ', 'the pause spins instead of sleeping')
    if state(term.process.pid) != 'S':
        raise Failure('the pause ended with no key')
    term.send(b'x')
    term.ended(0)


def stopped_at_pause(term):
    term.expect(PROMPT)
    term.command('stty -g >before')
    term.send(b'./lumtass A.wav\n')
    term.expect(PAUSE)
    term.send(b'\x1a')
    term.expect(PROMPT)


def continued(term):
    """Ctrl+Z at the pause: the shell has its terminal back; after fg one key ends it."""
    stopped_at_pause(term)
    term.given_back(process_ended=False)
    term.send(b'fg\n')
    term.expect(COLOURS)
    term.send(b'x')
    term.expect(PROMPT)
    term.given_back(process_ended=False)


def killed(term):
    """kill %1 on the program stopped at the pause. bash continues the job after SIGTERM; dash
    leaves it stopped, as any job, until fg."""
    stopped_at_pause(term)
    term.command('jobs -p >pid; kill %1' + ('; fg' if term.process.args[0] == 'dash' else ''))
    until(lambda: state(open('pid').read().strip()) == 'Z', 'still there after kill %1')
    term.given_back(process_ended=False)


def late_reader():
    """A non-blocking pipe with a small buffer, read once no further line fits. Some lines are
    longer than the buffer, which takes them in parts."""
    reader, writer = os.pipe2(os.O_NONBLOCK)
    size = fcntl.fcntl(writer, fcntl.F_SETPIPE_SZ, 4096)
    names = [f'track {n:04}.ogg' + 'long' * 2000 * (n % 1000 == 999) for n in range(LINES)]
    process = subprocess.Popen(['./lumtass'] + names, stdin=subprocess.DEVNULL,
                               stdout=writer, stderr=subprocess.PIPE)
    os.close(writer)
    until(lambda: process.poll() is not None or struct.unpack(
        'i', fcntl.ioctl(reader, termios.FIONREAD, b'0000'))[0] > size - 64, 'pipe not full')
    os.set_blocking(reader, True)
    with os.fdopen(reader, 'rb') as pipe:
        lines = pipe.read().decode().splitlines()
    if process.wait(LIMIT) != 0 or process.stderr.read():
        raise Failure('exit status not 0 or something on standard error')
    if lines[3:-1] != [f'{name}  -  n/a' for name in names]:
        raise Failure(f'{len(lines) - 4} of {LINES} table lines arrived')


def output_into(program, output, error, status):
    result = subprocess.run([f'./{program}', 'A.wav'], stdin=subprocess.DEVNULL, stdout=output,
                            stderr=subprocess.PIPE, timeout=LIMIT)
    if result.stderr.decode() != error or result.returncode != status:
        raise Failure(f'exit status {result.returncode}, standard error {result.stderr!r}')


def full_device(program):
    with open('/dev/full', 'wb') as output:
        output_into(program, output, f'{program}: write error: No space left on device\n', 1)


def no_reader(program):
    reader, writer = os.pipe()
    os.close(reader)
    output_into(program, writer, '', 0)
    os.close(writer)


def in_terminal(check, argv, *args, **options):
    term = Terminal(argv, **options)
    try:
        check(term, *args)
    finally:
        term.close()


def main():
    programs, data = os.path.abspath(sys.argv[1]), os.path.dirname(os.path.abspath(__file__))
    held = ['strace', '-f', '-qq', '-o', '/dev/null', '-P', 'A.wav', '-e',
            'inject=openat:delay_enter=2000000:when=1']
    lumtass = ['./lumtass', 'A.wav']
    checks = [(what, in_terminal, (ending, (held if hold else []) + lumtass, hold, number, key),
               {}) for what, hold, number, key in ENDINGS]
    checks += [('Ctrl+C the starter ignored, at the pause', in_terminal,
                (pause_waits, lumtass, b'\x03'), {'ignored': [signal.SIGINT]}),
               ('the pause on a non-blocking terminal', in_terminal, (pause_waits, lumtass, b''),
                {'blocking': False})]
    for shell in SHELLS:
        checks += [(f'Ctrl+Z at the pause under {shell[0]}, fg, one key', in_terminal,
                    (continued, shell), {}),
                   (f'kill %1 on the program stopped at the pause under {shell[0]}', in_terminal,
                    (killed, shell), {})]
    checks.append((f'{LINES} lines into a non-blocking pipe read late', late_reader, (), {}))
    for program in ['lumtass', 'brevane']:
        checks += [(f'{program} writing to /dev/full', full_device, (program,), {}),
                   (f'{program} writing to a pipe with no reader', no_reader, (program,), {})]
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        # Brevane writes its config file beside itself; a stand-in takes the editor's place.
        os.chdir(work)
        for program in ['lumtass', 'brevane']:
            shutil.copy(f'{programs}/{program}', program)
        shutil.copy(f'{data}/../data/wave_data_named.ogg', 'A.wav')
        with open('xdg-open', 'w') as editor:
            editor.write('#!/bin/sh\n')
        os.chmod('xdg-open', 0o755)
        os.environ['PATH'] = work + os.pathsep + os.environ['PATH']
        for what, check, args, options in checks:
            try:
                check(*args, **options)
                print(f'ok    {what}')
            except Failure as failure:
                print(f'FAIL  {what}: {failure}')
                failed += 1
    print(f'manners: {len(checks) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
