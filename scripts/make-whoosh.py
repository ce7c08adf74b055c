#!/usr/bin/env python3
"""Synthesises Omrek's default sound, a short whoosh, as a wave file.

    scripts/make-whoosh.py [OUTPUT]     (default: settings/whoose.wav)

The whoosh is white noise through a resonant band-pass filter whose centre
sweeps up and back down while the loudness swells and fades, the sound of
something rushing past. It is 0.7 seconds of 16-bit mono at 22050 Hz, about
30 KB, played each time the passes over a file begin.

Only the standard library is used, and the noise comes from a fixed seed, so
the same script gives the same bytes on every machine.
"""

import math
import random
import struct
import sys
import wave
from pathlib import Path

RATE = 22050
SECONDS = 0.7
SEED = 7
PEAK = 0.8  # of full scale, leaving headroom for the player's mixing

LOW_HZ, HIGH_HZ = 350.0, 2600.0  # the sweep's ends
SWELL = 0.4  # where the loudness and the sweep peak, as part of the length
DAMPING = 0.35  # of the band-pass: lower rings more narrowly


def envelope(t):
    """Loudness at t (0 to 1): a smooth swell to SWELL, then a longer fade."""
    if t < SWELL:
        return math.sin(0.5 * math.pi * t / SWELL) ** 2
    return math.cos(0.5 * math.pi * (t - SWELL) / (1.0 - SWELL)) ** 2


def centre(t):
    """Band centre at t: rises on a log scale to HIGH_HZ at SWELL, falls back."""
    rise = t / SWELL if t < SWELL else (1.0 - t) / (1.0 - SWELL)
    return LOW_HZ * (HIGH_HZ / LOW_HZ) ** rise


def whoosh():
    """The samples, from -1 to 1."""
    noise = random.Random(SEED)
    count = int(RATE * SECONDS)
    low = band = 0.0
    samples = []
    for n in range(count):
        t = n / count
        # Chamberlin state-variable filter, stable for these frequencies.
        f = 2.0 * math.sin(math.pi * centre(t) / RATE)
        high = noise.uniform(-1.0, 1.0) - low - DAMPING * band
        band += f * high
        low += f * band
        samples.append(band * envelope(t))
    loudest = max(abs(s) for s in samples)
    return [s * PEAK / loudest for s in samples]


def main():
    default = Path(__file__).resolve().parent.parent / "settings" / "whoose.wav"
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    frames = b"".join(struct.pack("<h", round(s * 32767)) for s in whoosh())
    with wave.open(str(output), "wb") as sound:
        sound.setnchannels(1)
        sound.setsampwidth(2)
        sound.setframerate(RATE)
        sound.writeframes(frames)
    print(f"{output}: {len(frames) // 2} samples, {output.stat().st_size} bytes")


if __name__ == "__main__":
    main()
