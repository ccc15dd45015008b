#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the hand-made seed inputs of the fuzz targets into corpus/<target>/.
# The targets read their choices (model, chunking, timing) from the end of an
# input and bulk bytes from its front; Seed builds inputs in that layout.
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Seed:
    """Front bytes are read in order; choices are read from the end backwards."""

    def __init__(self):
        self.front = bytearray()
        self.back = []  # bytes in the order they are consumed

    def bytes(self, data):
        self.front += data
        return self

    def choice(self, lo, hi, value):
        span = hi - lo
        n = 0
        while n < 8 and (span >> (8 * n)) > 0:
            n += 1
        raw = value - lo
        self.back += [(raw >> (8 * (n - 1 - k))) & 0xFF for k in range(n)]
        return self

    def flag(self, on):
        return self.choice(0, 255, 1 if on else 0)

    def data(self):
        return bytes(self.front) + bytes(reversed(self.back))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def frame(a, b, v1, v2, v3):
    return bytes([0x02, a, b]) + struct.pack(">HHH", v1, v2, v3) + bytes([0x03])


MODELS = [520, 540, 560, 580, 0, 999]
SUFFIXES = [0, ord("D"), 13, ord("X")]


def frames_seed(stream, model, suffix, chunk_seed, max_chunk):
    s = Seed().bytes(stream)
    s.choice(0, len(MODELS) - 1, MODELS.index(model)).choice(0, len(SUFFIXES) - 1, SUFFIXES.index(suffix))
    s.choice(0, 2**32 - 1, chunk_seed).choice(1, 40, max_chunk)
    return s.data()


def memory(sets, sample_size, end_pad=0):
    image = b"".join(sets) + bytes(end_pad)
    end = 255 + len(image)
    header = bytearray(256)
    header[1:3] = struct.pack(">H", len(sets))
    header[3:6] = struct.pack(">I", end)[1:]
    return bytes(header) + image


