// The parsers of typed field texts and the validators built on them.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/log.h"
#include "editing/editor_feedback.h"
#include "editing/editor_strings.h"
#include "editing/midi_event_pointer.h"
#include "smf/vlq.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

constexpr int64_t kNumberCap = 1000000000000LL;  // longer digit runs saturate here

// Skips every character that is not a digit, then reads a number; false when none is left.
bool nextNumber(const std::string& text, size_t& position, int64_t& value) {
  while (position < text.size() && !std::isdigit(static_cast<unsigned char>(text[position]))) ++position;
  if (position >= text.size()) return false;
  value = 0;
  while (position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]))) {
    value = std::min(kNumberCap, value * 10 + (text[position++] - '0'));
  }
  return true;
}

bool readNumbers(const std::string& text, int64_t* values, size_t count) {
  size_t position = 0;
  for (size_t i = 0; i < count; ++i)
    if (!nextNumber(text, position, values[i])) return false;
  return true;
}

std::string upperWithoutSpaces(const std::string& text) {
  std::string out;
  for (unsigned char c : text)
    if (!std::isspace(c)) out += char(std::toupper(c));
  return out;
}

enum class HexToken { Value, NotHex };

// Alphanumeric runs; each read as hex, saturating at 0xFFFF.
struct HexReader {
  const std::string& text;
  size_t position = 0;
  // False at the end of the text.
  bool next(HexToken& kind, uint32_t& value) {
    while (position < text.size() && !std::isalnum(static_cast<unsigned char>(text[position]))) ++position;
    if (position >= text.size()) return false;
    kind = HexToken::Value;
    value = 0;
    while (position < text.size() && std::isalnum(static_cast<unsigned char>(text[position]))) {
      const char c = text[position++];
      if (!std::isxdigit(static_cast<unsigned char>(c))) {
        kind = HexToken::NotHex;
        continue;
      }
      const uint32_t digit = uint32_t(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10);
      value = std::min<uint32_t>(0xFFFF, value * 16 + digit);
    }
    return true;
  }
};

void appendVLQ(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[4];
  int count = 0;
  do {
    bytes[count++] = uint8_t(value & 0x7F);
    value >>= 7;
  } while (value && count < 4);
  for (int i = count - 1; i >= 0; --i) out.push_back(uint8_t(bytes[i] | (i ? 0x80 : 0)));
}

const char* const kSharpNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const char* const kFlatNames[12] = {"C", "DB", "D", "EB", "E", "F", "GB", "G", "AB", "A", "BB", "B"};
const char* const kMajorKeys[15] = {"CB", "GB", "DB", "AB", "EB", "BB", "F", "C", "G", "D", "A", "E", "B", "F#", "C#"};
const char* const kMinorKeys[15] = {"ABM", "EBM", "BBM", "FM",  "CM",  "GM",  "DM", "AM",
                                    "EM",  "BM",  "F#M", "C#M", "G#M", "D#M", "A#M"};

}  // namespace

// ---------------------------------------------------------------- parsers

bool MidiEventPointer::processMeasure(const std::string& text, int32_t* ticks) const {
  if (!parent_) return false;
  MeasureRec m;
  if (!parent_->convertMeasureString(text, &m)) return false;
  int64_t beatsPerMeasure = 1, ticksPerBeat = 1;
  if (!event_->isMeta(meta::kTimeSignature)) {
    const TimeSignatureRec s = parent_->signatureAtTicks(int32_t(std::min<uint32_t>(event_->ticks(), INT32_MAX)));
    beatsPerMeasure = s.num ? s.num : 4;
    ticksPerBeat = s.denom ? int64_t(std::max<int>(parent_->division(), 1)) * 4 / s.denom : parent_->division();
  }
  if (m.beat < 1 || m.beat > beatsPerMeasure || m.tick < 0 || m.tick >= std::max<int64_t>(ticksPerBeat, 1))
    return false;
  const int32_t result = parent_->ticksAtMeasure(m);
  if (result < 0) return false;
  if (ticks) *ticks = result;
  return true;
}

