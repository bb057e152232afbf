#include "sysex/xg_chord.h"

#include <cctype>
#include <cstring>
#include <iterator>

namespace sw {

namespace {

constexpr const char* kAccidentals[] = {"bbb", "bb", "b", "", "#", "##", "###"};
constexpr uint8_t kNoAccidental = 3;
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

std::string XGChord::name(uint8_t root, uint8_t type) {
  uint8_t letter = root & 0x0F;
  uint8_t accidental = root >> 4;
  if (type >= std::size(kSuffixes) || letter < 1 || letter > 7 || accidental >= std::size(kAccidentals)) return {};
  std::string result(1, kLetters[letter - 1]);
  result += kAccidentals[accidental];
  result += kSuffixes[type];
  return result;
}

bool XGChord::parse(const std::string& name, XGChordBytes* result) {
  std::string compact;
  for (char c : name)
    if (!std::isspace(static_cast<unsigned char>(c))) compact.push_back(c);
  if (compact.empty()) return false;
  const char* found = std::strchr(kLetters, std::toupper(static_cast<unsigned char>(compact[0])));
  if (!found || *found == '\0') return false;
  auto letter = uint8_t(found - kLetters + 1);

  size_t end = 1;
  while (end < compact.size() && (compact[end] == '#' || compact[end] == 'b')) ++end;
  std::string accidentalText = compact.substr(1, end - 1);
  uint8_t accidental = kNoAccidental;
  for (size_t i = 0; i < std::size(kAccidentals); ++i)
    if (accidentalText == kAccidentals[i]) accidental = uint8_t(i);

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
