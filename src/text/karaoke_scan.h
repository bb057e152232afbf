// The karaoke facts the information record needs, read from a sequence in one pass: the
// dialect (four-character karaoke type), the lyric items and the chord items, following the
// dialect rules of the lyrics extraction (Soft Karaoke text events, "<" line marks, lyric
// meta events, Midisoft lines, XF and XG chords).
#pragma once

#include <cstdint>

#include "base/four_char_code.h"
#include "text/sync_array.h"

namespace sw {

class MidiSequence;

struct KaraokeScan {
  DSyncArray lyrics;            // normalised into lines
  DSyncArray chords;            // chord flag set, quick bursts thinned
  FourCharCode karaokeType = 0; // "SK  ", "SO  ", "T1  ", "MS  " or 0
  uint32_t lyricBytes = 0;      // the byte count of the chosen lyric source
};

// Soft Karaoke: fewer than 6 lyric meta events, and an "@K" text at tick 0 or a text event
// starting with "\" or "/".
bool isSoftKaraokeSequence(const MidiSequence& sequence);

// Chords are collected only with wantChords.
KaraokeScan scanKaraoke(const MidiSequence& sequence, bool wantChords = true);

}  // namespace sw
