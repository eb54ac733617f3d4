#!/usr/bin/env python3
"""Renders chords.mid with three voices for LinuxCNC at 80 steps/mm and reads it back with
LinuxCNC's own interpreter (rs274 -g): every feed move must be one stretch of the score in which
the same notes sound (drums left out, at most three: the highest, the lowest, the next highest),
each moving axis's speed times its steps per mm the pitch of one of them within 0.5 %, and each
move and rest lasting its stretch within 2 ms.
Usage: check_chords.py CHIMEX_CLI"""
import math
import pathlib
import re
import subprocess
import sys
import tempfile

from make_chords import NOTES

STEPS = 80
SECONDS_PER_TICK = 1 / 960


def expected_stretches():
    """(seconds, sorted pitches in Hz) for each stretch; no pitches for a rest."""
    notes = [(s, e, k) for s, e, k, ch in NOTES if ch != 9]
    cuts = sorted({t for s, e, _ in notes for t in (s, e)})
    stretches = []
    for start, end in zip(cuts, cuts[1:]):
        keys = sorted((k for s, e, k in notes if s <= start < e), reverse=True)
        keys = keys[:1] + keys[-1:] + keys[1:2] if len(keys) > 3 else keys
        pitches = sorted(130.8128 * 2 ** ((k - 48) / 12) for k in keys)
        seconds = (end - start) * SECONDS_PER_TICK
        if stretches and stretches[-1][2] == sorted(keys):
            stretches[-1][0] += seconds
        else:
            stretches.append([seconds, pitches, sorted(keys)])
    return [(s, p) for s, p, _ in stretches]


def read_moves(canon):
    """(seconds, sorted axis pitches in Hz) for each feed move and dwell after the first dwell."""
    moves, feed, at = [], 0.0, (0.0, 0.0, 0.0)
    for line in canon.splitlines():
        words = re.search(r"(SET_FEED_RATE|STRAIGHT_FEED|DWELL)\(([^)]*)\)", line)
        if not words:
            continue
        name, args = words.group(1), [float(a) for a in words.group(2).split(",")]
        if name == "SET_FEED_RATE":
            feed = args[0] / 60
        elif name == "STRAIGHT_FEED":
            to = tuple(args[:3])
            length = math.dist(at, to)
            pitches = sorted(abs(b - a) / length * feed * STEPS for a, b in zip(at, to) if b != a)
            moves.append((length / feed, pitches))
            at = to
        elif name == "DWELL":
            moves.append((args[0], []))
    return moves[1:]  # the start pause


def main():
    cli = sys.argv[1]
    here = pathlib.Path(__file__).parent
    with tempfile.TemporaryDirectory() as work:
        ini = pathlib.Path(work, "Chimex.ini")
        ini.write_bytes(b"MaxX = 400\r\nMaxY = 300\r\nMaxZ = 100\r\nMAxXYSpeed = 25\r\n"
                        b"MAxZSpeed = 15\r\nADdPause = 0\r\n")
        subprocess.run([cli, "render", str(here / "chords.mid"), "-o", "chords.ngc", "--format",
                        "gcode", "--dialect", "linuxcnc", "--unit", "mm", "--voices", "3",
                        "--steps-per-unit", str(STEPS), "--settings", str(ini)],
                       cwd=work, check=True)
        canon = subprocess.run(["rs274", "-g", "chords.ngc"], cwd=work, check=True,
                               stdin=subprocess.DEVNULL, capture_output=True, text=True).stdout
    moves, stretches = read_moves(canon), expected_stretches()
    if len(moves) != len(stretches):
        sys.exit(f"rs274 reads {len(moves)} moves and dwells, the score has {len(stretches)}")
    worst_pitch = worst_ms = 0.0
    for i, ((seconds, pitches), (want_seconds, want)) in enumerate(zip(moves, stretches), 1):
        if len(pitches) != len(want):
            sys.exit(f"move {i}: {len(pitches)} axes move, {len(want)} notes sound")
        for got, note in zip(pitches, want):
            worst_pitch = max(worst_pitch, abs(got / note - 1) * 100)
        worst_ms = max(worst_ms, abs(seconds - want_seconds) * 1000)
    print(f"{len(moves)} moves: pitch within {worst_pitch:.3f} %, time within {worst_ms:.3f} ms")
    if worst_pitch > 0.5 or worst_ms > 2:
        sys.exit("off by more than 0.5 % or 2 ms")


if __name__ == "__main__":
    main()
