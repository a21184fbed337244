#!/usr/bin/python3
"""Composes the demo's music, "Moonlark", and writes it to data/moonlark.mod.

Run with Debian's /usr/bin/python3; needs python3-numpy. The result is a 4-channel ProTracker
module ("M.K.", 31 sample slots, 64-row patterns) with 8-bit signed samples that are all
synthesised here. Everything is deterministic (the drum noise comes from a fixed-seed xorshift
generator), so rerunning the script rewrites the same file byte for byte.
`make_module.py --print N` prints position N as tracker rows instead.

The piece, in A minor at about 152 beats a minute (speed 5, 16 rows a bar):
- The hook: a tresillo figure that leaps a fifth and turns back (A-E-D, C-D-E), stated four
  times as a falling sequence over Am G F E, then answered. It is heard slowly in the intro,
  in full when the drums come in, as the bass riff of the groove, with an echo in the chorus,
  slowed down on a bell in the breakdown, and in thirds at the climax.
- Progressions: the hook's Am G F E, the groove's Am F C G, the breakdown's F G Em Am and
  Dm Em F E, and the rise Dm Em F G that leads back to the hook.
- Each section lasts one stage of the demo's timeline and opens with a crash on a channel that
  stays free while it rings. The tempo of each bar is chosen so that every section starts on
  its stage change (in libmikmod's tick arithmetic); the last section slows down, resolves
  E - Am and fades to silence, and the song ends: no position jumps, so players stop.

Channels, with the Amiga's fixed panning (1 and 4 left, 2 and 3 right): bass; drums; lead;
and a fourth for the crashes, chords, arpeggios, the lead's echo and the counter-line. Notes
never end by a cut: drums and the plucked bass die away inside their samples (the bass note
takes the longest of three lengths that ends in time), held notes fade by volume slides
before the next one starts, and legato notes glide (tone portamento) instead of restarting.

Effects used: 0 (arpeggio), 1 and 2 (pitch slides), 3 (tone portamento), 4 (vibrato, sine
waveform), 6 (vibrato with volume slide), A (volume slide), C (volume), D00 (the break that
shortens the last pattern), F (speed and tempo). No E4x/E7x: nothing draws random numbers.
"""

import os
import re
import struct
import sys
from dataclasses import dataclass, replace

import numpy as np

OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "moonlark.mod")

# ---------------------------------------------------------------------------
# Tracker format

ROWS = 64
BAR = 16  # rows
SPEED = 5  # ticks per row
SLOTS = 31

# ProTracker periods (finetune 0) of the 36 playable notes C-1 .. B-3; a note below is an
# index into this table.
PERIODS = (856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
           428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
           214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113)
NOTE_C2 = 12
NOTE_C3 = 24

# Playback rate of a sample at C-2 (period 428) and at C-3 (period 214).
RATE_C2 = 8363
RATE_C3 = 2 * RATE_C2

ARPEGGIO, SLIDE_UP, SLIDE_DOWN, GLIDE, VIBRATO = 0x0, 0x1, 0x2, 0x3, 0x4
VIBRATO_FADE, FADE, VOLUME, BREAK, TEMPO = 0x6, 0xA, 0xC, 0xD, 0xF

# Channels, with the Amiga's fixed panning: 1 and 4 left, 2 and 3 right.
BASS, DRUMS, LEAD, EXTRA = range(4)

# Where each stage of the demo's timeline starts (s from the start of the music), and when
# the demo ends: the last section's fade reaches silence before it, and the song stops soon
# after (every player has to play it for at least 150.2 s).
STAGE_STARTS = (0.0, 13.152, 25.756, 50.416, 75.624, 100.832, 126.040)
DEMO_END = 150.152
SILENT_BY = 150.05
SONG_END = 150.5

# libmikmod mixes at 44,100 Hz and a tick lasts floor(44100 * 2.5 / BPM) sample frames: the
# section times are planned in that arithmetic. Other players round the tick differently, by
# less than a frame.
MIX_RATE = 44100


def tick_frames(bpm):
    return MIX_RATE * 125 // (bpm * 50)


# ---------------------------------------------------------------------------
# Synthesis

NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6,
              "G": 7, "G#": 8, "A": 9, "A#": 10, "Bb": 10, "B": 11}


def midi(name):
    """MIDI number of a pitch written like 'A4' or 'G#5' (C4 = 60)."""
    pitch, octave = re.fullmatch(r"([A-G][#b]?)(\d)", name).groups()
    return NOTE_NAMES[pitch] + 12 * (int(octave) + 1)


def noise(count, seed):
    """count values in [-1, 1) from a 32-bit xorshift generator with a fixed seed."""
    out = np.empty(count)
    state = seed
    for i in range(count):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out[i] = state / 2.0**31 - 1.0
    return out


def smooth(signal, width):
    """Moving average over width samples: a gentle low-pass."""
    return np.convolve(signal, np.ones(width) / width, mode="same")


def fade_out_tail(signal, length):
    """Brings the last length samples down to exactly 0 along a half cosine."""
    signal = signal.copy()
    signal[-length:] *= 0.5 + 0.5 * np.cos(np.linspace(0.0, np.pi, length))
    return signal


def fade_in_head(signal, length):
    """Raises the first length samples from 0 along a half cosine: no step at the start."""
    signal = signal.copy()
    signal[:length] *= 0.5 - 0.5 * np.cos(np.linspace(0.0, np.pi, length))
    return signal


def partials(n, period, amplitudes, phases=None):
    """Sum of sines with whole cycles per period samples: sum_k a_k sin(2 pi k n / period + p_k).

    amplitudes has one entry per harmonic k = 1, 2, ..., each a number or one value per
    sample of n, so the timbre may change over time; the phases p_k are 0 unless given.
    """
    wave = np.zeros(len(n))
    for k, a in enumerate(amplitudes, start=1):
        wave += a * np.sin(2.0 * np.pi * k * n / period + (0.0 if phases is None else phases[k - 1]))
    return wave


