#!/usr/bin/env python3
"""drive.py [--bless] SCENARIOS FILE...: runs each scenario of SCENARIOS (the steps are listed
atop native-scenarios.txt) in a pseudo-terminal of its own, from a fresh folder holding FILEs and
A.wav; one line each, any FAIL fails the run. A step waits at most LIMIT seconds: only a hang
runs out. --bless rewrites the transcripts `shows` compares."""
import contextlib, fcntl, os, re, resource, select, shutil, signal, struct, subprocess, sys
import tempfile, termios, time

LIMIT = 30


class Failure(Exception):
    """A step's check failed."""


def until(condition, failure, meanwhile=lambda: time.sleep(0.05)):
    deadline = time.monotonic() + LIMIT
    while not condition():
        if time.monotonic() > deadline:
            raise Failure(failure() if callable(failure) else failure)
        meanwhile()


def state(pid):
    """Process `pid`'s state letter; Z also once it is gone."""
    try:
        return open(f'/proc/{pid}/stat').read().rsplit(')', 1)[1].split()[0]
    except (OSError, IndexError):  # gone; an empty `pid` reads /proc/stat
        return 'Z'


def take_terminal():
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # no core file from Ctrl+\\


class Run:
    """One scenario's run: a method per step (native-scenarios.txt says what each checks)."""
    def __init__(self, bless, here):
        self.bless, self.here, self.process, self.master = bless, here, None, None
        self.shown, self.seen = b'', 0

    def start(self, command):
        options, command = re.fullmatch(r'((?:nonblocking |late )*)(.*)', command, re.S).groups()
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack('HHHH', 24, 80, 0, 0))
        os.set_blocking(self.slave, 'nonblocking' not in options)
        self.before = termios.tcgetattr(self.slave)
        output = self.slave
        if 'late' in options:
            # Output into a non-blocking pipe with a small buffer, read once no more fits.
            reader, output = os.pipe2(os.O_NONBLOCK)
            size = fcntl.fcntl(output, fcntl.F_SETPIPE_SZ, 4096)
        self.process = subprocess.Popen(['bash', '-c', command], stdin=self.slave, stdout=output,
                                        stderr=self.slave, start_new_session=True,
                                        preexec_fn=take_terminal)
        if 'late' in options:
            os.close(output)
            until(lambda: self.process.poll() is not None or struct.unpack(
                'i', fcntl.ioctl(reader, termios.FIONREAD, b'0000'))[0] > size - 64,
                'the pipe never filled')
            while select.select([reader], [], [], LIMIT)[0] and (data := os.read(reader, 65536)):
                self.shown += data
            os.close(reader)

    def read(self, wait):
        if not select.select([self.master], [], [], wait)[0]:
            return False
        try:
            self.shown += os.read(self.master, 65536)
        except OSError:  # the terminal is gone with the command
            return False
        return True

    def expect(self, pattern):
        deadline = time.monotonic() + LIMIT
        while not (found := re.compile(pattern.encode()).search(self.shown, self.seen)):
            if not self.read(max(0, deadline - time.monotonic())):
                raise Failure(f'{pattern!r} never showed; last shown: {self.shown[-200:]!r}')
        self.seen = found.end()

    def waits(self, pattern):
        time.sleep(1)
        while self.read(0):
            pass
        if re.search(pattern.encode(), self.shown[self.seen:]):
            raise Failure(f'{pattern!r} showed without a key')

    def key(self, keys):
        os.write(self.master, keys.encode().decode('unicode_escape').encode('latin-1'))

    def signal(self, name):
        os.killpg(self.process.pid, getattr(signal, 'SIG' + name))

    def sleeps(self, _):
        until(lambda: state(self.process.pid) in 'SZ', 'spins instead of sleeping')
        if state(self.process.pid) != 'S':
            raise Failure('ended with no key')

    def ended(self, status):
        wanted = -getattr(signal, 'SIG' + status) if status.isalpha() else int(status)
        # Read on meanwhile: a program writing into a full terminal would never end.
        until(lambda: self.process.poll() is not None,
              lambda: f'still running; shown: {self.shown[-600:]!r}', lambda: self.read(0.05))
        while self.read(0):
            pass
        if self.process.returncode != wanted:
            raise Failure(f'ended with {self.process.returncode}, not {wanted}')

    def reset(self, _):
        sgr = re.findall(rb'\x1b\[[0-9;]*m', self.shown)
        if sgr and sgr[-1] != b'\x1b[0m':
            raise Failure(f'colours left on: {sgr[-1]!r}')
        # The title stack: each save (22) restored (23) once, never a restore before its save.
        depth = 0
        for escape in re.findall(rb'\x1b\[2[23];0t', self.shown):
            depth += 1 if escape == b'\x1b[22;0t' else -1
            if depth not in (0, 1):
                raise Failure(f'title stack taken {"below" if depth < 0 else "above"} its start')
        if depth != 0:
            raise Failure('title not given back')

    def given_back(self, _):
        self.reset(_)
        if termios.tcgetattr(self.slave) != self.before:
            raise Failure('terminal settings not given back')

    def gone(self, pid_file):
        until(lambda: state(open(pid_file).read().strip()) == 'Z', 'still there')

    def shows(self, name):
        text = subprocess.run(['cat', '-v'], input=re.sub(rb'\r\n', b'\n', self.shown),
                              capture_output=True, check=True).stdout
        # The scenario's folder, named in some lines, differs from run to run (Wine: on Z:).
        for form in (os.getcwd(), 'Z:' + os.getcwd().replace('/', '\\')):
            text = text.replace(form.encode(), b'@HERE@')
        path = os.path.join(self.here, name)
        if self.bless:
            open(path, 'wb').write(text)
        elif text != open(path, 'rb').read():
            subprocess.run(['diff', '-u', path, '-'], input=text)
            raise Failure(f'the terminal does not show {name}')

    def same(self, args):
        log, count, ignored = (args.split(' ', 2) + [''])[:3]
        lines = [re.sub(ignored, '', line) for line in open(log).read().splitlines()]
        if len(lines) < int(count) or len(set(lines[:int(count)])) != 1:
            raise Failure(f'{log} differs: {lines}')

    def has(self, args):
        log, line = args.split(' ', 1)
        if line not in open(log).read().splitlines():
            raise Failure(f'{log} has no line {line!r}: {open(log).read()!r}')

    def tail(self, args):
        text, count = args.rsplit(' ', 1)
        lines = self.shown.decode(errors='replace').split('\n')
        last = max((i for i, line in enumerate(lines) if text in line), default=None)
        if last is None:
            raise Failure(f'{text!r} never showed')
        if len(lines) - 1 - last > int(count):
            raise Failure(f'{len(lines) - 1 - last} lines after {text!r}')

    def close(self):
        if self.process:
            # The whole group: what the shell left behind (a stopped job, an editor) too.
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        if self.master is not None:
            os.close(self.master)
            os.close(self.slave)


