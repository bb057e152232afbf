// Guessing the encoding of a sequence's texts: valid UTF-8 is UTF-8; otherwise, for a long
// enough sample, ICU's statistical charset detector, trusted only when its answer decodes
// the sample without loss and says something the default encoding could not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "smf/midi_sequence.h"
#include "text/string_encoding.h"
#include "text/sync_array.h"

namespace sw {

// What the detector made of a sample.
struct EncodingDetection {
  StringEncoding encoding = kNoEncoding;  // kNoEncoding when nothing usable was detected
  std::string charset;                     // the detector's name for it ("Shift_JIS", ...)
  int32_t confidence = 0;                  // 0 to 100
  bool lossy = true;       // some byte sequence of the sample did not decode and was replaced
  std::u16string text;     // the sample decoded (lossy), empty when nothing was detected
};

// Runs the detector on the sample with lossy conversion allowed. ICU's detector costs about
// a quarter of a microsecond per byte, so only kDetectionWindow bytes are examined
// statistically, from just before the first non-ASCII byte; the lossy check covers the
// whole sample.
inline constexpr size_t kDetectionWindow = 512;
EncodingDetection detectEncoding(std::string_view sample);

// The texts of every meta event of types 1 to 9, each followed by LF.
std::string metaTextBuffer(EventView events);
// The bytes of all lyric items joined in order.
std::string joinedLyrics(const DSyncArray& lyrics);

// The guess from the meta texts and the lyrics: UTF-8, a detected encoding, or kNoEncoding.
// The lyrics are the sample (the meta texts when there are none). A detection counts when it
// decoded the sample without loss and the text does not fit the encoding the document would
// use without a guess (see encodingForGuess).
StringEncoding guessEncoding(const MidiSequence& sequence, StringEncoding defaultEncoding = kISOLatin1StringEncoding);

// The guess for a whole file, made once from all of its texts together.
struct SequenceEncodingGuess {
  StringEncoding encoding = kNoEncoding;  // kNoEncoding when nothing usable was found
  bool confident = false;                 // worth using before a default encoding
};
// Every meta text (names, lyrics, markers and the other text types, the tagged texts of meta
// type 0x4B) and the Midisoft lyric lines, each followed by LF.
std::string sequenceTextSample(const MidiSequence& sequence);
// UTF-8 when the texts are (confident only when they hold bytes above 0x7F); else the
// detector's answer, confident when it decodes more than 499 bytes without loss; else, for a
// short sample, Shift JIS when the texts decode without loss and at least a quarter of their
// characters beyond ASCII are kana (confident, as no other encoding reads kana from such bytes).
SequenceEncodingGuess guessSequenceEncoding(const MidiSequence& sequence);
// The same on a sample built by sequenceTextSample().
SequenceEncodingGuess guessSampleEncoding(std::string_view sample);

// The encoding a newly opened document uses: the guess, or on kNoEncoding the default
// encoding (ISO Latin 1 when the default is UTF-8).
StringEncoding encodingForGuess(StringEncoding guess, StringEncoding defaultEncoding);

// True when every character of the text exists in the encoding (false for an unsupported one).
bool canRepresent(std::u16string_view text, StringEncoding encoding);

}  // namespace sw
