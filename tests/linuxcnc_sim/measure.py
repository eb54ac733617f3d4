#!/usr/bin/python3
"""Reads a 1 kHz trace of a played G-code file and prints every feed move's onset against the
score's time, then how often the machine stood still between legato notes, then a summary: onset
error mean / max, end of tune, share of the notes' time at pitch
and the physical bound D - 2v/a for that share. Times are measured from the first note's onset.

Usage: measure.py SCORE.txt PLAYED.ngc TRACE ACCEL [LIMIT_MS]: with LIMIT_MS, fails (status 1) when
an onset or the end is further than that from the score. SCORE.txt is a score of notes ("key hold
gap" lines) or, when its first line is "# start hold vx vy vz", of segments that move one to three
axes at once (a row whose speeds are all 0 is a rest); SCORE.ngc is the same tune's G-code written
without --accel, whose moves keep the score's time exactly. Every axis accelerates at ACCEL."""
import math
import sys

PERIOD = 0.001


def gcode_steps(path):
    """Each G1 as (line number, "G1", displacement of X, Y and Z, feed in mm/s) and each dwell as
    (line number, "G4", seconds), in order."""
    position = [0.0, 0.0, 0.0]
    for number, line in enumerate(open(path), start=1):
        words = line.split()
        if words and words[0] == "G4":
            yield number, "G4", float(words[1][1:])
        if not words or words[0] not in ("G0", "G1"):
            continue
        target = list(position)
        for word in words[1:]:
            if word[0] in "XYZ":
                target["XYZ".index(word[0])] = float(word[1:])
        if words[0] == "G1":
            feed = next(float(w[1:]) for w in words[1:] if w[0] == "F") / 60
            yield number, "G1", [t - p for t, p in zip(target, position)], feed
        position = target


def read_untimed(path):
    """Each G1 of G-code written without --accel as (start, hold): it lasts its length over its
    feed, and a dwell after the first G1 is a rest."""
    score, clock = [], None
    for step in gcode_steps(path):
        if step[1] == "G4" and clock is not None:
            clock += step[2]
        elif step[1] == "G1":
            clock = clock or 0.0
            score.append((clock, math.hypot(*step[2]) / step[3]))
            clock += score[-1][1]
    return score


def read_score(path):
    """Each note or segment that moves as (start, hold) in seconds."""
    if path.endswith(".ngc"):
        return read_untimed(path)
    lines = open(path).read().splitlines()
    if lines and lines[0].split() == ["#", "start", "hold", "vx", "vy", "vz"]:
        rows = [[float(v) for v in line.split()] for line in lines[1:] if line.strip()]
        return [(row[0], row[1]) for row in rows if any(row[2:5])]
    notes, clock = [], 0.0
    for line in lines:
        fields = line.split("#")[0].split()
        if len(fields) >= 2:
            hold, gap = float(fields[1]), float(fields[2]) if len(fields) > 2 else 0.0
            notes.append((clock + gap, hold))
            clock += gap + hold
    return notes


def read_moves(path):
    """Each G1 as (line number, speed of X, Y and Z in mm/s): the feed shared by the axes' moves.
    A G1 of a millionth is a rest timed by the machine's motion, and left out."""
    moves = []
    for number, kind, *rest in gcode_steps(path):
        if kind == "G1":
            step, feed = rest
            length = math.hypot(*step) or 1.0
            if length < 1e-5:
                continue
            moves.append((number, [feed * abs(d) / length for d in step]))
    return moves


def read_trace(path):
    """Samples as [x, y, z, program line]."""
    return [[float(v) for v in line.split()[1:5]] for line in open(path) if line.strip()]


def onsets(trace, moves):
    """For each move, the last sample before the machine starts executing its line."""
    found, k = [], 0
    for line, _ in moves:
        while k < len(trace) and trace[k][3] != line:
            k += 1
        if k == len(trace):
            sys.exit(f"measure: line {line} never ran")
        found.append((k - 1) * PERIOD)
    return found


def at_pitch(trace, start, end, speeds):
    """Seconds between start and end that every moving axis moves within 1 % of its speed."""
    first, last = int(round(start / PERIOD)), int(round(end / PERIOD))
    return PERIOD * sum(1 for k in range(first + 1, min(last, len(trace) - 1) + 1)
                        if all(abs(abs(trace[k][a] - trace[k - 1][a]) / PERIOD - v) <= v / 100
                               for a, v in enumerate(speeds) if v > 0))


def stands_between_legato(trace, score, measured):
    """Runs of two or more samples in which the machine stood still between notes the score plays
    legato (the next starts as one ends): where the motion queue ran dry. Returns their lengths in
    seconds."""
    runs = []
    for i in range(len(score) - 1):
        if score[i + 1][0] - (score[i][0] + score[i][1]) > 1e-6:
            continue
        first, last = int(round(measured[i] / PERIOD)) + 1, int(round(measured[i + 1] / PERIOD)) + 5
        run = 0
        for k in range(first, min(last, len(trace) - 1) + 1):
            run = run + 1 if trace[k][:3] == trace[k - 1][:3] else 0
            if run == 2:
                runs.append(run * PERIOD)
            elif run > 2:
                runs[-1] = run * PERIOD
    return runs


def main():
    score, moves = read_score(sys.argv[1]), read_moves(sys.argv[2])
    trace, accel = read_trace(sys.argv[3]), float(sys.argv[4])
    limit = float(sys.argv[5]) / 1000 if len(sys.argv) > 5 else None
    if len(score) != len(moves):
        sys.exit(f"measure: the score has {len(score)} notes, the G-code {len(moves)} moves")
    measured = onsets(trace, moves)
    zero = measured[0] - score[0][0]
    moving = [k for k in range(1, len(trace)) if trace[k][:3] != trace[k - 1][:3]]
    end = (moving[-1] - 1) * PERIOD - zero  # the sample it arrives in, as for onsets
    errors, pitch, bound, total, never = [], 0.0, 0.0, 0.0, 0
    for i, ((start, hold), (line, speeds)) in enumerate(zip(score, moves)):
        onset = measured[i] - zero
        errors.append(onset - start)
        print(f"move {i + 1:3d} line {line:3d} onset {onset * 1000:9.1f} ms "
              f"score {start * 1000:9.1f} ms error {(onset - start) * 1000:+7.1f} ms")
        following = measured[i + 1] if i + 1 < len(moves) else moving[-1] * PERIOD
        seconds = at_pitch(trace, measured[i], following, speeds)
        never += seconds == 0
        # The path accelerates at ACCEL over the largest axis's share: its ramps last feed / that.
        ramp = max(speeds) / accel
        pitch, bound, total = pitch + seconds, bound + max(0.0, hold - 2 * ramp), total + hold
    stands = stands_between_legato(trace, score, measured)
    print(f"motion stood still between legato notes {len(stands)} times"
          + (f", the longest {max(stands) * 1000:.0f} ms" if stands else " (the queue never ran dry)"))
    late = end - (score[-1][0] + score[-1][1])
    mean = sum(abs(e) for e in errors) / len(errors)
    worst = max(abs(e) for e in errors)
    print(f"onset error mean / max {mean * 1000:.1f} / {worst * 1000:.1f} ms, "
          f"end of tune {late * 1000:+.1f} ms, time at pitch {100 * pitch / total:.0f} % "
          f"(bound D - 2v/a {100 * bound / total:.0f} %), {never} moves never at pitch")
    if limit is not None and (worst > limit or abs(late) > limit):
        sys.exit(f"measure: an onset or the end is more than {limit * 1000:.0f} ms off the score")


main()
