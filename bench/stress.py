#!/usr/bin/env python3
"""Stress benchmark (not a test): makes files that make a naive reader or the Ogg Vorbis decoder
walk, search or allocate for long (make_test_file limits, tests/support), and reports lumtass's
CPU time (the least of three runs), line and exit code for each, also within 16 MiB of address
space, then the worst CPU time for files with Ogg headers up to 16 MiB and for larger ones.
Sparse files cost no disk; the dense ones take 450 MB, the largest 100 MB.

Usage: bench/stress.py [LUMTASS [OTHER_LUMTASS]]   (defaults to build/bin/lumtass; give a
second build, e.g. one made from an older commit, to compare the two side by side)
The files come from $MAKE_TEST_FILE, by default build/bin/make_test_file (a build with tests).
"""
import os
import resource
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE_OGG = os.path.join(ROOT, 'tests', 'data', 'vorbis_stereo_44k.ogg')
MAKE_TEST_FILE = os.environ.get('MAKE_TEST_FILE',
                                os.path.join(ROOT, 'build', 'bin', 'make_test_file'))

# name: what a reader that copes gives. Up to 16 MiB of headers a file costs at most 0.25 s;
# larger ones (LARGE_HEADERS) cost in proportion to their size.
FILES = {
    'wave-id-zero.wav': '1.00', 'wave-id-ff-jnk.wav': '1.00',
    'wave-12M-empty-chunks.wav': 'n/a', 'wave-64K-spaced-chunks.wav': 'n/a',
    'wave-1GiB-zeros.wav': 'n/a', 'ogg-4M-empty-comments.ogg': 'n/a',
    'ogg-60000-comments.ogg': '0.50', 'ogg-15MiB-cover-art.ogg': '0.50',
    'ogg-16MiB-65000-comments.ogg': '0.50', 'ogg-setup-at-caps.ogg': '0.50',
    'ogg-16MiB-everything-at-caps.ogg': '0.50', 'ogg-17MiB-cover-art.ogg': '0.50',
    'ogg-32MiB-cover-art.ogg': '0.50', 'ogg-63MiB-cover-art.ogg': '0.50',
    'ogg-65MiB-cover-art.ogg': 'n/a', 'ogg-64MiB-65000-comments.ogg': 'n/a',
    'ogg-sparse-4GiB.ogg': 'n/a', 'ogg-sparse-12GiB.ogg': 'n/a',
    'ogg-7700-false-captures.ogg': 'n/a', 'ogg-hour-at-1.9GiB.ogg': '3600.00',
    'ogg-hour-at-2.1GiB.ogg': 'n/a', 'ogg-granule-beyond-32-bits.ogg': 'n/a',
}

LARGE_HEADERS = {'ogg-17MiB-cover-art.ogg', 'ogg-32MiB-cover-art.ogg', 'ogg-63MiB-cover-art.ogg',
                 'ogg-65MiB-cover-art.ogg', 'ogg-64MiB-65000-comments.ogg'}


def make(folder):
    """Makes every file in `folder`: name -> (path, expected line)."""
    if not os.path.exists(MAKE_TEST_FILE):
        sys.exit(MAKE_TEST_FILE + ' is missing: build with tests, or set MAKE_TEST_FILE')
    subprocess.run([MAKE_TEST_FILE, 'limits', SOURCE_OGG, folder] + list(FILES), check=True)
    return {name: (os.path.join(folder, name), expect) for name, expect in FILES.items()}


def run(lumtass, path, address_space=None):
    """(CPU seconds, the file's line, exit code) of one lumtass run."""
    def limit():
        if address_space:
            resource.setrlimit(resource.RLIMIT_AS, (address_space, address_space))
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run([lumtass, path], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, preexec_fn=limit)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    name = os.path.basename(path)
    line = next((l.split(' - ')[-1].strip() for l in done.stdout.decode('utf-8', 'replace')
                 .splitlines() if l.startswith(name)), 'no line')
    return cpu, line, done.returncode


def main():
    programs = sys.argv[1:] or [os.path.join(ROOT, 'build', 'bin', 'lumtass')]
    with tempfile.TemporaryDirectory() as folder:
        print('making files in', folder, '...', flush=True)
        files = make(folder)
        header = f"{'file':34} {'expect':>8}"
        for _ in programs:
            header += f" | {'cpu s':>7} {'line':>8} {'rc':>3} {'16MiB':>8} {'rc':>3}"
        print(header + '   (' + ' | '.join(programs) + ')')
        worst = [{} for _ in programs]  # per program: large headers or not -> (cpu, name)
        for name, (path, expect) in files.items():
            row = f'{name:34} {expect:>8}'
            for program, program_worst in zip(programs, worst):
                cpu, line, rc = min(run(program, path) for _ in range(3))
                _, small_line, small_rc = run(program, path, 16 << 20)
                row += f' | {cpu:7.3f} {line:>8} {rc:>3} {small_line:>8} {small_rc:>3}'
                large = name in LARGE_HEADERS
                program_worst[large] = max(program_worst.get(large, (0, '')), (cpu, name))
            print(row, flush=True)
        for large, label in ((False, 'headers up to 16 MiB'), (True, 'larger Ogg headers')):
            print(f'worst cpu s, {label:29}' + ''.join(
                f' | {w[large][0]:7.3f} {w[large][1]}' for w in worst))


if __name__ == '__main__':
    main()