bool MidiEventPointer::processNote(const std::string& text, int* note) {
  const size_t cut = text.find_first_of("0123456789-");
  const std::string name = upperWithoutSpaces(text.substr(0, cut));
  int index = -1;
  for (int i = 0; i < 12 && index < 0; ++i)
    if (name == kSharpNames[i]) index = i;
  for (int i = 0; i < 12 && index < 0; ++i)
    if (name == kFlatNames[i]) index = i;
  if (index < 0) return false;
  int64_t octave = 0;
  if (cut != std::string::npos) {
    const auto parsed = fieldInteger(FieldValue(text.substr(cut)));
    if (!parsed) return false;
    octave = *parsed;
  }
  if (octave < -2 || octave > 8) return false;
  const int64_t result = index + 12 * octave + 24;
  if (result < 0 || result > 127) return false;
  if (note) *note = int(result);
  return true;
}

bool MidiEventPointer::processNoteThird(const std::string& text, int* velocity, int* offVelocity, int* duration) {
  int64_t v[3];
  if (!readNumbers(text, v, 3)) return false;
  if (v[0] > 127 || v[1] > 127 || v[2] >= 1000000) return false;
  if (velocity) *velocity = int(v[0]);
  if (offVelocity) *offVelocity = int(v[1]);
  if (duration) *duration = int(v[2]);
  return true;
}

bool MidiEventPointer::processSMPTE(const std::string& text, SMPTERec* smpte) {
  int64_t v[5];
  if (!readNumbers(text, v, 5)) return false;
  if (v[0] >= 24 || v[1] >= 60 || v[2] >= 60 || v[3] >= 30 || v[4] >= 100) return false;
  if (smpte) *smpte = SMPTERec{3, int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3]), int32_t(v[4])};
  return true;
}

bool MidiEventPointer::processTimeSignature(const std::string& text, TimeSignatureRec* signature) {
  int64_t v[4];
  if (!readNumbers(text, v, 4)) return false;
  const bool powerOfTwo = v[1] >= 1 && v[1] <= 64 && (v[1] & (v[1] - 1)) == 0;
  if (v[0] < 1 || v[0] > 99 || !powerOfTwo || v[2] < 1 || v[2] > 255 || v[3] < 1 || v[3] > 255) return false;
  if (signature) *signature = TimeSignatureRec{uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]), uint8_t(v[3])};
  return true;
}

bool MidiEventPointer::processKeySignature(const std::string& text, int8_t* sf, uint8_t* mode) {
  const std::string name = upperWithoutSpaces(text);
  for (int pass = 0; pass < 2; ++pass) {
    const char* const* list = pass ? kMinorKeys : kMajorKeys;
    for (int i = 0; i < 15; ++i) {
      if (name != list[i]) continue;
      if (sf) *sf = int8_t(i - 7);
      if (mode) *mode = uint8_t(pass);
      return true;
    }
  }
  return false;
}

bool MidiEventPointer::processSysexDataString(const std::string& text, std::vector<uint8_t>* data) {
  HexReader reader{text};
  HexToken kind;
  uint32_t value;
  std::vector<uint8_t> bytes;  // after F0, up to and including F7
  bool first = true, closed = false;
  while (!closed && reader.next(kind, value)) {
    if (kind == HexToken::NotHex) {
      logMessage("Invalid hex string");
      return false;
    }
    if (first) {
      if (value != 0xF0) return false;
      first = false;
      continue;
    }
    if (value == 0xF7) closed = true;
    else if (value >= 0x80) {
      char line[40];
      std::snprintf(line, sizeof line, "Invalid hex value: %02X", value);
      logMessage(line);
      return false;
    }
    bytes.push_back(uint8_t(value));
  }
  if (!closed || bytes.size() > kMaxVLQ) return false;
  std::vector<uint8_t> result{0xF0};
  appendVLQ(result, uint32_t(bytes.size()));
  result.insert(result.end(), bytes.begin(), bytes.end());
  Sysex::computeCheckSum(result);
  if (data) *data = std::move(result);
  return true;
}

