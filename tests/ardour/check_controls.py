#!/usr/bin/env python3
"""Checks the State, Slot and Slice output controls that Ardour showed while playing the session.

Input: the "cycle N frames", "controls FRAME STATE SLOT SLICE" and "stopped at frame N" lines
of watch_session.lua, FRAME being Ardour's transport frame when the change was seen (polled every
few milliseconds, so a change shows up within a few process cycles of the frame where it
happened; the transport's frame may still be the start of the cycle in which it happened).

Expected, from frame 0 at 120 BPM in 4/4: State 0 (waiting) until the bar line at frame BAR,
1 (capturing) until BAR + LOOP, then 2 (playing), with Slot stepping 1, 2, ... SLICES at every
slice boundary and Slice naming a captured slice (negative when backwards), each one once per
pass with Repetition 0 and Silence 0.

usage: check_controls.py CONTROLS.txt RATE BPM BEATS_PER_BAR LOOP_BEATS CUTS_PER_BAR
"""

import sys


def main():
    path = sys.argv[1]
    rate, bpm = int(sys.argv[2]), float(sys.argv[3])
    beats_per_bar, loop_beats, cuts = int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
    beat = rate * 60.0 / bpm
    bar = int(round(beat * beats_per_bar))
    loop = int(round(beat * loop_beats))
    slices = max(1, cuts * loop_beats // 4)
    slice_length = loop // slices
    # Seen within a quarter of a second of where it happened, or the polling fell behind.
    late = rate // 4

    changes = []
    frames_seen = 0
    cycle = None
    with open(path) as lines:
        for line in lines:
            fields = line.split()
            if len(fields) == 5 and fields[0] == "controls":
                changes.append(tuple(int(v) for v in fields[1:]))
            elif len(fields) == 3 and fields[0] == "cycle":
                cycle = int(fields[1])
            elif fields[:3] == ["stopped", "at", "frame"]:
                frames_seen = int(fields[3])
    failures = []
    if cycle is None:
        raise SystemExit("FAIL: no cycle length in %s" % path)

    def expect(at, state, slot, what):
        change = next((c for c in changes if c[1:3] == (state, slot)), None)
        if change is None:
            failures.append("never saw %s" % what)
        elif not at - cycle < change[0] <= at + late:
            failures.append("saw %s at frame %d, expected from frame %d" % (what, change[0], at))
        else:
            print("%s: seen at frame %d (from frame %d)" % (what, change[0], at))
        return change

    if not changes or changes[0][1:] != (0, 0, 0):
        failures.append("the controls did not start at State 0, Slot 0, Slice 0")
    else:
        print("standing at frame 0: State 0, Slot 0, Slice 0")
    expect(bar, 1, 0, "State 1 (capturing)")
    passes = []
    slot_start = bar + loop
    while slot_start + late < frames_seen:
        number = (slot_start - bar - loop) // slice_length % slices + 1
        change = expect(slot_start, 2, number, "State 2, Slot %d" % number)
        if number == 1:
            passes.append([])
        if change is not None:
            passes[-1].append(change[3])
            # Skip this slot's change when looking for the next pass's same slot.
            changes.remove(change)
        slot_start += slice_length
    for number, played in enumerate(passes, 1):
        print("pass %d: Slice shows %s" % (number, " ".join(str(s) for s in played)))
        if any(s == 0 or abs(s) > slices for s in played):
            failures.append("pass %d shows a Slice that is no captured slice" % number)
        if len(set(abs(s) for s in played)) != len(played):
            failures.append("pass %d shows a slice twice with Repetition 0" % number)
    if not passes:
        failures.append("the controls never showed the loop playing")
    for failure in failures:
        print("FAIL: " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
