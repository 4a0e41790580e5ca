#!/usr/bin/env python3
"""Checks a host's render of the slicer track against the test signal, frame by frame.

The effect starts with a standing transport at frame 0, waits for the next bar line, captures one
loop (passing the input through) and then plays the loop's slices in a drawn order, some of them
backwards, with a sine fade of Envelope frames at both edges of every slot. So:

- every frame before the end of the capture equals the input, bit for bit;
- every slot after it is one captured slice, played forwards or backwards, each frame being the
  captured frame times the effect's fade gain, bit for bit (the first slot may step forward until
  the end of the run in which the capture completed, then play the mirror image);
- with Repetition 0 no pass over the loop plays a slice twice.

A render recorded live begins before the transport rolls. With --lead-in FADE it may start with
silence (exact zeros) up to the host's frame 0, which the first run of the signal played unchanged
locates. The host may fade in its first FADE frames (each one the input times a gain from 0 to 1
that never falls), which then stand for those frames of bar 1.

usage: check_render.py [--lead-in FADE] RENDER.wav BPM BEATS_PER_BAR LOOP_BEATS CUTS_PER_BAR
                       ENVELOPE REPETITION
Prints a report; exits 1 on any mismatch.
"""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from render_signal import read_float_wav, signal  # noqa: E402


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


# Frames of the signal in a row, unchanged, that mark where it plays at unity gain: a fade's
# frames could equal a signal frame now and then, but not this many in a row.
UNCHANGED_RUN = 64


def skip_lead_in(left, right, fade):
    """The render from the host's frame 0 on, and how many frames the host faded in."""
    frames = len(left)

    def source(t):
        """The signal frame that render frame t plays unchanged, or None."""
        f = int(round(left[t] * 2**21)) - 1
        return f if f >= 0 and (left[t], right[t]) == signal(f) else None

    def unchanged_run(t):
        f = source(t)
        return f is not None and f <= t and t + UNCHANGED_RUN <= frames and all(
            source(t + j) == f + j for j in range(UNCHANGED_RUN))

    first = next((t for t in range(frames) if unchanged_run(t)), None)
    if first is None:
        raise SystemExit("FAIL: the render never plays the signal unchanged")
    zero = first - source(first)
    if any(left[t] != 0.0 or right[t] != 0.0 for t in range(zero)):
        raise SystemExit("FAIL: the render is not silent before the host's frame 0 (render "
                         "frame %d)" % zero)
    if source(first) > fade:
        raise SystemExit("FAIL: the first %d frames differ from the input, more than the %d the "
                         "host may fade in" % (source(first), fade))
    # Each frame's gain is measured from a rounded product, so it may seem to fall by a rounding.
    gain = 0.0
    for f in range(source(first)):
        in_left = signal(f)[0]
        now = left[zero + f] / in_left
        if not gain * (1 - 2**-20) <= now <= 1.0 or right[zero + f] != -left[zero + f]:
            raise SystemExit("FAIL: frame %d is no step of a fade in: %r for the input %r"
                             % (f, (left[zero + f], right[zero + f]), signal(f)))
        gain = now
    print("lead-in: %d frames of silence before the host's frame 0%s" % (
        zero, "; the host fades in frames 0..%d" % (source(first) - 1) if source(first) else ""))
    return left[zero:], right[zero:], source(first)


def main():
    arguments = sys.argv[1:]
    fade = None
    if arguments[:1] == ["--lead-in"]:
        fade, arguments = int(arguments[1]), arguments[2:]
    path = arguments[0]
    bpm, beats_per_bar, loop_beats, cuts, envelope = (float(arguments[1]), int(arguments[2]),
                                                      int(arguments[3]), int(arguments[4]),
                                                      int(arguments[5]))
    repetition = int(arguments[6])
    rate, left, right = read_float_wav(path)
    faded = 0
    if fade is not None:
        left, right, faded = skip_lead_in(left, right, fade)
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

    # Pass-through and capture: the input itself, after what the host faded in.
    first_difference = next((t for t in range(faded, frames)
                             if (left[t], right[t]) != inputs[t]), None)
    equal = play_start if first_difference is None else min(first_difference, play_start)
    print("frames %d..%d equal the input (bar 1: 0..%d, capture: %d..%d)"
          % (faded, equal - 1, bar - 1, capture_start, play_start - 1))
    if equal < play_start:
        failures.append("frame %d differs from the input before the loop plays: %r, input %r"
                        % (equal, (left[equal], right[equal]), inputs[equal]))
    print("first frame differing from the input: %s" % first_difference)
    if first_difference is None:
        # What a host shows when it could not load the plug-in or never rolled its transport.
        failures.append("the render is the input throughout: nothing was sliced")

    # Playback: every slot one slice, forwards, backwards or silent, with the fades. The first
    # slot starts with the rest of the run that completed the capture, which plays straight on
    # (no fade, reversal or silence); its length is the host's to choose, so it is measured.
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
