// The browser's line of facts about one MIDI file, computed in one pass over its sequence,
// and the rewrite of its four editable texts (sequence name, title, author, copyright).
// Texts are raw bytes as they stand in the file; decoding them is the caller's business.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/four_char_code.h"
#include "text/string_extensions.h"
#include "text/sync_array.h"

namespace sw {

class MidiSequence;

// The same as PascalString holding at most 32 bytes.
using ShortPascalString = std::array<uint8_t, 33>;

// The bytes of a length-prefixed string (the length byte is cut to the buffer).
std::string_view pascalBytes(std::span<const uint8_t> pascal);
// Stores bytes, cut to what the buffer holds; the rest of the buffer is zeroed.
void setPascalBytes(std::span<uint8_t> pascal, std::string_view bytes);

struct SequenceInfo {
  int16_t division = 0;
  int16_t numTracks = 0;
  uint32_t duration = 0;  // milliseconds, at most 2147483647
  PascalString seqName{};
  PascalString title{};      // the first "@T" text
  PascalString author{};     // later "@T" texts, or meta type 0x4B tag 2
  PascalString genre{};      // meta type 0x4B tag 1
  PascalString composer{};   // meta type 0x4B tag 3
  PascalString copyright{};
  ShortPascalString sysex{};  // "GM ", "GS " and "XG " for the resets found
  int16_t bpm = 120;          // the first tempo before any note
  FourCharCode karaokeType = 0;
  uint8_t hasChords = 0;
  // 0 only when the first tempo and time signature come before the first note, on track 0.
  uint8_t badTempoSignatureTrack = 1;
  uint8_t UTF8 = 0;  // the texts and lyrics are valid UTF-8
};

// Fills the record; the lyrics and chords found are handed over when asked for.
void getInfo(const MidiSequence& sequence, SequenceInfo& info, DSyncArray* lyrics = nullptr,
             DSyncArray* chords = nullptr);
SequenceInfo getInfo(const MidiSequence& sequence);

// Rewrites the four texts: an absent argument leaves that text alone, an empty one removes
// it. The name and copyright keep at most 255 bytes, title and author at most 253 after
// their "@T" mark. New events go to track 0 at tick 0.
void setSeqName(MidiSequence& sequence, std::optional<std::string_view> name, std::optional<std::string_view> title,
                std::optional<std::string_view> author, std::optional<std::string_view> copyright);

}  // namespace sw
