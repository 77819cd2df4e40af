#!/usr/bin/env python3
"""Writes alarm.wav, the tone the application plays while an alarm is active.

The tone is four beeps alternating 880 Hz and 660 Hz (0.25 s each, 0.05 s
of silence after each one), 1.2 s in all, so that the file can also be
played in a loop without a seam. Each beep fades in and out over 10 ms
to avoid clicks. A little third harmonic is mixed in so the tone stays
audible on small speakers. The level is normalised to a peak of -6 dBFS.

Format: PCM WAV, 44100 Hz, 2 channels (the same signal on both),
16-bit signed little-endian.

Only the Python standard library is used, and the output is identical on
every run. Usage:

    python3 resources/make-alarm-wav.py [OUTPUT]

OUTPUT defaults to alarm.wav next to this script.
"""

import math
import os
import struct
import sys
import wave

SAMPLE_RATE = 44100
CHANNELS = 2
SAMPLE_WIDTH = 2  # bytes: 16-bit signed

BEEP_SECONDS = 0.25
GAP_SECONDS = 0.05
FADE_SECONDS = 0.010
FREQUENCIES = (880.0, 660.0, 880.0, 660.0)
THIRD_HARMONIC = 0.25  # relative amplitude of the third harmonic
PEAK_DBFS = -6.0


def beep(frequency):
    """One beep, as floats, with raised-cosine fades at both ends."""
    count = round(BEEP_SECONDS * SAMPLE_RATE)
    fade = round(FADE_SECONDS * SAMPLE_RATE)
    samples = []
    for n in range(count):
        phase = 2.0 * math.pi * frequency * n / SAMPLE_RATE
        value = math.sin(phase) + THIRD_HARMONIC * math.sin(3.0 * phase)
        if n < fade:
            value *= 0.5 - 0.5 * math.cos(math.pi * n / fade)
        elif n >= count - fade:
            value *= 0.5 - 0.5 * math.cos(math.pi * (count - 1 - n) / fade)
        samples.append(value)
    return samples


def signal():
    gap = [0.0] * round(GAP_SECONDS * SAMPLE_RATE)
    samples = []
    for frequency in FREQUENCIES:
        samples.extend(beep(frequency))
        samples.extend(gap)
    return samples


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "alarm.wav")

    samples = signal()
    peak = max(abs(s) for s in samples)
    scale = 32767.0 * 10.0 ** (PEAK_DBFS / 20.0) / peak

    frames = bytearray()
    for s in samples:
        value = int(round(s * scale))
        frames += struct.pack("<" + "h" * CHANNELS, *([value] * CHANNELS))

    with wave.open(output, "wb") as out:
        out.setnchannels(CHANNELS)
        out.setsampwidth(SAMPLE_WIDTH)
        out.setframerate(SAMPLE_RATE)
        out.writeframes(bytes(frames))

    seconds = len(samples) / SAMPLE_RATE
    print("make-alarm-wav.py: wrote %s (%.2f s)" % (output, seconds))


if __name__ == "__main__":
    main()