bool MidiEventPointer::processSequencerSpecific(const std::string& text, std::vector<uint8_t>* data) {
  HexReader reader{text};
  HexToken kind;
  uint32_t value;
  std::vector<uint8_t> payload;
  int position = 0;
  while (reader.next(kind, value)) {
    if (kind == HexToken::NotHex || value > 0xFF) return false;
    if (position == 0 && value != 0xFF) return false;
    if (position == 1 && value != 0x7F) return false;
    if (position >= 2) {
      if (value == 0xFF) break;
      payload.push_back(uint8_t(value));
    }
    ++position;
  }
  if (position < 2 || payload.size() > kMaxVLQ) return false;
  std::vector<uint8_t> result{0xFF, 0x7F};
  appendVLQ(result, uint32_t(payload.size()));
  result.insert(result.end(), payload.begin(), payload.end());
  if (data) *data = std::move(result);
  return true;
}

// ---------------------------------------------------------------- validators

bool MidiEventPointer::fail(FieldValue& value, FieldValue current, std::string* error) const {
  value = std::move(current);
  if (error) *error = localizedString("INCORRECT_VALUE");
  return false;
}

bool MidiEventPointer::validateValue(FieldKey key, FieldValue& value, std::string* error) {
  switch (key) {
    case FieldKey::Ticks: return validateTicks(value, error);
    case FieldKey::Measure: return validateMeasure(value, error);
    case FieldKey::TrackPlusOne: return validateTrackPlusOne(value, error);
    case FieldKey::ChannelPlusOne: return validateChannelPlusOne(value, error);
    case FieldKey::ChannelOrIcon: return validateChannelOrIcon(value, error);
    case FieldKey::Second: return validateSecond(value, error);
    case FieldKey::Third: return validateThird(value, error);
    case FieldKey::DataString: return validateDataString(value, error);
    case FieldKey::Track: {
      const auto track = fieldInteger(value);
      if (!track || *track < 0 || !parent_ || *track >= parent_->numTracks())
        return fail(value, int64_t(this->track()), error);
      value = *track;
      return true;
    }
    case FieldKey::NoteOnDuration: {
      const auto duration = fieldInteger(value);
      if (!duration || *duration < 0 || *duration >= 1000000) return fail(value, noteOnDuration(), error);
      value = *duration;
      return true;
    }
    case FieldKey::NoteOffVelocity: {
      const auto velocity = fieldInteger(value);
      if (!velocity || *velocity < 0 || *velocity > 127) return fail(value, int64_t(noteOffVelocity()), error);
      value = *velocity;
      return true;
    }
    default: return true;
  }
}

bool MidiEventPointer::validateTicks(FieldValue& value, std::string* error) {
  const auto t = fieldInteger(value);
  if (!t || *t <= 0 || *t > INT32_MAX) return fail(value, ticks(), error);
  value = *t;
  return true;
}

bool MidiEventPointer::validateMeasure(FieldValue& value, std::string* error) {
  if (!processMeasure(fieldString(value), nullptr)) return fail(value, measure(), error);
  return true;
}

bool MidiEventPointer::validateTrackPlusOne(FieldValue& value, std::string* error) {
  const auto t = fieldInteger(value);
  if (!t || *t < 1 || !parent_) return fail(value, int64_t(trackPlusOne()), error);
  const int tracks = parent_->numTracks();
  if (*t <= tracks) {
    value = *t;
    return true;
  }
  // Tracks are numbered in one byte.
  if (tracks >= 256 || !EditorFeedback::confirmTrackAddition(tracks)) return fail(value, int64_t(trackPlusOne()), error);
  parent_->setNumTracks(uint16_t(tracks + 1));
  value = int64_t(tracks + 1);
  return true;
}

