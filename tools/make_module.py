#!/usr/bin/python3
"""Composes the demo's music and writes it to data/moonlark.mod.

Run with Debian's /usr/bin/python3; needs python3-numpy. The result is a
4-channel ProTracker module ("M.K.", 31 sample slots, 64-row patterns) with
8-bit signed samples that are all synthesised here. Everything is deterministic
(the drum noise comes from a fixed-seed xorshift generator), so rerunning the
script rewrites the same file byte for byte.

The piece is in A minor at about 152 beats a minute: speed 5 (ticks per row),
16 rows to a bar, 4 bars to a pattern. Each section lasts as long as one stage
of the demo's timeline; the tempo (BPM, one tick = 2.5 / BPM seconds) is set
per pattern so that every section starts within about a tenth of a second of
its stage, whichever player's rounding of the tick length. The last pattern
slows down, lets the final chord die away and ends the song: no position
jumps, so players stop instead of restarting.

The only effects used are 0xy (arpeggio), 4xy (vibrato with the default sine
waveform), Cxx (volume), D00 (the break that shortens the last pattern) and Fxx
(speed and tempo); nothing draws random numbers during playback.
"""

import os
import re
import struct
from dataclasses import dataclass, field

import numpy as np

OUTPUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "moonlark.mod")

# ---------------------------------------------------------------------------
# Tracker format

ROWS = 64
ROWS_PER_BAR = 16
SPEED = 5  # ticks per row
NOMINAL_BPM = 127  # row = 2.5 / BPM * SPEED s = 98.4 ms, a pattern 6.30 s
SLOTS = 31

# ProTracker periods (finetune 0) of the 36 playable notes C-1 .. B-3; a note
# below is an index into this table.
PERIODS = (856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
           428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
           214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113)
NOTE_C2 = 12
NOTE_C3 = 24

# Playback rate of a sample at C-2 (period 428) and at C-3 (period 214).
RATE_C2 = 8363
RATE_C3 = 2 * RATE_C2

EFFECT_ARPEGGIO = 0x0
EFFECT_VIBRATO = 0x4
EFFECT_VOLUME = 0xC
EFFECT_BREAK = 0xD
EFFECT_SPEED = 0xF  # below 0x20: ticks per row; 0x20 and up: BPM

# Channels, with the Amiga's fixed panning: 1 and 4 left, 2 and 3 right.
DRUMS, BASS, TOP, PAD = range(4)

# Stage changes of the demo's timeline in seconds from the start of the music,
# and where the music has to have ended (after the last stage, 150.152 s).
STAGE_ENDS = (13.152, 25.756, 50.416, 75.624, 100.832, 126.040)
SONG_END = 150.7


def row_seconds(bpm):
    return 2.5 / bpm * SPEED


# ---------------------------------------------------------------------------
# Synthesis

NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6,
              "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}


def midi(name):
    """MIDI number of a pitch written like 'A4' or 'G#5' (C4 = 60)."""
    pitch, octave = re.fullmatch(r"([A-G]#?)(\d)", name).groups()
    return NOTE_NAMES[pitch] + 12 * (int(octave) + 1)


def noise(count, seed=0x2545F491):
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


def partials(n, period, amplitudes):
    """Sum of sines with whole cycles per period samples: sum_k a_k sin(2 pi k n / period).

    amplitudes has one row per harmonic k = 1, 2, ... and either one column or
    one column per sample of n, so the timbre may change over time. Every
    partial starts at phase 0, so the wave is 0 at each multiple of period.
    """
    wave = np.zeros(len(n))
    for k, a in enumerate(amplitudes, start=1):
        wave += a * np.sin(2.0 * np.pi * k * n / period)
    return wave


def blend_to_steady(n, attack, bright, steady):
    """Harmonic amplitudes that move from bright to steady over attack samples.

    The move follows a half cosine and reaches steady exactly at sample attack,
    where the loop starts, so the attack flows into the loop without a step.
    """
    t = np.minimum(n / attack, 1.0)
    mix = 0.5 + 0.5 * np.cos(np.pi * t)
    return [s + mix * (b - s) for b, s in zip(bright, steady)]


