// The karaoke facts the information record needs, read from a sequence in one pass: the
// dialect (four-character karaoke type), the lyric items and the chord items, following the
// dialect rules of the lyrics extraction (Soft Karaoke text events, "<" line marks, lyric
// meta events, Midisoft lines, XF and XG chords).
#pragma once

#include <cstdint>
#include <string>

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

class UTF8Validator;

struct KaraokeScanOptions {
  bool chords = true;      // collect chords (without, `chords` stays empty)
  bool thinChords = true;  // drop the chords of a quick burst but its last
  bool lyrics = true;      // fill `lyrics`
  // Also, without building items: the lyric bytes joined in order (exactly the bytes of the
  // items `lyrics` would hold) are fed to the validator and appended to the string.
  UTF8Validator* validator = nullptr;
  std::string* joined = nullptr;
};

KaraokeScan scanKaraoke(const MidiSequence& sequence, const KaraokeScanOptions& options = {});

}  // namespace sw
