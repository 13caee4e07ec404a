"""The launcher's background music: a calm piece in D minor for pad, low
strings, harp and a soft flute voice, rendered into the WAVE resource "BGM"
of Orvmedia.dll.

The bytes are the same on every machine: every transcendental value (the sine
table, note frequencies) comes from the decimal module, which computes in
integers; the signal itself uses only element-wise + - * / and sequential
cumulative sums and products, never a reduction or a library filter whose
summation order could depend on the CPU.

16-bit PCM, mono, 11025 samples per second: plays through PlaySound on every
Windows and under Wine, keeps 43.5 seconds under a megabyte, and the piece has
nothing above the 5.5 kHz that rate can carry.
"""

import decimal
import os
import shutil
import struct
import subprocess

import numpy as np

from .containers import Asset

RATE = 11025
BEAT = RATE                  # 60 beats a minute
BAR = 4 * BEAT
BARS = 10
LENGTH = BARS * BAR + 3 * BEAT + BEAT // 2   # the last chord rings out for 3.5 s
PATH = 'resources/orvmedia/media/bgm.wav'
MAX_BYTES = 990000           # the library must stay within 1 MB

# ---------------------------------------------------------------------------
# Exact constants

TABLE_BITS = 12
TABLE = 1 << TABLE_BITS


def _dsin(x):
    """sin(x) for a Decimal x in [0, 2pi), by its Taylor series."""
    term, total, n = x, x, 1
    while True:
        term = -term * x * x / ((2 * n) * (2 * n + 1))
        if abs(term) < decimal.Decimal('1e-40'):
            return total
        total += term
        n += 1


def _pi():
    """pi to 50 digits by Machin's formula."""
    def arctan_inv(k):
        x = decimal.Decimal(1) / k
        term, total, n, x2 = x, x, 1, x * x
        while abs(term) > decimal.Decimal('1e-55'):
            term = -term * x2
            total += term / (2 * n + 1)
            n += 1
        return total
    return 16 * arctan_inv(5) - 4 * arctan_inv(239)


def _sine_table():
    with decimal.localcontext() as ctx:
        ctx.prec = 50
        pi2 = 2 * _pi()
        vals = [float(_dsin(pi2 * i / TABLE)) for i in range(TABLE)]
    return np.array(vals + vals[:1], dtype=np.float64)


def note_hz(midi):
    """Equal temperament, A4 = 440 Hz, as a correctly rounded float."""
    with decimal.localcontext() as ctx:
        ctx.prec = 40
        return float(decimal.Decimal(440) * decimal.Decimal(2) ** (decimal.Decimal(midi - 69) / 12))


def cents(c):
    return power(2, decimal.Decimal(c) / 1200)


def power(a, b):
    """a ** b through decimal, not the C library's pow."""
    with decimal.localcontext() as ctx:
        ctx.prec = 40
        return float(decimal.Decimal(a) ** decimal.Decimal(b))


SINE = None


def sine(phase):
    """Sine of integer phases (a full turn is 2**32), linearly interpolated."""
    idx = (phase >> (32 - TABLE_BITS)) & (TABLE - 1)
    frac = (phase & ((1 << (32 - TABLE_BITS)) - 1)).astype(np.float64) * (1.0 / (1 << (32 - TABLE_BITS)))
    a = SINE[idx]
    return a + (SINE[idx + 1] - a) * frac


def phases(hz, n, start=0):
    step = int(round(hz * (1 << 32) / RATE))
    return (start + np.arange(n, dtype=np.int64) * step) & 0xFFFFFFFF


def smooth(x):
    """0..1 to 0..1 with flat ends."""
    x = np.clip(x, 0.0, 1.0)
    return x * x * (3.0 - 2.0 * x)


def ramp(n):
    return np.arange(n, dtype=np.float64) / max(n - 1, 1)


def decay(n, seconds):
    """exp(-t/seconds) by repeated multiplication: same bits everywhere."""
    r = 1.0 - 1.0 / (seconds * RATE)
    return np.cumprod(np.full(n, r))


def place(out, start, sig):
    end = min(len(out), start + len(sig))
    if end > start:
        out[start:end] += sig[:end - start]


# ---------------------------------------------------------------------------
# Instruments

def pad_voice(midi, n, attack, release):
    """A warm, slightly chorused string pad: two detuned voices of soft harmonics."""
    out = np.zeros(n)
    for det, start in ((-5, 0), (5, 1 << 30)):
        f = note_hz(midi) * cents(det)
        for k, amp in ((1, 1.0), (2, 0.32), (3, 0.12), (4, 0.05)):
            out += amp * sine(phases(f * k, n, start * k))
    env = np.ones(n)
    a, r = int(attack * RATE), int(release * RATE)
    env[:a] = smooth(ramp(a))
    env[n - r:] *= smooth(ramp(r)[::-1])
    return out * env


