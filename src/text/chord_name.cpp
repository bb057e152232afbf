#include "text/chord_name.h"

#include <algorithm>

namespace sw {

namespace {

constexpr const char* kNoteNames[12] = {"Ab", "A", "Bb", "B", "C", "Db", "D", "Eb", "E", "F", "Gb", "G"};
// Note values of the letters A to G.
constexpr int16_t kLetterValues[7] = {1, 3, 4, 6, 8, 9, 11};

constexpr size_t kMaxLenientLength = 255;
constexpr size_t kMaxStrictLength = 50;

int16_t letterValue(char c) { return c >= 'A' && c <= 'G' ? kLetterValues[c - 'A'] : -1; }

int16_t bassLetterValue(char c) {
  if (c >= 'a' && c <= 'g') c = char(c - 'a' + 'A');
  return letterValue(c);
}

int16_t accidentalValue(char c) { return c == '#' ? 1 : c == 'b' ? -1 : 0; }

// The longest prefix of at most `limit` bytes that does not end inside a UTF-8 sequence.
std::string_view cutAtCharacter(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

int wrapNote(int value) { return ((value % 12) + 12) % 12; }

// The shared tail of both parsers: bass and type, the type starting at typeStart.
ChordName parseFrom(std::string_view text, char rootAccidentalChar, size_t typeStart) {
  ChordName chord;
  chord.root = letterValue(text[0]);
  chord.rootAccidentalChar = rootAccidentalChar;
  chord.rootAccidental = accidentalValue(rootAccidentalChar);

  std::string_view typeText = typeStart < text.size() ? text.substr(typeStart) : std::string_view();
  // The first slash followed by a note letter introduces the bass. Any other slash ("C6/9")
  // is part of the type, so that no bass is made up out of a digit.
  size_t slash = text.find('/');
  while (slash != std::string_view::npos && !(slash + 1 < text.size() && bassLetterValue(text[slash + 1]) >= 0))
    slash = text.find('/', slash + 1);
  if (slash != std::string_view::npos) {
    chord.bass = bassLetterValue(text[slash + 1]);
    if (slash + 2 < text.size()) {
      char c = text[slash + 2];
      chord.bassAccidental = accidentalValue(c);
      chord.bassAccidentalChar = chord.bassAccidental ? c : ' ';
    } else {
      chord.bassAccidentalChar = '\0';
    }
    typeText = slash >= typeStart ? text.substr(typeStart, slash - typeStart) : std::string_view();
  }

  std::string type;
  for (char c : typeText)
    if (c != ' ') type.push_back(c);
  chord.type = std::string(cutAtCharacter(type, ChordName::kMaxTypeLength));
  return chord;
}

bool isAccidentalChar(char c) { return c == ' ' || c == 'b' || c == '#'; }

}  // namespace

const char* chordNoteName(int value) { return kNoteNames[wrapNote(value)]; }

std::optional<ChordName> parseChordLenient(std::string_view text) {
  text = cutAtCharacter(text, kMaxLenientLength);
  if (text.empty() || letterValue(text[0]) < 0) return std::nullopt;
  if (text.size() > 1 && isAccidentalChar(text[1])) return parseFrom(text, text[1], 2);
  return parseFrom(text, ' ', 1);
}

std::optional<ChordName> parseChordStrict(std::string_view text) {
  if (text.empty() || text.size() > kMaxStrictLength) return std::nullopt;
  if (letterValue(text[0]) < 0) return std::nullopt;
  if (text.size() == 1) return parseFrom(text, ' ', 1);
  if (!isAccidentalChar(text[1])) return std::nullopt;
  return parseFrom(text, text[1], 2);
}

std::string spellChord(const ChordName& chord, int transposition, bool removeSpaces) {
  std::string result;
  if (transposition == 0) {
    result = chordNoteName(chord.root);
    if (chord.rootAccidentalChar == 'b' || chord.rootAccidentalChar == '#')
      result.push_back(chord.rootAccidentalChar);
    else if (!removeSpaces)
      result.push_back(' ');
    result += chord.type;
    if (chord.hasBass()) {
      result += '/';
      result += chordNoteName(chord.bass);
      if (chord.bassAccidentalChar == 'b' || chord.bassAccidentalChar == '#') result.push_back(chord.bassAccidentalChar);
    }
  } else {
    // Large transpositions wrap around the octave as many times as needed.
    int root = wrapNote(chord.root + chord.rootAccidental + transposition % 12);
    result = kNoteNames[root];
    if (!removeSpaces && result.size() == 1) result.push_back(' ');
    result += chord.type;
    if (chord.hasBass()) {
      result += '/';
      result += kNoteNames[wrapNote(chord.bass + chord.bassAccidental + transposition % 12)];
    }
  }
  if (removeSpaces) result.erase(std::remove(result.begin(), result.end(), ' '), result.end());
  return result;
}

}  // namespace sw
