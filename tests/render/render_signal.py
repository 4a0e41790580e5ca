"""The test signal the host checks play through the plug-in, and the float WAV files they use.

The signal tells every frame apart: frame f is (f + 1) / 2^21 on the left and its negative on the
right. Both are exact in float32 for every frame below 2^20, so any output sample that the effect
passes or plays at unity gain names the input frame it came from.
"""

import struct

SCALE = 2.0**21
# How many frames the signal names: 0 to 2^20 - 1.
FRAMES = 2**20


def signal(frame):
    """The (left, right) test signal at input frame `frame`."""
    value = (frame + 1) / SCALE
    return value, -value


def write_float_wav(path, rate, channels):
    """A 32-bit float WAV file of equally long channels (sequences of samples)."""
    count = len(channels)
    interleaved = [sample for frame in zip(*channels) for sample in frame]
    data = struct.pack("<%df" % len(interleaved), *interleaved)
    fmt = struct.pack("<HHIIHH", 3, count, rate, rate * 4 * count, 4 * count, 32)
    with open(path, "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE")
        out.write(b"fmt " + struct.pack("<I", len(fmt)) + fmt)
        out.write(b"data" + struct.pack("<I", len(data)) + data)


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
