#!/usr/bin/env python3
"""Stress benchmark (not a test): crafts files that make a naive reader or the Ogg Vorbis decoder
walk, search or allocate for long, and reports lumtass's CPU time (the least of three runs),
line and exit code for each, also within 16 MiB of address space, then the worst CPU time for
files with Ogg headers up to 16 MiB and for larger ones. Sparse files cost no disk; the dense
ones take 450 MB, the largest 100 MB.

Usage: bench/stress.py [LUMTASS [OTHER_LUMTASS]]   (defaults to build/bin/lumtass; give a
second build, e.g. one made from an older commit, to compare the two side by side)
       bench/stress.py --make FOLDER [NAME...]      (only make the files, e.g. for a test case)
"""
import os
import resource
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SOURCE_OGG = os.path.join(ROOT, 'tests', 'data', 'vorbis_stereo_44k.ogg')
GIB = 1 << 30


def crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else r << 1
        table.append(r & 0xFFFFFFFF)
    return table


CRC = crc_table()


def ogg_crc(data):
    crc = 0
    for b in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ CRC[(crc >> 24) ^ b]
    return crc


def page(flags, granule, sequence, segments, body, checksum=False):
    """One page of stream 7. Only the last-page search checks checksums: other pages go without."""
    head = b'OggS\0' + bytes([flags]) + struct.pack('<qII', granule, 7, sequence) + b'\0\0\0\0'
    raw = head + bytes([len(segments)]) + bytes(segments) + body
    if not checksum:
        return raw
    return raw[:22] + struct.pack('<I', ogg_crc(raw)) + raw[26:]


def pages_of(data):
    """(offset, flags, granule, segments, body) of every page."""
    out, at = [], 0
    while at < len(data):
        assert data[at:at + 4] == b'OggS'
        count = data[at + 26]
        segments = list(data[at + 27:at + 27 + count])
        start = at + 27 + count
        out.append((at, data[at + 5], struct.unpack_from('<q', data, at + 6)[0], segments,
                    data[start:start + sum(segments)]))
        at = start + sum(segments)
    return out


def packets_of(pages):
    packets, current = [], b''
    for _, _, _, segments, body in pages:
        at = 0
        for s in segments:
            current += body[at:at + s]
            at += s
            if s < 255:
                packets.append(current)
                current = b''
    return packets


