#!/usr/bin/python3
"""Composes "Quiet Bench", the music behind the about window, and writes it to res/music.xm.

Everything in the module is made here. The instruments are synthesised with numpy from sine
partials; a looped sample holds only partials that complete a whole number of cycles within its
loop (cosines of half-cycles for a ping-pong loop, which then mirrors into one smooth period),
so no loop has a seam. The song is written note by note with the small pattern helpers below.
The output is deterministic: fixed seeds, no clock.

The form, in D major at 90 beats a minute on 12 channels: an intro of pads and glass bells
whose second and third bars play twice (pattern loop); the theme on the bell with a dotted
echo, then answered with fuller drums; a variation over G - F#m - Em - A7 with the e-piano
leading and the glass pluck's arpeggios; a bridge in B minor where the pads breathe out and
swell back, a flute sings with vibrato and portamento, and a pattern-delay ritardando leads
to the return of the theme. The song restarts at the theme, about 86 seconds a loop.

XM facts the writer relies on (all numbers little-endian): a 60-byte preamble, then a 276-byte
header (song length, restart position, channels, patterns, instruments, flags, speed, tempo,
256 orders); each pattern is a 9-byte header and packed cells, where a byte with bit 7 set says
which of note, instrument, volume, effect and parameter follow; each instrument is a 263-byte
header (keymap, two 12-point envelopes, auto-vibrato, fadeout), its 40-byte sample headers,
then delta-coded data (bytes for 8-bit, words for 16-bit samples). With the linear frequency
table, note C-4 of a sample with relative note 0 and finetune 0 plays it at 8363 Hz.

Usage: make_music.py            writes res/music.xm
       make_music.py --check    rebuilds in memory and verifies res/music.xm with its own reader
"""
import math
import os
import struct
import sys

import numpy as np

OUT_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "music.xm")

SPEED = 8            # ticks per row
BPM = 120            # 1000 output frames per tick at 48 kHz: a row is 1/6 s, a beat 4 rows
NCH = 12
C4_HZ = 261.6255653  # the C-4 of every pitched instrument sounds as middle C

# Channels.
KICK, SNARE, HAT, BASS, PAD1, PAD2, PAD3, AIR, COMP, LEAD, ECHO, GLASS = range(NCH)
PADS = (PAD1, PAD2, PAD3)

# Effects and volume-column commands used below.
FX_ARP, FX_PORTA_DOWN, FX_TONE_PORTA, FX_VIBRATO = 0x0, 0x2, 0x3, 0x4
FX_PAN, FX_VOLSLIDE, FX_EXT, FX_PANSLIDE = 0x8, 0xA, 0xE, 0x19
EXT_LOOP, EXT_RETRIG, EXT_DELAY, EXT_PATDELAY = 0x60, 0x90, 0xD0, 0xE0
KEY_OFF = 97


def vol(v):
    return 0x10 + v


def vol_slide_down(x):
    return 0x60 + x


def vol_porta(x):
    return 0xF0 + x


_SEMI = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    """'C#4' -> XM note value (C-0 is 1)."""
    semi = _SEMI[name[0]] + (1 if name[1] == "#" else 0)
    return 12 * int(name[2]) + semi + 1


# ---------------------------------------------------------------------------------------------
# Synthesis
# ---------------------------------------------------------------------------------------------

def tuning(rate_at_c4):
    """Relative note and finetune that make note C-4 play a sample at rate_at_c4 Hz."""
    semis = 12.0 * math.log2(rate_at_c4 / 8363.0)
    rel = math.floor(semis)
    fine = 2 * round((semis - rel) * 64)   # the player halves the finetune: keep it even
    if fine > 127:
        rel, fine = rel + 1, fine - 128
    return rel, fine


def settle(n, attack, power):
    """1 at the start, falling smoothly to exactly 0 at `attack` and staying there."""
    t = np.arange(n, dtype=np.float64)
    w = np.clip(1.0 - t / attack, 0.0, 1.0)
    return w ** power


def normalise(x, peak=0.95):
    return x * (peak / np.max(np.abs(x)))


def taper_end(x, frames):
    """Half-cosine fade over the last frames, so a one-shot ends at zero."""
    x = x.copy()
    x[-frames:] *= 0.5 + 0.5 * np.cos(np.linspace(0.0, math.pi, frames))
    return x