def record(year, month, day, h, m, s, interval, fahrenheit, samples):
    body = bytes([0xA5, 0x5A, year // 100, year % 100, month, day, h, m, s]) + struct.pack(">H", interval)
    body += bytes([0x08 if fahrenheit else 0]) + struct.pack(">H", len(samples))
    return body + b"".join(samples) + bytes([0x5A, 0xA5])


def value(v):
    raw = round(abs(v) * 10)
    return struct.pack(">H", raw | (0x8000 if v < 0 else 0))


def main():
    f1 = frame(0x00, 0x00, 456, 250, 0)
    f580 = frame(0x44, 0x00, 500, 200, 2001)
    fol = frame(0x01, 0xC0, 0, 30, 2005)
    write("fuzz_frames", "two_frames_580D", frames_seed(f1 + f580, 580, ord("D"), 7, 3))
    write("fuzz_frames", "garbage_and_split_540", frames_seed(b"\x55" + f1 + b"\x02\x00\x00" + fol, 540, 0, 99, 11))
    write("fuzz_frames", "bad_end_then_frame_520", frames_seed(b"\x02" + bytes(9) + frame(0x20, 0, 123, 45, 0x0C1E), 520, 0, 1, 1))
    write("fuzz_frames", "maxmin_hold_560", frames_seed(frame(0x05, 0x01, 400, 210, 0) + frame(0x06, 0, 420, 205, 0) * 2, 560, 13, 5, 40))

    for name, reply in [("580D", b"580D"), ("540D", b"540D"), ("560cr", b"560\r"), ("520nul", b"520\0"),
                        ("999X", b"999X"), ("ABCD", b"ABCD")]:
        write("fuzz_identify", name, reply)

    example = record(2009, 6, 15, 14, 30, 0, 60, False,
                     [value(45.3) + value(25.0), bytes([0x03, 0xE8, 0x80, 0x64]), value(45.3) + value(25.0)])
    write("fuzz_records", "worked_example_520",
          Seed().bytes(example).choice(0, 3, 0).choice(0, 2, 0).flag(False).choice(0, 6, 1)
          .choice(-2**31, 2**31 - 1, 14).data())
    sets580 = record(2026, 12, 6, 13, 5, 9, 2, False, [value(45.6) + value(21.3) + value(-205.4), value(0) + value(19.8) + value(2500.0)])
    sets580 += record(2026, 2, 30, 24, 0, 0, 3600, True, [])
    write("fuzz_records", "two_sets_580D",
          Seed().bytes(sets580).choice(0, 3, 3).choice(0, 2, 1).flag(False).choice(0, 6, 2)
          .choice(-2**31, 2**31 - 1, 16).data())

    # Downloads: a stream memory just above the smallest end address, and a
    # block memory of five blocks, one of them first sent damaged.
    small = memory([record(2024, 1, 1, 0, 0, 0, 60, False, [])], 4, end_pad=2)
    s = Seed()
    s.flag(True).flag(False)
    s.choice(0, 4000, 10).choice(0, 3, 0).choice(0, 300, len(small)).bytes(small)
    write("fuzz_download", "stream_small_memory", s.data())

    blocks = memory([record(2024, 1, 1, 0, 0, 0, 60, False, [value(40.0) + value(20.0)] * 12)], 4)
    blocks += b"\xff" * (-len(blocks) % 64)
    s = Seed()
    s.flag(False).flag(False)
    for i in range(0, len(blocks), 64):
        if i == 128:
            s.choice(0, 4000, 5).choice(0, 3, 0).choice(0, 300, 65).bytes(blocks[i:i + 64] + bytes([(sum(blocks[i:i + 64]) + 1) % 256]))
        s.choice(0, 4000, 5).choice(0, 3, 1).bytes(blocks[i:i + 64])
    write("fuzz_download", "blocks_with_a_resend", s.data())

    s = Seed()
    s.flag(True).flag(True)
    s.choice(0, 4000, 10).choice(0, 3, 0).choice(0, 300, 266).bytes(small[:266])
    s.choice(0, 4000, 100).choice(0, 3, 2).choice(0, 130, 5).choice(-1, 70, 0).choice(0, 15, 3)
    write("fuzz_download", "stream_claims_bytes_it_never_gives", s.data())

    csv = ("06/12/2026,13:05:09,45.6,%RH,21.3,C,,,,\r\n"
           "06/12/2026,13:05:10,45.7,%RH,21.3,C,19.8,C,9.2,\r\n").encode()
    write("fuzz_tablefile", "realtime.csv", Seed().bytes(csv).flag(True).choice(1, 12, 9).data())
    txt = csv.replace(b",", b"\t")
    write("fuzz_tablefile", "realtime.txt", Seed().bytes(txt).flag(False).choice(1, 12, 9).data())
    quoted = '"a,b",\u00e9t\u00e9,"say ""hi""",\n25\u00b0C,x,\r\n'.encode()
    write("fuzz_tablefile", "quoted_utf8.csv", Seed().bytes(quoted).flag(True).choice(1, 12, 12).data())
    write("fuzz_tablefile", "latin1.txt", Seed().bytes(b"25\xb0C\t\xe9t\xe9\t\r\nend\r\n").flag(False).choice(1, 12, 4).data())

    # Lines at and past the 179-character limit, in UTF-8, Latin-1 and quotes,
    # then lines past the 64 KiB a line without an end is looked at by: one
    # ended far out, one never ended whose cut falls inside a character.
    edge = ("x" * 173 + ",abc,\r\n").encode()                       # 179 characters: whole
    edge += ("\u00e9" * 174 + ",abc,\r\n").encode()                 # 179 characters: whole
    edge += ("\u00e9" * 175 + ",abc,\r\n").encode()                 # 180 characters: cut, table ends
    write("fuzz_tablefile", "limit_utf8.csv", Seed().bytes(edge + b"next,\r\n").flag(True).choice(1, 12, 9).data())
    latin = b"\xe9" * 174 + b"\tabc\t\r\n" + b"\xe9" * 168 + b"\t\"q\"\"\"\tabc\t\r\nnext\t\r\n"
    write("fuzz_tablefile", "limit_latin1.txt", Seed().bytes(latin).flag(False).choice(1, 12, 9).data())
    quoted_long = ('"' + "y" * 171 + '",abc,\r\n').encode() * 2
    write("fuzz_tablefile", "limit_quoted.csv", Seed().bytes(quoted_long).flag(True).choice(1, 12, 3).data())
    ended = ("a,b,\r\n" + "\u20ac," * 23000 + "\r\nnext,\r\n").encode()
    write("fuzz_tablefile", "long_line_ended.csv", Seed().bytes(ended).flag(True).choice(1, 12, 12).data())
    endless = "qq," + "\U0001F600," * 13200  # byte 65536 is the emoji's fourth
    write("fuzz_tablefile", "long_line_endless.csv", Seed().bytes(endless.encode()).flag(True).choice(1, 12, 12).data())


def sealed(body):
    import zlib
    return body + b"\t#" + b"%08x" % zlib.crc32(body) + b"\n"


def recovery_seeds():
    # A run journal of a 580D run, whole and with a torn line glued to the next.
    rows = [sealed(("S\t%d\t46000.5\t45.6\t21.3\t19.8\t9.2\t0\t%d\t06/12/2026\t13:05:0%d\t45.6\t%%RH\t21.3\tC\t19.8\tC\t9.2"
                    % (n, n, n)).encode()) for n in range(1, 4)]
    journal = sealed(b"VANDREL-RUN\t1\t580\t68\t0.002") + b"".join(rows)
    write("fuzz_recovery", "journal_580D", journal)
    write("fuzz_recovery", "journal_torn", journal[:len(journal) - len(rows[-1]) - 20] + rows[-1])
    image = record(2009, 6, 15, 14, 30, 0, 60, False, [value(45.3) + value(25.0)] * 3)
    import base64
    kept = sealed(b"VANDREL-LOGGER\t1\t560\t13\t4\t1\t46000.25\t%d" % len(image)) + sealed(base64.b64encode(image))
    write("fuzz_recovery", "kept_memory_560", kept)


if __name__ == "__main__":
    main()
    recovery_seeds()
