#include "text/lyrics_text_keeper.h"

#include "text/lyrics_extractor.h"
#include "text/lyrics_writer.h"

namespace sw {

void LyricsTextKeeper::keep(const MidiSequence& sequence) {
  lyrics_.clear();
  chords_.clear();
  getLyricsDSyncs(sequence, &lyrics_, &chords_);
  information_.keepName(sequence);
}

void LyricsTextKeeper::removeLyricsAndChords(MidiSequence& sequence) { sw::removeLyricsAndChords(sequence); }

void LyricsTextKeeper::writeLyricsAndChords(MidiSequence& sequence, uint8_t track) {
  // Chords go out as text events, which every chord converts to: nothing can fail here.
  setLyrics(sequence, lyrics_, chords_, false, track);
}

}  // namespace sw