def low_peak_phases(amplitudes, rounds=80):
    """Phases for harmonics of these amplitudes that keep the wave's peaks low for its power,
    so the timbre plays louder before the mix clips: from Schroeder's phases, the wave is
    clipped and its phases read back, round after round."""
    size = 512
    k = np.arange(1, len(amplitudes) + 1)
    phases = np.pi * k * (k - 1) / len(k)
    for _ in range(rounds):
        spectrum = np.zeros(size // 2 + 1, complex)
        spectrum[k] = np.asarray(amplitudes) * np.exp(1j * (phases - np.pi / 2))
        wave = np.fft.irfft(spectrum, size)
        limit = 0.7 * np.abs(wave).max()
        phases = np.angle(np.fft.rfft(np.clip(wave, -limit, limit))[k]) + np.pi / 2
    return phases


def blend_to_steady(n, attack, bright, steady):
    """Harmonic amplitudes that move from bright to steady over attack samples, along a half
    cosine, reaching steady exactly at sample attack, where the loop starts."""
    t = np.minimum(n / attack, 1.0)
    mix = 0.5 + 0.5 * np.cos(np.pi * t)
    return [s + mix * (b - s) for b, s in zip(bright, steady)]


def looped_tone(period, attack_periods, bright, steady):
    """A sample whose attack fades from a bright to a steady timbre, then loops one period of
    the steady wave. The loop starts at a whole number of periods and holds exactly one
    period, so the seam is seamless; the steady timbre has the bright one's power, and both
    share phases that keep the peaks low."""
    steady = np.asarray(steady) * np.sqrt(np.sum(np.square(bright)) / np.sum(np.square(steady)))
    attack = period * attack_periods
    n = np.arange(attack + period)
    wave = partials(n, period, blend_to_steady(n, attack, bright, steady), low_peak_phases(steady))
    return fade_in_head(wave, period // 2), attack, period


@dataclass
class Sample:
    name: str
    data: np.ndarray  # float, normalised to a peak of 1 when quantised
    loop_start: int = 0  # bytes; both loop values are even (stored in words)
    loop_length: int = 0  # bytes; 0 = plays once
    volume: int = 64  # default volume 0..64, the mix level of the instrument
    base_midi: int = 60  # pitch heard when played at C-2

    def seconds_at(self, pitch):
        """How long the sample sounds when played at pitch (a one-shot)."""
        return len(self.data) / (RATE_C2 * 2.0 ** ((pitch - self.base_midi) / 12.0))


def one_shot(name, signal, base_midi=60):
    """A sample that plays once; it starts with the two silent bytes ProTracker repeats after
    a non-looping sample has ended."""
    return Sample(name, np.concatenate([np.zeros(2), signal]), base_midi=base_midi)


def seconds(duration, rate):
    return np.arange(int(duration * rate)) / rate


def kick():
    """Sine falling from about 150 Hz to 50 Hz, with a knock at the start that a small speaker
    plays; it has died away before the next eighth note."""
    t = seconds(0.19, RATE_C3)
    freq = 50.0 + 100.0 * np.exp(-t / 0.03)
    phase = 2.0 * np.pi * np.cumsum(freq) / RATE_C3
    body = np.sin(phase) * np.exp(-t / 0.07)
    knock = smooth(noise(len(t), 0x6C8E9CF5), 6) * np.exp(-t / 0.006)
    return fade_out_tail(body + 0.5 * knock, 600)


def snare():
    """Two damped tones under band-passed noise."""
    t = seconds(0.19, RATE_C3)
    tone = (np.sin(2 * np.pi * 190 * t) + 0.5 * np.sin(2 * np.pi * 340 * t)) * np.exp(-t / 0.04)
    hiss = noise(len(t), 0x1F123BB5)
    hiss = smooth(hiss - smooth(hiss, 9), 2) * np.exp(-t / 0.06)
    return fade_out_tail(0.7 * tone + 1.6 * hiss, 500)


def tom():
    """A sine falling a fifth, for fills; played at several pitches."""
    t = seconds(0.3, RATE_C2)
    freq = 130.0 * (1.0 + 0.5 * np.exp(-t / 0.05))
    body = np.sin(2.0 * np.pi * np.cumsum(freq) / RATE_C2) * np.exp(-t / 0.09)
    return fade_out_tail(body, 300)


def cymbal(duration, decay, seed):
    """High-passed noise with an exponential decay: hats and crash."""
    t = seconds(duration, RATE_C3)
    hiss = noise(len(t), seed)
    hiss = np.diff(np.diff(hiss, prepend=0.0), prepend=0.0)
    return fade_out_tail(hiss * np.exp(-t / decay), len(t) // 8)


BASS_LOWEST = 40  # E2: the bass's roots lie in the octave from here
BASS_HARMONICS = np.arange(1, 25)
# A voiced bass: the fundamental is softer than the second and third harmonics, so the line
# reads on a small speaker that cannot play it.
BASS_TIMBRE = np.where(BASS_HARMONICS == 1, 0.55, 1.0) / BASS_HARMONICS**0.9


def bass_pluck(name, duration):
    """A bass note that lasts duration s at the lowest note of the bass, E2 (the wave has a
    64-sample period: C3 at C-2): it keeps its level and timbre, the upper harmonics fading
    a little faster, and ends at exactly 0 along a quarter of its length."""
    rate = RATE_C2 * 2.0 ** ((BASS_LOWEST - midi("C3")) / 12.0)
    t = np.arange(int(duration * rate)) / rate
    n = np.arange(len(t))
    amplitudes = [a * np.exp(-t * (1.5 + 0.15 * k)) for k, a in enumerate(BASS_TIMBRE, start=1)]
    wave = fade_in_head(partials(n, 64, amplitudes, low_peak_phases(BASS_TIMBRE)), 32)
    return one_shot(name, fade_out_tail(wave, len(t) // 4), base_midi=midi("C3"))


def bass_hold():
    """The held bass: the same timbre, looped, for long notes that fade by volume slides."""
    steady = BASS_TIMBRE * np.exp(-BASS_HARMONICS / 8.0)
    data, loop_start, loop_length = looped_tone(64, 16, BASS_TIMBRE, steady)
    return Sample("bass hold", data, loop_start, loop_length, base_midi=midi("C3"))


def lead():
    """Bright saw lead, 32-sample period (C4 at C-2), settling to a rounder, hollow tone."""
    harmonics = np.arange(1, 16)
    bright = 1.0 / harmonics
    steady = np.exp(-harmonics / 5.0) / harmonics * np.where(harmonics % 2, 1.0, 0.6)
    data, loop_start, loop_length = looped_tone(32, 24, bright, steady)
    return Sample("lead", data, loop_start, loop_length, base_midi=60)


def chip():
    """Band-limited square wave, one 32-sample period looped from the start (C4 at C-2)."""
    harmonics = np.arange(1, 14)
    sigma = np.sinc(harmonics / 14.0)  # Lanczos factors against the ringing of the cut-off
    amplitudes = np.where(harmonics % 2, 1.0 / harmonics, 0.0) * sigma
    data = partials(np.arange(32), 32, amplitudes)
    return Sample("chip", data, 0, 32, base_midi=60)


def bell():
    """A bell: a plucked tone with inharmonic partials that ring on (C4 at C-2)."""
    t = seconds(1.2, RATE_C2)
    f0 = RATE_C2 / 32.0
    wave = sum(a * np.sin(2 * np.pi * f0 * ratio * t) * np.exp(-t / decay)
               for ratio, a, decay in ((1.0, 1.0, 0.45), (2.0, 0.35, 0.3),
                                       (3.01, 0.25, 0.12), (4.17, 0.12, 0.08)))
    return one_shot("bell", fade_out_tail(fade_in_head(wave, 8), 2000))


def pluck():
    """Plucked string: every harmonic decays, the high ones faster (C4 at C-2)."""
    t = seconds(0.5, RATE_C2)
    n = np.arange(len(t))
    amplitudes = [np.exp(-t * (6.0 + 3.0 * k)) / k for k in range(1, 13)]
    wave = fade_in_head(partials(n, 32, amplitudes), 4)
    return one_shot("pluck", fade_out_tail(wave, 600))


GOLDEN = (5 ** 0.5 - 1) / 2


def pad(name, third):
    """Chord pad: root, fifth, octave and the tenth above (third semitones over the root, 3
    minor, 4 major), each voice three slightly detuned soft saws.

    The loop is 8192 samples long and every partial has a whole number of cycles in it, so it
    repeats exactly; the root has 128 cycles (C3 at C-2) and its detuned copies 127 and 129,
    which beat about once a second. The loop starts at 4096, after the chord has faded in.
    """
    loop = 8192
    n = np.arange(loop // 2 + loop)
    wave = np.zeros(len(n))
    voice = 0
    for semitones in (0, 7, 12, 12 + third):
        cycles = round(128 * 2.0 ** (semitones / 12.0))
        for detune, weight in ((-1, 0.5), (0, 1.0), (1, 0.5)):
            for k in range(1, 5):
                voice += 1
                phase = 2.0 * np.pi * GOLDEN * voice  # spread phases keep the peaks low
                wave += weight / k**1.5 * np.sin(2.0 * np.pi * k * (cycles + detune) * n / loop
                                                 + phase)
    swell = np.minimum(n / 2500.0, 1.0)
    return Sample(name, wave * (0.5 - 0.5 * np.cos(np.pi * swell)), loop // 2, loop,
                  base_midi=48)


def instruments():
    """The sample slots, numbered from 1 in this order."""
    return [
        one_shot("kick", kick()),
        one_shot("snare", snare()),
        one_shot("hat", cymbal(0.07, 0.016, 0x3C6EF372)),
        one_shot("open hat", cymbal(0.25, 0.08, 0x3C6EF372)),
        one_shot("crash", cymbal(2.2, 0.55, 0x0BADF00D)),
        one_shot("tom", tom(), base_midi=48),
        bass_pluck("bass tick", 0.09),
        bass_pluck("bass short", 0.18),
        bass_pluck("bass long", 0.37),
        bass_hold(),
        pad("pad minor", 3),
        pad("pad major", 4),
        lead(),
        bell(),
        pluck(),
        chip(),
    ]


# The mix: each sample's default volume (0..64). The bass and the kick sit on opposite sides
# (the Amiga's panning), the lead on the drums' side, the fourth channel with the bass.
MIX = {"kick": 64, "snare": 64, "hat": 34, "open hat": 30, "crash": 48, "tom": 60,
       "bass tick": 42, "bass short": 42, "bass long": 42, "bass hold": 37,
       "pad minor": 44, "pad major": 44, "lead": 58, "bell": 64, "pluck": 50, "chip": 28}


SAMPLES = [replace(s, volume=MIX[s.name]) for s in instruments()]
SLOT = {s.name: i + 1 for i, s in enumerate(SAMPLES)}


def sample(name):
    return SAMPLES[SLOT[name] - 1]


def quantise(s):
    """8-bit signed bytes, peak scaled to 127."""
    data = s.data / np.abs(s.data).max() * 127.0
    return np.round(data).astype(np.int8).tobytes()


# ---------------------------------------------------------------------------
# Harmony and themes

SCALE = [midi(n) % 12 for n in ("A4", "B4", "C5", "D5", "E5", "F5", "G5")]  # A natural minor


def chord(symbol):
    """(pitch class of the root, third in semitones) of 'Am', 'F', 'G#m', ..."""
    root, quality = re.fullmatch(r"([A-G][#b]?)(m?)", symbol).groups()
    return NOTE_NAMES[root], 3 if quality else 4


def chord_tones(symbol):
    root, third = chord(symbol)
    return {root, (root + third) % 12, (root + 7) % 12}


def root_in(pitch_class, lowest):
    """MIDI number of the root in the octave from lowest upwards."""
    return lowest + (pitch_class - lowest) % 12


SCALE_PITCHES = [p for p in range(128) if p % 12 in SCALE]


def scale_step(pitch, steps):
    """pitch moved steps degrees along A minor; a raised G (G#) moves as G."""
    if pitch % 12 not in SCALE:
        pitch -= 1
    return SCALE_PITCHES[SCALE_PITCHES.index(pitch) + steps]


def fit_to_chord(pitch, symbol):
    """G becomes G# over E (and other chords' raised tones likewise): a scale tone one
    semitone under a chord tone that is not on the scale moves up to it."""
    tones = chord_tones(symbol)
    if pitch % 12 not in tones and (pitch + 1) % 12 in tones and (pitch + 1) % 12 not in SCALE:
        return pitch + 1
    return pitch


@dataclass
class Note:
    """A note of a melodic line, rows counted from the start of the line."""
    row: int
    rows: int
    pitch: int = None  # MIDI; None: a rest
    glide: bool = False  # reached by tone portamento from the note before, not struck
    vibrato: bool = False
    fall: bool = False  # ends with a pitch slide down
    sample: str = None  # None: the line's own


def parse_line(text):
    """Notes of a line written as tokens PITCH:ROWS, with '/' before a note reached by a
    glide, '~' after a note with vibrato, '\\' after a note that falls off at its end, and
    r:ROWS for a rest; '|' between bars is only for the reader."""
    notes, row = [], 0
    for token in text.replace("|", " ").split():
        m = re.fullmatch(r"(/?)([A-G][#b]?\d|r):(\d+)([~\\]?)", token)
        glide, pitch, rows, mark = m.groups()
        notes.append(Note(row, int(rows), None if pitch == "r" else midi(pitch),
                          glide=bool(glide), vibrato=mark == "~", fall=mark == "\\"))
        row += int(rows)
    return notes


def line_rows(notes):
    return notes[-1].row + notes[-1].rows if notes else 0


def augment(notes, factor=2):
    """The line at 1/factor of its speed: every note factor times as long."""
    return [replace(n, row=n.row * factor, rows=n.rows * factor) for n in notes]


def shifted(notes, steps, chords):
    """The line moved steps degrees along the scale (a third below: -2), each note fitted to
    the chord of its bar; chords is one symbol per bar."""
    out = []
    for n in notes:
        if n.pitch is None:
            out.append(n)
            continue
        pitch = fit_to_chord(scale_step(n.pitch, steps), chords[n.row // BAR % len(chords)])
        out.append(replace(n, pitch=pitch))
    return out


def joined(*lines):
    """Lines played one after the other."""
    out, start = [], 0
    for notes in lines:
        out += [replace(n, row=n.row + start) for n in notes]
        start += line_rows(notes)
    return out


# The hook: a four-bar falling sequence of one figure over Am G F E, and its answer.
HOOK = parse_line("A4:3 E5:3 D5:2 C5:2 D5:2 E5:4~ | G4:3 D5:3 C5:2 B4:2 C5:2 D5:4~ |"
                  "F4:3 C5:3 B4:2 A4:2 B4:2 C5:4~ | E4:3 B4:3 A4:2 G#4:2 A4:2 B4:4~")
ANSWER = parse_line("A4:3 E5:3 D5:2 C5:2 D5:2 E5:2 A5:2 | /G5:6~ F5:2 E5:4 D5:2 /E5:2 |"
                    "C5:3 D5:3 E5:2 F5:2 E5:2 C5:4 | B4:8~ G#4:4 B4:2 /E5:2\\")
# The answer again, ornamented: a glide up to the high A and a fall at the end.
ANSWER_HIGH = parse_line("A4:3 E5:3 D5:2 C5:2 D5:2 E5:2 /A5:2 | B5:4 /A5:2 G5:6~ D5:2 /E5:2 |"
                         "F5:3 E5:3 D5:2 C5:2 D5:2 E5:4 | E5:6~ D5:2 C5:2 B4:2 G#4:2 B4:2\\")
# The groove's tune over Am F C G: long notes against the riff of the bass.
GROOVE_TUNE = parse_line("C5:4 B4:2 A4:2 E5:8~ | F5:4 E5:2 D5:2 C5:8~ |"
                         "E5:4 D5:2 C5:2 G5:6~ E5:2 | D5:12~ r:4")
GROOVE_TUNE_2 = parse_line("C5:4 B4:2 A4:2 E5:6 /F5:2 | A5:4 G5:2 F5:2 E5:6 C5:2 |"
                           "E5:4 D5:2 C5:2 G5:4 A5:2 G5:2 | /B5:8~ G5:4 D5:4\\")
# The rise over Dm Em F G: climbing arches.
RISE_TUNE = parse_line("D5:2 F5:2 A5:4~ G5:2 F5:2 E5:4 | E5:2 G5:2 B5:4~ A5:2 G5:2 E5:4\\ |"
                       "C5:2 F5:2 A5:4~ G5:2 F5:2 C5:4 | D5:4 /G5:4 /B5:8~")
# The breakdown's second tune over F G Em Am and Dm Em F E, on the bell.
DRIFT_TUNE = parse_line("C5:6 A4:2 F5:8 | D5:6 B4:2 G5:8 | B4:6 G4:2 E5:8 | A4:16 |"
                        "F4:6 D4:2 A4:8 | G4:6 E4:2 B4:8 | A4:6 F4:2 C5:8 | B4:8 G#4:8")
# The last two bars over F and E, and the final A that fades away.
CADENCE = parse_line("A4:3 E5:3 D5:2 C5:2 D5:2 E5:4~ | B4:3 E5:3 D5:2 /E5:8~")
FINAL_NOTE = parse_line("A4:48~")
FINAL_BASS = parse_line("A2:48")

# ---------------------------------------------------------------------------
# Drums, bass rhythms and arpeggios

# Drum bars, one character per row: K kick, S snare, s ghost snare, h hat, H accented hat,
# o open hat, T t m high, middle and low tom, '.' nothing.
DRUM_HITS = {"K": ("kick", None, None), "k": ("kick", 40, None), "S": ("snare", None, None),
             "s": ("snare", 20, None), "h": ("hat", None, None), "H": ("hat", 40, None),
             "o": ("open hat", None, None), "T": ("tom", None, "E4"), "t": ("tom", None, "B3"),
             "m": ("tom", None, "F#3")}
GROOVES = {
    "ticks": "h...h...h...h...",
    "pulse": "K...h...K...h...",
    "beat":  "K.h.S.h.K.hKS.h.",
    "drive": "K.hHS.hsK.hKS.ho",
    "push":  "K.hHS.hsK.hKS.hK",
    "chorus": "K.hoS.hsKKhoS.ho",
    "climax": "K.oHS.hsK.oKS.oH",
    "shuffle": "K..hS.h.K.hKS..h",
    "rim":   "..h...s...h...s.",
    "half":  "K.h.h.h.S.h.h.hs",
    "rest":  "................",
}
# Fills end phrases; each section has its own.
FILLS = {
    "swell": "S...S...S.S.SSSS",  # the intro's snare roll, growing louder
    "kicks": "K.hHS.hsK.K.SSSS",  # into the groove
    "toms":  "K.hHS.TTt.ttm.mm",  # into the chorus
    "break": "K.hHS.hoS.......",  # the chorus stops before the breakdown
    "roll":  "s.s.s.s.S.S.SSSS",  # the breakdown's quiet way out
    "climb": "K.S.K.S.SSSSTTtm",  # the rise into the climax
    "stop":  "K...S...K.S.S...",  # the climax's last bar before the cadence
}
DRUM_BARS = {**GROOVES, **FILLS}
# Fills that swell: volumes from the first hit of the bar to the last.
SWELLS = {"swell": (16, 64), "roll": (12, 40), "climb": (36, 64)}

# Bass rhythms over the chord of each bar: R root, O octave, F fifth; '.' the note goes on.
BASS_RHYTHMS = {
    "whole":   "R...............",
    "halves":  "R.......F.......",
    "eighths": "R.R.R.R.R.R.R.R.",
    "octaves": "R.O.R.O.R.O.R.O.",
    "drive":   "R.RRO.R.R.RRO.RO",
    "gallop":  "R.RRR.RRR.RRO.F.",
}
BASS_STEPS = {"R": 0, "O": 12, "F": 7}

# Arpeggio shapes: indices into the chord (root, third, fifth, octave), one per step.
ARP_SHAPES = {"updown": (0, 1, 2, 3, 2, 1), "wide": (0, 2, 3, 1, 2, 3, 0, 2)}


# ---------------------------------------------------------------------------
# The arrangement

@dataclass
class Part:
    """What one channel plays over a block of bars.

    kind is one of: "drums" (args: one drum bar name per bar), "bass" (one rhythm name per
    bar, repeated when fewer; "riff" plays the hook's figure on each chord, "-" rests), "pad",
    "arp" (shape, rows a step, sample), "chip" (rows of a bar: chip chords by the arpeggio
    effect), "line" (notes, sample), "echo" (rows of delay, volume factor: repeats the lead of
    the same block).
    fade: (start, end) factors of the channel's volume over the block, for swells and fades;
    level: a factor of the volume throughout, for the arc of the piece.
    """
    kind: str
    args: tuple = ()
    fade: tuple = (1.0, 1.0)
    level: float = 1.0


@dataclass
class Block:
    chords: str  # one chord a bar
    parts: dict  # channel -> Part
    crash: int = None  # the channel of the crash that opens the block; it rests in bar one

    @property
    def rows(self):
        return BAR * len(self.chords.split())


def drums(*bars, fade=(1.0, 1.0), level=1.0):
    return Part("drums", bars, fade, level)


def phrase(groove, fill, bars=4):
    """bars of a groove, the last one a fill."""
    return (groove,) * (bars - 1) + (fill,)


TRESILLO = (0, 3, 6, 8, 11, 14)  # rows of a bar: 3 + 3 + 2, twice

HOOK_CHORDS = "Am G F E"
GROOVE_CHORDS = "Am F C G"
RISE_CHORDS = "Dm Em F G"
SLOW_HOOK_CHORDS = "Am Am G G F F E E"

# One list of blocks per stage of the timeline, in order.
SECTIONS = [
    [  # 0: ground and grid. The hook at half speed on the bell over swelling chords; hats,
       # then a pulse and the bass come in, and a snare roll leads into the drums.
        Block(SLOW_HOOK_CHORDS, {
            BASS: Part("bass", ("-",) * 4 + ("whole",) * 4, fade=(0.5, 1.0)),
            DRUMS: drums("rest", "rest", "ticks", "ticks", "pulse", "pulse", "pulse", "swell",
                         fade=(0.4, 1.0)),
            LEAD: Part("line", (augment(HOOK), "bell"), fade=(0.4, 0.8)),
            EXTRA: Part("pad", fade=(0.3, 1.0))}),
    ],
    [  # 1: radial blur. Drums and bass: the lead states the hook and its answer.
        Block(HOOK_CHORDS + " " + HOOK_CHORDS, {
            BASS: Part("bass", ("eighths",), level=0.9),
            DRUMS: drums(*phrase("beat", "beat"), *phrase("beat", "kicks"), level=0.9),
            LEAD: Part("line", (joined(HOOK, ANSWER), "lead"), level=0.85),
            EXTRA: Part("pad", level=0.8)}, crash=EXTRA),
    ],
    [  # 2: sunset and sine field. The groove: the hook's figure becomes the bass riff, the
       # lead sings over it, a plucked arpeggio runs; then the rise.
        Block(GROOVE_CHORDS + " " + GROOVE_CHORDS, {
            BASS: Part("bass", ("riff",), level=0.9),
            DRUMS: drums(*phrase("drive", "push"), *phrase("drive", "kicks"), level=0.9),
            LEAD: Part("line", (joined(GROOVE_TUNE, GROOVE_TUNE_2), "lead"), level=0.85),
            EXTRA: Part("arp", ("updown", 2, "pluck"))}, crash=EXTRA),
        Block(RISE_CHORDS + " " + RISE_CHORDS, {
            BASS: Part("bass", ("drive",), level=0.9),
            DRUMS: drums(*phrase("drive", "push"), *phrase("drive", "toms"), level=0.9),
            LEAD: Part("line", (joined(RISE_TUNE, RISE_TUNE), "lead"), level=0.85),
            EXTRA: Part("arp", ("wide", 1, "pluck"))}),
    ],
    [  # 3: tunnel and emblem. The chorus: the hook with an echo, then ornamented.
        Block(HOOK_CHORDS + " " + HOOK_CHORDS, {
            BASS: Part("bass", ("drive",), level=0.9),
            DRUMS: drums(*phrase("drive", "push"), *phrase("drive", "kicks"), level=0.9),
            LEAD: Part("line", (joined(HOOK, ANSWER), "lead"), level=0.9),
            EXTRA: Part("echo", (3, 0.5))}, crash=EXTRA),
        Block(HOOK_CHORDS + " " + HOOK_CHORDS, {
            BASS: Part("bass", ("gallop",), level=0.9),
            DRUMS: drums(*phrase("chorus", "push"), *phrase("chorus", "break"), level=0.9),
            LEAD: Part("line", (joined(HOOK, ANSWER_HIGH), "lead"), level=0.9),
            EXTRA: Part("echo", (3, 0.5))}),
    ],
    [  # 4: sine waves and rippling grid. The breakdown: no drums, the hook slowly on the bell
       # with its echo on the drums' channel; then a tune of its own and the hats return.
        Block(SLOW_HOOK_CHORDS, {
            BASS: Part("bass", ("whole",), level=0.7),
            DRUMS: Part("echo", (3, 0.4)),
            LEAD: Part("line", (augment(HOOK), "bell"), level=0.7),
            EXTRA: Part("pad", level=0.8)}, crash=EXTRA),
        Block("F G Em Am Dm Em F E", {
            BASS: Part("bass", ("halves",), level=0.7),
            DRUMS: drums("ticks", "ticks", "rim", "rim", "rim", "rim", "rim", "roll", level=0.8),
            LEAD: Part("line", (DRIFT_TUNE, "bell"), level=0.7),
            EXTRA: Part("pad", level=0.8)}),
    ],
    [  # 5: console on black. The rebuild: bass and hats under a chip arpeggio, the kick, then
       # the whole groove, and the rise into the climax.
        Block(GROOVE_CHORDS + " " + GROOVE_CHORDS, {
            BASS: Part("bass", ("eighths",), level=0.85),
            DRUMS: drums("ticks", "ticks", "ticks", "ticks", "pulse", "pulse", "pulse", "kicks"),
            LEAD: Part("line", (joined(GROOVE_TUNE, GROOVE_TUNE_2), "pluck")),
            EXTRA: Part("chip", TRESILLO)}, crash=EXTRA),
        Block(RISE_CHORDS + " " + RISE_CHORDS, {
            BASS: Part("bass", ("drive",)),
            DRUMS: drums(*phrase("shuffle", "push"), "drive", "drive", "push", "climb"),
            LEAD: Part("line", (joined(RISE_TUNE, RISE_TUNE), "lead"), level=0.85),
            EXTRA: Part("arp", ("wide", 1, "chip"))}),
    ],
    [  # 6: closing blur. The climax: the hook and a second lead a third under it over the
       # whole band, the ornamented answer; then the cadence slows down, and the last A fades.
        Block(HOOK_CHORDS + " " + HOOK_CHORDS, {
            BASS: Part("bass", ("drive",)),
            DRUMS: drums(*phrase("climax", "push"), *phrase("climax", "toms")),
            LEAD: Part("line", (joined(HOOK, ANSWER_HIGH), "lead")),
            EXTRA: Part("line", (shifted(joined(HOOK, ANSWER_HIGH), -2, HOOK_CHORDS.split()),
                                 "lead"), level=0.95)}, crash=EXTRA),
        Block("F E", {
            BASS: Part("bass", ("octaves",)),
            DRUMS: drums("drive", "stop"),
            LEAD: Part("line", (CADENCE, "lead")),
            EXTRA: Part("pad")}),
        Block("Am Am Am", {
            BASS: Part("line", (FINAL_BASS, "bass hold"), fade=(1.0, 0.0)),
            DRUMS: drums("rest", "rest", "rest"),
            LEAD: Part("line", (FINAL_NOTE, "lead"), fade=(1.0, 0.0)),
            EXTRA: Part("pad", fade=(1.0, 0.0))}, crash=DRUMS),
    ],
]
# The last section: the climax at this tempo, then the cadence slows down row by row to the
# tempo at which the final chord rings and fades.
CLIMAX_BPM = 127

# ---------------------------------------------------------------------------
# Rendering parts into tracks


@dataclass
class Cell:
    sample: int = 0
    note: int = None  # index into PERIODS
    effect: int = 0
    param: int = 0

    def free(self):
        return self.effect == 0 and self.param == 0


def empty_track(rows):
    return [Cell() for _ in range(rows)]


def note_index(pitch, name):
    index = pitch - sample(name).base_midi + NOTE_C2
    assert 0 <= index < len(PERIODS), (pitch, name)
    return index


def strike(track, row, name, pitch=None, volume=None):
    """A note of a sample at row; pitch None plays it at C-3 (the drums)."""
    track[row] = Cell(SLOT[name], NOTE_C3 if pitch is None else note_index(pitch, name))
    if volume is not None and volume != sample(name).volume:
        track[row].effect, track[row].param = VOLUME, volume


GLIDE_SPEED = 0x0C  # period units a tick: a tone's glide takes about a row
VIBRATO_SHAPE = 0x44  # speed 4, depth 4: a sixth of a tone each way, about 5 Hz
FALL_SPEED = 0x0C
FASTEST_ROW = 0.096  # s: the shortest row of the song, for judging whether a note rings on
SINGING = ("lead", "chip")  # the samples whose held notes get a vibrato


def release_rows(note):
    return 1 if note.rows <= 3 else 2


def needs_release(note, name):
    """Whether a note would still sound when the next one starts: every held note, and a
    one-shot note that is shorter than its sample."""
    s = sample(name)
    return s.loop_length > 0 or s.seconds_at(note.pitch) > note.rows * FASTEST_ROW


def play_line(track, notes, name, volume=None):
    """A melodic line on a sample (each note may name its own). A note is struck, or reached
    by a glide; a held note gets a delayed vibrato; a note that would still sound when the
    next starts fades out over its last row or two (a volume slide, with the vibrato going
    on), unless the next one glides on from it; a falling note slides down before it fades."""
    for i, note in enumerate(notes):
        if note.pitch is None:
            continue
        name_here = note.sample or name
        level = sample(name_here).volume if volume is None else volume
        row, end = note.row, note.row + note.rows
        if note.glide:
            track[row] = Cell(0, note_index(note.pitch, name_here), GLIDE, GLIDE_SPEED)
        else:
            strike(track, row, name_here, note.pitch, level)
        if name_here in SINGING and (note.vibrato or note.rows >= 6):
            for held in range(row + 2, end):
                track[held].effect, track[held].param = VIBRATO, VIBRATO_SHAPE if held == row + 2 else 0
        following = notes[i + 1] if i + 1 < len(notes) else None
        if following and following.glide and following.row == end:
            continue
        if not needs_release(note, name_here):
            continue
        fade_rows = release_rows(note)
        if note.fall and note.rows > fade_rows + 1:
            track[end - fade_rows - 1] = replace(track[end - fade_rows - 1], effect=SLIDE_DOWN,
                                                 param=FALL_SPEED)
        step = min(15, -(-level // (4 * fade_rows)))
        for held in range(max(row, end - fade_rows), end):
            cell = track[held]
            if cell.effect == VIBRATO:
                cell.effect, cell.param = VIBRATO_FADE, step
            elif cell.free():
                cell.effect, cell.param = FADE, step


def drum_track(bars, rows):
    track = empty_track(rows)
    for bar, name in enumerate(bars):
        hits = [(step, hit) for step, hit in enumerate(DRUM_BARS[name]) if hit in DRUM_HITS]
        for i, (step, hit) in enumerate(hits):
            slot_name, volume, pitch = DRUM_HITS[hit]
            if name in SWELLS:
                low, high = SWELLS[name]
                volume = round(low + (high - low) * i / (len(hits) - 1))
            strike(track, bar * BAR + step, slot_name, pitch and midi(pitch), volume)
    return track


def figure_on(symbol, start):
    """The hook's figure (its first bar) moved along the scale to begin on the chord's root,
    two octaves down: the riff of the bass."""
    root = chord(symbol)[0]
    steps = (SCALE.index(root) - SCALE.index(HOOK[0].pitch % 12)) % 7
    steps -= 7 if steps > 3 else 0
    figure = [n for n in HOOK if n.row < BAR]
    return [replace(n, row=start + n.row, pitch=fit_to_chord(scale_step(n.pitch, steps) - 24, symbol),
                    vibrato=False) for n in figure]


def bass_sample(pitch, rows):
    """The longest plucked bass that dies away within rows, the held one for long notes."""
    if rows >= 6:
        return "bass hold"
    fitting = [name for name in ("bass long", "bass short", "bass tick")
               if sample(name).seconds_at(pitch) <= rows * FASTEST_ROW]
    return fitting[0] if fitting else "bass tick"


def bass_line(chords, rhythms, rows):
    notes = []
    for bar in range(rows // BAR):
        rhythm = rhythms[bar % len(rhythms)]
        if rhythm == "riff":
            notes += figure_on(chords[bar], bar * BAR)
        elif rhythm != "-":
            root = root_in(chord(chords[bar])[0], BASS_LOWEST)
            text = BASS_RHYTHMS[rhythm]
            for step, symbol in enumerate(text):
                if symbol in BASS_STEPS:
                    length = len(text) - step - len(text[step + 1:].lstrip("."))
                    notes.append(Note(bar * BAR + step, length, root + BASS_STEPS[symbol]))
    return [replace(n, sample=bass_sample(n.pitch, n.rows)) for n in notes]


def pad_line(chords):
    """The chord of each bar, struck again only when it changes."""
    notes = []
    for bar, symbol in enumerate(chords):
        if notes and chords[bar - 1] == symbol:
            notes[-1].rows += BAR
            continue
        root, third = chord(symbol)
        notes.append(Note(bar * BAR, BAR, root_in(root, midi("A2")),
                          sample="pad minor" if third == 3 else "pad major"))
    return notes


def arp_line(chords, shape, step):
    """Chord tones, one every step rows, from the root near A3."""
    notes = []
    for i, row in enumerate(range(0, BAR * len(chords), step)):
        root, third = chord(chords[row // BAR])
        tone = (0, third, 7, 12)[ARP_SHAPES[shape][i % len(ARP_SHAPES[shape])]]
        notes.append(Note(row, step, root_in(root, midi("A3")) + tone))
    return notes


def chip_chord(track, chords, rows):
    """Chip notes on each bar's root at the given rows of the bar, the chord played by the
    arpeggio effect (root, third, fifth on successive ticks) while they sound."""
    notes = []
    for bar, symbol in enumerate(chords):
        for i, row in enumerate(rows):
            end = rows[i + 1] if i + 1 < len(rows) else BAR
            notes.append(Note(bar * BAR + row, end - row, root_in(chord(symbol)[0], midi("A3"))))
    play_line(track, notes, "chip")
    for row, cell in enumerate(track):
        if cell.free():
            cell.effect, cell.param = ARPEGGIO, chord(chords[row // BAR])[1] << 4 | 7


def echo_line(notes, delay, rows):
    """The line delay rows later, cut at the end of the block."""
    out = []
    for n in notes:
        if n.row + delay < rows:
            out.append(replace(n, row=n.row + delay, rows=min(n.rows, rows - n.row - delay)))
    return out


def apply_fade(track, rows, start, end):
    """Scales the channel's volume from start to end times each note's own level over rows:
    struck notes get a volume, held notes slide towards the line between them."""
    volume, level, looped = 0, 0, False
    for row in range(len(track)):
        cell = track[row]
        factor = start + (end - start) * min(row, rows) / rows
        after = start + (end - start) * min(row + 1, rows) / rows
        if cell.sample:
            level = cell.param if cell.effect == VOLUME else SAMPLES[cell.sample - 1].volume
            looped = SAMPLES[cell.sample - 1].loop_length > 0
            if cell.free() or cell.effect == VOLUME:
                cell.effect, cell.param = VOLUME, round(level * factor)
            volume = round(level * factor)
            continue
        if cell.effect in (FADE, VIBRATO_FADE):
            volume = max(0, min(64, volume + 4 * ((cell.param >> 4) - (cell.param & 15))))
            continue
        # Four slide ticks a row, rounded down: falling, the volume moves as soon as it is above
        # the line, so a fade reaches 0; rising, once it is a whole step under it.
        wanted = round(level * after) - volume
        step = max(-15, min(15, wanted // 4))
        if not looped or step == 0 or not (cell.free() or cell.effect == VIBRATO):
            continue
        cell.effect = VIBRATO_FADE if cell.effect == VIBRATO else FADE
        cell.param = step << 4 if step > 0 else -step
        volume = max(0, min(64, volume + 4 * step))


def block_tracks(block, lead_notes, fade_rows=None):
    """The four channels' tracks of a block."""
    chords = block.chords.split()
    tracks = []
    for channel in range(4):
        part = block.parts.get(channel, Part("rest"))
        track = empty_track(block.rows)
        if part.kind == "drums":
            track = drum_track(part.args, block.rows)
        elif part.kind == "bass":
            play_line(track, bass_line(chords, part.args, block.rows), "bass hold")
        elif part.kind == "pad":
            play_line(track, pad_line(chords), "pad minor")
        elif part.kind == "arp":
            shape, step, name = part.args
            play_line(track, arp_line(chords, shape, step), name)
        elif part.kind == "chip":
            chip_chord(track, chords, part.args)
        elif part.kind == "line":
            play_line(track, *part.args)
        elif part.kind == "echo":
            delay, factor = part.args
            notes, name = lead_notes
            play_line(track, echo_line(notes, delay, block.rows), name,
                      round(sample(name).volume * factor))
        if part.fade != (1.0, 1.0) or part.level != 1.0:
            start, end = part.fade
            apply_fade(track, fade_rows or block.rows, start * part.level, end * part.level)
        if channel == block.crash:
            track[:BAR] = empty_track(BAR)
            strike(track, 0, "crash")
        tracks.append(track)
    return tracks


def song_tracks(final_fade_rows):
    """The four channels' tracks of the whole song, and the first row of each section."""
    song = [[] for _ in range(4)]
    starts = []
    blocks = [(block, section is SECTIONS[-1] and block is section[-1])
              for section in SECTIONS for block in section]
    for section in SECTIONS:
        starts.append(len(song[0]))
        for block in section:
            lead = block.parts[LEAD].args if block.parts[LEAD].kind == "line" else None
            final = block is blocks[-1][0]
            for channel, track in enumerate(block_tracks(block, lead, final_fade_rows if final else None)):
                song[channel] += track
    return song, starts


# ---------------------------------------------------------------------------
# Timing


def frames_of(rows, bpm):
    return rows * SPEED * tick_frames(bpm)


def stage_tempos(song, starts):
    """{row: BPM} for stages 0-5: each takes a tempo (its first rows perhaps one faster, up to
    a row with a free effect column for the change) that brings the next section closest to
    its stage change."""
    changes, now = {}, 0
    for stage in range(len(STAGE_STARTS) - 1):
        first, rows = starts[stage], starts[stage + 1] - starts[stage]
        target = round(STAGE_STARTS[stage + 1] * MIX_RATE)
        splits = [k for k in range(rows) if k == 0 or any(track[first + k].free() for track in song)]
        error, faster, bpm = min(
            (abs(now + frames_of(k, b + 1) + frames_of(rows - k, b) - target), k, b)
            for b in range(100, 160) for k in splits)
        changes[first] = bpm + 1 if faster else bpm
        if faster:
            changes[first + faster] = bpm
        now += frames_of(faster, bpm + 1) + frames_of(rows - faster, bpm)
    return changes


def ending_tempos(song, cadence, final, final_bpm):
    """{row: BPM} of the last section's end: the cadence slows down, on every second row that
    has a free effect column, from the climax's tempo to final_bpm, at which the final chord
    rings."""
    changes = {}
    for row in range(cadence, final, 2):
        if any(track[row].free() for track in song):
            changes[row] = round(CLIMAX_BPM + (final_bpm - CLIMAX_BPM) * (row + 2 - cadence)
                                 / (final - cadence))
    changes[final] = final_bpm
    return changes


def row_starts(changes, rows):
    """Start of every row (and the end of the last) in sample frames."""
    out, now, bpm = [0], 0, None
    for row in range(rows):
        bpm = changes.get(row, bpm)
        now += frames_of(1, bpm)
        out.append(now)
    return out


def plan_tempo(song, starts, final):
    """The song's tempo changes, and how many rows of the final block its fade takes."""
    rows = len(song[0])
    stages = {**stage_tempos(song, starts), starts[-1]: CLIMAX_BPM}
    cadence = final - 2 * BAR

    def plan(final_bpm):
        return {**stages, **ending_tempos(song, cadence, final, final_bpm)}

    final_bpm = min(range(60, CLIMAX_BPM + 1),
                    key=lambda b: abs(row_starts(plan(b), rows)[-1] - SONG_END * MIX_RATE))
    changes = plan(final_bpm)
    times = row_starts(changes, rows)
    fade_rows = max(r for r in range(rows - final + 1)
                    if times[final + r] <= SILENT_BY * MIX_RATE) - 1
    return changes, fade_rows


# ---------------------------------------------------------------------------
# Assembly


def put_effect(tracks, row, effect, param):
    """Puts an effect on the first channel whose effect column is free at row."""
    for channel in (DRUMS, BASS, EXTRA, LEAD):
        if tracks[channel][row].free():
            tracks[channel][row].effect, tracks[channel][row].param = effect, param
            return
    raise AssertionError(f"no free effect column for {effect:X}{param:02X} at row {row}")


def build_song():
    """The song's four tracks with their tempo commands, and the first row of each section."""
    song, starts = song_tracks(None)
    rows = len(song[0])
    final = rows - SECTIONS[-1][-1].rows
    changes, fade_rows = plan_tempo(song, starts, final)
    song, starts = song_tracks(fade_rows)
    put_effect(song, 0, TEMPO, SPEED)
    for row, bpm in sorted(changes.items()):
        put_effect(song, row, TEMPO, bpm)
    return song, starts


def played_row_starts(song):
    """Start of every row and the end of the song (s), read back from the tempo commands as a
    player does, in libmikmod's arithmetic."""
    changes, speed, now, out = {}, 6, 0, []
    bpm = 125
    for row in range(len(song[0])):
        for track in song:
            if track[row].effect == TEMPO:
                if track[row].param < 0x20:
                    speed = track[row].param
                else:
                    bpm = track[row].param
        out.append(now / MIX_RATE)
        now += speed * tick_frames(bpm)
    return out, now / MIX_RATE


def patterns_of(song):
    """The song cut into 64-row patterns; a last, shorter one ends with a pattern break."""
    positions = []
    for start in range(0, len(song[0]), ROWS):
        tracks = [track[start:start + ROWS] for track in song]
        if len(tracks[0]) < ROWS:
            put_effect(tracks, len(tracks[0]) - 1, BREAK, 0)
            tracks = [track + empty_track(ROWS - len(track)) for track in tracks]
        positions.append(tracks)
    return positions


# ---------------------------------------------------------------------------
# Writing the module


def encode(tracks):
    """1024 bytes of a pattern: for each row the four channels' cells."""
    out = bytearray()
    for row in range(ROWS):
        for track in tracks:
            cell = track[row]
            period = 0 if cell.note is None else PERIODS[cell.note]
            out += bytes((cell.sample & 0xF0 | period >> 8, period & 0xFF,
                          (cell.sample & 0x0F) << 4 | cell.effect, cell.param))
    return bytes(out)


def sample_header(s, data):
    assert len(data) % 2 == 0 and len(data) < 0x20000
    loop_start, loop_words = (0, 1)  # one word: plays once
    if s.loop_length:
        loop_start, loop_words = s.loop_start // 2, s.loop_length // 2
    return struct.pack(">22sHBBHH", s.name.encode(), len(data) // 2, 0, s.volume,
                       loop_start, loop_words)


def even(data):
    return data + b"\0" * (len(data) % 2)


# The restart byte: 0x7F says "ProTracker" to players that tell trackers apart by it; the
# song does not restart (nothing jumps back).
RESTART = 0x7F


def write_module(path, positions):
    patterns, order = [], []
    for encoded in map(encode, positions):
        if encoded not in patterns:
            patterns.append(encoded)
        order.append(patterns.index(encoded))
    assert len(order) <= 128 and len(patterns) <= 64
    datas = [even(quantise(s)) for s in SAMPLES]
    header = b"moonlark".ljust(20, b"\0")
    for slot in range(SLOTS):
        if slot < len(SAMPLES):
            header += sample_header(SAMPLES[slot], datas[slot])
        else:
            header += struct.pack(">22sHBBHH", b"", 0, 0, 0, 0, 1)
    header += bytes((len(order), RESTART)) + bytes(order).ljust(128, b"\0") + b"M.K."
    with open(path, "wb") as f:
        f.write(header + b"".join(patterns) + b"".join(datas))
    return len(patterns)


NOTE_LETTERS = ("C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-")


def cell_text(cell):
    note = "---" if cell.note is None else f"{NOTE_LETTERS[cell.note % 12]}{cell.note // 12 + 1}"
    sample_number = f"{cell.sample:02X}" if cell.sample else ".."
    effect = f"{cell.effect:X}{cell.param:02X}" if not cell.free() else "..."
    return f"{note} {sample_number} {effect}"


def print_position(positions, index):
    print(f"position {index}    bass (L)     drums (R)    lead (R)     extra (L)")
    for row in range(ROWS):
        print(f"  {row:02d} | " + " | ".join(cell_text(t[row]) for t in positions[index]))


def main():
    song, starts = build_song()
    positions = patterns_of(song)
    if sys.argv[1:2] == ["--print"]:
        print_position(positions, int(sys.argv[2]))
        return
    count = write_module(OUTPUT, positions)
    times, end = played_row_starts(song)
    print(f"{len(positions)} positions, {count} patterns")
    for stage, row in enumerate(starts):
        print(f"stage {stage} at {STAGE_STARTS[stage]:7.3f} s: section at {times[row]:7.3f} s")
        assert abs(times[row] - STAGE_STARTS[stage]) < 0.02
    print(f"the song ends at {end:.3f} s")
    assert DEMO_END + 0.05 < end < 160.0


if __name__ == "__main__":
    main()
