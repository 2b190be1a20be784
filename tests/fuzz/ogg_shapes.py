#!/usr/bin/env python3
"""Writes copies of an Ogg Vorbis file, each changed in one place, in shapes the decoder reads
its own way: header fields read past a packet's end, page flags and serial numbers it does not
look at, an empty page after the headers, codebooks beyond what encoders write. Most of them
it opens as it opens the original; a few it mishandles (noted below). The header check must
give the decoder's answer for each: the end-to-end case ogg_header_shapes runs them on real
encoder files, and the fuzz regression inputs are such copies of a small file.

Usage: ogg_shapes.py SOURCE.ogg FOLDER [SHAPE...]   (every shape by default)

The source needs at least one comment; for continued-unflagged, a comment header longer than
one page whose last comment ends in an odd byte (the decoder reads its framing bit there).
"""
import math
import os
import struct
import sys


def crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else r << 1
        table.append(r & 0xFFFFFFFF)
    return table


CRC = crc_table()


class Page:
    def __init__(self, flags, granule, serial, sequence, segments, body):
        self.flags, self.granule, self.serial, self.sequence = flags, granule, serial, sequence
        self.segments, self.body = list(segments), bytes(body)

    def bytes(self):
        head = b'OggS\0' + struct.pack('<BqIII', self.flags, self.granule, self.serial,
                                       self.sequence, 0)
        raw = bytearray(head + bytes([len(self.segments)]) + bytes(self.segments) + self.body)
        crc = 0
        for b in raw:
            crc = ((crc << 8) & 0xFFFFFFFF) ^ CRC[(crc >> 24) ^ b]
        raw[22:26] = struct.pack('<I', crc)
        return bytes(raw)


def pages_of(data):
    pages, at = [], 0
    while at < len(data):
        assert data[at:at + 4] == b'OggS', 'not an Ogg page at %d' % at
        flags, granule, serial, sequence = struct.unpack_from('<BqII', data, at + 5)
        count = data[at + 26]
        segments = data[at + 27:at + 27 + count]
        start = at + 27 + count
        pages.append(Page(flags, granule, serial, sequence, segments,
                          data[start:start + sum(segments)]))
        at = start + sum(segments)
    return pages


def header_packets(pages):
    """The three header packets, and the index of the page after the one the setup ends on."""
    packets, current = [], b''
    for index, page in enumerate(pages):
        at = 0
        for s in page.segments:
            current += page.body[at:at + s]
            at += s
            if s < 255:
                packets.append(current)
                current = b''
        if len(packets) >= 3:
            return packets[:3], index + 1
    raise ValueError('fewer than three header packets')


