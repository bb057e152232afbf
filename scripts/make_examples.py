#!/usr/bin/env python3
"""Writes the small MIDI and karaoke files in examples/ (run from the repository root)."""
import struct

def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))

def meta(delta, kind, payload):
    return vlq(delta) + bytes([0xFF, kind]) + vlq(len(payload)) + payload

def text(delta, kind, s, encoding="latin-1"):
    return meta(delta, kind, s.encode(encoding))

def tempo(delta, bpm):
    return meta(delta, 0x51, (60000000 // bpm).to_bytes(3, "big"))

def timesig(delta, num, power):
    return meta(delta, 0x58, bytes([num, power, 24, 8]))

def ev(delta, *data):
    return vlq(delta) + bytes(data)

def sysex(delta, body):
    return vlq(delta) + b"\xF0" + vlq(len(body)) + body

def eot(delta=0):
    return meta(delta, 0x2F, b"")

def track(*events, end=True):
    body = b"".join(events) + (eot() if end else b"")
    return b"MTrk" + struct.pack(">I", len(body)) + body

def smf(fmt, division, *tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)

def melody(channel, notes, length=240, velocity=90):
    out = []
    for key in notes:
        out.append(ev(0, 0x90 | channel, key, velocity))
        out.append(ev(length, 0x80 | channel, key, 64))
    return out

GM_RESET = bytes([0x7E, 0x7F, 0x09, 0x01, 0xF7])
GS_RESET = bytes([0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7])
XF_CHORD_C = bytes([0x43, 0x7B, 0x01, 0x31, 0x00, 0x7F, 0x7F])    # C major
XF_CHORD_G7 = bytes([0x43, 0x7B, 0x01, 0x35, 0x13, 0x7F, 0x7F])   # G7

def write(name, data):
    with open("examples/" + name, "wb") as f:
        f.write(data)

# A C major scale, format 0.
write("scale.mid", smf(0, 480, track(
    text(0, 0x03, "C major scale"), timesig(0, 4, 2), tempo(0, 100),
    meta(0, 0x7F, XF_CHORD_C), meta(1920, 0x7F, XF_CHORD_G7), meta(1920, 0x7F, XF_CHORD_C),
    ev(0, 0xC0, 0), *melody(0, [60, 62, 64, 65, 67, 69, 71, 72], 480))))

# Format 1: conductor with a tempo and metre change, piano, and drums on channel 10.
drums = []
for bar in range(4):
    for beat in range(4):
        drums += [ev(0, 0x99, 36 if beat % 2 == 0 else 38, 100), ev(120, 0x89, 36 if beat % 2 == 0 else 38, 0)]
        drums += [ev(0, 0x99, 42, 70), ev(360, 0x89, 42, 0)]
write("band.mid", smf(1, 480,
    track(text(0, 0x03, "Band"), sysex(0, GS_RESET), timesig(0, 4, 2), tempo(0, 120), text(0, 0x06, "Verse"),
          timesig(1920 * 2, 3, 2), tempo(0, 96), text(0, 0x06, "Waltz")),
    track(text(0, 0x03, "Piano"), ev(0, 0xC0, 0), ev(0, 0xB0, 7, 100), ev(0, 0xB0, 10, 40),
          *melody(0, [60, 64, 67, 72, 67, 64, 60, 55, 57, 60, 64, 69, 65, 62], 480),
          ev(0, 0xE0, 0, 0x50), ev(240, 0xE0, 0, 0x40)),
    track(text(0, 0x03, "Drums"), *drums)))

# A karaoke file in the .kar text-event style, with a GM reset.
words = ["\\Twin", "kle ", "twin", "kle ", "lit", "tle ", "star", "/How ", "I ", "won", "der ", "what ", "you ", "are"]
keys = [60, 60, 67, 67, 69, 69, 67, 65, 65, 64, 64, 62, 62, 60]
lyrics = []
for i, w in enumerate(words):
    lyrics.append(text(480, 0x01, w))  # lyrics start after the headers at tick 0
write("twinkle.kar", smf(1, 480,
    track(text(0, 0x01, "@KMIDI KARAOKE FILE"), timesig(0, 4, 2), tempo(0, 110), sysex(0, GM_RESET)),
    track(text(0, 0x01, "@LENGL"), text(0, 0x01, "@TTwinkle, twinkle"), text(0, 0x01, "@TTraditional"),
          *lyrics),
    track(text(0, 0x03, "Melody"), ev(480, 0xC0, 73), *melody(0, keys, 480, 100))))

# Lyric meta events in Shift JIS with a title and a copyright notice.
jp = ["さく", "ら ", "さく", "ら\r", "やよ", "いの", "そら", "は\r"]
write("sakura.mid", smf(1, 480,
    track(text(0, 0x03, "さくら", "shift_jis"), text(0, 0x02, "(C) Scorewell examples"),
          timesig(0, 4, 2), tempo(0, 72)),
    track(*[text(0 if i == 0 else 480, 0x05, w, "shift_jis") for i, w in enumerate(jp)]),
    track(text(0, 0x03, "Koto"), ev(0, 0xC1, 107), *melody(1, [69, 69, 71, 69, 69, 71, 69, 71], 480))))

# A damaged file: a note that never ends, a track without end of track, and a last chunk
# whose length runs past the end of the file.
lead = track(text(0, 0x03, "Lead"), *melody(0, [60, 62, 64], 240), ev(0, 0x90, 67, 90), end=False)
bass = track(text(0, 0x03, "Bass"), *melody(1, [36, 43, 36], 240))
bass = bass[:4] + struct.pack(">I", len(bass) - 8 + 40) + bass[8:]
write("damaged.mid", smf(1, 96, track(tempo(0, 90), timesig(0, 4, 2)), lead, bass))
