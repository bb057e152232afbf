// Chord names of the Yamaha XG chord control message: a root byte (accidental in the high
// nibble, note letter in the low nibble) and a chord type byte (0-34).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

struct XGChordBytes {
  uint8_t root = 0;
  uint8_t type = 0;
};

class XGChord {
 public:
  // "Em7" for root 0x33 and type 10; empty for a letter outside 1..7, an accidental above 6
  // or a type above 34.
  static std::string name(uint8_t root, uint8_t type);
  // Parses a name such as "F#m7" (white space ignored). Fails when the first character is
  // not a note letter; an unknown suffix gives type 0.
  static bool parse(const std::string& name, XGChordBytes* result);
  // The suffix of a chord type, nullptr above 34.
  static const char* suffix(uint8_t type);

  // Pieces of the root byte, shared with the XF chord meta event.
  static constexpr uint8_t kNaturalAccidental = 3;
  // 1..7 for "C" to "B" (either case), 0 for any other character.
  static uint8_t noteLetterIndex(char letter);
  // "C" to "B" for 1..7, '\0' otherwise.
  static char noteLetter(uint8_t index);
  // "bbb", "bb", "b", "", "#", "##", "###" for 0..6, nullptr otherwise.
  static const char* accidentalText(uint8_t index);
  // The index of an accidental text, or kNaturalAccidental when it is none of them.
  static uint8_t accidentalIndex(std::string_view text);
};

}  // namespace sw