def lace(packets, granule=0, first_sequence=0, first=True):
    """The packets in pages of up to 255 segments."""
    out, lacing, body, sequence, flags = [], [], [], first_sequence, 2 if first else 0
    for p in packets:
        sizes = [255] * (len(p) // 255) + [len(p) % 255]
        at = 0
        for s in sizes:
            if len(lacing) == 255:
                out.append(page(flags, -1 if lacing[-1] == 255 else granule, sequence, lacing,
                                b''.join(body)))
                sequence, flags = sequence + 1, 1 if lacing[-1] == 255 else 0
                lacing, body = [], []
            lacing.append(s)
            body.append(p[at:at + s])
            at += s
        if first and p is packets[0]:
            out.append(page(flags, 0, sequence, lacing, b''.join(body)))
            sequence, flags, lacing, body = sequence + 1, 0, [], []
    if lacing:
        out.append(page(flags, granule, sequence, lacing, b''.join(body)))
    return b''.join(out)


SOURCE = open(SOURCE_OGG, 'rb').read()
PAGES = pages_of(SOURCE)
IDENT, COMMENT, SETUP = packets_of(PAGES)[:3]
HEADER_END = next(p[0] for p in PAGES if p[2] > 0)  # the first audio page
HEADERS = SOURCE[:HEADER_END]
RATE = struct.unpack_from('<I', IDENT, 12)[0]


def comment(vendor, comments):
    out = [b'\x03vorbis', struct.pack('<I', len(vendor)), vendor, struct.pack('<I', len(comments))]
    for c in comments:
        out += [struct.pack('<I', len(c)), c]
    return b''.join(out + [b'\x01'])


def with_comment(packet):
    return lace([IDENT, packet, SETUP]) + SOURCE[HEADER_END:]


class Bits:
    """Bits packed least significant first, as Vorbis packs them: bits(value, count)..."""
    def __init__(self):
        self.out, self.acc, self.used = bytearray(), 0, 0

    def __call__(self, value, count):
        self.acc |= (value & ((1 << count) - 1)) << self.used
        self.used += count
        while self.used >= 8:
            self.out.append(self.acc & 255)
            self.acc, self.used = self.acc >> 8, self.used - 8
        return self

    def zeros(self, count):
        while count and self.used:
            self(0, 1)
            count -= 1
        self.out += bytes(count // 8)
        return self(0, count % 8)

    def bytes(self):
        return bytes(self.out) + (bytes([self.acc]) if self.used else b'')


def setup(books, residues):
    """A setup header heavy for the decoder to open: `books` as (entries, dimensions, code
    bits, 1-bit lookup values or 0) with one code length each (all in the decoder's sorted
    tables from 11 bits on); `residues` classified by codebook 0; 64 floors of 250 points, 64
    mappings of 15 submaps and 64 modes."""
    put = Bits()(len(books) - 1, 8)
    for entries, dimensions, code_bits, values in books:
        put(0x564342, 24)(dimensions, 16)(entries, 24)(1, 1)(code_bits - 1, 5)
        put(entries, entries.bit_length())(2 if values else 0, 4)
        if values:
            put(0, 32)(0, 32)(0, 4)(0, 1).zeros(values)
    put(0, 6)(0, 16)  # one time-domain placeholder
    put(63, 6)
    for _ in range(64):  # 31 partitions of class 0, 8 points each, every X distinct
        put(1, 16)(31, 5)
        for _ in range(31):
            put(0, 4)
        put(7, 3)(0, 2)(0, 8)(0, 2)(8, 4)
        for x in range(2, 250):
            put(x, 8)
    put(residues - 1, 6)
    for _ in range(residues):  # 64 classifications, no partitions
        put(2, 16)(0, 24)(0, 24)(0, 24)(63, 6)(0, 8)
        for _ in range(64):
            put(0, 3)(0, 1)
    put(63, 6)
    for _ in range(64):
        put(0, 16)(1, 1)(14, 4)(0, 1)(0, 2)
        for _ in range(2):
            put(0, 4)
        for _ in range(15):
            put(0, 8)(0, 8)(0, 8)
    put(63, 6)
    for mode in range(64):
        put(mode & 1, 1)(0, 16)(0, 16)(mode, 8)
    return b'\x05vorbis' + put(1, 1).bytes()


# The heaviest setup within the caps: 2^18 codebook entries, 2^20 entry dimensions (of which
# 851 968 are lookup values), 2^14 residue classification entries of 32 dimensions.
HEAVY_BOOKS = [(16384, 32, 14, 1 << 19), (65536, 5, 16, 327680), (65536, 1, 16, 0),
               (65536, 1, 16, 0), (32768, 1, 15, 0), (16384, 1, 14, 0)]


def everything_at_caps(header_size, captures):
    """The heaviest setup, comments filling the headers up to `header_size` bytes, almost 1 MiB
    of pages skipped before the first audio packet and `captures` false page starts at the end,
    for the last-page search."""
    heavy = setup(HEAVY_BOOKS, 1)
    fill = header_size - len(lace([IDENT, comment(b'x', []), heavy])) - 16384
    headers = lace([IDENT, comment(b'x', [b'A' * 1000] * (fill // 1004)), heavy])
    skipped = lace([b'\x01' * ((1 << 20) - 65536)], first=False, first_sequence=1000)
    return headers + skipped + SOURCE[HEADER_END:] + b'OggS\0\xff\xff\xff\xff' * captures


def last_page(granule, sequence=1000):
    """A last page declaring `granule`, with a valid checksum, holding one empty packet."""
    return page(4, granule, sequence, [0], b'', checksum=True)


def sparse(path, head, size, tail=b''):
    with open(path, 'wb') as f:
        f.write(head)
        f.truncate(size - len(tail))
        f.seek(size - len(tail))
        f.write(tail)


def riff(children, size=None):
    body = b'WAVE' + children
    return b'RIFF' + struct.pack('<I', len(body) if size is None else size) + body


def chunk(name, body):
    return name + struct.pack('<I', len(body)) + body + (b'\0' if len(body) % 2 else b'')


FMT = chunk(b'fmt ', struct.pack('<HHIIHH', 1, 2, 44100, 176400, 4, 16))


def spaced_chunks(path):
    """A RIFF of 4 GiB whose empty chunks sit 64 KiB apart: every header is a new read."""
    with open(path, 'wb') as f:
        f.write(riff(FMT, size=0xFFFFFFF0))
        at = f.tell()
        while at + 65536 < 0xFFFFFFF0:
            f.seek(at)
            f.write(b'JUNK' + struct.pack('<I', 65528))
            at += 65536
        f.truncate(0xFFFFFFF8)


def dense(data):
    def write(path):
        with open(path, 'wb') as f:
            f.write(data())
    return write


def sparse_file(head, size, tail=b''):
    return lambda path: sparse(path, head, size, tail)


ONE_SECOND = chunk(b'data', b'\0' * 176400)


def art(size):
    return comment(b'x', [b'TITLE=x', b'METADATA_BLOCK_PICTURE=' + b'A' * size])


def comments_of_header(count, header_size):
    """`count` equal comments filling a header of about `header_size` bytes."""
    length = header_size * 254 // 256 // count - 4
    return with_comment(comment(b'x', [b'A' * length] * count))


# name: (what a reader that copes gives, how to make it). Builders run only when asked for.
FILES = {
    'wave-id-zero.wav': ('1.00', dense(lambda: riff(chunk(b'\0\0\0\0', b'ab') + FMT + ONE_SECOND))),
    'wave-id-ff-jnk.wav':
        ('1.00', dense(lambda: riff(chunk(b'\xffjnk', b'ab') + FMT + ONE_SECOND))),
    # 12.5 million empty chunks (100 MB), then fmt and data.
    'wave-12M-empty-chunks.wav':
        ('n/a', dense(lambda: riff(b'JUNK\0\0\0\0' * 12500000 + FMT + ONE_SECOND))),
    'wave-64K-spaced-chunks.wav': ('n/a', spaced_chunks),
    # A gigabyte of zeros: chunks of id 00000000 and size 0.
    'wave-1GiB-zeros.wav': ('n/a', sparse_file(riff(FMT, size=0xFFFFFFF0), GIB)),
    'ogg-4M-empty-comments.ogg':
        ('n/a', dense(lambda: with_comment(comment(b'x', [b''] * 4000000)))),
    # Below the comment cap, but more than the decoder's first memory areas hold.
    'ogg-60000-comments.ogg':
        ('0.50', dense(lambda: with_comment(comment(b'x', [b'A' * 200] * 60000)))),
    # The heaviest headers. Up to 16 MiB: at most 0.25 s each. Larger ones (LARGE_HEADERS) cost
    # in proportion to their size; cover art fits until the decoder's 64 MiB area is full.
    'ogg-15MiB-cover-art.ogg': ('0.50', dense(lambda: with_comment(art(15 << 20)))),
    'ogg-16MiB-65000-comments.ogg':
        ('0.50', dense(lambda: comments_of_header(65000, (16 << 20) - 4096))),
    'ogg-setup-at-caps.ogg': ('0.50', dense(lambda: lace([IDENT, COMMENT, setup(HEAVY_BOOKS, 1)])
                                             + SOURCE[HEADER_END:])),
    'ogg-16MiB-everything-at-caps.ogg':
        ('0.50', dense(lambda: everything_at_caps((16 << 20) - 4096, 950))),
    'ogg-17MiB-cover-art.ogg': ('0.50', dense(lambda: with_comment(art(17 << 20)))),
    'ogg-32MiB-cover-art.ogg': ('0.50', dense(lambda: with_comment(art(32 << 20)))),
    'ogg-63MiB-cover-art.ogg': ('0.50', dense(lambda: with_comment(art(63 << 20)))),
    'ogg-65MiB-cover-art.ogg': ('n/a', dense(lambda: with_comment(art(65 << 20)))),
    # Within the header cap, but more than 64 MiB once the decoder holds each comment.
    'ogg-64MiB-65000-comments.ogg':
        ('n/a', dense(lambda: comments_of_header(65000, (64 << 20) - 4096))),
    'ogg-sparse-4GiB.ogg': ('n/a', sparse_file(HEADERS, 4 * GIB + 4096)),
    'ogg-sparse-12GiB.ogg': ('n/a', sparse_file(HEADERS, 12 * GIB)),
    'ogg-7700-false-captures.ogg':
        ('n/a', dense(lambda: HEADERS + b'OggS\0\xff\xff\xff\xff' * 7700)),
    'ogg-hour-at-1.9GiB.ogg':
        ('3600.00', sparse_file(HEADERS, int(1.9 * GIB), last_page(3600 * RATE))),
    'ogg-hour-at-2.1GiB.ogg': ('n/a', sparse_file(HEADERS, int(2.1 * GIB), last_page(3600 * RATE))),
    'ogg-granule-beyond-32-bits.ogg':
        ('n/a', dense(lambda: SOURCE[:SOURCE.rfind(b'OggS')] + last_page((1 << 32) + RATE))),
}


LARGE_HEADERS = {'ogg-17MiB-cover-art.ogg', 'ogg-32MiB-cover-art.ogg', 'ogg-63MiB-cover-art.ogg',
                 'ogg-65MiB-cover-art.ogg', 'ogg-64MiB-65000-comments.ogg'}


def make(folder, names=None):
    """Makes the named files (all by default) in `folder`: name -> (path, expected line)."""
    files = {}
    for name in names or FILES:
        expect, build = FILES[name]
        files[name] = (os.path.join(folder, name), expect)
        build(files[name][0])
    return files


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
    if sys.argv[1:2] == ['--make']:
        make(sys.argv[2], sys.argv[3:])
        return
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
