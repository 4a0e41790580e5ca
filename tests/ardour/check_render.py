#!/usr/bin/env python3
"""Checks Ardour's render of the slicer track against the test signal, frame by frame.

The effect starts with a standing transport at frame 0, waits for the next bar line, captures one
loop (passing the input through) and then plays the loop's slices in a drawn order, some of them
backwards, with a sine fade of Envelope frames at both edges of every slot. So:

- every frame before the end of the capture equals the input, bit for bit;
- every slot after it is one captured slice, played forwards or backwards, each frame being the
  captured frame times the effect's fade gain, bit for bit (the first slot may step forward until
  the end of the run in which the capture completed, then play the mirror image);
- with Repetition 0 no pass over the loop plays a slice twice.

usage: check_render.py RENDER.wav BPM BEATS_PER_BAR LOOP_BEATS CUTS_PER_BAR ENVELOPE REPETITION
Prints a report; exits 1 on any mismatch.
"""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from session_input import signal  # noqa: E402


def read_float_wav(path):
    """(rate, left, right) of a stereo 32-bit float WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit("%s is no WAV file" % path)
    pos, fmt, body = 12, None, None
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        if chunk == b"fmt ":
            fmt = struct.unpack("<HHIIHH", data[pos + 8:pos + 24])
        elif chunk == b"data":
            body = data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    if fmt is None or body is None or fmt[0] != 3 or fmt[1] != 2 or fmt[5] != 32:
        raise SystemExit("%s is not stereo 32-bit float" % path)
    values = struct.unpack("<%df" % (len(body) // 4), body)
    return fmt[2], values[0::2], values[1::2]


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def fade_gain(to_end, from_start, envelope):
    """The effect's slot fade, evaluated the same way (double, left to right)."""
    gain = 1.0
    if envelope <= 0:
        return gain
    if to_end < envelope:
        gain = math.sin(max(to_end, 0) * 1.570796327 / envelope)
    if from_start < envelope:
        gain = math.sin(max(from_start, 0) * 1.570796327 / envelope)
    return gain


def main():
    path = sys.argv[1]
    bpm, beats_per_bar, loop_beats, cuts, envelope = (float(sys.argv[2]), int(sys.argv[3]),
                                                      int(sys.argv[4]), int(sys.argv[5]),
                                                      int(sys.argv[6]))
    repetition = int(sys.argv[7])
    rate, left, right = read_float_wav(path)
    frames = len(left)
    failures = []

    beat = rate * 60.0 / bpm
    bar = int(round(beat * beats_per_bar))
    capture_start = bar  # the first bar line after the standing start
    loop = int(round(beat * loop_beats))
    play_start = capture_start + loop
    slices = max(1, cuts * loop_beats // 4)
    slice_length = loop // slices
    inputs = [signal(f) for f in range(frames)]
    print("render: %d frames at %d Hz; bar %d frames; capture %d..%d; %d slices of %d frames"
          % (frames, rate, bar, capture_start, play_start - 1, slices, slice_length))

    # Pass-through and capture: the input itself.
    first_difference = next((t for t in range(frames)
                             if (left[t], right[t]) != inputs[t]), None)
    equal = play_start if first_difference is None else min(first_difference, play_start)
    print("frames 0..%d equal the input (bar 1: 0..%d, capture: %d..%d)"
          % (equal - 1, bar - 1, capture_start, play_start - 1))
    if equal < play_start:
        failures.append("frame %d differs from the input before the loop plays: %r, input %r"
                        % (equal, (left[equal], right[equal]), inputs[equal]))
    print("first frame differing from the input: %s" % first_difference)

    # Playback: every slot one slice, forwards, backwards or silent, with the fades. The first
    # slot starts with the rest of the run that completed the capture, which plays straight on
    # (no fade, reversal or silence); its length is Ardour's to choose, so it is measured.
    def straight(index, j):
        return inputs[capture_start + index * slice_length + j]

    def regular(index, reversed_, silent, j):
        if silent:
            return 0.0, 0.0
        offset = slice_length - 1 - j if reversed_ else j
        gain = fade_gain(slice_length - j, j, envelope)
        in_left, in_right = inputs[capture_start + index * slice_length + offset]
        return f32(in_left * gain), f32(in_right * gain)

    def played(slot_start, j):
        return left[slot_start + j], right[slot_start + j]

    slots = []
    hand_over = None
    slot_start = play_start
    while slot_start + slice_length <= frames:
        first = not slots
        middle = slot_start + slice_length // 2
        source = int(round(left[middle] * 2**21)) - 1  # gain 1 in mid-slot
        index = (source - capture_start) // slice_length
        candidates = [(index, False, False), (index, True, False)] if 0 <= index < slices else []
        candidates.append((0 if first else index, False, True))
        found = None
        for index_, reversed_, silent in candidates:
            if not 0 <= index_ < slices:
                continue
            # The shortest straight start after which the slot plays as drawn.
            begin = slice_length
            while begin > 0 and played(slot_start, begin - 1) == regular(index_, reversed_,
                                                                         silent, begin - 1):
                begin -= 1
            if begin > 0 and not (first and all(played(slot_start, j) == straight(index_, j)
                                                 for j in range(begin))):
                continue
            found = (index_, reversed_, silent)
            if first:
                hand_over = begin
            break
        if found is None:
            failures.append("slot at frame %d is no captured slice (its middle frame is input "
                            "frame %d)" % (slot_start, source))
        slots.append(found)
        slot_start += slice_length

    def name(slot):
        if slot is None:
            return "?"
        index, reversed_, silent = slot
        return "S" if silent else "%d%s" % (index + 1, "R" if reversed_ else "")

    for number in range(0, len(slots), slices):
        pass_slots = slots[number:number + slices]
        print("pass %d from frame %d: slots play slices %s"
              % (number // slices + 1, play_start + number * slice_length,
                 " ".join(name(s) for s in pass_slots)))
        if len(pass_slots) == slices and None not in pass_slots and repetition == 0:
            if sorted(s[0] for s in pass_slots if not s[2]) != sorted(
                    set(s[0] for s in pass_slots if not s[2])):
                failures.append("pass %d plays a slice twice with Repetition 0"
                                % (number // slices + 1))
    if hand_over is not None:
        print("first slot: its first %d frames play straight (the rest of the run that completed "
              "the capture%s), then as drawn" % (hand_over, "" if slots[0] is None or slots[0][1]
                                                 or slots[0][2] else "; at least that many"))
    if not slots:
        failures.append("the render ends before the loop plays")
    elif all(s == (i % slices, False, False) for i, s in enumerate(slots)):
        failures.append("every slot plays its own slice forwards: the loop was not sliced")
    if slots and None not in slots:
        print("frames %d..%d: every frame is a captured frame times the slot's fade, bit for bit"
              % (play_start, play_start + len(slots) * slice_length - 1))

    for failure in failures:
        print("FAIL: " + failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
