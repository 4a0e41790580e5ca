#!/usr/bin/python3
"""Rolls the JACK transport, plays the test signal on it and records what comes back.

Two JACK clients, so that the graph runs signal -> host -> recorder in one cycle (one client
both feeding and reading the host would close a loop, which JACK breaks with a cycle of delay):

- "vorblexter-signal" (with --play): while the transport rolls, its outputs carry the test
  signal at the transport's frame, so input frame f is heard at transport frame f; while it
  stands, silence.
- "vorblexter-record": records its inputs from before the transport starts, then starts it
  (some host or jack_transport being its timebase master) from frame 0, where it must stand,
  records until it has rolled FRAMES frames, stops it and writes the recording as a stereo
  float WAV file.

While rolling, the transport must move on by one period every cycle, report bars and beats (a
timebase master is running) and keep the tempo and meter asked for; anything else fails, but for
a return to a standing frame 0, after which the count starts anew (a host that follows the
transport may put it back to its own playhead as it starts playing). Both clients join the JACK
server that JACK_DEFAULT_SERVER names.

usage: play_record.py OUT.wav FRAMES BPM BEATS_PER_BAR RECORD_LEFT RECORD_RIGHT
                      [--play PLAY_LEFT PLAY_RIGHT]
"""

import array
import os
import sys
import threading

import jack

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "render"))
from render_signal import FRAMES, signal, write_float_wav  # noqa: E402

# Stopped cycles recorded before the transport starts, and the wait for it all.
PRE_ROLL_SECONDS = 0.5
TIMEOUT_SECONDS = 60.0


def main():
    arguments = sys.argv[1:]
    play = None
    if "--play" in arguments:
        at = arguments.index("--play")
        play = arguments[at + 1:at + 3]
        arguments = arguments[:at] + arguments[at + 3:]
    out, frames, bpm, beats_per_bar = (arguments[0], int(arguments[1]), float(arguments[2]),
                                       float(arguments[3]))
    record_from = arguments[4:6]
    if frames >= FRAMES:
        sys.exit("the test signal names at most %d frames" % FRAMES)

    recorder = jack.Client("vorblexter-record", use_exact_name=True, no_start_server=True)
    rate, period = recorder.samplerate, recorder.blocksize
    capacity = int((PRE_ROLL_SECONDS + TIMEOUT_SECONDS) * rate) + frames
    recorded = [bytearray(4 * capacity), bytearray(4 * capacity)]
    inputs = [recorder.inports.register("in_%d" % (c + 1)) for c in range(2)]
    state = {"written": 0, "rolled": 0, "next_frame": None, "failure": None}
    finished = threading.Event()

    def fail(message):
        if state["failure"] is None:
            state["failure"] = message
        finished.set()

    @recorder.set_process_callback
    def record(count):
        if finished.is_set():
            return
        transport, position = recorder.transport_query_struct()
        if state["written"] + count > capacity:
            fail("the transport did not roll %d frames in %.0f s" % (frames, TIMEOUT_SECONDS))
            return
        at = 4 * state["written"]
        for channel, port in enumerate(inputs):
            recorded[channel][at:at + 4 * count] = port.get_buffer()
        state["written"] += count
        if transport != jack.ROLLING:
            # A host that follows the transport may locate it to its own playhead as it starts
            # playing: the transport stands again at frame 0, and rolls from there anew.
            if state["rolled"] > 0 and position.frame != 0:
                fail("the transport stopped at frame %d" % position.frame)
            state["rolled"], state["next_frame"] = 0, None
            return
        if position.frame != 0 and position.frame != state["next_frame"]:
            fail("the transport jumped from frame %s to %d" % (state["next_frame"],
                                                               position.frame))
        elif not position.valid & jack.POSITION_BBT:
            fail("the transport reports no bars and beats: no timebase master")
        elif (position.beats_per_minute, position.beats_per_bar) != (bpm, beats_per_bar):
            fail("the transport runs at %g BPM, %g beats per bar" % (position.beats_per_minute,
                                                                      position.beats_per_bar))
        state["next_frame"] = position.frame + count
        state["rolled"] += count
        if state["rolled"] >= frames:
            finished.set()

    player = None
    if play is not None:
        # Whole periods of the signal, as raw float32, and silence past its end.
        length = frames + 2 * period
        channels = [array.array("f", (signal(f)[c] for f in range(length))).tobytes()
                    for c in range(2)]
        silence = bytes(4 * period)
        player = jack.Client("vorblexter-signal", use_exact_name=True, no_start_server=True)
        outputs = [player.outports.register("out_%d" % (c + 1)) for c in range(2)]

        @player.set_process_callback
        def play_signal(count):
            transport, position = player.transport_query_struct()
            start = position.frame
            for channel, port in enumerate(outputs):
                buffer = port.get_buffer()
                if transport == jack.ROLLING and start + count <= length:
                    buffer[:] = channels[channel][4 * start:4 * (start + count)]
                else:
                    buffer[:] = silence[:4 * count]

    # The transport starts from frame 0, where it has stood since the server started: a locate
    # now would be one more thing the plug-in reacts to (a transport moved back re-arms it).
    transport, position = recorder.transport_query_struct()
    if transport != jack.STOPPED or position.frame != 0:
        sys.exit("FAIL: the transport does not stand at frame 0 (state %d, frame %d)"
                 % (transport, position.frame))
    recorder.activate()
    for port, source in zip(inputs, record_from):
        recorder.connect(source, port)
    if player is not None:
        player.activate()
        for port, destination in zip(outputs, play):
            player.connect(port, destination)
    threading.Event().wait(PRE_ROLL_SECONDS)
    recorder.transport_start()
    finished.wait(PRE_ROLL_SECONDS + TIMEOUT_SECONDS)
    recorder.transport_stop()
    recorder.deactivate()
    if player is not None:
        player.deactivate()
        player.close()
    recorder.close()
    if not finished.is_set():
        sys.exit("FAIL: the recording did not finish")
    if state["failure"] is not None:
        sys.exit("FAIL: " + state["failure"])

    written = state["written"]
    left, right = (array.array("f", bytes(recorded[c][:4 * written])) for c in range(2))
    write_float_wav(out, rate, [left, right])
    print("recorded %d frames at %d Hz in periods of %d, %d of them rolling at %g BPM"
          % (written, rate, period, state["rolled"], bpm))


if __name__ == "__main__":
    main()
