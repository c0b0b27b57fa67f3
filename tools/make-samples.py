#!/usr/bin/env python3
"""Writes the bundled sample melodies as Standard MIDI Files into data/samples/.

    tools/make-samples.py           write the .mid files and data/samples/README.md
    tools/make-samples.py --check   re-read the written files and verify them

Each tune is written as compact text so it can be read and corrected by ear:
notes are separated by commas and bars by "|"; a note is a pitch name with its
octave (C4 = MIDI 60, accidentals "#" and "b") or "r" for a rest, followed by a
duration: w h q e s (whole ... sixteenth), optionally dotted ("q.") and tied
with "+" within a bar ("h+e"); a "~" after the duration ties the note to the
next one, which must have the same pitch ("D5 h.~ | D5 h" lasts five quarters).
Every bar must fill the meter exactly; only the last bar may be shorter (it
completes an upbeat).
A pickup is written as leading rests, so the first note starts inside bar 1.

Standard library only. This is a developer tool; the build does not run it.
"""

from __future__ import annotations

import argparse
import math
import re
import struct
import sys
from dataclasses import dataclass
from pathlib import Path

PPQ = 480
OUT_DIR = Path(__file__).resolve().parent.parent / "data" / "samples"

# --------------------------------------------------------------------------
# The tunes
# --------------------------------------------------------------------------


@dataclass
class Part:
    name: str
    channel: int  # 1-based, as printed on a MIDI device
    program: int  # General MIDI program number, 0-based
    notes: str
    volume: int = 100


@dataclass
class Sample:
    file: str
    title: str
    meter: tuple[int, int]
    key: str  # "D major", "A minor"
    tempo: int  # quarter notes per minute
    format: int  # 0 or 1
    note_off: str  # "running": note-on velocity 0 under running status; "explicit": 0x80
    parts: list[Part]
    melody: int = 0  # index into parts
    origin: str = "traditional"


