# Short, quiet sound effects for the characters, written as 16-bit mono WAV
# files with the standard wave module: a frame's "sound": "<name>" plays
# sounds/<name>.wav from the character's folder.
import math, os, struct, wave

RATE = 22050
PEAK = 0.25  # of full scale: the effects stay well below speech


def _envelope(i, n, attack=0.01, release=0.4):
    t = i / n
    if t < attack:
        return t / attack
    if t > 1 - release:
        return max(0.0, (1 - t) / release)
    return 1.0


def tone(ms, f0, f1=None, harmonics=(1.0,), vibrato=0.0):
    """A tone gliding from f0 to f1 Hz over ms milliseconds."""
    f1 = f0 if f1 is None else f1
    n = int(RATE * ms / 1000)
    out, phase = [], 0.0
    for i in range(n):
        f = f0 + (f1 - f0) * i / n
        f *= 1 + vibrato * math.sin(2 * math.pi * 30 * i / RATE)
        phase += 2 * math.pi * f / RATE
        v = sum(a * math.sin(phase * (k + 1)) for k, a in enumerate(harmonics)) / sum(harmonics)
        out.append(v * _envelope(i, n))
    return out


def silence(ms):
    return [0.0] * int(RATE * ms / 1000)


def write(folder, name, samples):
    os.makedirs(os.path.join(folder, 'sounds'), exist_ok=True)
    with wave.open(os.path.join(folder, 'sounds', name + '.wav'), 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b''.join(struct.pack('<h', int(max(-1, min(1, s)) * PEAK * 32767)) for s in samples))
