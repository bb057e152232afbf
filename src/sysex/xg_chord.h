// Chord names of the Yamaha XG chord control message: a root byte (accidental in the high
// nibble, note letter in the low nibble) and a chord type byte (0-34).
#pragma once

#include <cstdint>
#include <string>

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
};

}  // namespace sw
