// Chord names as written in lyrics and markers ("C#m7/E", "A m7"): parsing into a record and
// spelling the record back, optionally transposed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sw {

// Note values count semitones above G sharp: A 1, B 3, C 4, D 6, E 8, F 9, G 11.
struct ChordName {
  static constexpr size_t kMaxTypeLength = 32;

  int16_t root = 0;
  int16_t rootAccidental = 0;      // -1 flat, 0 none, +1 sharp
  char rootAccidentalChar = ' ';   // 'b', '#' or ' '
  int16_t bass = -1;               // -1: no bass
  int16_t bassAccidental = 0;
  char bassAccidentalChar = '\0';  // 'b', '#', ' ', or '\0' when the bass letter ends the text
  std::string type;                // as written, without spaces, at most kMaxTypeLength bytes

  bool hasBass() const { return bass >= 0; }
  bool operator==(const ChordName&) const = default;
};

// The names of the twelve note values, "Ab" to "G" (index 0 to 11).
const char* chordNoteName(int value);

// Accepts any text starting with "A" to "G"; the root accidental is optional.
std::optional<ChordName> parseChordLenient(std::string_view text);
// Also asks for a space or an accidental right after the root letter ("C m7", "C#m7", "C"),
// and at most 50 bytes of text.
std::optional<ChordName> parseChordStrict(std::string_view text);

// The chord as text. With a transposition the notes are spelled from chordNoteName(), so
// accidentals come out as flats; without one they are spelled as parsed. With removeSpaces
// the space that stands for "no accidental" (and any other) is left out.
std::string spellChord(const ChordName& chord, int transposition = 0, bool removeSpaces = false);

}  // namespace sw
