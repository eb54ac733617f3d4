#!/usr/bin/env python3
"""Writes chords.mid beside this script: a held bass under two moving voices, a rest, a last chord
of four notes, and a drum track. NOTES is the file's content, which check_chords.py reads too."""
import pathlib
import struct

TICKS_PER_QUARTER = 480  # at the default 120 beats a minute, 960 ticks a second

# (start tick, end tick, MIDI note, channel from 0)
BASS = [(0, 1920, 48, 0), (1920, 3840, 53, 0), (3840, 5760, 55, 0), (5760, 7680, 48, 0)]
UPPER = [
    (0, 480, 64, 1), (0, 480, 67, 1), (480, 960, 65, 1), (480, 960, 69, 1),
    (960, 1200, 64, 1), (960, 1440, 72, 1), (1200, 1440, 67, 1), (1440, 1920, 62, 1),
    (1440, 1920, 71, 1), (1920, 2400, 65, 1), (1920, 2880, 69, 1), (2400, 2880, 72, 1),
    (2880, 3120, 77, 1), (3120, 3360, 76, 1), (3360, 3840, 74, 1), (3840, 4320, 71, 1),
    (3840, 4800, 74, 1), (4320, 4800, 79, 1), (5040, 5280, 67, 1), (5280, 5760, 71, 1),
    (5760, 6240, 64, 1), (5760, 7680, 72, 1), (6240, 6720, 67, 1), (6720, 7680, 64, 1),
    (8160, 9120, 48, 1), (8160, 9120, 64, 1), (8160, 9120, 67, 1), (8160, 9120, 72, 1),
]
DRUMS = [(t, t + 120, 36, 9) for t in range(0, 7680, 480)]
NOTES = BASS + UPPER + DRUMS


def variable_length(value):
    out = [value & 0x7F]
    while value > 0x7F:
        value >>= 7
        out.insert(0, (value & 0x7F) | 0x80)
    return bytes(out)


def track(notes):
    events = sorted([(end, 0, 0x80 | ch, key) for start, end, key, ch in notes] +
                    [(start, 1, 0x90 | ch, key) for start, end, key, ch in notes])
    data, now = b"", 0
    for tick, _, status, key in events:
        data += variable_length(tick - now) + bytes([status, key, 64 if status < 0x90 else 100])
        now = tick
    data += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


if __name__ == "__main__":
    tracks = [track(BASS), track(UPPER), track(DRUMS)]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS_PER_QUARTER)
    pathlib.Path(__file__).with_name("chords.mid").write_bytes(header + b"".join(tracks))