def looped_tone(period, attack_periods, bright, steady):
    """A sample whose attack fades from a bright to a steady timbre, then loops one
    period of the steady wave. The loop starts at a whole number of periods, where
    the wave crosses zero, and holds exactly one period: the seam is seamless."""
    attack = period * attack_periods
    n = np.arange(attack + period)
    return partials(n, period, blend_to_steady(n, attack, bright, steady)), attack, period


@dataclass
class Sample:
    name: str
    data: np.ndarray  # float, normalised to a peak of 1 when quantised
    loop_start: int = 0  # bytes; both loop values are even (stored in words)
    loop_length: int = 0  # bytes; 0 = plays once
    volume: int = 64  # default volume 0..64, the mix level of the instrument
    base_midi: int = 60  # pitch heard when played at C-2


def one_shot(name, signal, volume, base_midi=60):
    """A sample that plays once; it starts with the two silent bytes ProTracker
    repeats after a non-looping sample has ended."""
    return Sample(name, np.concatenate([np.zeros(2), signal]), volume=volume, base_midi=base_midi)


def seconds(duration, rate):
    return np.arange(int(duration * rate)) / rate


def kick():
    """Sine falling from about 160 Hz to 48 Hz."""
    t = seconds(0.32, RATE_C3)
    freq = 48.0 + 110.0 * np.exp(-t / 0.035)
    phase = 2.0 * np.pi * np.cumsum(freq) / RATE_C3
    body = np.sin(phase) * np.exp(-t / 0.16)
    return fade_out_tail(body, 400)


def snare():
    """Two damped tones under band-passed noise."""
    t = seconds(0.26, RATE_C3)
    tone = (np.sin(2 * np.pi * 185 * t) + 0.5 * np.sin(2 * np.pi * 330 * t)) * np.exp(-t / 0.045)
    hiss = noise(len(t), 0x1F123BB5)
    hiss = smooth(hiss - smooth(hiss, 9), 2) * np.exp(-t / 0.08)
    return fade_out_tail(0.7 * tone + 1.6 * hiss, 300)