def shaped_noise(rng, n, rate, lo, hi, tilt=0.0):
    """Noise of n samples with a flat band from lo to hi Hz (soft edges), periodic over n."""
    spectrum = rng.standard_normal(n // 2 + 1) + 1j * rng.standard_normal(n // 2 + 1)
    f = np.fft.rfftfreq(n, 1.0 / rate)
    gain = 1.0 / (1.0 + (lo / np.maximum(f, 1.0)) ** 4) / (1.0 + (f / hi) ** 4)
    if tilt:
        gain *= (np.maximum(f, 1.0) / 1000.0) ** tilt
    spectrum *= gain
    spectrum[0] = 0
    return np.fft.irfft(spectrum, n)


def partial_sum(n, partials):
    """Sum of sines: partials are (cycles per sample, amplitude array or scalar, phase)."""
    t = np.arange(n, dtype=np.float64)
    out = np.zeros(n)
    for freq, amp, phase in partials:
        out += amp * np.sin(2.0 * math.pi * freq * t + phase)
    return out


def harmonic_instrument(period, attack, loop, sustain, strike, power, extra=()):
    """Attack of `attack` samples whose harmonics settle into a steady looped tone.

    sustain[h-1] and strike[h-1] are the looped and the initial amplitude of harmonic h;
    higher harmonics settle faster (exponent power(h)). extra holds inharmonic partials
    (cycles per period, amplitude, exponent) that die out completely before the loop."""
    n = attack + loop
    parts = []
    for h in range(1, max(len(sustain), len(strike)) + 1):
        s = sustain[h - 1] if h <= len(sustain) else 0.0
        p = strike[h - 1] if h <= len(strike) else 0.0
        amp = s + (p - s) * settle(n, attack, power(h))
        parts.append((h / period, amp, 0.0))
    for ratio, a, pw in extra:
        parts.append((ratio / period, a * settle(n, attack, pw), 0.0))
    return partial_sum(n, parts)


def sample(data, bits, loop_type=0, loop_start=0, loop_len=0, volume=48, pan=128,
           rate_at_c4=None, name=""):
    """A finished sample record: quantised data plus header values."""
    scale = 127.0 if bits == 8 else 32767.0
    lo, hi = (-128, 127) if bits == 8 else (-32768, 32767)
    ints = np.clip(np.round(data * scale), lo, hi).astype(np.int64)
    rel, fine = tuning(rate_at_c4)
    return dict(data=ints, bits=bits, loop_type=loop_type, loop_start=loop_start,
                loop_len=loop_len, volume=volume, pan=pan, rel=rel, fine=fine, name=name)


def make_kick():
    rate = 16000
    n = int(0.42 * rate)
    t = np.arange(n) / rate
    freq = 46.0 + 100.0 * np.exp(-t / 0.028)
    phase = 2.0 * math.pi * (np.cumsum(freq) - freq[0]) / rate
    body = np.sin(phase) * np.exp(-t / 0.20)
    rng = np.random.default_rng(11)
    click = np.convolve(rng.standard_normal(n), np.ones(5) / 5, "same") * np.exp(-t / 0.002)
    x = taper_end(body + 0.08 * click * np.minimum(1.0, t / 0.0005), int(0.06 * rate))
    return sample(normalise(x), 16, rate_at_c4=rate, volume=56, name="kick")


def make_snare():
    rate = 22050
    n = int(0.32 * rate)
    t = np.arange(n) / rate
    rng = np.random.default_rng(12)
    noise = normalise(shaped_noise(rng, n, rate, 1200.0, 7000.0), 1.0)
    attack = np.minimum(1.0, t / 0.002)
    body = (0.6 * np.sin(2 * math.pi * 190.0 * t) * np.exp(-t / 0.035)
            + 0.3 * np.sin(2 * math.pi * 330.0 * t) * np.exp(-t / 0.02))
    x = 0.7 * noise * np.exp(-t / 0.075) * attack + body * attack
    return sample(normalise(taper_end(x, int(0.05 * rate))), 8, rate_at_c4=rate, pan=140,
                  volume=40, name="brush snare")


def make_rim():
    rate = 22050
    n = int(0.15 * rate)
    t = np.arange(n) / rate
    rng = np.random.default_rng(13)
    x = (np.sin(2 * math.pi * 780.0 * t) * np.exp(-t / 0.03)
         + 0.5 * np.sin(2 * math.pi * 1590.0 * t) * np.exp(-t / 0.018)
         + 0.3 * normalise(shaped_noise(rng, n, rate, 2000.0, 8000.0), 1.0) * np.exp(-t / 0.004))
    x *= np.minimum(1.0, t / 0.0008)
    return sample(normalise(taper_end(x, int(0.03 * rate))), 8, rate_at_c4=rate, pan=112,
                  volume=32, name="rim")


def hat_noise(rng, n, rate):
    return normalise(shaped_noise(rng, n, rate, 6500.0, 13000.0, tilt=0.5), 1.0)


def make_closed_hat():
    rate = 32000
    n = int(0.11 * rate)
    t = np.arange(n) / rate
    x = hat_noise(np.random.default_rng(14), n, rate) * np.exp(-t / 0.025)
    x *= np.minimum(1.0, t / 0.0005)
    return sample(normalise(taper_end(x, int(0.02 * rate))), 8, rate_at_c4=rate, pan=156,
                  volume=24, name="closed hat")


def make_open_hat():
    # Periodic noise tiled over the whole sample, so the forward loop has no seam; the
    # attack is only a louder start that settles into the loop.
    rate, attack, loop = 32000, 1536, 6144
    cycle = hat_noise(np.random.default_rng(15), loop, rate)
    x = np.tile(cycle, 2)[: attack + loop] * (1.0 + 0.8 * settle(attack + loop, attack, 2))
    x *= np.minimum(1.0, np.arange(attack + loop) / 16.0)
    return sample(normalise(x), 8, loop_type=1, loop_start=attack, loop_len=loop,
                  rate_at_c4=rate, pan=100, volume=20, name="open hat")


def make_bass():
    period, attack, loop = 64, 1536, 512
    sustain = [1.0, 0.42, 0.16, 0.07, 0.035, 0.02]
    strike = [1.25, 0.92, 0.54, 0.32, 0.2, 0.14, 0.08, 0.05, 0.03]
    x = harmonic_instrument(period, attack, loop, sustain, strike, lambda h: 1.5 + 0.5 * h)
    return sample(normalise(x), 16, 1, attack, loop, rate_at_c4=period * C4_HZ, volume=46,
                  name="round bass")


def make_epiano():
    period, attack, loop = 64, 6144, 512
    sustain = [1.0, 0.28, 0.1, 0.05, 0.02]
    strike = [1.3, 0.75, 0.45, 0.3, 0.2, 0.14, 0.1, 0.07, 0.05, 0.03]
    tine = [(7.1, 0.25, 12.0), (13.9, 0.06, 16.0)]
    x = harmonic_instrument(period, attack, loop, sustain, strike, lambda h: 2.0 + 0.6 * h, tine)
    return sample(normalise(x), 16, 1, attack, loop, rate_at_c4=period * C4_HZ, volume=32,
                  name="e-piano")


def make_bell():
    # Inharmonic partials, each rounded to a whole number of cycles in the 4096-sample loop.
    period, attack, loop = 32, 8192, 4096
    cycles_per_period = loop // period
    partials = [  # ratio, looped amplitude, initial amplitude
        (1.0, 1.0, 1.2), (2.0, 0.3, 0.55), (3.0, 0.1, 0.25), (4.16, 0.08, 0.35),
        (5.43, 0.04, 0.25), (6.79, 0.0, 0.2), (8.21, 0.0, 0.12)]
    n = attack + loop
    parts = []
    for ratio, s, p in partials:
        cycles = round(ratio * cycles_per_period)
        amp = s + (p - s) * settle(n, attack, 2.0 + ratio)
        parts.append((cycles / loop, amp, 0.0))
    x = partial_sum(n, parts)
    return sample(normalise(x), 16, 1, attack, loop, rate_at_c4=period * C4_HZ, volume=40,
                  pan=144, name="glass bell")


def make_glass():
    period, attack, loop = 32, 2048, 64
    sustain = [1.0, 0.15, 0.04]
    strike = [1.0, 0.6, 0.45, 0.35, 0.28, 0.2, 0.15, 0.1, 0.07, 0.05]
    x = harmonic_instrument(period, attack, loop, sustain, strike, lambda h: 1.5 + 0.8 * h)
    return sample(normalise(x), 8, 1, attack, loop, rate_at_c4=period * C4_HZ, volume=24,
                  pan=176, name="glass pluck")


def make_flute():
    period, attack, loop = 32, 1536, 256
    sustain = [1.0, 0.16, 0.06, 0.025]
    strike = [1.0, 0.35, 0.12, 0.05]
    x = harmonic_instrument(period, attack, loop, sustain, strike, lambda h: 2.0)
    rng = np.random.default_rng(16)
    rate = period * C4_HZ * 2
    chiff = normalise(shaped_noise(rng, attack + loop, rate, 1500.0, 6000.0), 1.0)
    x += 0.25 * chiff * settle(attack + loop, attack, 3) * np.minimum(1.0, np.arange(
        attack + loop) / 64.0)
    return sample(normalise(x), 16, 1, attack, loop, rate_at_c4=period * C4_HZ, volume=38,
                  pan=120, name="soft flute")


def make_pad():
    # Five detuned saw-like voices, each partial a whole number of cycles in the loop.
    period, loop = 64, 16384
    base = loop // period
    rng = np.random.default_rng(17)
    parts = []
    for detune, weight in ((-2, 0.6), (-1, 0.85), (0, 1.0), (1, 0.85), (2, 0.6)):
        cycles = base + detune
        for h in range(1, 21):
            amp = weight / h * math.exp(-(h - 1) / 5.0)
            parts.append((h * cycles / loop, amp, rng.uniform(0, 2 * math.pi)))
    x = partial_sum(loop, parts)
    return sample(normalise(x), 16, 1, 0, loop, rate_at_c4=period * C4_HZ, volume=20,
                  name="warm pad")


def balanced_signs(weights):
    """Signs for the terms of a sum so that it comes out near zero: the largest terms first,
    each against the running total."""
    signs = np.ones(len(weights))
    total = 0.0
    for k in np.argsort(-np.abs(weights)):
        signs[k] = -1.0 if total * weights[k] > 0 else 1.0
        total += signs[k] * weights[k]
    return signs


def make_air():
    # Cosines with a whole number of half-cycles in the loop: the ping-pong playback mirrors
    # them into one smooth period twice the loop's length, so half the data is stored. At
    # the loop end the mixer plays the last value once more (it is copied behind the loop),
    # so the signs of the partials are chosen to make x(L) equal x(L - 1): the turn is exact.
    period, loop = 64, 8192
    base2 = 2 * loop // period      # cycles of the fundamental in the mirrored period
    rng = np.random.default_rng(18)
    fund = C4_HZ * 2                # the air pad mostly plays around C5

    def formant(hz):
        return (math.exp(-((hz - 650.0) / 320.0) ** 2)
                + 0.5 * math.exp(-((hz - 1150.0) / 420.0) ** 2)
                + 0.15 * math.exp(-((hz - 2700.0) / 700.0) ** 2))

    comps = []                      # (half-cycles in the loop, amplitude)
    for detune, weight in ((-1, 0.8), (0, 1.0), (1, 0.8)):
        for h in range(1, 17):
            comps.append((h * (base2 + detune), weight * (0.25 + formant(h * fund)) / h ** 0.6))
    for m in rng.integers(base2 * 6, base2 * 14, 160):   # breath: a sparse cloud of partials
        comps.append((int(m), 0.035))
    m = np.array([c[0] for c in comps], dtype=np.float64)
    amp = np.array([c[1] for c in comps])
    turn = amp * np.where(m % 2 == 0, 1.0, -1.0) * (1.0 - np.cos(math.pi * m / loop))
    amp *= balanced_signs(turn)
    t = np.arange(loop, dtype=np.float64)
    x = np.zeros(loop)
    for mk, ak in zip(m, amp):
        x += ak * np.cos(math.pi * mk * t / loop)
    return sample(normalise(x), 16, 2, 0, loop, rate_at_c4=period * C4_HZ, volume=22,
                  name="air pad")


def instrument(name, smp, vol_env=(), vol_sustain=None, vol_loop=None, pan_env=(),
               pan_sustain=None, pan_loop=None, vib=(0, 0, 0, 0), fadeout=0):
    """vol_env/pan_env: (tick, value) points; vib: (type, sweep, depth, rate)."""
    def flags(points, sustain, loop):
        if not points:
            return 0
        return 1 | (2 if sustain is not None else 0) | (4 if loop is not None else 0)
    return dict(name=name, sample=smp, vol_env=list(vol_env), pan_env=list(pan_env),
                vol_flags=flags(vol_env, vol_sustain, vol_loop),
                pan_flags=flags(pan_env, pan_sustain, pan_loop),
                vol_sustain=vol_sustain or 0, vol_loop=vol_loop or (0, 0),
                pan_sustain=pan_sustain or 0, pan_loop=pan_loop or (0, 0),
                vib=vib, fadeout=fadeout)


def make_instruments():
    return [
        instrument("soft kick", make_kick()),
        instrument("brush snare", make_snare()),
        instrument("rim", make_rim()),
        instrument("closed hat", make_closed_hat()),
        instrument("open hat", make_open_hat(),
                   vol_env=[(0, 64), (4, 44), (16, 20), (40, 6), (60, 0)]),
        instrument("round bass", make_bass(),
                   vol_env=[(0, 64), (6, 58), (40, 46), (52, 0)], vol_sustain=2, fadeout=1024),
        instrument("warm pad", make_pad(),
                   vol_env=[(0, 0), (24, 50), (48, 64), (96, 56), (160, 0)], vol_sustain=3,
                   pan_env=[(0, 32), (96, 40), (192, 24), (288, 32)], pan_loop=(0, 3),
                   vib=(0, 40, 2, 3), fadeout=300),
        instrument("air pad", make_air(),
                   vol_env=[(0, 0), (48, 40), (96, 48), (144, 36), (192, 48)], vol_loop=(2, 4),
                   pan_env=[(0, 32), (64, 50), (192, 14), (256, 32)], pan_loop=(0, 3),
                   vib=(0, 80, 3, 5), fadeout=400),
        instrument("e-piano", make_epiano(),
                   vol_env=[(0, 64), (8, 50), (40, 34), (120, 20), (240, 10), (400, 0)],
                   fadeout=1200),
        instrument("glass bell", make_bell(),
                   vol_env=[(0, 64), (6, 52), (40, 36), (160, 16), (320, 6), (480, 0)],
                   fadeout=600),
        instrument("glass pluck", make_glass(),
                   vol_env=[(0, 64), (4, 40), (20, 20), (60, 6), (100, 0)], fadeout=2000),
        instrument("soft flute", make_flute(),
                   vol_env=[(0, 0), (3, 56), (6, 48), (9, 52), (15, 0)], vol_sustain=3,
                   vib=(0, 48, 6, 24), fadeout=1500),
    ]


I_KICK, I_SNARE, I_RIM, I_CHAT, I_OHAT, I_BASS, I_PAD, I_AIR, I_EPIANO, I_BELL, I_GLASS, \
    I_FLUTE = range(1, 13)


# ---------------------------------------------------------------------------------------------
# Composition: D major, 90 beats a minute, 16 rows a bar, four bars a pattern
# ---------------------------------------------------------------------------------------------

# Voicings: bass root, three pad voices, the air pad's colour tone, four e-piano comp tones,
# and the glass pluck's root with its arpeggio (semitones above the root, as 0xXY).
CHORDS = {
    "Dmaj9":  ("D-2", ("E-3", "A-3", "C#4"), "F#4", ("D-4", "A-4", "C#5", "E-5"), ("D-6", 0x47)),
    "Bm7":    ("B-1", ("F#3", "A-3", "D-4"), "E-4", ("B-3", "F#4", "A-4", "D-5"), ("B-5", 0x37)),
    "Gmaj7":  ("G-1", ("F#3", "B-3", "D-4"), "F#4", ("G-3", "D-4", "F#4", "B-4"), ("G-5", 0x4B)),
    "A6sus":  ("A-1", ("E-3", "A-3", "D-4"), "F#4", ("A-3", "E-4", "F#4", "D-5"), ("A-5", 0x57)),
    "A":      ("A-1", ("E-3", "A-3", "C#4"), "E-4", ("A-3", "E-4", "A-4", "C#5"), ("A-5", 0x47)),
    "F#m7":   ("F#2", ("E-3", "A-3", "C#4"), "A-4", ("F#3", "C#4", "E-4", "A-4"), ("F#5", 0x37)),
    "Em7":    ("E-2", ("D-3", "G-3", "B-3"), "F#4", ("E-3", "B-3", "D-4", "G-4"), ("E-5", 0x37)),
    "A7sus":  ("A-1", ("E-3", "G-3", "D-4"), "E-4", ("A-3", "D-4", "E-4", "G-4"), ("A-5", 0x57)),
    "A7":     ("A-1", ("E-3", "G-3", "C#4"), "E-4", ("A-3", "C#4", "E-4", "G-4"), ("A-5", 0x47)),
    "Bm9":    ("B-1", ("D-3", "F#3", "A-3"), "C#4", ("B-3", "D-4", "F#4", "C#5"), ("B-5", 0x37)),
    "Gmaj7b": ("G-1", ("D-3", "F#3", "B-3"), "F#4", ("G-3", "D-4", "F#4", "B-4"), ("G-5", 0x4B)),
    "Em9":    ("E-2", ("D-3", "G-3", "B-3"), "F#4", ("E-3", "G-3", "D-4", "F#4"), ("E-5", 0x37)),
    "F#7sus": ("F#2", ("E-3", "B-3", "C#4"), "F#4", ("F#3", "B-3", "C#4", "E-4"), ("F#5", 0x57)),
    "F#7":    ("F#2", ("E-3", "A#3", "C#4"), "F#4", ("F#3", "A#3", "C#4", "E-4"), ("F#5", 0x47)),
}

THEME = [(0, "Dmaj9"), (16, "Bm7"), (32, "Gmaj7"), (48, "A6sus"), (56, "A")]
VARIATION = [(0, "Gmaj7"), (16, "F#m7"), (32, "Em7"), (48, "A7sus"), (56, "A7")]
BRIDGE1 = [(0, "Bm9"), (16, "Gmaj7b"), (32, "Em9"), (48, "F#7sus"), (56, "F#7")]
BRIDGE2 = [(0, "Bm9"), (16, "Gmaj7b"), (32, "Em9"), (48, "A7sus"), (56, "A7")]
INTRO = [(0, "Dmaj9"), (16, "Gmaj7"), (32, "A6sus")]


def chord_at(changes, row):
    return [name for start, name in changes if start <= row][-1]


def new_pattern(rows):
    return [[[0, 0, 0, 0, 0] for _ in range(NCH)] for _ in range(rows)]


def put(pat, row, ch, note_=0, ins=0, vol_=0, fx=None, par=0):
    """Fills fields of one cell; a field already holding another value is a slip in the score."""
    cell = pat[row][ch]
    for i, v in ((0, note_), (1, ins), (2, vol_)):
        if v:
            if cell[i] and cell[i] != v:
                raise ValueError("cell row %d channel %d field %d already set" % (row, ch, i))
            cell[i] = v
    if fx is not None:
        if (cell[3], cell[4]) not in ((0, 0), (fx, par)):
            raise ValueError("cell row %d channel %d effect already set" % (row, ch))
        cell[3], cell[4] = fx, par


def pads(pat, changes, attack=False, volume=20, air_volume=20):
    """Chord changes on the three pad voices and the air pad. A section that attacks starts
    the instruments on its first chord; every other change glides legato into the new notes
    (volume-column tone portamento), so the pad never restarts its envelope."""
    for i, (row, name) in enumerate(changes):
        _, voices, air, _, _ = CHORDS[name]
        for ch, n in list(zip(PADS, voices)) + [(AIR, air)]:
            if attack and i == 0:
                if ch == AIR:
                    put(pat, row, ch, note(n), I_AIR, vol(air_volume))
                else:
                    put(pat, row, ch, note(n), I_PAD, vol(volume),
                        FX_PAN, {PAD1: 64, PAD2: 128, PAD3: 192}[ch])
            else:
                put(pat, row, ch, note(n), vol_=vol_porta(6))


def semitone(name):
    return note(name) - 1


def line(pat, ch, ins, events, volume, sustained=False, pan=None):
    """A melodic line: events are (row, note, length[, options]). Options: v (volume),
    porta (tone portamento speed: the note glides from the previous one), vib (row offset,
    speed, depth of a vibrato that runs to the note's end), fall (row offset, speed: the
    note falls away with a portamento down and a volume-column fade). A sustained
    instrument is released with a key-off where a note ends before the next begins."""
    rows = len(pat)
    starts = {e[0] for e in events}
    prev = None
    for ev in events:
        row, name, length = ev[:3]
        opt = ev[3] if len(ev) > 3 else {}
        v = opt.get("v", volume)
        end = min(row + length, rows)
        busy = row + 1            # first row whose effect column is still free
        if "porta" in opt:
            speed = opt["porta"]
            units = 64 * abs(semitone(name) - semitone(prev))
            glide_rows = max(1, math.ceil(units / (4 * speed * (SPEED - 1))))
            put(pat, row, ch, note(name), 0, vol(v) if "v" in opt else 0, FX_TONE_PORTA, speed)
            for r in range(row + 1, min(row + glide_rows, end)):
                put(pat, r, ch, fx=FX_TONE_PORTA, par=0)
            busy = row + glide_rows
        elif pan is not None:
            put(pat, row, ch, note(name), ins, vol(v), FX_PAN, pan)
        else:
            put(pat, row, ch, note(name), ins, vol(v))
        fall_row = end
        if "fall" in opt:
            off, speed = opt["fall"]
            fall_row = row + off
            for r in range(fall_row, end):
                put(pat, r, ch, vol_=vol_slide_down(2), fx=FX_PORTA_DOWN, par=speed)
        if "vib" in opt:
            off, speed, depth = opt["vib"]
            for r in range(max(row + off, busy), fall_row):
                put(pat, r, ch, fx=FX_VIBRATO, par=speed * 16 + depth)
        if sustained and end < rows and end not in starts:
            put(pat, end, ch, KEY_OFF)
        prev = name


def echo(events, delay=3, scale=0.45, volume=40, rows=64):
    """The line repeated softer a dotted eighth later, for the echo channel."""
    out = []
    for ev in events:
        row, name, length = ev[:3]
        opt = ev[3] if len(ev) > 3 else {}
        if row + delay >= rows:
            continue
        o = {"v": max(1, round(opt.get("v", volume) * scale))}
        if "porta" in opt:
            o["porta"] = opt["porta"]
        out.append((row + delay, name, length, o))
    return out


KIT_KICK = {"X": (I_KICK, 56), "x": (I_KICK, 42), "g": (I_KICK, 28),
            "1": (I_KICK, 40, "A-4"), "2": (I_KICK, 38, "F-4"), "3": (I_KICK, 38, "D-4"),
            "4": (I_KICK, 40, "A-3")}
KIT_SNARE = {"S": (I_SNARE, 40), "s": (I_SNARE, 30), "g": (I_SNARE, 14),
             "R": (I_RIM, 34), "r": (I_RIM, 24),
             "T": (I_SNARE, 12, "C-4", EXT_RETRIG | 3), "U": (I_SNARE, 18, "C-4", EXT_RETRIG | 3),
             "V": (I_SNARE, 24, "C-4", EXT_RETRIG | 3), "W": (I_SNARE, 30, "C-4", EXT_RETRIG | 3)}
KIT_HAT = {"O": (I_CHAT, 32), "o": (I_CHAT, 26), "g": (I_CHAT, 15),
           "P": (I_OHAT, 26), "p": (I_OHAT, 18), "c": (I_CHAT, 20, "A-3")}


def drums(pat, ch, kit, bars, swing=False):
    """bars: one 16-character string per bar, one character per row ('.' is a rest). With
    swing, hits on the odd sixteenths come two ticks late."""
    for b, bar in enumerate(bars):
        for i, c in enumerate(bar):
            if c == ".":
                continue
            hit = kit[c]
            ins, v = hit[:2]
            n = note(hit[2]) if len(hit) > 2 else note("C-4")
            row = 16 * b + i
            if len(hit) > 3:
                put(pat, row, ch, n, ins, vol(v), FX_EXT, hit[3])
            elif swing and i % 2 == 1:
                put(pat, row, ch, n, ins, vol(v), FX_EXT, EXT_DELAY | 2)
            else:
                put(pat, row, ch, n, ins, vol(v))


COMP_RHYTHM = [(0, 0, 26), (3, 2, 18), (6, 1, 22), (8, 3, 24), (11, 2, 18), (14, 1, 20)]


def comp(pat, changes, level=0, bars=range(4)):
    """The e-piano's broken chords in a 3+3+2 sixteenth rhythm."""
    for b in bars:
        for off, idx, v in COMP_RHYTHM:
            row = 16 * b + off
            tones = CHORDS[chord_at(changes, row)][3]
            put(pat, row, COMP, note(tones[idx]), I_EPIANO, vol(v + level), FX_PAN, 88)


def sparkle(pat, changes, bars=range(4), volume=20):
    """The glass pluck on the off-beats of beats two and four, its arpeggio running for
    two rows over the chord's tones."""
    for b in bars:
        for off in (6, 14):
            row = 16 * b + off
            root, arp = CHORDS[chord_at(changes, row)][4]
            put(pat, row, GLASS, note(root), I_GLASS, vol(volume), FX_ARP, arp)
            put(pat, row + 1, GLASS, fx=FX_ARP, par=arp)


BASS_THEME = [(0, "D-2", 5), (6, "D-2", 2), (10, "A-2", 3), (14, "C#2", 2),
              (16, "B-1", 5), (22, "B-1", 2), (26, "F#2", 3), (30, "A-1", 2),
              (32, "G-1", 5), (38, "G-2", 2), (42, "D-2", 3), (46, "G#1", 2),
              (48, "A-1", 5), (54, "A-1", 2), (58, "E-2", 2), (60, "A-2", 2), (62, "C#2", 2)]
BASS_THEME2 = BASS_THEME[:13] + [(54, "A-1", 2), (56, "E-2", 2), (58, "A-2", 2),
                                 (60, "G-2", 2), (62, "F#2", 2)]
BASS_VAR = [(0, "G-2", 5), (6, "G-2", 2), (8, "D-2", 3), (12, "G-2", 2), (14, "A-2", 2),
            (16, "F#2", 5), (22, "F#2", 2), (24, "C#2", 3), (28, "E-2", 2), (30, "F#2", 2),
            (32, "E-2", 5), (38, "E-2", 2), (40, "B-1", 3), (44, "D-2", 2), (46, "E-2", 2),
            (48, "A-1", 5), (54, "A-1", 2), (56, "G-2", 3), (60, "E-2", 2), (62, "F#2", 2)]
BASS_VAR2 = BASS_VAR[:15] + [(48, "A-1", 5), (54, "A-1", 2), (56, "A-1", 4), (62, "A#1", 2)]
BASS_BRIDGE1 = [(0, "B-1", 12), (12, "F#2", 4), (16, "G-1", 12), (28, "D-2", 4),
                (32, "E-2", 12), (44, "B-1", 4), (48, "F#2", 8), (56, "F#2", 6)]
BASS_BRIDGE2 = BASS_BRIDGE1[:5] + [(44, "G-2", 4), (48, "A-1", 16)]
BASS_INTRO = [(0, "D-2", 16), (16, "G-1", 16), (32, "A-1", 16)]

VIB = {"vib": (4, 5, 2)}
MEL_INTRO = [(4, "F#5", 4), (8, "A-5", 4), (12, "E-5", 4), (16, "D-5", 4), (20, "F#5", 4),
             (24, "B-5", 4), (28, "A-5", 4), (32, "E-5", 8), (40, "F#5", 4), (44, "D-5", 4)]
MEL_THEME = [(0, "A-4", 4), (4, "D-5", 4), (8, "E-5", 2), (10, "F#5", 6),
             (16, "E-5", 4), (20, "D-5", 4), (24, "B-4", 8),
             (34, "D-5", 2), (36, "F#5", 4), (40, "A-5", 4), (44, "G-5", 2), (46, "F#5", 2),
             (48, "E-5", 8, VIB), (56, "D-5", 2), (58, "C#5", 2), (60, "E-5", 4)]
MEL_THEME2 = [(0, "F#5", 4), (4, "A-5", 4), (8, "B-5", 2), (10, "A-5", 2), (12, "F#5", 4),
              (16, "E-5", 6), (22, "D-5", 2), (24, "E-5", 2), (26, "F#5", 6),
              (32, "G-5", 4), (36, "F#5", 4), (40, "E-5", 4), (44, "D-5", 4),
              (48, "C#5", 4), (52, "E-5", 4), (56, "A-5", 8, {"vib": (2, 5, 3), "fall": (6, 3)})]
MEL_VAR = [(0, "B-5", 4), (4, "A-5", 2), (6, "G-5", 2), (8, "F#5", 4), (12, "D-5", 4),
           (16, "C#5", 6), (22, "E-5", 2), (24, "A-5", 8),
           (32, "G-5", 4), (36, "F#5", 2), (38, "E-5", 2), (40, "D-5", 4), (44, "B-4", 4),
           (48, "D-5", 8), (56, "E-5", 6, {"porta": 8}), (62, "C#5", 2)]
MEL_VAR2 = [(0, "D-6", 4), (4, "B-5", 2), (6, "A-5", 2), (8, "G-5", 8),
            (16, "E-5", 4), (20, "F#5", 2), (22, "A-5", 2), (24, "C#6", 8),
            (32, "B-5", 4), (36, "A-5", 4), (40, "G-5", 4), (44, "E-5", 4),
            (48, "F#5", 8), (56, "E-5", 4), (60, "C#5", 4)]
FVIB = {"vib": (4, 5, 3)}
MEL_BRIDGE1 = [(0, "F#5", 12, FVIB), (12, "E-5", 2), (14, "C#5", 2),
               (16, "D-5", 8, FVIB), (24, "B-4", 8),
               (32, "E-5", 12, {"porta": 4, "vib": (6, 5, 3)}), (44, "F#5", 2), (46, "G-5", 2),
               (48, "F#5", 8, FVIB), (56, "E-5", 4), (60, "C#5", 3)]
MEL_BRIDGE2 = [(0, "D-5", 4), (4, "F#5", 4), (8, "B-5", 8, FVIB),
               (16, "A-5", 8, {"vib": (3, 5, 3)}), (24, "G-5", 4), (28, "F#5", 4),
               (32, "G-5", 8, FVIB), (40, "F#5", 4), (44, "D-5", 4),
               (48, "E-5", 14, {"vib": (4, 4, 4)})]
COUNTER_BRIDGE1 = [(8, "B-4", 8), (24, "D-5", 8), (40, "G-4", 8), (56, "A#4", 8)]
COUNTER_BRIDGE2 = [(12, "F#4", 4), (28, "B-4", 4), (44, "B-4", 4)]

LEAD_VOLUME = 36
ECHO_PAN = 80

DRUMS_THEME = (
    ["X.........x.....", "X.........x.....", "X.........x.....", "X.........x...g."],
    ["....R.......R...", "....R.......R...", "....R.......R...", "....R.......R.rr"],
    ["o.g.o.g.o.g.o.p.", "o.g.o.g.o.g.o.p.", "o.g.o.g.o.g.o.p.", "o.g.o.g.o.g.o.p."])
DRUMS_THEME2 = (
    ["X.........x..x..", "X.........x..x..", "X.........x..x..", "X.........x....."],
    ["....S..g....S...", "....S..g....S..g", "....S..g....S...", "....S.......STUV"],
    ["o.ogo.ogo.ogo.p.", "o.ogo.ogo.ogo.p.", "o.ogo.ogo.ogo.p.", "o.ogo.ogo.og...."])
DRUMS_VAR = (
    ["X.....x.x.......", "X.....x.x.......", "X.....x.x.......", "X.....x.x...x..."],
    ["....S..g....S...", "....S..g....S..g", "....S..g....S...", "....S..g....S.s."],
    ["o.ogo.ogo.ogo.pg", "o.ogo.ogo.ogo.pg", "o.ogo.ogo.ogo.pg", "o.ogo.ogo.ogo.p."])
DRUMS_VAR2 = (
    ["X.....x.x.......", "X.....x.x.......", "X.....x.x.......", "X.....x.1.2.3.4."],
    ["....S..g....S...", "....S..g....S..g", "....S..g....S...", "....S..........."],
    ["o.ogo.ogo.ogo.pg", "o.ogo.ogo.ogo.pg", "o.ogo.ogo.ogo.pg", "o.ogo.og........"])
DRUMS_BRIDGE1 = (
    [],
    ["........r.......", "........r.......", "........r.......", "........r...r..."],
    ["c.o.c.o.c.o.c.o.", "c.o.c.o.c.o.c.o.", "c.o.c.o.c.o.c.o.", "c.o.c.o.c.o.c.o."])
DRUMS_BRIDGE2 = (
    ["g...............", "g...............", "g...............", "x..............."],
    ["....r.......r...", "....r.......r...", "....r.......r...", "TTUUVVWW........"],
    ["c.o.c.o.c.o.c.o.", "c.o.c.o.c.o.c.o.", "c.o.c.o.c.o.c.o.", "o.o.o.o........."])


def section_drums(pat, kit_bars, swing=False):
    kick, snare, hat = kit_bars
    drums(pat, KICK, KIT_KICK, kick)
    drums(pat, SNARE, KIT_SNARE, snare)
    drums(pat, HAT, KIT_HAT, hat, swing)


def compose():
    """Returns the patterns, the order list and the restart position."""
    intro = new_pattern(48)
    pads(intro, INTRO, attack=True)
    for r in range(1, 7):                  # the air pad drifts to the left as it enters
        put(intro, r, AIR, fx=FX_PANSLIDE, par=0x01)
    line(intro, BASS, I_BASS, BASS_INTRO, 30, sustained=True)
    line(intro, LEAD, I_BELL, MEL_INTRO, 30)
    line(intro, ECHO, I_BELL, echo(MEL_INTRO, volume=30, rows=48), 0, pan=ECHO_PAN)
    put(intro, 16, KICK, fx=FX_EXT, par=EXT_LOOP | 0)    # bars two and three play twice
    put(intro, 47, KICK, fx=FX_EXT, par=EXT_LOOP | 1)

    def theme(bass, melody, kit, swing, glass_bars, comp_level):
        pat = new_pattern(64)
        pads(pat, THEME)
        section_drums(pat, kit, swing)
        line(pat, BASS, I_BASS, bass, 42, sustained=True)
        comp(pat, THEME, comp_level)
        line(pat, LEAD, I_BELL, melody, LEAD_VOLUME)
        line(pat, ECHO, I_BELL, echo(melody, volume=LEAD_VOLUME), 0, pan=ECHO_PAN)
        sparkle(pat, THEME, glass_bars)
        return pat

    theme_a = theme(BASS_THEME, MEL_THEME, DRUMS_THEME, False, (), -6)
    theme_b = theme(BASS_THEME2, MEL_THEME2, DRUMS_THEME2, True, (1, 3), -2)
    return_a = theme(BASS_THEME, MEL_THEME, DRUMS_THEME2, True, range(4), 0)
    return_b = theme(BASS_THEME2, MEL_THEME2, DRUMS_THEME2, True, range(3), 0)

    def variation(bass, melody, kit, release):
        pat = new_pattern(64)
        pads(pat, VARIATION)
        section_drums(pat, kit, True)
        line(pat, BASS, I_BASS, bass, 42, sustained=True)
        comp(pat, VARIATION)
        line(pat, LEAD, I_EPIANO, melody, 44)
        line(pat, ECHO, I_EPIANO, echo(melody, volume=44), 0, pan=ECHO_PAN)
        sparkle(pat, VARIATION, range(4) if not release else range(3))
        if release:                        # the pads breathe out before the bridge
            for ch in PADS + (AIR,):
                put(pat, 60, ch, KEY_OFF)
        return pat

    var_a = variation(BASS_VAR, MEL_VAR, DRUMS_VAR, False)
    var_b = variation(BASS_VAR2, MEL_VAR2, DRUMS_VAR2, True)

    bridge_a = new_pattern(64)
    pads(bridge_a, BRIDGE1, attack=True, volume=6, air_volume=22)
    for r in (4, 8):                       # and swell in again
        for ch in PADS:
            put(bridge_a, r, ch, fx=FX_VOLSLIDE, par=0x10)
    section_drums(bridge_a, DRUMS_BRIDGE1)
    put(bridge_a, 0, COMP, KEY_OFF)         # the last broken chord lets go
    line(bridge_a, BASS, I_BASS, BASS_BRIDGE1, 36, sustained=True)
    line(bridge_a, LEAD, I_FLUTE, MEL_BRIDGE1, 28, sustained=True)
    line(bridge_a, ECHO, I_BELL, COUNTER_BRIDGE1, 20, pan=ECHO_PAN)
    for row, n in ((28, "D-6"), (60, "C#6")):
        put(bridge_a, row, GLASS, note(n), I_GLASS, vol(18))

    bridge_b = new_pattern(64)
    pads(bridge_b, BRIDGE2)
    section_drums(bridge_b, DRUMS_BRIDGE2)
    line(bridge_b, BASS, I_BASS, BASS_BRIDGE2, 36, sustained=True)
    line(bridge_b, LEAD, I_FLUTE, MEL_BRIDGE2, 28, sustained=True)
    line(bridge_b, ECHO, I_BELL, COUNTER_BRIDGE2, 20, pan=ECHO_PAN)
    for r in (56, 58, 60, 62):             # a ritardando into the return: each row lasts two
        put(bridge_b, r, KICK, fx=FX_EXT, par=EXT_PATDELAY | 1)

    patterns = [intro, theme_a, theme_b, var_a, var_b, bridge_a, bridge_b, return_a, return_b]
    orders = list(range(len(patterns)))
    return patterns, orders, 1


# ---------------------------------------------------------------------------------------------
# XM writer
# ---------------------------------------------------------------------------------------------

MODULE_NAME = "Quiet Bench"
TRACKER_NAME = "make_music.py"


def pack_cells(pat):
    out = bytearray()
    for row in pat:
        for cell in row:
            if all(cell):
                out += bytes(cell)             # all five fields: the plain form is shorter
                continue
            flags, body = 0x80, bytearray()
            for bit, value in enumerate(cell):
                if value:
                    flags |= 1 << bit
                    body.append(value)
            out.append(flags)
            out += body
    return bytes(out)


def delta_bytes(smp):
    data = smp["data"]
    prev = np.concatenate(([0], data[:-1]))
    if smp["bits"] == 8:
        return ((data - prev) & 0xFF).astype(np.uint8).tobytes()
    return ((data - prev) & 0xFFFF).astype("<u2").tobytes()


def envelope_bytes(points):
    padded = list(points) + [(0, 0)] * (12 - len(points))
    return b"".join(struct.pack("<HH", t, v) for t, v in padded)


def write_xm(patterns, orders, restart, instruments):
    out = bytearray()
    out += struct.pack("<17s20sB20sHI", b"Extended Module: ", MODULE_NAME.encode(), 0x1A,
                       TRACKER_NAME.encode(), 0x0104, 276)
    out += struct.pack("<8H", len(orders), restart, NCH, len(patterns), len(instruments),
                       1, SPEED, BPM)
    out += bytes(orders) + bytes(256 - len(orders))
    for pat in patterns:
        packed = pack_cells(pat)
        out += struct.pack("<IBHH", 9, 0, len(pat), len(packed)) + packed
    for ins in instruments:
        smp = ins["sample"]
        vtype, (vls, vle) = ins["vol_flags"], ins["vol_loop"]
        ptype, (pls, ple) = ins["pan_flags"], ins["pan_loop"]
        out += struct.pack("<I22sBHI", 263, ins["name"].encode(), 0, 1, 40)
        out += bytes(96)                       # every note plays sample 0
        out += envelope_bytes(ins["vol_env"]) + envelope_bytes(ins["pan_env"])
        out += bytes([len(ins["vol_env"]), len(ins["pan_env"]), ins["vol_sustain"], vls, vle,
                      ins["pan_sustain"], pls, ple, vtype, ptype]) + bytes(ins["vib"])
        out += struct.pack("<H", ins["fadeout"]) + bytes(22)
        width = smp["bits"] // 8
        stype = smp["loop_type"] | (0x10 if smp["bits"] == 16 else 0)
        loop_start, loop_len = smp["loop_start"], smp["loop_len"]
        out += struct.pack("<IIIBbBBbB22s", len(smp["data"]) * width, loop_start * width,
                           loop_len * width, smp["volume"], smp["fine"], stype, smp["pan"],
                           smp["rel"], 0, smp["name"].encode())
        out += delta_bytes(smp)
    return bytes(out)


def build():
    instruments = make_instruments()
    patterns, orders, restart = compose()
    return write_xm(patterns, orders, restart, instruments), patterns, orders, instruments


# ---------------------------------------------------------------------------------------------
# Reader and checks
# ---------------------------------------------------------------------------------------------

def read_xm(blob):
    """Parses a module the way a loader walks it; returns plain dicts and lists."""
    pos = 0

    def take(n):
        nonlocal pos
        if pos + n > len(blob):
            raise ValueError("file ends inside a structure at %d" % pos)
        chunk = blob[pos:pos + n]
        pos += n
        return chunk

    ident, name, sep, tracker, version, hsize = struct.unpack("<17s20sB20sHI", take(64))
    fields = struct.unpack("<8H", take(16))
    song = dict(ident=ident, name=name.rstrip(b"\0").decode(), sep=sep, version=version,
                header_size=hsize, song_length=fields[0], restart=fields[1],
                channels=fields[2], pattern_count=fields[3], instrument_count=fields[4],
                flags=fields[5], speed=fields[6], bpm=fields[7], orders=list(take(256)))
    pos = 60 + hsize
    song["patterns"] = []
    for _ in range(song["pattern_count"]):
        _, _, rows, size = struct.unpack("<IBHH", take(9))
        data, k, cells = take(size), 0, []
        for _ in range(rows * song["channels"]):
            b = data[k]
            k += 1
            if b & 0x80:
                cell = []
                for bit in range(5):
                    if b & (1 << bit):
                        cell.append(data[k])
                        k += 1
                    else:
                        cell.append(0)
            else:
                cell = [b] + list(data[k:k + 4])
                k += 4
            cells.append(cell)
        if k != size:
            raise ValueError("pattern data size %d, cells used %d" % (size, k))
        song["patterns"].append([cells[r * song["channels"]:(r + 1) * song["channels"]]
                                 for r in range(rows)])
    song["instruments"] = []
    for _ in range(song["instrument_count"]):
        start = pos
        isize, iname, _, nsmp, shsize = struct.unpack("<I22sBHI", take(33))
        rest = take(208)
        ins = dict(name=iname.rstrip(b"\0").decode(), sample_count=nsmp,
                   sample_header_size=shsize, keymap=list(rest[:96]),
                   vol_env=[struct.unpack_from("<HH", rest, 96 + 4 * i) for i in range(12)],
                   pan_env=[struct.unpack_from("<HH", rest, 144 + 4 * i) for i in range(12)])
        (ins["vol_points"], ins["pan_points"], ins["vol_sustain"], ins["vol_loop_start"],
         ins["vol_loop_end"], ins["pan_sustain"], ins["pan_loop_start"], ins["pan_loop_end"],
         ins["vol_flags"], ins["pan_flags"], ins["vib_type"], ins["vib_sweep"],
         ins["vib_depth"], ins["vib_rate"]) = rest[192:206]
        ins["fadeout"] = struct.unpack_from("<H", rest, 206)[0]
        pos = start + isize
        headers = []
        for _ in range(nsmp):
            h = struct.unpack("<IIIBbBBbB22s", take(shsize))
            headers.append(dict(length=h[0], loop_start=h[1], loop_len=h[2], volume=h[3],
                                fine=h[4], type=h[5], pan=h[6], rel=h[7], packing=h[8],
                                name=h[9].rstrip(b"\0").decode()))
        for h in headers:
            raw = take(h["length"])
            if h["type"] & 0x10:
                d = np.cumsum(np.frombuffer(raw, "<u2").astype(np.int64)) & 0xFFFF
                h["data"] = np.where(d >= 0x8000, d - 0x10000, d)
                h["bits"] = 16
            else:
                d = np.cumsum(np.frombuffer(raw, np.uint8).astype(np.int64)) & 0xFF
                h["data"] = np.where(d >= 0x80, d - 0x100, d)
                h["bits"] = 8
            width = h["bits"] // 8
            h["frames"], h["loop_start_frames"], h["loop_frames"] = (
                h["length"] // width, h["loop_start"] // width, h["loop_len"] // width)
        ins["samples"] = headers
        song["instruments"].append(ins)
    if pos != len(blob):
        raise ValueError("%d bytes after the last sample" % (len(blob) - pos))
    return song


def song_timing(song):
    """Walks the order list row by row, with speed, tempo, pattern loop and pattern delay,
    until the song wraps. Returns (seconds to the wrap, seconds from the restart order's
    first row to the wrap)."""
    speed, bpm = song["speed"], song["bpm"]
    order, row, frames = 0, 0, 0
    loop_row = [0] * song["channels"]
    loop_count = [0] * song["channels"]
    restart_at = None
    for _ in range(100000):
        if order == song["restart"] and row == 0 and restart_at is None:
            restart_at = frames
        pat = song["patterns"][song["orders"][order]]
        next_order, next_row, extra, jumped = None, None, 0, False
        for ch, (_, _, _, fx, par) in enumerate(pat[row]):
            x, y = par >> 4, par & 15
            if fx == 0xF and par:
                if par < 32:
                    speed = par
                else:
                    bpm = par
            elif fx == 0xB:
                next_order, next_row, jumped = (par if par < song["song_length"] else 0), 0, True
            elif fx == 0xD:
                next_row = 10 * x + y
                if not jumped:
                    next_order = order + 1 if order + 1 < song["song_length"] else 0
            elif fx == 0xE and x == 6:
                if y == 0:
                    loop_row[ch] = row
                elif loop_count[ch] == 0:
                    loop_count[ch], next_row = y, loop_row[ch]
                else:
                    loop_count[ch] -= 1
                    if loop_count[ch]:
                        next_row = loop_row[ch]
            elif fx == 0xE and x == 0xE:
                extra = y * speed
        frames += (speed + extra) * (120000 // bpm)
        if next_row is not None:
            order = next_order if next_order is not None else order
            row = next_row
        elif row + 1 < len(pat):
            row += 1
        elif order + 1 < song["song_length"]:
            order, row = order + 1, 0
        else:
            return frames / 48000.0, (frames - restart_at) / 48000.0
    raise ValueError("the song never wraps")


def check_envelope(name, points, count, sustain, loop_start, loop_end, flags, top):
    problems = []
    if flags & 1:
        pts = points[:count]
        if not 2 <= count <= 12:
            problems.append("%s: %d points" % (name, count))
        if any(b[0] <= a[0] for a, b in zip(pts, pts[1:])):
            problems.append("%s: ticks do not rise" % name)
        if any(v > top for _, v in pts):
            problems.append("%s: value above %d" % (name, top))
        if flags & 2 and sustain >= count:
            problems.append("%s: sustain point outside" % name)
        if flags & 4 and not loop_start <= loop_end < count:
            problems.append("%s: loop points outside" % name)
    return problems


def turn_glitch(data, start, length, loop_type, order=12):
    """How far the sound through a loop's turns strays from the loop itself: a linear
    predictor is fitted inside the loop and run over the values as the mixer plays them
    across each turn; the result is the largest error there over the error inside."""
    d = data.astype(np.float64)
    end = start + length
    rows = np.lib.stride_tricks.sliding_window_view(d[start:end - 1], order)
    coef, *_ = np.linalg.lstsq(rows, d[start + order:end], rcond=None)
    inside = np.sqrt(np.mean((d[start + order:end] - rows @ coef) ** 2))
    k = order + 4
    if loop_type == 1:
        paths = [np.concatenate((d[end - k:end], d[start:start + k]))]
    else:
        # The mixer mirrors at the loop end through the copy of the last value behind it,
        # and exactly at the loop start.
        paths = [np.concatenate((d[end - k:end], d[end - 1:end], d[end - 1:end - k - 1:-1])),
                 np.concatenate((d[start + k:start:-1], d[start:start + k]))]
    worst = 0.0
    for p in paths:
        w = np.lib.stride_tricks.sliding_window_view(p[:-1], order)
        worst = max(worst, np.max(np.abs(p[order:] - w @ coef)))
    return worst / max(inside, 1.0)


def check_module(blob, patterns, orders, instruments):
    """Everything that must hold for the written module; returns a list of problems."""
    problems = []
    song = read_xm(blob)
    if song["ident"] != b"Extended Module: " or song["sep"] != 0x1A or song["version"] != 0x0104:
        problems.append("identification, separator or version wrong")
    if song["header_size"] != 276:
        problems.append("header size %d" % song["header_size"])
    if not 8 <= song["channels"] <= 64:
        problems.append("%d channels" % song["channels"])
    if song["flags"] & 1 != 1:
        problems.append("not the linear frequency table")
    if song["orders"][:song["song_length"]] != orders or any(song["orders"][len(orders):]):
        problems.append("order table differs")
    if not song["restart"] < song["song_length"]:
        problems.append("restart position outside the song")
    if any(o >= song["pattern_count"] for o in orders):
        problems.append("order names a missing pattern")
    if song["patterns"] != patterns:
        problems.append("pattern cells differ from the score")
    for p, pat in enumerate(song["patterns"]):
        if not 1 <= len(pat) <= 256:
            problems.append("pattern %d has %d rows" % (p, len(pat)))
        for r, row in enumerate(pat):
            for c, (n, i, _, _, _) in enumerate(row):
                if n > 97 or i > song["instrument_count"]:
                    problems.append("pattern %d row %d channel %d: note %d instrument %d"
                                    % (p, r, c, n, i))

    kinds = set()
    for k, (ins, want) in enumerate(zip(song["instruments"], instruments), 1):
        tag = "instrument %d (%s)" % (k, ins["name"])
        if ins["sample_count"] != 1 or ins["sample_header_size"] != 40:
            problems.append(tag + ": sample count or header size")
        problems += check_envelope(tag + " volume envelope", ins["vol_env"], ins["vol_points"],
                                   ins["vol_sustain"], ins["vol_loop_start"],
                                   ins["vol_loop_end"], ins["vol_flags"], 64)
        problems += check_envelope(tag + " panning envelope", ins["pan_env"], ins["pan_points"],
                                   ins["pan_sustain"], ins["pan_loop_start"],
                                   ins["pan_loop_end"], ins["pan_flags"], 64)
        if 2 * ins["fadeout"] > 0xFFFF:
            problems.append(tag + ": fadeout too large")
        smp = ins["samples"][0]
        if not np.array_equal(smp["data"], want["sample"]["data"]):
            problems.append(tag + ": sample data does not decode to what was synthesised")
        loop_type = smp["type"] & 3
        start, length, frames = smp["loop_start_frames"], smp["loop_frames"], smp["frames"]
        kinds.add((smp["bits"], loop_type))
        if smp["packing"] != 0 or smp["volume"] > 64 or not 0 < frames < 1 << 22:
            problems.append(tag + ": packing, volume or length")
        data = smp["data"].astype(np.float64) / (127.0 if smp["bits"] == 8 else 32767.0)
        if loop_type == 0:
            if abs(data[-1]) > 0.01:
                problems.append(tag + ": one-shot does not end at zero")
        elif length == 0 or start + length > frames:
            problems.append(tag + ": loop outside the sample")
        elif loop_type in (1, 2) and turn_glitch(smp["data"], start, length, loop_type) > 6.0:
            problems.append(tag + ": the loop does not turn smoothly")
    for bits, loop_type, what in ((8, None, "8-bit"), (16, None, "16-bit"),
                                  (None, 1, "forward loop"), (None, 2, "ping-pong loop")):
        if not any((bits is None or b == bits) and (loop_type is None or t == loop_type)
                   for b, t in kinds):
            problems.append("no %s sample" % what)
    ins_list = song["instruments"]
    for what, ok in (
            ("sustained volume envelope", any(i["vol_flags"] & 3 == 3 for i in ins_list)),
            ("looped volume envelope", any(i["vol_flags"] & 5 == 5 for i in ins_list)),
            ("panning envelope", any(i["pan_flags"] & 1 for i in ins_list)),
            ("fadeout", any(i["fadeout"] for i in ins_list)),
            ("auto-vibrato", any(i["vib_depth"] and i["vib_rate"] for i in ins_list))):
        if not ok:
            problems.append("no instrument with " + what)

    cells = [c for pat in song["patterns"] for row in pat for c in row]

    def used(test):
        return any(test(n, v, fx, par) for n, _, v, fx, par in cells)

    for what, test in (
            ("arpeggio", lambda n, v, fx, par: fx == 0 and par),
            ("tone portamento", lambda n, v, fx, par: fx == 3 or v >= 0xF0),
            ("portamento", lambda n, v, fx, par: fx in (1, 2)),
            ("vibrato", lambda n, v, fx, par: fx in (4, 6) or 0xB0 <= v < 0xC0),
            ("volume slide", lambda n, v, fx, par: fx == 0xA or 0x60 <= v < 0xA0),
            ("panning", lambda n, v, fx, par: fx in (8, 0x19) or 0xC0 <= v < 0xF0),
            ("pattern loop", lambda n, v, fx, par: fx == 0xE and par >> 4 == 6),
            ("pattern delay", lambda n, v, fx, par: fx == 0xE and par >> 4 == 0xE),
            ("note delay", lambda n, v, fx, par: fx == 0xE and par >> 4 == 0xD),
            ("key-off", lambda n, v, fx, par: n == 97)):
        if not used(test):
            problems.append("the score never uses " + what)

    first, loop = song_timing(song)
    if not 60.0 <= first <= 120.0 or not 60.0 <= loop <= 120.0:
        problems.append("song wraps after %.1f s, loops over %.1f s" % (first, loop))
    if len(blob) > 300 * 1024:
        problems.append("module is %d bytes" % len(blob))
    return problems, song, first, loop


def main(argv):
    blob, patterns, orders, instruments = build()
    if "--check" not in argv:
        with open(OUT_PATH, "wb") as f:
            f.write(blob)
        print("wrote %s, %d bytes" % (OUT_PATH, len(blob)))
        return 0
    problems, _, first, loop = check_module(blob, patterns, orders, instruments)
    if build()[0] != blob:
        problems.append("two builds differ")
    with open(OUT_PATH, "rb") as f:
        if f.read() != blob:
            problems.append("%s is not what this script writes now" % OUT_PATH)
    for p in problems:
        print("FAIL:", p)
    print("%d bytes, wraps after %.1f s, loop %.1f s: %s"
          % (len(blob), first, loop, "ok" if not problems else "%d problems" % len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
