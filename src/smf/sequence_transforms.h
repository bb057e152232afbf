// What the whole-sequence transformations of MidiSequence (sequence_transforms.cpp) take from
// the text layer: lyrics, chords and sequence information are kept across a format change by
// a SequenceTextKeeper, and chord symbols follow a transposition through a ChordTransposeHook.
// src/text provides the real ones; the sequence layer itself knows no chord spelling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw {

class MidiEvent;
class MidiSequence;

// Rewrites the bytes of one event that may carry a chord symbol (sysex, sequencer-specific,
// lyric or text meta event) so that the chord is transposed by `semitones`; leaves any other
// event alone.
using ChordTransposeHook = std::function<void(MidiEvent& event, int semitones)>;

class SequenceTextKeeper {
 public:
  virtual ~SequenceTextKeeper() = default;
  // Remembers the sequence information and the lyrics and chords of the sequence.
  virtual void keep(const MidiSequence& sequence) = 0;
  virtual size_t lyricCount() const = 0;
  virtual size_t chordCount() const = 0;
  // Flags (1) the lyric and chord events by position, for the conversion to leave out; nothing
  // flagged (an empty vector will do) keeps every event.
  virtual void markLyricsAndChords(const MidiSequence& sequence, std::vector<uint8_t>& marks) = 0;
  // Writes the kept lyrics (lyric events, a CR lyric event at each line end) and chords (text
  // events) on the track, replacing the ones there.
  virtual void writeLyricsAndChords(MidiSequence& sequence, uint8_t track) = 0;
  // Writes the kept name, title, author and copyright back.
  virtual void restoreInformation(MidiSequence& sequence) = 0;
  // False when lyrics stay as they are: the "@K" header of a Soft Karaoke file is then kept.
  virtual bool rewritesLyrics() const { return true; }
  // True when the lyrics stay as Soft Karaoke text events: the format-1 layout then moves
  // them to the words track as they are instead of taking them for chords.
  virtual bool softKaraokeTexts() const { return false; }
};

// The keeper used when the caller gives none: lyric and chord events are converted as they
// stand, and only the sequence name (the first name event of track 0 at tick 0) is kept and
// written back. Lyric items are the lyric events after tick 0 that hold more than a line
// break, chord items the text events after tick 0; in a Soft Karaoke file (an "@K" text at
// tick 0, or a text after it starting with "\" or "/") the texts are lyric items except
// those marked with "%".
class BasicTextKeeper : public SequenceTextKeeper {
 public:
  void keep(const MidiSequence& sequence) override;
  // Only the sequence name, for a keeper that counts lyrics and chords its own way.
  void keepName(const MidiSequence& sequence);
  size_t lyricCount() const override { return lyrics_; }
  size_t chordCount() const override { return chords_; }
  void markLyricsAndChords(const MidiSequence&, std::vector<uint8_t>&) override {}
  void writeLyricsAndChords(MidiSequence&, uint8_t) override {}
  void restoreInformation(MidiSequence& sequence) override;
  bool rewritesLyrics() const override { return false; }
  bool softKaraokeTexts() const override { return softKaraoke_; }
  // A text that a Soft Karaoke file shows as lyrics: not a tag, and after tick 0 or
  // starting a line.
  static bool isSoftKaraokeLyric(const MidiEvent& text);

 private:
  std::string name_;
  bool hasName_ = false;
  size_t lyrics_ = 0;
  size_t chords_ = 0;
  bool softKaraoke_ = false;
};

}  // namespace sw