def cymbal(duration, decay, seed):
    """High-passed noise with an exponential decay: hats and crash."""
    t = seconds(duration, RATE_C3)
    hiss = noise(len(t), seed)
    hiss = np.diff(np.diff(hiss, prepend=0.0), prepend=0.0)
    return fade_out_tail(hiss * np.exp(-t / decay), len(t) // 8)


def crash_kick():
    """Kick and crash together, the hit that opens a section."""
    crash = cymbal(1.5, 0.45, 0x0BADF00D)
    body = np.zeros(len(crash))
    hit = kick()
    body[:len(hit)] = hit
    return body / np.abs(body).max() + 0.45 * crash / np.abs(crash).max()


def bass():
    """Sawtooth-like bass whose upper harmonics die away, 128-sample period (C2 at C-2)."""
    harmonics = np.arange(1, 17)
    bright = 1.0 / harmonics
    steady = 0.75 / harmonics**1.8 * (harmonics <= 8)
    data, loop_start, loop_length = looped_tone(128, 24, bright, steady)
    return Sample("bass", data, loop_start, loop_length, volume=56, base_midi=36)


def lead():
    """Bright saw lead, 32-sample period (C4 at C-2), settling to a rounder tone."""
    harmonics = np.arange(1, 16)
    bright = 1.0 / harmonics
    steady = np.exp(-harmonics / 5.0) / harmonics * np.where(harmonics % 2, 1.0, 0.6)
    data, loop_start, loop_length = looped_tone(32, 24, bright, steady)
    return Sample("lead", data, loop_start, loop_length, volume=40, base_midi=60)


def chip():
    """Band-limited square wave, one 32-sample period looped from the start (C4 at C-2)."""
    harmonics = np.arange(1, 14)
    sigma = np.sinc(harmonics / 14.0)  # Lanczos factors against the ringing of the cut-off
    amplitudes = np.where(harmonics % 2, 1.0 / harmonics, 0.0) * sigma
    data = partials(np.arange(32), 32, amplitudes)
    return Sample("chip", data, 0, 32, volume=28, base_midi=60)


def pluck():
    """Plucked string: every harmonic decays, the high ones faster (C4 at C-2)."""
    t = seconds(0.7, RATE_C2)
    n = np.arange(len(t))
    amplitudes = [np.exp(-t * (4.0 + 2.0 * k)) / k for k in range(1, 13)]
    return one_shot("pluck", fade_out_tail(partials(n, 32, amplitudes), 600), volume=40)


def pad(name, third):
    """Chord pad: root, fifth, octave and the tenth above (third semitones over the
    root, 3 minor, 4 major), each voice three slightly detuned soft saws.

    The loop is 8192 samples long and every partial has a whole number of cycles
    in it, so it repeats exactly; the root has 128 cycles (C3 at C-2) and its
    detuned copies 127 and 129, which beat about once a second. The loop starts
    at 4096, where all partials cross zero; before it the chord fades in.
    """
    loop = 8192
    n = np.arange(loop // 2 + loop)
    wave = np.zeros(len(n))
    for semitones in (0, 7, 12, 12 + third):
        cycles = round(128 * 2.0 ** (semitones / 12.0))
        for detune, weight in ((-1, 0.5), (0, 1.0), (1, 0.5)):
            for k in range(1, 5):
                wave += weight / k**1.5 * np.sin(2.0 * np.pi * k * (cycles + detune) * n / loop)
    swell = np.minimum(n / 2500.0, 1.0)
    return Sample(name, wave * (0.5 - 0.5 * np.cos(np.pi * swell)), loop // 2, loop,
                  volume=34, base_midi=48)


def instruments():
    """The sample slots, numbered from 1 in this order."""
    return [
        one_shot("kick", kick(), 64),
        one_shot("snare", snare(), 50),
        one_shot("hat", cymbal(0.08, 0.018, 0x3C6EF372), 30),
        one_shot("open hat", cymbal(0.3, 0.09, 0x3C6EF372), 26),
        one_shot("crash", crash_kick(), 62),
        bass(),
        pad("pad minor", 3),
        pad("pad major", 4),
        pluck(),
        lead(),
        chip(),
    ]


SAMPLES = instruments()
SLOT = {s.name: i + 1 for i, s in enumerate(SAMPLES)}


def quantise(sample):
    """8-bit signed bytes, peak scaled to 127."""
    data = sample.data / np.abs(sample.data).max() * 127.0
    return np.round(data).astype(np.int8).tobytes()


# ---------------------------------------------------------------------------
# Music description

CHORD_THIRDS = {"m": 3, "": 4}


def chord(symbol):
    """(pitch class of the root, third in semitones) of 'Am', 'F', 'G#m', ..."""
    root, quality = re.fullmatch(r"([A-G]#?)(m?)", symbol).groups()
    return NOTE_NAMES[root], CHORD_THIRDS[quality]


def root_in(pitch_class, lowest):
    """MIDI number of the root in the octave from lowest upwards."""
    return lowest + (pitch_class - lowest) % 12


# Drum grooves, one character per row of a bar:
# K kick, S snare, s ghost snare, h hat, H accented hat, o open hat, X crash.
DRUM_HITS = {"K": ("kick", None), "S": ("snare", None), "s": ("snare", 22),
             "h": ("hat", None), "H": ("hat", 44), "o": ("open hat", None),
             "X": ("crash", None)}
GROOVES = {
    "pulse": "K.h.K.h.K.h.K.hh",
    "beat":  "K.h.S.h.K.hKS.o.",
    "drive": "K.hHS.hsK.hKS.ho",
    "half":  "K.h.h.h.S.h.h.hs",
    "hats":  "h.h.H.h.h.h.H.h.",
    "fill":  "K.hHS.hsSsSSSSSS",
    "roll":  "s.s.s.S.S.SSSSSS",
    "crash": "X...............",
    "rest":  "................",
}

# Bass rhythms over the chord of each bar: R root, O octave, F fifth,
# '.' the note goes on, '-' silence.
BASS_RHYTHMS = {
    "whole":   "R...............",
    "half":    "R.......F.......",
    "eighths": "R.R.R.R.R.R.R.R.",
    "octaves": "R.O.R.O.R.O.R.O.",
    "drive":   "R-RRO-R-R-RRO-RO",
    "sync":    "R..R..R.R..R..F.",
}
BASS_STEPS = {"R": 0, "O": 12, "F": 7}

# Arpeggio shapes: indices into the chord (root, third, fifth, octave), one per step.
ARP_SHAPES = {
    "up": (0, 1, 2, 3),
    "updown": (0, 1, 2, 3, 2, 1),
    "wide": (0, 2, 3, 1, 2, 3, 0, 2),
}

# Melodies: bars separated by '|', notes as PITCH:ROWS, 'r' for a rest.
MELODIES = {
    "theme": "E5:3 E5:3 D5:2 C5:4 B4:2 C5:2 | A4:6 C5:2 A4:4 G4:4 |"
             "G4:3 C5:3 E5:2 G5:6 E5:2 | D5:8 B4:4 G4:4",
    "theme2": "E5:3 E5:3 D5:2 C5:4 B4:2 C5:2 | A4:6 C5:2 F5:4 E5:4 |"
              "E5:3 G5:3 E5:2 C5:6 E5:2 | D5:4 E5:4 D5:2 B4:2 G4:4",
    "high": "A5:6 G5:2 E5:4 C5:4 | F5:6 E5:2 C5:4 A4:4 |"
            "G5:6 E5:2 C5:4 E5:4 | D5:12 r:4",
    "high2": "A5:6 G5:2 E5:4 C5:4 | F5:6 E5:2 C5:4 A4:4 |"
             "E5:4 G5:4 A5:4 G5:4 | G5:8 D5:4 B4:4",
    "night": "A4:3 C5:3 E5:2 A5:4 E5:4 | C5:8 B4:4 A4:4 |"
             "F4:3 A4:3 C5:2 F5:4 C5:4 | A4:8 G4:4 E4:4",
    "night2": "D4:3 F4:3 A4:2 D5:4 A4:4 | F4:8 E4:4 D4:4 |"
              "E4:3 G#4:3 B4:2 E5:4 B4:4 | G#4:8 B4:4 D5:4",
    "farewell": "A5:4 E5:4 C5:4 A4:4 | E5:8 C5:8 | A4:16",
}


@dataclass
class Pattern:
    """Up to four bars of music: one chord a bar and what each channel plays over them.

    top is one of ("arp", shape, rows per step), ("lead", melody),
    ("pluck", melody) or ("chip", rows of the notes in a bar); fades maps a
    channel to the volume factors (start, end) ramped over the pattern.
    """
    chords: str
    drums: tuple = ("rest",) * 4
    bass: str = None
    pad: bool = True
    top: tuple = None
    fades: dict = field(default_factory=dict)

    @property
    def rows(self):
        return ROWS_PER_BAR * len(self.chords.split())


def ending_in_fill(groove):
    """Four bars of a groove, the last turned into a fill."""
    return (groove,) * 3 + ("fill",)


# Rows of the chip notes in a bar: 3 + 3 + 2 syncopation, and straight eighths.
TRESILLO = (0, 3, 6, 8, 11, 14)
EIGHTHS = tuple(range(0, ROWS_PER_BAR, 2))

MAIN = "Am F C G"
TURN = "Dm F Am E"
LIFT = "F G Em Am"
CLIMB = "Dm Em F G"

# One list of patterns per stage of the timeline, in order.
SECTIONS = [
    [  # 0: ground and grid: the pad swells in, a soft arpeggio and a snare roll follow
        Pattern("Am Am F F", top=("arp", "up", 4), fades={PAD: (0.0, 1.0), TOP: (0.4, 1.0)}),
        Pattern("C C G G", drums=("rest", "rest", "rest", "roll"), bass="whole",
                top=("arp", "updown", 2), fades={DRUMS: (0.3, 1.0)}),
    ],
    [  # 1: radial blur: drums and bass come in
        Pattern(MAIN, drums=("pulse",) * 4, bass="eighths", top=("arp", "updown", 2)),
        Pattern(MAIN, drums=ending_in_fill("beat"), bass="octaves", top=("arp", "updown", 2)),
    ],
    [  # 2: sunset and sine field: the full groove with a running arpeggio
        Pattern(MAIN, drums=("beat",) * 4, bass="drive", top=("arp", "updown", 1)),
        Pattern(TURN, drums=("beat",) * 3 + ("drive",), bass="drive", top=("arp", "wide", 1)),
        Pattern(MAIN, drums=("drive",) * 4, bass="drive", top=("arp", "updown", 1)),
        Pattern("Dm F E E", drums=ending_in_fill("drive"), bass="drive", top=("arp", "wide", 1)),
    ],
    [  # 3: tunnel and emblem: the lead plays the theme
        Pattern(MAIN, drums=("drive",) * 4, bass="drive", top=("lead", "theme")),
        Pattern(MAIN, drums=("drive",) * 4, bass="drive", top=("lead", "theme2")),
        Pattern(MAIN, drums=("drive",) * 4, bass="octaves", top=("lead", "high")),
        Pattern(MAIN, drums=ending_in_fill("drive"), bass="octaves", top=("lead", "high2")),
    ],
    [  # 4: sine waves and rippling grid: new chords, chip arpeggios, half-time drums
        Pattern(LIFT, drums=("half",) * 4, bass="sync", top=("chip", TRESILLO)),
        Pattern(CLIMB, drums=ending_in_fill("half"), bass="sync", top=("chip", TRESILLO)),
        Pattern(LIFT, drums=("beat",) * 4, bass="sync", top=("chip", EIGHTHS)),
        Pattern(CLIMB, drums=ending_in_fill("drive"), bass="drive", top=("chip", EIGHTHS)),
    ],
    [  # 5: console on black: a quiet night tune over bass and hats
        Pattern("Am Am F F", drums=("hats",) * 4, bass="whole", pad=False, top=("pluck", "night")),
        Pattern("Dm Dm E E", drums=("hats",) * 4, bass="half", pad=False, top=("pluck", "night2")),
        Pattern("Am Am F F", drums=("half",) * 4, bass="half", top=("pluck", "night")),
        Pattern("Dm Dm E E", drums=ending_in_fill("half"), bass="eighths", top=("pluck", "night2")),
    ],
    [  # 6: closing blur: the theme once more, a cadence, and the last chord dies away
        Pattern(MAIN, drums=("drive",) * 4, bass="drive", top=("lead", "theme2")),
        Pattern(MAIN, drums=("drive",) * 4, bass="octaves", top=("lead", "high2")),
        Pattern("F G E E", drums=ending_in_fill("beat"), bass="drive", top=("arp", "updown", 1)),
        Pattern("Am Am Am", drums=("crash", "rest", "rest"), bass="whole",
                top=("pluck", "farewell"), fades={BASS: (1.0, 0.0), PAD: (1.0, 0.0)}),
    ],
]


# ---------------------------------------------------------------------------
# Pattern assembly


@dataclass
class Cell:
    sample: int = 0
    note: int = None  # index into PERIODS
    effect: int = 0
    param: int = 0

    def effect_free(self):
        return self.effect == 0 and self.param == 0


def empty_track():
    return [Cell() for _ in range(ROWS)]


def note_index(pitch, sample):
    index = pitch - SAMPLES[sample - 1].base_midi + NOTE_C2
    assert 0 <= index < len(PERIODS), (pitch, SAMPLES[sample - 1].name)
    return index


def play(track, row, slot_name, pitch=None, volume=None):
    """A note of a sample in track at row; pitch None plays it at C-3 (the drums)."""
    slot = SLOT[slot_name]
    note = NOTE_C3 if pitch is None else note_index(pitch, slot)
    track[row] = Cell(slot, note)
    if volume is not None:
        track[row].effect, track[row].param = EFFECT_VOLUME, volume


def silence(track, row):
    track[row] = Cell(effect=EFFECT_VOLUME, param=0)


def bar_chords(pattern):
    return [chord(symbol) for symbol in pattern.chords.split()]


def drum_track(pattern):
    track = empty_track()
    for bar, groove in enumerate(pattern.drums):
        for step, hit in enumerate(GROOVES[groove]):
            if hit in DRUM_HITS:
                name, volume = DRUM_HITS[hit]
                play(track, bar * ROWS_PER_BAR + step, name, volume=volume)
    return track


def bass_track(pattern):
    track = empty_track()
    for bar, (root, _) in enumerate(bar_chords(pattern)):
        for step, symbol in enumerate(BASS_RHYTHMS[pattern.bass]):
            row = bar * ROWS_PER_BAR + step
            if symbol in BASS_STEPS:
                play(track, row, "bass", root_in(root, midi("E1")) + BASS_STEPS[symbol])
            elif symbol == "-":
                silence(track, row)
    return track


def pad_track(pattern):
    """The chord of each bar, struck again only when it changes."""
    track = empty_track()
    previous = None
    for bar, (root, third) in enumerate(bar_chords(pattern)):
        if (root, third) != previous:
            name = "pad minor" if third == 3 else "pad major"
            play(track, bar * ROWS_PER_BAR, name, root_in(root, midi("A2")))
        previous = (root, third)
    return track


def arp_track(pattern, shape, step):
    """Plucked chord tones, rising from the root near A3; the first of every beat louder."""
    track = empty_track()
    volume = SAMPLES[SLOT["pluck"] - 1].volume
    chords = bar_chords(pattern)
    for i, row in enumerate(range(0, pattern.rows, step)):
        root, third = chords[row // ROWS_PER_BAR]
        tone = (0, third, 7, 12)[ARP_SHAPES[shape][i % len(ARP_SHAPES[shape])]]
        accent = volume if row % 4 == 0 else volume * 3 // 4
        play(track, row, "pluck", root_in(root, midi("A3")) + tone, accent)
    return track


def parse_melody(text, length):
    """[(MIDI pitch or None for a rest, rows)] of a melody that lasts length rows."""
    notes = []
    for token in text.replace("|", " ").split():
        pitch, rows = token.split(":")
        notes.append((None if pitch == "r" else midi(pitch), int(rows)))
    assert sum(rows for _, rows in notes) == length, text
    return notes


def melody_track(pattern, melody, slot_name, vibrato):
    """A melody; notes held six rows or longer get a sine vibrato after their start."""
    track = empty_track()
    row = 0
    for pitch, rows in parse_melody(MELODIES[melody], pattern.rows):
        if pitch is None:
            silence(track, row)
        else:
            play(track, row, slot_name, pitch)
            if vibrato and rows >= 6:
                for held in range(row + 3, row + rows):
                    track[held].effect, track[held].param = EFFECT_VIBRATO, 0x54
        row += rows
    return track


def chip_track(pattern, steps):
    """Chip square notes on the chord's root, each row arpeggiating root, third and fifth."""
    track = empty_track()
    for bar, (root, third) in enumerate(bar_chords(pattern)):
        for step in range(ROWS_PER_BAR):
            row = bar * ROWS_PER_BAR + step
            if step in steps:
                play(track, row, "chip", root_in(root, midi("A3")))
            track[row].effect, track[row].param = EFFECT_ARPEGGIO, third << 4 | 7
    return track


def top_track(pattern):
    if pattern.top is None:
        return empty_track()
    kind, *args = pattern.top
    if kind == "arp":
        return arp_track(pattern, *args)
    if kind == "chip":
        return chip_track(pattern, *args)
    lead = kind == "lead"
    return melody_track(pattern, args[0], "lead" if lead else "pluck", vibrato=lead)


def apply_fade(track, rows, start, end):
    """Scales the channel's volume from start to end times the playing note's own
    volume over the pattern's rows, by a Cxx on every row that has no other effect."""
    volume = 0
    for row, cell in enumerate(track[:rows]):
        if cell.sample:
            volume = SAMPLES[cell.sample - 1].volume
        if cell.effect == EFFECT_VOLUME:
            volume = cell.param
        if cell.effect_free() or cell.effect == EFFECT_VOLUME:
            factor = start + (end - start) * row / (rows - 1)
            cell.effect, cell.param = EFFECT_VOLUME, round(volume * factor)


def pattern_tracks(pattern, first_of_section):
    """The four channel tracks of a pattern; a section's first kick becomes the
    crash, and a pattern of fewer than four bars ends with a pattern break."""
    tracks = [drum_track(pattern),
              bass_track(pattern) if pattern.bass else empty_track(),
              top_track(pattern),
              pad_track(pattern) if pattern.pad else empty_track()]
    if first_of_section and tracks[DRUMS][0].sample == SLOT["kick"]:
        play(tracks[DRUMS], 0, "crash")
    for channel, (start, end) in pattern.fades.items():
        apply_fade(tracks[channel], pattern.rows, start, end)
    if pattern.rows < ROWS:
        put_effect(tracks, pattern.rows - 1, EFFECT_BREAK, 0)
    return tracks


def put_effect(tracks, row, effect, param):
    """Puts an effect on the first channel whose effect column is free at row."""
    for track in tracks:
        if track[row].effect_free():
            track[row].effect, track[row].param = effect, param
            return
    raise AssertionError(f"no free effect column for {effect:X}{param:02X} at row {row}")


# ---------------------------------------------------------------------------
# Timing


def pattern_bpms():
    """One BPM per pattern of stages 0-5: each pattern takes the tempo that spreads
    the time left until its stage change evenly over the stage's remaining patterns."""
    bpms, now = [], 0.0
    for section, end in zip(SECTIONS, STAGE_ENDS):
        for left in range(len(section), 0, -1):
            bpm = round(ROWS * row_seconds(1) * left / (end - now))
            bpms.append(bpm)
            now += ROWS * row_seconds(bpm)
    return bpms, now


def ending_bpms(start, rows):
    """Row tempos of the last pattern: a bar at the nominal tempo, then a steady
    slowing down whose final tempo makes the song end closest to SONG_END."""
    def plan(final):
        slowing = np.linspace(NOMINAL_BPM, final, rows - ROWS_PER_BAR)
        return [NOMINAL_BPM] * ROWS_PER_BAR + [round(b) for b in slowing]

    def end(final):
        return start + sum(row_seconds(b) for b in plan(final))

    final = min(range(40, NOMINAL_BPM + 1), key=lambda b: abs(end(b) - SONG_END))
    return plan(final), end(final)


def build_song():
    """The positions in playing order (each four channel tracks, tempo commands
    included), the BPM of each pattern before the last, the row tempos of the
    last one and the time the song ends."""
    patterns = [pattern for section in SECTIONS for pattern in section]
    section_starts = np.cumsum([len(section) for section in SECTIONS])[:-1]
    bpms, now = pattern_bpms()
    bpms += [NOMINAL_BPM] * (len(SECTIONS[-1]) - 1)
    now += (len(SECTIONS[-1]) - 1) * ROWS * row_seconds(NOMINAL_BPM)
    ending, song_end = ending_bpms(now, patterns[-1].rows)
    assert STAGE_ENDS[-1] < song_end < 160.0

    positions = [pattern_tracks(pattern, i in section_starts) for i, pattern in enumerate(patterns)]
    put_effect(positions[0], 0, EFFECT_SPEED, SPEED)
    for tracks, bpm in zip(positions, bpms):
        put_effect(tracks, 0, EFFECT_SPEED, bpm)
    for row, bpm in enumerate(ending):
        if row == 0 or bpm != ending[row - 1]:
            put_effect(positions[-1], row, EFFECT_SPEED, bpm)
    return positions, bpms, ending, song_end


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


def sample_header(sample, data):
    assert len(data) % 2 == 0 and len(data) < 0x20000
    loop_start, loop_words = (0, 1)  # one word: plays once
    if sample.loop_length:
        loop_start, loop_words = sample.loop_start // 2, sample.loop_length // 2
    return struct.pack(">22sHBBHH", sample.name.encode(), len(data) // 2, 0, sample.volume,
                       loop_start, loop_words)


def even(data):
    return data + b"\0" * (len(data) % 2)


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
    # Song length, restart position 0 (not used: the song stops at its end), order table.
    header += bytes((len(order), 0)) + bytes(order).ljust(128, b"\0") + b"M.K."
    with open(path, "wb") as f:
        f.write(header + b"".join(patterns) + b"".join(datas))
    return len(patterns)


def main():
    positions, bpms, ending, song_end = build_song()
    count = write_module(OUTPUT, positions)
    print(f"{len(positions)} positions, {count} patterns")
    starts = np.cumsum([0.0] + [ROWS * row_seconds(bpm) for bpm in bpms])
    first = 0
    for stage, section in enumerate(SECTIONS):
        target = (0.0,) + STAGE_ENDS
        print(f"stage {stage} at {target[stage]:7.3f} s: music section at {starts[first]:7.3f} s, "
              f"BPM {bpms[first:first + len(section)]}")
        first += len(section)
    print(f"last pattern at {starts[-1]:.3f} s slows from BPM {ending[0]} to {ending[-1]}; "
          f"the song ends at {song_end:.3f} s")


if __name__ == "__main__":
    main()