SAMPLES = [
    Sample(
        "ode-to-joy.mid", "Ode to Joy", (4, 4), "D major", 120, 1, "running",
        [Part("Flute", 1, 73, """
            F#4 q, F#4 q, G4 q, A4 q   | A4 q, G4 q, F#4 q, E4 q  | D4 q, D4 q, E4 q, F#4 q | F#4 q., E4 e, E4 h |
            F#4 q, F#4 q, G4 q, A4 q   | A4 q, G4 q, F#4 q, E4 q  | D4 q, D4 q, E4 q, F#4 q | E4 q., D4 e, D4 h |
            E4 q, E4 q, F#4 q, D4 q    | E4 q, F#4 e, G4 e, F#4 q, D4 q | E4 q, F#4 e, G4 e, F#4 q, E4 q | D4 q, E4 q, A3 h |
            F#4 q, F#4 q, G4 q, A4 q   | A4 q, G4 q, F#4 q, E4 q  | D4 q, D4 q, E4 q, F#4 q | E4 q., D4 e, D4 h
        """)],
        origin="Beethoven, Symphony No. 9 (1824), theme of the finale",
    ),
    Sample(
        "twinkle-twinkle.mid", "Twinkle, Twinkle, Little Star", (4, 4), "C major", 100, 0, "running",
        [Part("Piano", 1, 0, """
            C4 q, C4 q, G4 q, G4 q | A4 q, A4 q, G4 h | F4 q, F4 q, E4 q, E4 q | D4 q, D4 q, C4 h |
            G4 q, G4 q, F4 q, F4 q | E4 q, E4 q, D4 h | G4 q, G4 q, F4 q, F4 q | E4 q, E4 q, D4 h |
            C4 q, C4 q, G4 q, G4 q | A4 q, A4 q, G4 h | F4 q, F4 q, E4 q, E4 q | D4 q, D4 q, C4 h
        """)],
        origin="traditional (French air \"Ah! vous dirai-je, maman\")",
    ),
    Sample(
        "amazing-grace.mid", "Amazing Grace", (3, 4), "G major", 84, 1, "explicit",
        [Part("Violin", 1, 40, """
            r h, D4 q |
            G4 h, B4 e, G4 e | B4 h, A4 q | G4 h, E4 q | D4 h, D4 q |
            G4 h, B4 e, G4 e | B4 h, A4 q | D5 h.~ | D5 h, B4 q |
            D5 q., B4 e, D5 e, B4 e | G4 h, D4 q | E4 q., G4 e, G4 e, E4 e | D4 h, D4 q |
            G4 h, B4 e, G4 e | B4 h, A4 q | G4 h.
        """)],
        origin="traditional American hymn tune \"New Britain\"",
    ),
    Sample(
        "greensleeves.mid", "Greensleeves", (6, 8), "A minor", 90, 1, "explicit",
        [Part("Flute", 1, 73, """
            r q., r e, r e, A4 e |
            C5 q, D5 e, E5 e., F5 s, E5 e | D5 q, B4 e, G4 e., A4 s, B4 e |
            C5 q, A4 e, A4 e., G#4 s, A4 e | B4 q, G#4 e, E4 q, A4 e |
            C5 q, D5 e, E5 e., F5 s, E5 e | D5 q, B4 e, G4 e., A4 s, B4 e |
            C5 e., B4 s, A4 e, G#4 e., F#4 s, G#4 e | A4 h. |
            G5 q., G5 e., F#5 s, E5 e | D5 q, B4 e, G4 e., A4 s, B4 e |
            C5 q, A4 e, A4 e., G#4 s, A4 e | B4 q, G#4 e, E4 q. |
            G5 q., G5 e., F#5 s, E5 e | D5 q, B4 e, G4 e., A4 s, B4 e |
            C5 e., B4 s, A4 e, G#4 e., F#4 s, G#4 e | A4 h.
        """)],
        origin="traditional English, 16th century",
    ),
    Sample(
        "row-row-row-your-boat.mid", "Row, Row, Row Your Boat", (6, 8), "F major", 100, 0, "explicit",
        [Part("Piano", 1, 0, """
            F4 q., F4 q. | F4 q, G4 e, A4 q. | A4 q, G4 e, A4 q, Bb4 e | C5 h. |
            F5 e, F5 e, F5 e, C5 e, C5 e, C5 e | A4 e, A4 e, A4 e, F4 e, F4 e, F4 e |
            C5 q, Bb4 e, A4 q, G4 e | F4 h. |
            F4 q., F4 q. | F4 q, G4 e, A4 q. | A4 q, G4 e, A4 q, Bb4 e | C5 h. |
            F5 e, F5 e, F5 e, C5 e, C5 e, C5 e | A4 e, A4 e, A4 e, F4 e, F4 e, F4 e |
            C5 q, Bb4 e, A4 q, G4 e | F4 h.
        """)],
        origin="traditional round",
    ),
    Sample(
        "frere-jacques.mid", "Frère Jacques", (4, 4), "G major", 108, 1, "running",
        [
            Part("Melody", 1, 73, """
                G4 q, A4 q, B4 q, G4 q | G4 q, A4 q, B4 q, G4 q | B4 q, C5 q, D5 h | B4 q, C5 q, D5 h |
                D5 e, E5 e, D5 e, C5 e, B4 q, G4 q | D5 e, E5 e, D5 e, C5 e, B4 q, G4 q |
                G4 q, D4 q, G4 h | G4 q, D4 q, G4 h |
                G4 q, A4 q, B4 q, G4 q | G4 q, A4 q, B4 q, G4 q | B4 q, C5 q, D5 h | B4 q, C5 q, D5 h |
                D5 e, E5 e, D5 e, C5 e, B4 q, G4 q | D5 e, E5 e, D5 e, C5 e, B4 q, G4 q |
                G4 q, D4 q, G4 h | G4 q, D4 q, G4 h
            """),
            Part("Bass", 2, 32, """
                G2 h, D3 h | G2 h, D3 h | G2 h, B2 h | G2 h, B2 h |
                G2 q, D3 q, G2 q, D3 q | G2 q, D3 q, G2 q, D3 q | G2 q, D2 q, G2 h | G2 q, D2 q, G2 h |
                G2 h, D3 h | G2 h, D3 h | G2 h, B2 h | G2 h, B2 h |
                G2 q, D3 q, G2 q, D3 q | G2 q, D3 q, G2 q, D3 q | G2 q, D2 q, G2 h | G2 q, D2 q, G2 h
            """, volume=90),
        ],
        origin="traditional French round",
    ),
    Sample(
        "auld-lang-syne.mid", "Auld Lang Syne", (4, 4), "F major", 80, 1, "explicit",
        [Part("Violin", 1, 40, """
            r h., C4 q |
            F4 q., F4 e, F4 q, A4 q | G4 q., F4 e, G4 q, A4 q | F4 q., F4 e, A4 q, C5 q | D5 h., D5 q |
            C5 q., A4 e, A4 q, F4 q | G4 q., F4 e, G4 q, A4 q | F4 q., D4 e, D4 q, C4 q | F4 h.
        """)],
        origin="traditional Scottish (verse)",
    ),
]