def harp(midi, seconds=3.0):
    """A plucked string: harmonics that die away, the high ones first."""
    n = int(seconds * RATE)
    f = note_hz(midi)
    out = np.zeros(n)
    for k in range(1, 7):
        if f * k > 4800:
            break
        amp = 1.0 / power(k, '1.4')
        out += amp * sine(phases(f * k, n)) * decay(n, 1.6 / power(k, '0.9'))
    env = np.ones(n)
    a = int(0.004 * RATE)
    env[:a] = ramp(a)
    tail = int(0.3 * RATE)
    env[n - tail:] *= smooth(ramp(tail)[::-1])
    return out * env


def flute(midi, seconds):
    """A breathy, rounded lead with a vibrato that grows in."""
    n = int(seconds * RATE)
    f = note_hz(midi)
    t = np.arange(n, dtype=np.float64) / RATE
    depth = 0.0035 * smooth((t - 0.25) / 0.6)
    vib = sine(phases(5.0, n))
    step = np.rint(f * (1.0 + depth * vib) * (1 << 32) / RATE).astype(np.int64)
    ph = np.cumsum(step) & 0xFFFFFFFF
    out = np.zeros(n)
    for k, amp in ((1, 1.0), (2, 0.22), (3, 0.09), (4, 0.03)):
        out += amp * sine((ph * k) & 0xFFFFFFFF)
    env = smooth(t / 0.14) * smooth((seconds - t) / 0.35)
    return out * env


def bass(midi, seconds):
    n = int(seconds * RATE)
    f = note_hz(midi)
    out = sine(phases(f, n)) + 0.3 * sine(phases(2 * f, n)) + 0.08 * sine(phases(3 * f, n))
    t = np.arange(n, dtype=np.float64) / RATE
    return out * smooth(t / 0.5) * smooth((seconds - t) / 1.2)


# ---------------------------------------------------------------------------
# Reverb: combs and all-passes computed a delay's length at a time, which
# needs nothing but element-wise arithmetic.

def comb(x, delay, gain, damp):
    pad = delay + 1
    y = np.zeros(len(x) + pad)
    for s in range(0, len(x), delay):
        e = min(s + delay, len(x))
        fb = (1.0 - damp) * y[pad + s - delay:pad + e - delay] + damp * y[pad + s - delay - 1:pad + e - delay - 1]
        y[pad + s:pad + e] = x[s:e] + gain * fb
    return y[pad:]


def allpass(x, delay, gain):
    y = np.zeros(len(x) + delay)
    xp = np.concatenate([np.zeros(delay), x])
    for s in range(0, len(x), delay):
        e = min(s + delay, len(x))
        y[delay + s:delay + e] = -gain * x[s:e] + xp[s:e] + gain * y[s:e]
    return y[delay:]


def reverb(x):
    wet = np.zeros(len(x))
    for d, g in ((347, 0.84), (411, 0.83), (463, 0.82), (521, 0.81)):
        wet += comb(x, d, g, 0.35)
    for d, g in ((113, 0.6), (37, 0.6)):
        wet = allpass(wet, d, g)
    return wet * 0.25


# ---------------------------------------------------------------------------
# The score: ten bars of four beats, D minor.

D2, F2, G2, A1, BB1 = 38, 41, 43, 33, 34
CHORDS = [  # (pad notes, bass)
    ((50, 53, 57, 62), D2),      # Dm
    ((50, 53, 57, 62), D2),      # Dm
    ((50, 53, 58, 62), BB1),     # Bb
    ((48, 53, 57, 60), F2),      # F
    ((50, 55, 58, 62), G2),      # Gm
    ((50, 53, 57, 62), D2),      # Dm
    ((50, 53, 58, 62), BB1),     # Bb
    ((49, 52, 57, 61), A1),      # A
    ((50, 53, 57, 62), D2),      # Dm
    ((50, 53, 57, 62), D2),      # Dm, held to the end
]

ARPEGGIOS = {  # eighth notes across the bar, low to high and back
    D2: (50, 57, 62, 65, 69, 65, 62, 57),
    BB1: (46, 53, 58, 62, 65, 62, 58, 53),
    F2: (53, 57, 60, 65, 69, 65, 60, 57),
    G2: (55, 58, 62, 67, 70, 67, 62, 58),
    A1: (57, 61, 64, 69, 73, 69, 64, 61),
}

