#include "text/lyrics_text_keeper.h"

#include "text/lyrics_extractor.h"
#include "text/lyrics_writer.h"

namespace sw {

void LyricsTextKeeper::keep(const MidiSequence& sequence) {
  lyrics_.clear();
  chords_.clear();
  leftOut_ = false;
  getLyricsDSyncs(sequence, &lyrics_, &chords_);
  information_.keepName(sequence);
}

void LyricsTextKeeper::markLyricsAndChords(const MidiSequence& sequence, std::vector<uint8_t>& marks) {
  marks = lyricAndChordEvents(sequence);
  leftOut_ = true;
}

void LyricsTextKeeper::writeLyricsAndChords(MidiSequence& sequence, uint8_t track) {
  // Chords go out as text events, which every chord converts to: nothing can fail here.
  if (leftOut_)
    addLyricsAndChords(sequence, lyrics_, chords_, false, track);
  else
    setLyrics(sequence, lyrics_, chords_, false, track);
}

}  // namespace sw
