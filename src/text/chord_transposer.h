// Chord symbols transposed along with the notes: the hook MidiSequence::changePitch calls
// for every event that may carry a chord (Midisoft and XG chord sysex messages, XF chord
// meta events, chord lyrics and texts).
#pragma once

#include "smf/sequence_transforms.h"
#include "text/lyrics_extractor.h"

namespace sw {

class ChordTransposer {
 public:
  // In a Soft Karaoke sequence, texts after tick 0 are lyrics unless marked with "%".
  explicit ChordTransposer(bool softKaraoke) : softKaraoke_(softKaraoke) {}
  // Only the texts of the Soft Karaoke words track are lyrics (at tick 0 too); the others are
  // chords when they parse strictly, as the lyrics extraction reads them.
  explicit ChordTransposer(const SoftKaraokeWords& words) : softKaraoke_(false), words_(words) {}
  static ChordTransposer forSequence(const MidiSequence& sequence) {
    return ChordTransposer(findSoftKaraokeWords(sequence));
  }

  // Rewrites the event when it carries a chord that parses; true when it changed.
  bool transpose(MidiEvent& event, int semitones) const;
  ChordTransposeHook hook() const {
    return [copy = *this](MidiEvent& event, int semitones) { copy.transpose(event, semitones); };
  }

 private:
  bool transposeSysex(MidiEvent& event, int semitones) const;
  bool transposeText(MidiEvent& event, int semitones) const;
  bool isSyllable(const MidiEvent& event) const { return softKaraoke_ || words_.isSyllable(event); }
  bool softKaraoke_;
  SoftKaraokeWords words_;
};

}  // namespace sw