MELODY = [  # (bar, beat, midi, beats)
    (2, 0, 69, 2), (2, 2, 70, 1), (2, 3, 69, 1),
    (3, 0, 65, 2), (3, 2, 67, 1), (3, 3, 69, 1),
    (4, 0, 70, 2), (4, 2, 69, 1), (4, 3, 67, 1),
    (5, 0, 69, 4),
    (6, 0, 74, 2), (6, 2, 72, 1), (6, 3, 70, 1),
    (7, 0, 69, 1.5), (7, 1.5, 67, 0.5), (7, 2, 64, 2),
    (8, 0, 62, 4),
]


def render_samples():
    global SINE
    SINE = _sine_table()
    pad = np.zeros(LENGTH)
    low = np.zeros(LENGTH)
    plucks = np.zeros(LENGTH)
    lead = np.zeros(LENGTH)

    for bar, (notes, root) in enumerate(CHORDS):
        start = bar * BAR
        last = bar == len(CHORDS) - 1
        # Chords overlap by a second so the changes breathe rather than cut.
        seconds = (LENGTH - start) / RATE if last else 5.0
        n = int(seconds * RATE)
        attack = 3.0 if bar == 0 else 1.2
        for m in notes:
            place(pad, start, pad_voice(m, n, attack, 3.0 if last else 1.6))
        place(low, start, bass(root, seconds))
        # The harp comes in with the second bar and plays the last chord once, slowly.
        if bar == 0:
            continue
        arp = ARPEGGIOS[root]
        if last:
            for i, m in enumerate(arp[:5]):
                place(plucks, start + i * BEAT // 3, 0.9 * harp(m, 3.4))
            continue
        for i, m in enumerate(arp):
            accent = 1.0 if i % 4 == 0 else 0.72
            place(plucks, start + i * BEAT // 2, accent * harp(m))

    for bar, beat, m, beats in MELODY:
        start = bar * BAR + int(beat * BEAT)
        place(lead, start, flute(m, beats + 0.25))

    dry = 0.16 * pad + 0.30 * low + 0.26 * plucks + 0.30 * lead
    mix = dry + reverb(dry)
    # Clean ends: a short fade-in from zero and a long fade-out to zero.
    n = len(mix)
    fade_in = int(0.02 * RATE)
    mix[:fade_in] *= ramp(fade_in)
    fade_out = int(3.0 * RATE)
    mix[n - fade_out:] *= smooth(ramp(fade_out)[::-1])
    peak = np.max(np.abs(mix))
    pcm = np.rint(mix * (0.70 * 32767.0 / peak)).astype(np.int16)
    pcm[0] = 0
    pcm[-1] = 0
    return pcm


def wav_bytes(pcm):
    data = pcm.astype('<i2').tobytes()
    fmt = struct.pack('<HHIIHH', 1, 1, RATE, RATE * 2, 2, 16)
    return (b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(data)) + b'WAVE' +
            b'fmt ' + struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', len(data)) + data)


def render():
    return wav_bytes(render_samples())


def check_wav(data):
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', 'not a RIFF WAVE file'
    assert struct.unpack('<I', data[4:8])[0] == len(data) - 8, 'RIFF size'
    assert data[12:16] == b'fmt ', 'fmt chunk first'
    tag, ch, rate, avg, align, bits = struct.unpack('<HHIIHH', data[20:36])
    assert (tag, ch, rate, avg, align, bits) == (1, 1, RATE, RATE * 2, 2, 16), 'PCM 16-bit mono 11025'
    assert data[36:40] == b'data', 'data chunk'
    size = struct.unpack('<I', data[40:44])[0]
    assert size == len(data) - 44, 'data size'
    seconds = size / 2 / RATE
    assert seconds >= 40, 'at least 40 seconds (%.1f)' % seconds
    assert len(data) <= MAX_BYTES, 'at most %d bytes' % MAX_BYTES
    pcm = np.frombuffer(data[44:], dtype='<i2')
    assert pcm[0] == 0 and pcm[-1] == 0, 'starts and ends at zero'
    # No click: neighbouring samples never jump by more than a quarter of full scale.
    assert int(np.max(np.abs(np.diff(pcm.astype(np.int32))))) < 8192, 'a jump between samples'


ASSETS = [Asset(PATH, render, check_wav)]


def preview(files, pdir):
    """A spectrogram of the piece, when sox is there."""
    if not shutil.which('sox'):
        return
    wav = os.path.join(pdir, 'bgm.wav')
    with open(wav, 'wb') as f:
        f.write(files[PATH])
    subprocess.run(['sox', wav, '-n', 'spectrogram', '-x', '1400', '-y', '400', '-z', '90',
                    '-t', 'Orvmedia BGM', '-o', os.path.join(pdir, 'bgm_spectrogram.png')], check=False)