def main():
    bless = sys.argv[1] == '--bless'
    table = os.path.abspath(sys.argv[1 + bless])
    files = [os.path.abspath(f) for f in sys.argv[2 + bless:]]
    sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), '../data/wave_data_named.ogg')
    found = []  # (WHAT, [(STEP, ARGUMENT)...]) for each "== WHAT" block
    for line in open(table, encoding='utf-8').read().splitlines():
        if line.startswith('== '):
            found.append((line[3:], []))
        elif line and not line.startswith('#'):
            found[-1][1].append((line.split(' ', 1) + [''])[:2])
    os.environ.update(LC_ALL='C.UTF-8', WINEDEBUG='-all', SHELL='/bin/sh', TERM='dumb',
                      HISTFILE='', ENV='')
    failed = 0
    with tempfile.TemporaryDirectory() as work:
        # Brevane opens its config file: a stand-in takes the editor's place.
        with open(f'{work}/xdg-open', 'w') as editor:
            editor.write('#!/bin/sh\n')
        os.chmod(f'{work}/xdg-open', 0o755)
        os.environ['PATH'] = work + os.pathsep + os.environ['PATH']
        for what, steps in found:
            times = int(steps.pop(0)[1]) if steps[0][0] == 'repeat' else 1
            try:
                for _ in range(times):
                    os.chdir(tempfile.mkdtemp(dir=work))
                    for file in files:
                        shutil.copy(file, '.')
                    shutil.copy(sample, 'A.wav')
                    run = Run(bless, os.path.dirname(table))
                    try:
                        for step, argument in steps:
                            getattr(run, step.replace('-', '_'))(argument)
                    finally:
                        run.close()
                print(f'ok    {what}')
            except (Failure, OSError) as failure:  # a log the step reads may not exist
                print(f'FAIL  {what}: {failure}')
                failed += 1
    print(f'terminal: {len(found) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
