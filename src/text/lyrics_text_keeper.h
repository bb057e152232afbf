// The text keeper of the format conversions: lyrics and chords are read in whatever dialect
// the file uses, removed, and written back uniformly (lyric events with a CR event at each
// line end, chords as text events); the sequence name is kept as the basic keeper keeps it.
#pragma once

#include "smf/sequence_transforms.h"
#include "text/sync_array.h"

namespace sw {

class LyricsTextKeeper : public SequenceTextKeeper {
 public:
  void keep(const MidiSequence& sequence) override;
  size_t lyricCount() const override { return lyrics_.size(); }
  size_t chordCount() const override { return chords_.size(); }
  void markLyricsAndChords(const MidiSequence& sequence, std::vector<uint8_t>& marks) override;
  void writeLyricsAndChords(MidiSequence& sequence, uint8_t track) override;
  void restoreInformation(MidiSequence& sequence) override { information_.restoreInformation(sequence); }

 private:
  DSyncArray lyrics_;
  DSyncArray chords_;
  bool leftOut_ = false;  // the events marked were left out: none is left to replace
  BasicTextKeeper information_;
};

}  // namespace sw