bool MidiEventPointer::validateChannelPlusOne(FieldValue& value, std::string* error) {
  const auto c = fieldInteger(value);
  if (!c || *c < 1 || *c > 16) return fail(value, int64_t(channelPlusOne()), error);
  value = *c;
  return true;
}

bool MidiEventPointer::validateChannelOrIcon(FieldValue& value, std::string* error) {
  const auto c = fieldInteger(value);
  if (!c || *c < 1 || *c > 16) return fail(value, channelOrIcon(), error);
  value = *c;
  return true;
}

bool MidiEventPointer::validateSecond(FieldValue& value, std::string* error) {
  const uint8_t status = event_->status();
  if (status == 0x90 || status == 0xA0) {
    int note = 0;
    if (!processNote(fieldString(value), &note)) return fail(value, second(), error);
    value = noteName(note);
    return true;
  }
  if (status == 0xB0 || status == 0xC0) {
    // Data bytes are 7-bit: a larger value would be read back as a status byte.
    const auto v = fieldInteger(value);
    if (!v || *v < 0 || *v > 127) return fail(value, second(), error);
    value = *v;
  }
  return true;
}

bool MidiEventPointer::validateThird(FieldValue& value, std::string* error) {
  const uint8_t status = event_->status();
  const std::string text = fieldString(value);
  const auto number = fieldInteger(value);
  switch (status) {
    case 0x90:
      if (!processNoteThird(text, nullptr, nullptr, nullptr)) return fail(value, third(), error);
      return true;
    case 0x80:
    case 0xA0:
    case 0xB0:
      if (!number || *number < 0 || *number > 127) return fail(value, third(), error);
      value = *number;
      return true;
    case 0xE0:
      if (!number || *number < -8192 || *number > 8191) return fail(value, third(), error);
      value = *number;
      return true;
    case 0xF0:
      if (!sysex().validateSetText(text)) return fail(value, third(), error);
      return true;
    case 0xFF: break;
    default: return true;
  }
  bool ok = true;
  switch (event_->second()) {
    case 0x00: ok = number && *number >= 0 && *number <= 0xFFFF; break;
    case 0x20:
    case 0x21: ok = number && *number >= 1 && *number <= 256; break;
    case 0x51: {
      const auto bpm = fieldDouble(value);
      // Microseconds per quarter must fit the event's three bytes and not be 0.
      ok = bpm && *bpm > 0 && 60000000.0 / *bpm >= 1 && 60000000.0 / *bpm <= 0xFFFFFF;
      break;
    }
    case 0x54: ok = processSMPTE(text, nullptr); break;
    case 0x58: ok = processTimeSignature(text, nullptr); break;
    case 0x59: ok = processKeySignature(text, nullptr, nullptr); break;
    case 0x4B:
      ok = text.size() >= 3 && text[0] == '[' && text[1] >= '1' && text[1] <= '5' && text[2] == ']';
      break;
    case 0x7F: {
      if (!isXFChord()) {
        ok = false;
        break;
      }
      std::string_view chord(text);
      if (chord.rfind("XFChord:", 0) == 0) chord.remove_prefix(8);
      ok = XFChord(chord).isValid();
      break;
    }
    default: break;
  }
  return ok ? true : fail(value, third(), error);
}

bool MidiEventPointer::validateDataString(FieldValue& value, std::string* error) {
  const std::string text = fieldString(value);
  bool ok = false;
  if (event_->isSysex()) ok = processSysexDataString(text, nullptr);
  else if (event_->isMeta(meta::kSequencerSpecific)) ok = processSequencerSpecific(text, nullptr);
  return ok ? true : fail(value, dataString(), error);
}

}  // namespace sw
