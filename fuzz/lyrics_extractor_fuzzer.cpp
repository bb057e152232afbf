// Any bytes read as a Standard MIDI File, then searched for lyrics and chords in every karaoke
// dialect, and their encoding guessed.
#include <cstddef>
#include <cstdint>
#include <span>

#include "smf/midi_sequence.h"
#include "smf/smf_image.h"
#include "text/encoding_guess.h"
#include "text/lyrics_extractor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sw::SMFImage image;
  if (sw::readSMFBytes(std::span<const uint8_t>(data, size), image) != sw::noErr) return 0;
  sw::OSStatus status = sw::noErr;
  sw::MidiSequence sequence(image, sw::kSMFLoadFull, &status);
  if (status != sw::noErr) return 0;
  sw::DSyncArray lyrics, chords;
  sw::FourCharCode karaokeType = 0;
  sw::getLyricsDSyncs(sequence, &lyrics, &chords, &karaokeType);
  (void)sw::detectEncoding(sw::joinedLyrics(lyrics));
  (void)sw::lyrics(sequence);
  (void)sw::isSoftKaraoke(sequence);
  return 0;
}
