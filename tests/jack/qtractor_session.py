#!/usr/bin/env python3
"""Writes the Qtractor check's session and Qtractor's settings for an unattended run.

The session (SESSION_DIR/check.qtr, in the form Qtractor 0.9.31 saves): 48 kHz (or RATE) at BPM
in BEATS_PER_BAR, one stereo audio track "Slicer" whose one clip, from frame 0, is the test
signal (SESSION_DIR/signal.wav, written here, FRAMES long) at unity gain with no fades or
stretching, the plug-in as the track's insert with its controls set, the track on the Master
bus, and the Master bus connected to nothing (the recorder connects itself). Qtractor follows
and leads the JACK transport (full transport mode, timebase master), so the check's transport
start plays the session from the playhead.

The plug-in is PLUGIN_TYPE ("LV2" or "CLAP") PLUGIN: an LV2 URI, found through LV2_PATH, or the
path of a .clap file, of which the first plug-in is taken. CONTROLS is "index:name=value,..." in
Qtractor's own numbering of the plug-in's parameters (for LV2 the port index). Qtractor restores
a CLAP insert from the state it saved and leaves its parameters where the plug-in puts them, so
for CLAP the optional STATE, the eight quantities "q0,...,q7" in the effect's order, becomes the
insert's saved state: the plug-in's 40-byte record (clap/state_record.h) as Qtractor saves it,
qCompress'd (a big-endian length, then zlib) and in base64.

The settings (CONFIG_DIR/rncbc.org/Qtractor.conf) keep every message on standard output and in
MESSAGES_LOG, and switch off what would write or ask anything behind the check's back: auto-save,
session backups, automatic connections, the metronome.

usage: qtractor_session.py SESSION_DIR CONFIG_DIR MESSAGES_LOG FRAMES RATE BPM BEATS_PER_BAR
                           PLUGIN_TYPE PLUGIN CONTROLS [STATE]
"""

import base64
import os
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "render"))
from render_signal import FRAMES, signal, write_float_wav  # noqa: E402


def element(parent, tag, text=None, **attributes):
    child = ET.SubElement(parent, tag, attributes)
    if text is not None:
        child.text = str(text)
    return child


def fields(parent, **values):
    for name, value in values.items():
        element(parent, name.replace("_", "-"), value)


def saved_state(quantities):
    record = b"vbx1" + struct.pack("<I8i", 1, *quantities)
    return base64.b64encode(struct.pack(">I", len(record)) + zlib.compress(record)).decode()


def session(directory, frames, rate, bpm, beats_per_bar, plugin_type, plugin, controls, state):
    root = ET.Element("session", name="check", version="Qtractor 0.9.31")
    fields(element(root, "properties"), directory=directory, sample_rate=rate, tempo=bpm,
           ticks_per_beat=960, beats_per_bar=beats_per_bar, beat_divisor=2)

    engine = element(element(root, "devices"), "audio-engine")
    fields(element(engine, "audio-control"), transport_mode="duplex", timebase=1)
    master = element(engine, "audio-bus", name="Master", mode="duplex")
    fields(master, monitor=0, channels=2, auto_connect=0, input_gain=1, input_panning=0)
    for tag in ("input-controllers", "input-plugins", "input-connects"):
        element(master, tag)
    fields(master, output_gain=1, output_panning=0)
    for tag in ("output-controllers", "output-plugins", "output-connects"):
        element(master, tag)

    tracks = element(root, "tracks")
    track = element(tracks, "track", name="Slicer", type="audio")
    fields(element(track, "properties"), input_bus="Master", output_bus="Master")
    fields(element(track, "state"), mute=0, solo=0, record=0, monitor=0, gain=1, panning=0)
    element(track, "controllers")
    clip = element(element(track, "clips"), "clip", name="signal")
    properties = element(clip, "properties")
    fields(properties, name="signal", start=0, offset=0, length=frames, gain=1, panning=0)
    element(properties, "fade-in", 0, type="InQuad")
    element(properties, "fade-out", 0, type="OutQuad")
    fields(element(clip, "audio-clip"), filename="signal.wav", time_stretch=1, pitch_shift=1,
           wsola_time_stretch=0, wsola_quick_seek=0)

    insert = element(element(track, "plugins"), "plugin", type=plugin_type)
    fields(insert, filename=plugin, index=0, label="vorblexter1", activated=1)
    configs = element(insert, "configs")
    if state:
        element(configs, "config", saved_state(int(q) for q in state.split(",")), key="state")
    params = element(insert, "params")
    for control in filter(None, controls.split(",")):
        key, value = control.split("=")
        index, name = key.split(":")
        element(params, "param", value, index=index, name=name)

    ET.indent(root, " ")
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE qtractorSession>\n'
            + ET.tostring(root, encoding="unicode") + "\n")


# Qtractor's settings file is Qt's INI format; groups and keys as Qtractor 0.9.31 writes them.
SETTINGS = {
    "AutoSave": {"Enabled": "false"},
    "Default": {"SessionBackup": "false", "AutoMonitor": "false"},
    "Options": {
        "Display\\StdoutCapture": "false",
        "Display\\ConfirmRemove": "false",
        "Display\\ConfirmArchive": "false",
        "Audio\\MasterAutoConnect": "false",
        "Audio\\PlayerAutoConnect": "false",
        "Audio\\MetroAutoConnect": "false",
        "Audio\\Metronome": "false",
        "Midi\\Metronome": "false",
        "Transport\\Timebase": "true",
        "Transport\\TransportMode": "3",
    },
    "Plugins": {"AudioOutputAutoConnect": "false", "OpenEditor": "false"},
}


def settings(messages_log):
    groups = {group: dict(keys) for group, keys in SETTINGS.items()}
    groups["Options"]["Logging\\MessagesLog"] = "true"
    groups["Options"]["Logging\\MessagesLogPath"] = messages_log
    lines = []
    for group, keys in groups.items():
        lines.append("[%s]" % group)
        lines += ["%s=%s" % item for item in keys.items()]
        lines.append("")
    return "\n".join(lines)


def main():
    (directory, config_dir, messages_log, frames, rate, bpm, beats_per_bar, plugin_type, plugin,
     controls) = sys.argv[1:11]
    state = sys.argv[11] if len(sys.argv) > 11 else ""
    frames, rate, beats_per_bar = int(frames), int(rate), int(beats_per_bar)
    if frames >= FRAMES:
        sys.exit("the test signal names at most %d frames" % FRAMES)
    os.makedirs(directory, exist_ok=True)
    left, right = zip(*(signal(f) for f in range(frames)))
    write_float_wav(os.path.join(directory, "signal.wav"), rate, [left, right])
    with open(os.path.join(directory, "check.qtr"), "w", encoding="utf-8") as out:
        out.write(session(directory, frames, rate, bpm, beats_per_bar, plugin_type, plugin,
                          controls, state))
    os.makedirs(os.path.join(config_dir, "rncbc.org"), exist_ok=True)
    with open(os.path.join(config_dir, "rncbc.org", "Qtractor.conf"), "w",
              encoding="utf-8") as out:
        out.write(settings(messages_log))


if __name__ == "__main__":
    main()