# --------------------------------------------------------------------------
# Notation
# --------------------------------------------------------------------------

PITCH_CLASS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
BASE_TICKS = {"w": 4 * PPQ, "h": 2 * PPQ, "q": PPQ, "e": PPQ // 2, "s": PPQ // 4}
NOTE_NAMES = ["C", "C#", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"]

# Key signature sharps (+) / flats (-) by tonic.
MAJOR_KEYS = {"Cb": -7, "Gb": -6, "Db": -5, "Ab": -4, "Eb": -3, "Bb": -2, "F": -1, "C": 0,
              "G": 1, "D": 2, "A": 3, "E": 4, "B": 5, "F#": 6, "C#": 7}
MINOR_KEYS = {"Ab": -7, "Eb": -6, "Bb": -5, "F": -4, "C": -3, "G": -2, "D": -1, "A": 0,
              "E": 1, "B": 2, "F#": 3, "C#": 4, "G#": 5, "D#": 6, "A#": 7}


def parse_pitch(name: str) -> int:
    m = re.fullmatch(r"([A-G])([#b]?)(-?\d)", name)
    if not m:
        raise ValueError(f"bad pitch {name!r}")
    letter, accidental, octave = m.groups()
    semis = PITCH_CLASS[letter] + {"": 0, "#": 1, "b": -1}[accidental]
    return (int(octave) + 1) * 12 + semis


def parse_duration(text: str) -> int:
    total = 0
    for piece in text.split("+"):
        m = re.fullmatch(r"([whqes])(\.{0,2})", piece)
        if not m:
            raise ValueError(f"bad duration {text!r}")
        base = BASE_TICKS[m.group(1)]
        dots = len(m.group(2))
        total += base * (2 ** (dots + 1) - 1) // 2 ** dots  # a dot adds half, two add three quarters
    return total


def bar_ticks(meter: tuple[int, int]) -> int:
    return meter[0] * 4 * PPQ // meter[1]


def parse_tune(text: str, meter: tuple[int, int]) -> list[tuple[int, int, int]]:
    """Returns (start tick, length in ticks, MIDI pitch) for every note."""
    per_bar = bar_ticks(meter)
    bars = text.split("|")
    notes, tick, last_is_rest, tied = [], 0, False, False
    for index, bar in enumerate(bars):
        start = tick
        for token in filter(None, (t.strip() for t in bar.split(","))):
            fields = token.split()
            if len(fields) != 2:
                raise ValueError(f"bar {index + 1}: expected 'pitch duration', got {token!r}")
            name, duration = fields
            length = parse_duration(duration.removesuffix("~"))
            last_is_rest = name == "r"
            if tied:
                if last_is_rest or notes[-1][2] != parse_pitch(name):
                    raise ValueError(f"bar {index + 1}: a tie must join two notes of the same pitch")
                notes[-1] = (notes[-1][0], notes[-1][1] + length, notes[-1][2])
            elif not last_is_rest:
                notes.append((tick, length, parse_pitch(name)))
            tied = duration.endswith("~")
            tick += length
        filled = tick - start
        is_last = index == len(bars) - 1
        if filled != per_bar and not (is_last and 0 < filled < per_bar):
            raise ValueError(f"bar {index + 1} lasts {filled} ticks, the meter needs {per_bar}")
    if last_is_rest or tied or not notes:
        raise ValueError("a tune must end with a whole note, not a rest or a tie")
    return notes


def key_signature(key: str) -> tuple[int, int]:
    tonic, mode = key.split()
    table = MAJOR_KEYS if mode == "major" else MINOR_KEYS
    return table[tonic], int(mode == "minor")


# --------------------------------------------------------------------------
# Writing
# --------------------------------------------------------------------------


def vlq(value: int) -> bytes:
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    return bytes(reversed(out))


def meta(kind: int, data: bytes) -> tuple:
    return ("meta", kind, data)


def conductor_events(sample: Sample) -> list[tuple[int, int, tuple]]:
    nn, denom = sample.meter
    sf, mi = key_signature(sample.key)
    tempo = round(60_000_000 / sample.tempo)
    return [
        (0, 0, meta(0x03, sample.title.encode("utf-8"))),
        (0, 0, meta(0x51, tempo.to_bytes(3, "big"))),
        (0, 0, meta(0x58, bytes([nn, denom.bit_length() - 1, 24, 8]))),
        (0, 0, meta(0x59, struct.pack(">bB", sf, mi))),
    ]


def velocity(tick: int, meter: tuple[int, int]) -> int:
    """A light accent: strongest on the bar line, then on the beat (a dotted quarter in 6/8)."""
    beat = PPQ * 3 // 2 if meter[1] == 8 and meter[0] % 3 == 0 else 4 * PPQ // meter[1]
    if tick % bar_ticks(meter) == 0:
        return 96
    return 88 if tick % beat == 0 else 80


def part_events(sample: Sample, part: Part, with_name: bool) -> list[tuple[int, int, tuple]]:
    ch = part.channel - 1
    events = [(0, 0, meta(0x03, part.name.encode()))] if with_name else []
    events += [(0, 1, ("chan", 0xC0 | ch, bytes([part.program]))),
               (0, 1, ("chan", 0xB0 | ch, bytes([7, part.volume])))]
    for start, length, pitch in parse_tune(part.notes, sample.meter):
        if sample.note_off == "explicit":
            off = ("chan", 0x80 | ch, bytes([pitch, 64]))
        else:
            off = ("chan", 0x90 | ch, bytes([pitch, 0]))
        # At equal ticks note-offs (order 2) go before note-ons (order 3).
        events.append((start, 3, ("chan", 0x90 | ch, bytes([pitch, velocity(start, sample.meter)]))))
        events.append((start + length, 2, off))
    return events


def track_chunk(events: list[tuple[int, int, tuple]], running_status: bool, end: int = 0) -> bytes:
    """Encodes one MTrk chunk; end-of-track goes at the last event or at `end`, whichever is later."""
    out, now, last_status = bytearray(), 0, None
    for tick, _, event in sorted(events, key=lambda e: (e[0], e[1])):
        out += vlq(tick - now)
        now = tick
        if event[0] == "meta":
            out += bytes([0xFF, event[1]]) + vlq(len(event[2])) + event[2]
            last_status = None  # meta events cancel running status
        else:
            _, status, data = event
            if not (running_status and status == last_status):
                out.append(status)
            out += data
            last_status = status
    out += vlq(max(0, end - now)) + b"\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(out)) + bytes(out)


def song_end(sample: Sample) -> int:
    return max(s + n for p in sample.parts for s, n, _ in parse_tune(p.notes, sample.meter))


def build(sample: Sample) -> bytes:
    running = sample.note_off == "running"
    if sample.format == 0:
        events = conductor_events(sample)
        for part in sample.parts:
            events += part_events(sample, part, with_name=False)
        tracks = [track_chunk(events, running)]
    else:
        # The conductor track lasts as long as the song so players agree on its length.
        tracks = [track_chunk(conductor_events(sample), running, end=song_end(sample))]
        tracks += [track_chunk(part_events(sample, p, with_name=True), running) for p in sample.parts]
    header = b"MThd" + struct.pack(">IHHH", 6, sample.format, len(tracks), PPQ)
    return header + b"".join(tracks)


def describe(sample: Sample) -> dict:
    melody = parse_tune(sample.parts[sample.melody].notes, sample.meter)
    return {
        "bars": math.ceil(song_end(sample) / bar_ticks(sample.meter)),
        "upbeat": melody[0][0] > 0,
        "upbeat_beats": (bar_ticks(sample.meter) - melody[0][0]) / (4 * PPQ / sample.meter[1]),
    }


def write_readme(samples: list[Sample]) -> str:
    lines = [
        "# Sample melodies",
        "",
        "Standard MIDI Files for trying the harmonizer. They are the team's own",
        "transcriptions of traditional (public-domain) tunes; the arrangements (key,",
        "tempo, instruments, the bass line of *Frère Jacques*) are ours as well.",
        "",
        "The files are written by `tools/make-samples.py`; edit the tunes there and",
        "re-run it, then run `tools/make-samples.py --check`. 480 ticks per quarter",
        "note. Channels are numbered from 1.",
        "",
        "| File | Title | Meter | Key | Upbeat | Channels | Bars | Format | Note-offs | Origin |",
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    note_offs = {"running": "note-on velocity 0, running status", "explicit": "0x80"}
    for s in samples:
        d = describe(s)
        unit = "eighth" if s.meter[1] == 8 else "quarter"
        beats = d["upbeat_beats"]
        upbeat = (f"yes, {beats:g} {unit}{'s' if beats != 1 else ''}" if d["upbeat"] else "no")
        channels = ", ".join(
            f"{p.channel} ({'melody' if i == s.melody else p.name.lower()})" for i, p in enumerate(s.parts))
        lines.append(f"| `{s.file}` | {s.title} | {s.meter[0]}/{s.meter[1]} | {s.key} | {upbeat} "
                     f"| {channels} | {d['bars']} | {s.format} | {note_offs[s.note_off]} | {s.origin} |")
    lines += [
        "",
        "Bars are counted from the first bar line, so a tune with an upbeat counts",
        "its partial first bar. *Frère Jacques* carries the melody on channel 1 and",
        "a bass line on channel 2, so the program has to ask which one is the melody.",
        "",
    ]
    return "\n".join(lines)


def generate() -> None:
    OUT_DIR.mkdir(parents=True, exist_ok=True)
    for sample in SAMPLES:
        (OUT_DIR / sample.file).write_bytes(build(sample))
        print(f"wrote {sample.file}")
    (OUT_DIR / "README.md").write_text(write_readme(SAMPLES), encoding="utf-8")
    print("wrote README.md")


# --------------------------------------------------------------------------
# Checking: an independent reader for the bytes written above
# --------------------------------------------------------------------------


class BadFile(Exception):
    pass


def read_vlq(data: bytes, pos: int) -> tuple[int, int]:
    value = 0
    for _ in range(4):
        if pos >= len(data):
            raise BadFile("variable-length number runs past the chunk")
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos
    raise BadFile("variable-length number longer than 4 bytes")


def read_smf(data: bytes) -> dict:
    """Parses a Standard MIDI File; raises BadFile on any structural fault."""
    if data[:4] != b"MThd" or len(data) < 14:
        raise BadFile("no MThd header")
    hlen, fmt, ntrks, division = struct.unpack(">IHHH", data[4:14])
    if hlen != 6 or fmt not in (0, 1) or (fmt == 0 and ntrks != 1) or division & 0x8000:
        raise BadFile(f"unexpected header: length {hlen}, format {fmt}, {ntrks} tracks")
    pos, tracks = 8 + hlen, []
    while pos < len(data):
        if data[pos:pos + 4] != b"MTrk":
            raise BadFile(f"expected MTrk at byte {pos}")
        (length,) = struct.unpack(">I", data[pos + 4:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length:
            raise BadFile(f"track {len(tracks)} claims {length} bytes, only {len(body)} present")
        tracks.append(read_track(body, len(tracks)))
        pos += 8 + length
    if len(tracks) != ntrks:
        raise BadFile(f"header says {ntrks} tracks, found {len(tracks)}")
    return {"format": fmt, "division": division, "tracks": tracks}


def read_track(body: bytes, number: int) -> list[tuple]:
    events, pos, tick, status = [], 0, 0, None
    while pos < len(body):
        delta, pos = read_vlq(body, pos)
        tick += delta
        if pos >= len(body):
            raise BadFile(f"track {number}: event missing after delta time")
        if body[pos] == 0xFF:
            kind = body[pos + 1]
            length, pos = read_vlq(body, pos + 2)
            payload = body[pos:pos + length]
            pos += length
            events.append((tick, "meta", kind, payload))
            status = None
            if kind == 0x2F:
                if pos != len(body):
                    raise BadFile(f"track {number}: bytes after end-of-track")
                return events
            continue
        if body[pos] in (0xF0, 0xF7):
            length, pos = read_vlq(body, pos + 1)
            pos += length
            status = None
            continue
        if body[pos] & 0x80:
            status = body[pos]
            pos += 1
        elif status is None:
            raise BadFile(f"track {number}: data byte without running status")
        size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
        args = body[pos:pos + size]
        if len(args) != size or any(b & 0x80 for b in args):
            raise BadFile(f"track {number}: malformed channel event")
        pos += size
        events.append((tick, "chan", status, bytes(args)))
    raise BadFile(f"track {number}: no end-of-track")


def collect_notes(smf: dict) -> dict[int, list[tuple[int, int, int]]]:
    """Pairs note-ons with note-offs: {channel (1-based): [(start, length, pitch)]}."""
    by_channel: dict[int, list] = {}
    for number, track in enumerate(smf["tracks"]):
        sounding: dict[tuple[int, int], int] = {}
        for tick, kind, status, args in track:
            if kind != "chan" or status & 0xF0 not in (0x80, 0x90):
                continue
            ch, pitch = (status & 0x0F) + 1, args[0]
            if status & 0xF0 == 0x90 and args[1] > 0:
                if (ch, pitch) in sounding:
                    raise BadFile(f"track {number}: note {pitch} struck again while sounding")
                sounding[(ch, pitch)] = tick
            else:
                if (ch, pitch) not in sounding:
                    raise BadFile(f"track {number}: note-off {pitch} at {tick} without a note-on")
                start = sounding.pop((ch, pitch))
                by_channel.setdefault(ch, []).append((start, tick - start, pitch))
        if sounding:
            raise BadFile(f"track {number}: {len(sounding)} notes never released")
    for ch, notes in by_channel.items():
        notes.sort()
        for (s1, n1, p1), (s2, _, p2) in zip(notes, notes[1:]):
            if s1 + n1 > s2:
                raise BadFile(f"channel {ch}: notes {p1} and {p2} overlap at tick {s2}")
    return by_channel


def find_meta(smf: dict, kind: int) -> bytes:
    found = [e[3] for e in smf["tracks"][0] if e[1] == "meta" and e[2] == kind and e[0] == 0]
    if not found:
        raise BadFile(f"meta event 0x{kind:02X} missing at tick 0 of the first track")
    return found[0]


def pitch_name(p: int) -> str:
    return f"{NOTE_NAMES[p % 12]}{p // 12 - 1}"


def check_file(data: bytes, sample: Sample) -> str:
    smf = read_smf(data)
    if smf["division"] != PPQ:
        raise BadFile(f"division {smf['division']}, expected {PPQ}")
    if smf["format"] != sample.format:
        raise BadFile(f"format {smf['format']}, expected {sample.format}")
    nn, dd, cc, bb = find_meta(smf, 0x58)
    if (nn, 2 ** dd) != sample.meter or (cc, bb) != (24, 8):
        raise BadFile(f"time signature {nn}/{2 ** dd} cc={cc} bb={bb}")
    sf, mi = struct.unpack(">bB", find_meta(smf, 0x59))
    if (sf, mi) != key_signature(sample.key):
        raise BadFile(f"key signature sf={sf} mi={mi} does not match {sample.key}")
    tempo = int.from_bytes(find_meta(smf, 0x51), "big")
    channels = collect_notes(smf)
    if sorted(channels) != sorted(p.channel for p in sample.parts):
        raise BadFile(f"notes on channels {sorted(channels)}")

    melody_part = sample.parts[sample.melody]
    melody = channels[melody_part.channel]
    if melody != parse_tune(melody_part.notes, sample.meter):
        raise BadFile("melody read back differs from the transcription")
    # The melody is the highest voice: a program guessing by register must find it.
    mean = {ch: sum(p for _, _, p in ns) / len(ns) for ch, ns in channels.items()}
    if max(mean, key=mean.get) != melody_part.channel:
        raise BadFile("another channel sits higher than the melody")

    per_bar = nn * 4 * PPQ // 2 ** dd
    end = max(s + n for ns in channels.values() for s, n, _ in ns)
    bars = math.ceil(end / per_bar)
    pitches = [p for _, _, p in melody]
    classes = len({p % 12 for p in pitches})
    in_range = sum(60 <= p <= 84 for p in pitches)
    problems = []
    if bars < 8:
        problems.append(f"only {bars} bars")
    if len(melody) < 7 or classes < 5:
        problems.append(f"{len(melody)} notes, {classes} pitch classes")
    if in_range * 2 <= len(pitches):
        problems.append(f"only {in_range} of {len(pitches)} notes within C4..C6")
    if any(s % (PPQ // 4) or n % (PPQ // 4) for s, n, _ in melody):
        problems.append("notes off the sixteenth grid")
    if melody[-1][0] + melody[-1][1] != end:
        problems.append("something sounds after the last melody note")
    first = melody[0][0]
    if 0 < first < PPQ // 2:
        problems.append(f"upbeat starts {first} ticks after the bar line")
    if problems:
        raise BadFile("; ".join(problems))

    upbeat = f"upbeat at tick {first}" if first else "no upbeat"
    return (f"{sample.file}: format {smf['format']}, {len(smf['tracks'])} track(s), "
            f"{nn}/{2 ** dd}, {sample.key} (sf={sf} mi={mi}), {round(60e6 / tempo)} bpm, "
            f"channels {sorted(channels)}, melody ch {melody_part.channel}: {len(melody)} notes, "
            f"{bars} bars, {classes} pitch classes, {pitch_name(min(pitches))}..{pitch_name(max(pitches))} "
            f"({min(pitches)}-{max(pitches)}), {upbeat}")


def self_test() -> None:
    """Makes sure the notation and the checker reject what they should."""
    assert parse_pitch("C4") == 60 and parse_pitch("F#4") == 66 and parse_pitch("Bb3") == 58
    assert parse_pitch("A0") == 21 and parse_pitch("C-1") == 0
    assert [parse_duration(d) for d in ("w", "q.", "e..", "h.+h", "s")] == [1920, 720, 420, 2400, 120]
    assert parse_tune("r h, D4 q | G4 h.", (3, 4)) == [(960, 480, 62), (1440, 1440, 67)]
    assert parse_tune("D5 h.~ | D5 h, B4 q", (3, 4)) == [(0, 2400, 74), (2400, 480, 71)]
    assert vlq(0) == b"\x00" and vlq(0x7F) == b"\x7f" and vlq(0x80) == b"\x81\x00"
    assert vlq(0x0FFFFFFF) == b"\xff\xff\xff\x7f"
    for bad_tune in ("C4 q, D4 q | E4 h", "C4 q, D4 q, E4 q, F4 q, G4 q", "C4 h, r h", "H4 q", "C4 x",
                     "C4 w~ | D4 w", "C4 w | C4 w~"):
        try:
            parse_tune(bad_tune, (4, 4))
        except ValueError:
            continue
        raise AssertionError(f"tune accepted: {bad_tune!r}")

    good = SAMPLES[0]  # Ode to Joy: format 1, D major, running status, melody in the second chunk
    data = build(good)
    check_file(data, good)  # must pass, or the broken variants below prove nothing

    def complaint(blob: bytes, sample: Sample = good) -> str:
        try:
            check_file(blob, sample)
        except BadFile as err:
            return str(err)
        return ""

    def patched(blob: bytes, track: int, after: bytes, extra: bytes) -> bytes:
        """Inserts `extra` behind the first `after` in chunk `track`, keeping the chunk length right."""
        at = -1
        for _ in range(track + 1):
            at = blob.index(b"MTrk", at + 1)
        (length,) = struct.unpack(">I", blob[at + 4:at + 8])
        cut = blob.index(after, at + 8) + len(after)
        return blob[:at + 4] + struct.pack(">I", length + len(extra)) + blob[at + 8:cut] + extra + blob[cut:]

    first = data.index(b"MTrk")
    (length,) = struct.unpack(">I", data[first + 4:first + 8])
    assert complaint(data[:first + 4] + struct.pack(">I", length + 1) + data[first + 8:])
    assert "end-of-track" in complaint(patched(data, 1, b"\xff\x2f\x00", b"\x00\x90\x40\x50"))
    assert "end-of-track" in complaint(data[:-4] + b"\x00\xb0\x07\x64")
    assert "time signature" in complaint(data.replace(b"\xff\x58\x04\x04\x02", b"\xff\x58\x04\x03\x02", 1))
    assert "key signature" in complaint(data.replace(b"\xff\x59\x02\x02", b"\xff\x59\x02\x01", 1))
    # A note struck (delta 0, running status) right after the first one and never released.
    assert "never released" in complaint(patched(data, 1, b"\x90\x42\x60", b"\x00\x30\x50"))
    # A stray note-off for a pitch that is not sounding.
    assert "without a note-on" in complaint(patched(data, 1, b"\x90\x42\x60", b"\x00\x31\x00"))

    def variant(*tunes: str) -> Sample:
        parts = [Part(f"Test {i}", 1, 0, t) for i, t in enumerate(tunes)]
        return Sample(**{**good.__dict__, "parts": parts})

    melody = good.parts[0].notes
    # Two tracks playing on the same channel: the melody channel is no longer one voice.
    both = variant(melody, " | ".join(["C5 w"] * 16))
    assert "overlap" in complaint(build(both), both)
    short = variant("C4 q, D4 q, E4 q, F4 q | G4 q, A4 q, B4 q, C5 q")
    assert "only 2 bars" in complaint(build(short), short)
    low = variant(" | ".join(["C3 q, D3 q, E3 q, F3 q", "G3 q, A3 q, B3 q, C4 q"] * 4))
    assert "within C4..C6" in complaint(build(low), low)
    few = variant(" | ".join(["C4 h, G4 h", "E4 h, G4 h"] * 4))
    assert "pitch classes" in complaint(build(few), few)
    close = variant("r s, " + melody.strip().replace("F#4 q, ", "F#4 e., ", 1))
    assert "upbeat" in complaint(build(close), close)


def check() -> int:
    self_test()
    failures = 0
    for sample in SAMPLES:
        path = OUT_DIR / sample.file
        try:
            print(check_file(path.read_bytes(), sample))
        except (OSError, BadFile) as err:
            print(f"{sample.file}: FAILED: {err}")
            failures += 1
    stray = {p.name for p in OUT_DIR.glob("*.mid")} - {s.file for s in SAMPLES}
    readme = (OUT_DIR / "README.md").read_text(encoding="utf-8") if (OUT_DIR / "README.md").exists() else ""
    missing = [s.file for s in SAMPLES if f"`{s.file}`" not in readme]
    if stray or missing:
        print(f"FAILED: files not generated here: {sorted(stray)}; missing from README: {missing}")
        failures += 1
    wanted = {
        "4/4": any(s.meter == (4, 4) for s in SAMPLES),
        "3/4": any(s.meter == (3, 4) for s in SAMPLES),
        "6/8": any(s.meter == (6, 8) for s in SAMPLES),
        "upbeat": any(describe(s)["upbeat"] for s in SAMPLES),
        "minor": any(s.key.endswith("minor") for s in SAMPLES),
        "two channels": any(len(s.parts) > 1 for s in SAMPLES),
        "format 0": any(s.format == 0 for s in SAMPLES),
    }
    if not all(wanted.values()):
        print(f"FAILED: the set lacks {[k for k, v in wanted.items() if not v]}")
        failures += 1
    print(f"FAILED: {failures} problem(s)" if failures else f"all {len(SAMPLES)} files OK")
    return 1 if failures else 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="verify the files already written")
    args = parser.parse_args()
    if args.check:
        return check()
    generate()
    return 0


if __name__ == "__main__":
    sys.exit(main())