def relaced(pages, comment, setup):
    """The identification page, then the comment and setup packets in as many pages as they
    need (the setup ending its page), then the source's other pages."""
    (_, old_comment, old_setup), after = header_packets(pages)
    comment = old_comment if comment is None else comment
    setup = old_setup if setup is None else setup
    out, segments, body, continued = [pages[0]], [], b'', False

    def flush():
        out.append(Page(1 if continued else 0, 0, pages[0].serial, len(out), segments, body))
        return [], b'', segments[-1] == 255

    for packet in (comment, setup):
        sizes = [255] * (len(packet) // 255) + [len(packet) % 255]
        at = 0
        for size in sizes:
            if len(segments) == 255:
                segments, body, continued = flush()
            segments.append(size)
            body += packet[at:at + size]
            at += size
    flush()
    for sequence, page in enumerate(pages[after:], start=len(out)):
        page.sequence = sequence
    return out + pages[after:]


def comment_fields(packet):
    """Offsets of the comment count and of each comment's length field."""
    at = 11 + struct.unpack_from('<I', packet, 7)[0]
    count_at = at
    lengths = []
    at += 4
    for _ in range(struct.unpack_from('<I', packet, count_at)[0]):
        lengths.append(at)
        at += 4 + struct.unpack_from('<I', packet, at)[0]
    return count_at, lengths


class BitReader:
    def __init__(self, data, position):
        self.data, self.position = data, position

    def __call__(self, count):
        value = 0
        for i in range(count):
            byte = self.data[self.position >> 3] if self.position >> 3 < len(self.data) else 0
            value |= ((byte >> (self.position & 7)) & 1) << i
            self.position += 1
        return value


class BitWriter:
    def __init__(self):
        self.bits = []

    def __call__(self, value, count):
        self.bits += [(value >> i) & 1 for i in range(count)]
        return self


def lookup1_values(entries, dimensions):
    root = int(math.floor(entries ** (1.0 / dimensions)))
    while (root + 1) ** dimensions <= entries:
        root += 1
    while root ** dimensions > entries:
        root -= 1
    return root


def codebooks_end(setup):
    """The bit position after the last codebook of a setup packet."""
    read = BitReader(setup, 56)
    for _ in range(read(8) + 1):
        assert read(24) == 0x564342, 'codebook sync pattern'
        dimensions, entries = read(16), read(24)
        if read(1):  # ordered
            read(5)
            entry = 0
            while entry < entries:
                entry += read((entries - entry).bit_length())
        else:
            sparse = read(1)
            for _ in range(entries):
                if not sparse or read(1):
                    read(5)
        lookup = read(4)
        if lookup:
            read(32), read(32)
            value_bits = read(4) + 1
            read(1)
            values = lookup1_values(entries, dimensions) if lookup == 1 else entries * dimensions
            read(values * value_bits)
    return read.position


def with_codebooks(setup, books):
    """The setup with `books` added after its codebooks, each (dimensions, entries, code bits,
    lookup type 1 or 0): one run of equal code lengths, a lookup table of 1-bit zeros."""
    end = codebooks_end(setup)
    bits = [(setup[i >> 3] >> (i & 7)) & 1 for i in range(len(setup) * 8)]
    count = setup[7] + 1 + len(books)
    assert count <= 256, 'at most 256 codebooks'
    put = BitWriter()
    for dimensions, entries, code_bits, lookup in books:
        put(0x564342, 24)(dimensions, 16)(entries, 24)(1, 1)(code_bits - 1, 5)
        put(entries, entries.bit_length())(lookup, 4)
        if lookup:
            put(0, 32)(0, 32)(0, 4)(0, 1)(0, lookup1_values(entries, dimensions))
    bits = bits[:56] + [(count - 1) >> i & 1 for i in range(8)] + bits[64:end] + put.bits + \
        bits[end:]
    bits += [0] * (-len(bits) % 8)
    return bytes(sum(bits[i + j] << j for j in range(8)) for i in range(0, len(bits), 8))


def shapes(data):
    """name -> bytes of the changed copy."""
    pages = pages_of(data)
    (_, comment, setup), after = header_packets(pages)
    count_at, lengths = comment_fields(comment)
    out = {}

    def copy():
        return pages_of(data)

    # The setup header cut before its last byte: the decoder reads the missing bits as 0.
    out['setup-cut'] = relaced(copy(), None, setup[:-1])
    # The page after the first with another serial number: the decoder never compares them.
    changed = copy()
    changed[1].serial ^= 0x5A5A
    out['other-serial'] = changed
    # Mishandled: the vendor string running past the packet's end, so that the comment count
    # is read past it, where the decoder shifts the -1 it reads left.
    vendor = bytearray(comment)
    vendor[7:11] = struct.pack('<I', len(comment))
    out['vendor-past-end'] = relaced(copy(), bytes(vendor), None)
    # No framing byte: the decoder reads the end of packet, -1, whose low bit is set.
    out['no-framing'] = relaced(copy(), comment[:-1], None)
    # A page without segments after the headers: the decoder stops there, skipping only the
    # decoding of its first audio packet, which opening does not need.
    changed = copy()
    changed.insert(after, Page(0, 0, changed[0].serial, 0, [], b''))
    out['empty-page-after-headers'] = changed
    # The comment header's first page marked as continuing a packet: not looked at there.
    changed = copy()
    changed[1].flags |= 1
    out['comment-page-continued'] = changed
    # The comment count missing its last byte: read as 0xFF, the count is negative, no comments.
    out['count-cut'] = relaced(copy(), comment[:count_at + 3], None)
    # Mishandled: missing its last two bytes, the count's third byte is shifted as -1.
    out['count-cut-2'] = relaced(copy(), comment[:count_at + 2], None)
    # The last comment running 5 bytes past the packet's end: read as 0xFF, and the framing
    # byte after it too.
    last = bytearray(comment)
    last[lengths[-1]:lengths[-1] + 4] = struct.pack(
        '<I', struct.unpack_from('<I', comment, lengths[-1])[0] + 5)
    out['last-comment-past-end'] = relaced(copy(), bytes(last), None)
    # The comment header's second page without the continued flag: the decoder reads one end of
    # packet there (inside the last comment), then the page as the packet's continuation.
    if len(comment) > 255 * 255:
        changed = copy()
        changed[2].flags &= ~1
        out['continued-unflagged'] = changed
    # Codebooks beyond what encoders write, added after the source's own and used by nothing.
    for name, books in [('books-129', [(1, 2, 1, 0)] * (129 - setup[7] - 1)),
                        ('books-256', [(1, 2, 1, 0)] * (256 - setup[7] - 1)),
                        ('entries-65537', [(1, 65537, 17, 0)]),
                        ('dimensions-65', [(65, 2, 1, 0)]),
                        ('dimensions-32769', [(32769, 2, 1, 0)]),
                        ('codes-31-bits-9-entries', [(1, 9, 31, 0)]),
                        ('codes-31-bits-2-entries-unused', [(1, 2, 31, 0)]),
                        ('lookup1-30-dimensions', [(30, 2, 1, 1)]),
                        # Mishandled: the decoder converts 2^31 from a float to an int.
                        ('lookup1-31-dimensions', [(31, 2, 1, 1)])]:
        out[name] = relaced(copy(), None, with_codebooks(setup, books))
    return out


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    source, folder, wanted = sys.argv[1], sys.argv[2], sys.argv[3:]
    made = shapes(open(source, 'rb').read())
    base = os.path.splitext(os.path.basename(source))[0]
    for name in wanted or sorted(made):
        with open(os.path.join(folder, '%s-%s.ogg' % (base, name)), 'wb') as out:
            out.write(b''.join(page.bytes() for page in made[name]))


if __name__ == '__main__':
    main()
