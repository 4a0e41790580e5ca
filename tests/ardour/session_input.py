#!/usr/bin/env python3
"""Puts the test signal on the slicer track of a saved Ardour session.

Ardour's headless Lua tool cannot import audio files (import lives in the editor), so this writes
the two channels as the session's own mono sources and adds one region holding them to the
track's playlist, the way a recorded take is stored, with the region fades switched off so that
Ardour plays the file's samples unchanged.

The signal is the one every host check plays (tests/render/render_signal.py).

usage: session_input.py SESSION_DIR SESSION_NAME TRACK_NAME FRAMES
"""

import os
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "render"))
from render_signal import FRAMES, signal, write_float_wav  # noqa: E402

# Ardour's session time unit: ticks per second of its audio clock.
SUPERCLOCK_RATE = 282240000


def main():
    session_dir, name, track, frames = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    if frames >= FRAMES:
        sys.exit("the test signal names at most 2^20 frames")
    session_file = os.path.join(session_dir, name + ".ardour")
    tree = ET.parse(session_file)
    root = tree.getroot()
    rate = int(root.get("sample-rate"))
    if SUPERCLOCK_RATE % rate != 0:
        sys.exit("sample rate %d is not a whole number of clock ticks" % rate)
    length = "a%d@a0" % (frames * (SUPERCLOCK_RATE // rate))

    # Ardour names the folder after the session's folder.
    audio_dir = os.path.join(session_dir, "interchange",
                             os.path.basename(os.path.normpath(session_dir)), "audiofiles")
    os.makedirs(audio_dir, exist_ok=True)
    left, right = zip(*(signal(f) for f in range(frames)))

    next_id = int(root.get("id-counter"))

    def new_id():
        nonlocal next_id
        next_id += 1
        return str(next_id)

    sources = root.find("Sources")
    source_ids = []
    for channel, samples in (("L", left), ("R", right)):
        file_name = "frames%%%s.wav" % channel
        write_float_wav(os.path.join(audio_dir, file_name), rate, [samples])
        source_id = new_id()
        source_ids.append(source_id)
        ET.SubElement(sources, "Source", {
            "name": file_name, "type": "audio", "flags": "", "id": source_id,
            "natural-position": "a0", "channel": "0", "origin": "", "gain": "1",
        })

    def region(region_name, whole_file):
        attributes = {
            "name": region_name, "muted": "0", "opaque": "1", "locked": "0",
            "automatic": "1" if whole_file else "0", "whole-file": "1" if whole_file else "0",
            "import": "0", "external": "0", "hidden": "0", "start": "a0", "length": length,
            "sync-position": "a0", "stretch": "1", "shift": "1", "layering-index": "0",
            "envelope-active": "0", "default-fade-in": "0", "default-fade-out": "0",
            "fade-in-active": "0", "fade-out-active": "0", "scale-amplitude": "1",
            "id": new_id(), "type": "audio", "channels": "2",
        }
        for index, source_id in enumerate(source_ids):
            attributes["source-%d" % index] = source_id
            attributes["master-source-%d" % index] = source_id
        return attributes

    ET.SubElement(root.find("Regions"), "Region", region("frames", True))

    route = next((r for r in root.find("Routes") if r.get("name") == track), None)
    if route is None:
        sys.exit("no track named %s" % track)
    playlist = next((p for p in root.find("Playlists")
                     if p.get("id") == route.get("audio-playlist")), None)
    if playlist is None:
        sys.exit("track %s has no playlist" % track)
    placed = ET.SubElement(playlist, "Region", region("frames.1", False))
    ET.SubElement(placed, "Envelope", {"default": "yes"})

    root.set("id-counter", str(next_id + 1))
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)


if __name__ == "__main__":
    main()
