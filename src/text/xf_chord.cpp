#include "text/xf_chord.h"

#include <cctype>
#include <iterator>

#include "sysex/xg_chord.h"

namespace sw {

namespace {

constexpr const char* kTypeNames[] = {
    "",        "Maj6",   "Maj7",   "Maj7(#11)", "Maj(9)", "Maj7(9)",  "Maj6(9)", "aug",     "min",
    "min6",    "min7",   "min7b5", "min(9)",    "min7(9)", "min7(11)", "minMaj7", "minMaj7(9)", "dim",
    "dim7",    "7th",    "7sus4",  "7b5",       "7(9)",   "7(#11)",   "7(13)",   "7(b9)",   "7(b13)",
    "7(#9)",   "Maj7aug", "7aug",  "1+8",       "1+5",    "sus4",     "1+2+5",   "cc",
};
static_assert(std::size(kTypeNames) == XFChord::kTypeCount);

constexpr uint8_t kHeader[] = {0xFF, 0x7F, 0x07, 0x43, 0x7B, 0x01};

uint8_t letterOf(uint8_t note) { return note & 0x0F; }
bool validLetter(uint8_t note) { return letterOf(note) >= 1 && letterOf(note) <= 7; }

std::string noteText(uint8_t note) {
  std::string text(1, XGChord::noteLetter(letterOf(note)));
  text += XGChord::accidentalText(note >> 4);
  return text;
}

// One part of a chord text ("F#7th"), whitespace already removed and not empty.
void parsePart(const std::string& part, uint8_t& note, uint8_t& type) {
  uint8_t letter = XGChord::noteLetterIndex(part[0]);
  if (letter == 0) letter = 1;
  uint8_t accidental = XGChord::kNaturalAccidental;
  type = 0;
  if (part.size() > 1) {
    size_t end = 1;
    while (end < part.size() && (part[end] == '#' || part[end] == 'b')) ++end;
    accidental = XGChord::accidentalIndex(std::string_view(part).substr(1, end - 1));
    if (end < part.size()) type = XFChord::typeIndex(std::string_view(part).substr(end));
  }
  note = uint8_t(accidental << 4 | letter);
}

std::string withoutWhitespace(std::string_view text) {
  std::string result;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) result.push_back(c);
  return result;
}

}  // namespace

XFChord::XFChord(std::string_view text) { assign(processString(text)); }

XFChord::XFChord(const XFChordControl& control) { assign(control); }

std::optional<XFChord> XFChord::fromMetaEvent(const MidiEvent& event) {
  if (!event.isMeta(meta::kSequencerSpecific) || event.metaDataSize() != 7) return std::nullopt;
  const uint8_t* payload = event.metaData();
  if (payload[0] != 0x43 || payload[1] != 0x7B || payload[2] != 0x01) return std::nullopt;
  return XFChord(XFChordControl{payload[3], payload[4], payload[5], payload[6]});
}

void XFChord::assign(const XFChordControl& control) {
  control_ = control;
  string_ = processCC(control, &valid_);
  data_.assign(std::begin(kHeader), std::end(kHeader));
  for (uint8_t b : control.bytes()) data_.push_back(b);
}

MidiEvent XFChord::metaEvent(uint8_t track, uint32_t ticks) const {
  return MidiEvent(data_.data(), uint32_t(data_.size()), track, ticks);
}

XFChordControl XFChord::processString(std::string_view text) {
  XFChordControl control;
  size_t slash = text.find('/');
  std::string first = withoutWhitespace(text.substr(0, slash));
  if (!first.empty()) parsePart(first, control.root, control.type);
  if (slash != std::string_view::npos) {
    std::string_view rest = text.substr(slash + 1);
    std::string second = withoutWhitespace(rest.substr(0, rest.find('/')));
    if (!second.empty()) parsePart(second, control.bass, control.bassType);
  }
  return control;
}

std::string XFChord::processCC(const XFChordControl& c, bool* valid) {
  if (valid) *valid = false;
  if (!validLetter(c.root)) return "Invalid note number";
  if (c.root >= 112) return "Invalid inversion number";
  if (c.type >= kTypeCount) return "Invalid chord type number";
  bool hasBass = c.bass != XFChordControl::kNone;
  if (c.bassType != XFChordControl::kNone && c.bassType >= kTypeCount) return "Invalid bass chord type number";
  if (hasBass && !validLetter(c.bass)) return "Invalid bass note number";
  if (hasBass && c.bass >= 112) return "Invalid bass inversion number";
  if (valid) *valid = true;

  std::string text = noteText(c.root) + kTypeNames[c.type];
  if (hasBass && c.bass != c.root) {
    text += '/';
    text += noteText(c.bass);
    if (c.bassType != XFChordControl::kNone && c.bassType != c.type) text += kTypeNames[c.bassType];
  }
  return text;
}

const std::vector<std::string>& XFChord::types() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list{"Maj"};
    for (size_t i = 1; i < kTypeCount - 1; ++i) list.emplace_back(kTypeNames[i]);
    return list;
  }();
  return names;
}

const char* XFChord::typeName(uint8_t type) { return type < kTypeCount ? kTypeNames[type] : nullptr; }

uint8_t XFChord::typeIndex(std::string_view name) {
  for (uint8_t i = 1; i < kTypeCount; ++i)
    if (name == kTypeNames[i]) return i;
  return 0;
}

}  // namespace sw
