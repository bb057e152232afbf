#include "sysex/xg_chord.h"

#include <cctype>
#include <iterator>

namespace sw {

namespace {

constexpr const char* kAccidentals[] = {"bbb", "bb", "b", "", "#", "##", "###"};
constexpr uint8_t kNoAccidental = XGChord::kNaturalAccidental;
constexpr const char kLetters[] = "CDEFGAB";

constexpr const char* kSuffixes[] = {
    "",          "maj6",       "maj7", "maj7(#11)", "maj(9)", "maj7(9)", "maj6(9)", "aug",    "m",
    "m6",        "m7",         "m7b5", "m(9)",      "m7(9)",  "m7(11)",  "minmaj7", "minmaj7(9)",
    "dim",       "dim7",       "7",    "7sus4",     "7b5",    "7(9)",    "7(#11)",  "7(13)",  "7(b9)",
    "7(b13)",    "7(#9)",      "maj7aug", "7aug",   "1+8",    "1+5",     "sus4",    "1+2+5",  "cc",
};
static_assert(std::size(kSuffixes) == 35);

}  // namespace

const char* XGChord::suffix(uint8_t type) { return type < std::size(kSuffixes) ? kSuffixes[type] : nullptr; }

uint8_t XGChord::noteLetterIndex(char letter) {
  int upper = std::toupper(static_cast<unsigned char>(letter));
  for (uint8_t i = 0; i < 7; ++i)
    if (kLetters[i] == upper) return uint8_t(i + 1);
  return 0;
}

char XGChord::noteLetter(uint8_t index) { return index >= 1 && index <= 7 ? kLetters[index - 1] : '\0'; }

const char* XGChord::accidentalText(uint8_t index) {
  return index < std::size(kAccidentals) ? kAccidentals[index] : nullptr;
}

uint8_t XGChord::accidentalIndex(std::string_view text) {
  for (size_t i = 0; i < std::size(kAccidentals); ++i)
    if (text == kAccidentals[i]) return uint8_t(i);
  return kNoAccidental;
}

std::string XGChord::name(uint8_t root, uint8_t type) {
  uint8_t letter = root & 0x0F;
  uint8_t accidental = root >> 4;
  if (type >= std::size(kSuffixes) || letter < 1 || letter > 7 || accidental >= std::size(kAccidentals)) return {};
  std::string result(1, noteLetter(letter));
  result += accidentalText(accidental);
  result += kSuffixes[type];
  return result;
}

bool XGChord::parse(const std::string& name, XGChordBytes* result) {
  std::string compact;
  for (char c : name)
    if (!std::isspace(static_cast<unsigned char>(c))) compact.push_back(c);
  if (compact.empty()) return false;
  uint8_t letter = noteLetterIndex(compact[0]);
  if (letter == 0) return false;

  size_t end = 1;
  while (end < compact.size() && (compact[end] == '#' || compact[end] == 'b')) ++end;
  uint8_t accidental = accidentalIndex(std::string_view(compact).substr(1, end - 1));

  uint8_t type = 0;
  std::string rest = compact.substr(end);
  if (!rest.empty()) {
    for (size_t i = 1; i < std::size(kSuffixes); ++i) {
      if (rest == kSuffixes[i]) {
        type = uint8_t(i);
        break;
      }
    }
  }
  if (result) *result = {uint8_t(accidental * 16 + letter), type};
  return true;
}

}  // namespace sw
