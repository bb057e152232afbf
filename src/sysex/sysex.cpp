#include "sysex/sysex.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "base/log.h"
#include "smf/midi_event.h"
#include "smf/vlq.h"
#include "sysex/gs_parameters.h"
#include "sysex/manufacturers.h"

namespace sw {

namespace {

constexpr uint8_t kEOX = 0xF7;
constexpr uint8_t kRoland = 0x41;
constexpr uint8_t kYamaha = 0x43;
constexpr uint16_t kMidisoft = 0x2024;
constexpr uint16_t kFarfisa = 0x200B;

// Whole messages after F0 (and the length byte of event data).
constexpr uint8_t kGMReset[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
constexpr uint8_t kGSReset[] = {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
constexpr uint8_t kXGReset[] = {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
// Master volume prefixes; the volume byte follows.
constexpr uint8_t kUniversalVolume[] = {0x7F, 0x7F, 0x04, 0x01, 0x00};
constexpr uint8_t kGSVolume[] = {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04};

template <size_t N>
bool equalAt(const uint8_t* bytes, const uint8_t (&expected)[N]) {
  return std::equal(expected, expected + N, bytes);
}

// The whole message is F0 `body`, or F0, the length of `body`, `body`.
template <size_t N>
bool isExactly(const uint8_t* bytes, size_t length, const uint8_t (&body)[N]) {
  if (!bytes || length < 1 || bytes[0] != 0xF0) return false;
  if (length == N + 1 && equalAt(bytes + 1, body)) return true;
  return length == N + 2 && bytes[1] == N && equalAt(bytes + 2, body);
}

// The message starts with F0 `prefix` (or F0, a one-byte length, `prefix`), a 7-bit value
// follows and the message ends with F7; answers the value.
template <size_t N>
std::optional<uint8_t> valueAfter(const uint8_t* bytes, size_t length, const uint8_t (&prefix)[N]) {
  if (!bytes || length < N + 3 || bytes[0] != 0xF0 || bytes[length - 1] != kEOX) return std::nullopt;
  if (equalAt(bytes + 1, prefix) && bytes[N + 1] < 0x80) return bytes[N + 1];
  if (length >= N + 4 && bytes[1] < 0x80 && equalAt(bytes + 2, prefix) && bytes[N + 2] < 0x80) return bytes[N + 2];
  return std::nullopt;
}

uint8_t rolandChecksum(const uint8_t* bytes, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += bytes[i];
  unsigned rest = sum % 128;
  return uint8_t(rest ? 128 - rest : 0);
}

// A whole decimal integer, white space around it allowed.
std::optional<long long> parseInteger(const std::string& text) {
  size_t i = 0, end = text.size();
  while (i < end && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == end || end - i > 9) return std::nullopt;
  long long value = 0;
  for (; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

Sysex::Sysex(const std::vector<uint8_t>& eventData, SysexTextCodec codec) : codec_(std::move(codec)) {
  setData(eventData);
}

Sysex::Sysex(const uint8_t* bytes, size_t length, SysexTextCodec codec) : codec_(std::move(codec)) {
  setData(bytes, length);
}

Sysex Sysex::fromEvent(const MidiEvent& event, SysexTextCodec codec) {
  if (!event.isSysex()) {
    Sysex empty;
    empty.codec_ = std::move(codec);
    return empty;
  }
  return Sysex(event.data(), event.length(), std::move(codec));
}

void Sysex::setData(const std::vector<uint8_t>& eventData) { setData(eventData.data(), eventData.size()); }

void Sysex::setData(const uint8_t* bytes, size_t length) {
  if (!bytes || length < 2 || bytes[0] != 0xF0 || bytes[length - 1] != kEOX) return;
  // The bytes may be our own: decode from a copy.
  std::vector<uint8_t> copy(bytes, bytes + length);
  processSysex(copy.data(), copy.size());
  checksumState_ = checksum(nullptr);
  computeCheckSum();
}

void Sysex::processSysex(const uint8_t* bytes, size_t length) {
  fields_.clear();
  manufacturer_.clear();
  sID_ = 0;
  extendedID_ = 0;
  hasID_ = false;
  malformed_ = false;
  data_.assign(bytes, bytes + length);

  VLQRead vlq = readVLQ(data_.data() + 1, data_.size() - 1);
  dataLen_ = vlq.value;
  VLQLen_ = vlq.size;
  if (!vlq.ok() || data_.size() - 1 - VLQLen_ != dataLen_) {
    logMessage("Malformed sysex");
    malformed_ = true;
    if (!vlq.ok()) return;
  }

  // Positions below count from F0 at 0 as for a one-byte length; `shift` moves them on
  // by the extra bytes of a longer one.
  size_t idPosition = 1 + VLQLen_;
  if (idPosition >= data_.size() - 1) return;  // nothing between the length and F7
  size_t shift = VLQLen_ - 1;
  SysexBytes view(data_.data(), data_.size());
  sID_ = data_[idPosition];
  hasID_ = true;
  if (sID_ != 0)
    decodeOneByteID(view, shift);
  else
    decodeThreeByteID(view, shift);
  finishText();
  checkDataBytes();
}

void Sysex::decodeOneByteID(const SysexBytes& bytes, size_t shift) {
  auto at = [&](size_t position) { return bytes.at(position + shift); };
  const char* name = manufacturerName(sID_);
  manufacturer_ = *name ? name : unknownManufacturerText(sID_);
  const size_t last = bytes.size() - 1;  // the closing F7

  if (sID_ != kYamaha) {
    if (at(3) == 0x7F) {
      if (at(4) == 0x04 && at(5) == 0x01) {
        if (7 + shift < last) {
          fields_.type = "MASTER VOLUME (0-127)";
          fields_.text = std::to_string(at(7));
          fields_.byteValueOffset = uint32_t(7 + shift);
          fields_.byteValueMin = 0;
          fields_.byteValueMax = 127;
        }
      } else if (at(4) == 0x09 && at(5) == 0x01) {
        fields_.type = "GM On";
      } else if (at(4) == 0x09 && at(5) == 0x02) {
        fields_.type = "GM Off";
      }
    } else if (at(3) == 0x10) {
      if (at(4) == 0x45 && at(5) == 0x12) {
        GSParameters::readIndividualParameters(bytes, 5 + shift, fields_);
      } else if (at(4) == 0x42 && at(5) == 0x12) {
        int block = at(7);
        if (at(6) == 0x41) {
          GSParameters::readDrumSetupParameters(bytes, 7 + shift, fields_);
        } else if (at(6) == 0x40 && block >= 0) {
          if (block == 0x00)
            GSParameters::readSystemParameters(bytes, 8 + shift, fields_);
          else if (block == 0x01)
            GSParameters::readPatchParameters(bytes, 8 + shift, fields_);
          else if ((block & 0xF0) == 0x10)
            GSParameters::readPartParameters1(GSParameters::partNumber(block), bytes, 8 + shift, fields_);
          else if ((block & 0xF0) == 0x20)
            GSParameters::readPartParameters2(GSParameters::partNumber(block), bytes, 8 + shift, fields_);
        }
      }
    }
    return;
  }

  if (bytes.matches(3 + shift, {0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})) {
    fields_.type = "XG MODE RESET";
  } else if (bytes.size() == 9 + VLQLen_ && at(3) == 0x7E && at(4) == 0x02) {
    fields_.type = "XG Chord Control Code";
    fields_.xgChord = true;
    fields_.text = XGChord::name(uint8_t(at(5)), uint8_t(at(6)));
  }
}

void Sysex::decodeThreeByteID(const SysexBytes& bytes, size_t shift) {
  auto at = [&](size_t position) { return bytes.at(position + shift); };
  const size_t last = bytes.size() - 1;  // the closing F7
  if (4 + shift >= last) {  // the two bytes of the extended ID are missing
    manufacturer_ = unknownManufacturerText(0);
    return;
  }
  extendedID_ = uint16_t((at(3) << 8) | at(4));

  // The text from position 7 up to the first F7 (or, for `stopAtLineFeed`, line feed).
  auto takeText = [&](bool stopAtLineFeed) {
    size_t start = 7 + shift;
    size_t end = start;
    while (end < last && bytes.at(end) != kEOX && !(stopAtLineFeed && bytes.at(end) == 0x0A)) ++end;
    if (start > last) return;
    fields_.textRange = {uint32_t(start), uint32_t(end - start)};
  };

  if (extendedID_ == kMidisoft) {
    manufacturer_ = "Midisoft";
    if (at(5) != 0) return;
    int kind = at(6);
    if (kind >= 4 && kind <= 7) {
      fields_.type = "Line " + std::to_string(kind - 3);
      takeText(true);
    } else if (kind == 1) {
      fields_.type = "Chord";
      takeText(true);
    } else if (kind == 8) {
      fields_.type = "Sync";
    }
  } else if (extendedID_ == kFarfisa) {
    manufacturer_ = "Farfisa";
    if (bytes.matches(5 + shift, {0x10, 0x7D})) {
      fields_.type = "Lyrics";
      takeText(false);
    }
  } else {
    const char* name = extendedManufacturerName(extendedID_);
    manufacturer_ = *name ? name : unknownExtendedManufacturerText(extendedID_);
  }
}

void Sysex::finishText() {
  TextRange& range = fields_.textRange;
  if (range.location == 0) return;
  size_t last = data_.size() - 1;
  if (range.location > last) {
    range = {};
    return;
  }
  range.length = uint32_t(std::min<size_t>(range.length, last - range.location));
  fields_.text = codec_.decodeText(textBytes());
}

// A data byte with its top bit set ends a message on the wire; such a message is reported
// with its manufacturer only. Text characters may use an 8-bit encoding and are exempt.
void Sysex::checkDataBytes() {
  const TextRange range = fields_.textRange;
  for (size_t i = 1 + VLQLen_; i + 1 < data_.size(); ++i) {
    if (data_[i] < 0x80) continue;
    if (range.location && i >= range.location && i < size_t(range.location) + range.length) continue;
    if (!malformed_) logMessage("Malformed sysex");
    malformed_ = true;
    fields_.clear();
    return;
  }
}

std::string_view Sysex::textBytes() const {
  const TextRange range = fields_.textRange;
  if (range.location == 0 || range.location >= data_.size()) return {};
  size_t length = std::min<size_t>(range.length, data_.size() - range.location);
  return {reinterpret_cast<const char*>(data_.data()) + range.location, length};
}

void Sysex::setTextCodec(SysexTextCodec codec) {
  codec_ = std::move(codec);
  finishText();
}

std::vector<uint8_t> Sysex::MIDIData() const { return MIDIDataFromEventData(data_.data(), data_.size()); }

void Sysex::setMIDIData(const uint8_t* bytes, size_t length) {
  std::vector<uint8_t> eventData = eventDataFromMIDIData(bytes, length);
  setData(eventData);
}

std::vector<uint8_t> Sysex::eventDataFromMIDIData(const uint8_t* bytes, size_t length) {
  if (!bytes || length == 0 || bytes[0] != 0xF0 || length - 1 > kMaxVLQ) return {};
  std::vector<uint8_t> out(1, 0xF0);
  uint8_t vlq[4];
  out.insert(out.end(), vlq, vlq + writeVLQ(uint32_t(length - 1), vlq));
  out.insert(out.end(), bytes + 1, bytes + length);
  return out;
}

std::vector<uint8_t> Sysex::MIDIDataFromEventData(const uint8_t* bytes, size_t length) {
  if (!bytes || length == 0) return {};
  VLQRead vlq = readVLQ(bytes + 1, length - 1);
  if (!vlq.ok() || bytes[0] != 0xF0) return std::vector<uint8_t>(bytes, bytes + length);
  std::vector<uint8_t> out(1, 0xF0);
  out.insert(out.end(), bytes + 1 + vlq.size, bytes + length);
  return out;
}

Sysex::ChecksumState Sysex::checksum(uint8_t* expected) const {
  if (!hasID_ || sID_ != kRoland) return ChecksumState::NotApplicable;
  // The bytes after the length as they stand, whatever the length says.
  size_t count = data_.size() - 1 - VLQLen_;
  if (count < VLQLen_ + 7) return ChecksumState::TooShort;
  size_t position = data_.size() - 2;
  uint8_t sum = rolandChecksum(data_.data() + VLQLen_ + 5, count - 6);
  if (expected) *expected = sum;
  return data_[position] == sum ? ChecksumState::Correct : ChecksumState::Wrong;
}

bool Sysex::computeCheckSum() {
  uint8_t sum = 0;
  switch (checksum(&sum)) {
    case ChecksumState::TooShort:
      logMessage("computeCheckSum failed: _dataLen _dataLen < _VLQLen + 5 + 2");
      return false;
    case ChecksumState::Wrong:
      data_[data_.size() - 2] = sum;
      return true;
    default:
      return false;
  }
}

bool Sysex::computeCheckSum(std::vector<uint8_t>& eventData) {
  Sysex sysex;
  if (eventData.size() < 2 || eventData[0] != 0xF0 || eventData.back() != kEOX) return false;
  sysex.processSysex(eventData.data(), eventData.size());
  if (!sysex.computeCheckSum()) return false;
  eventData = sysex.data_;
  return true;
}

bool Sysex::computeCheckSum(MidiEvent& event) {
  if (!event.isSysex()) return false;
  std::vector<uint8_t> data(event.data(), event.data() + event.length());
  if (!computeCheckSum(data)) return false;
  event.setData(data.data(), uint32_t(data.size()));
  return true;
}

bool Sysex::canSetText() const {
  return fields_.textRange.location != 0 || fields_.byteValueOffset != 0 || fields_.xgChord;
}

bool Sysex::validateSetText(const std::string& text) const {
  if (fields_.textRange.location) return replacedText(text).has_value();
  if (fields_.byteValueOffset) {
    std::optional<long long> value = parseInteger(text);
    if (!value || *value < fields_.byteValueMin || *value > fields_.byteValueMax) return false;
    long long stored = *value + fields_.byteValueBias;
    return stored >= 0 && stored <= 0x7F && fields_.byteValueOffset + 1 < data_.size();
  }
  if (fields_.xgChord) return XGChord::parse(text, nullptr);
  return false;
}

bool Sysex::setText(const std::string& text) {
  if (!validateSetText(text)) return false;
  if (fields_.textRange.location) {
    std::optional<std::vector<uint8_t>> replaced = replacedText(text);
    setData(*replaced);
    return true;
  }
  std::vector<uint8_t> changed = data_;
  if (fields_.byteValueOffset) {
    changed[fields_.byteValueOffset] = uint8_t(*parseInteger(text) + fields_.byteValueBias);
  } else {
    XGChordBytes chord;
    XGChord::parse(text, &chord);
    size_t shift = VLQLen_ - 1;
    changed[5 + shift] = chord.root;
    changed[6 + shift] = chord.type;
  }
  setData(changed);
  return true;
}

// The event data with the text range replaced by `text` (cut or padded as the message
// requires) and the length rewritten; nullopt when the text cannot be encoded or would not
// read back the same (an F7 in it, or a line feed in a Midisoft line).
std::optional<std::vector<uint8_t>> Sysex::replacedText(const std::string& text) const {
  const TextRange range = fields_.textRange;
  size_t last = data_.size() - 1;
  size_t body = 1 + VLQLen_;
  if (range.location < body || size_t(range.location) + range.length > last) return std::nullopt;

  std::string shown = text;
  if (fields_.fixedTextLength) {
    size_t characters = utf8Length(shown);
    if (characters < fields_.fixedTextLength) shown.append(fields_.fixedTextLength - characters, '\t');
    shown = utf8Prefix(shown, fields_.fixedTextLength);
  } else if (fields_.maxTextLength && utf8Length(shown) > fields_.maxTextLength) {
    shown = utf8Prefix(shown, fields_.maxTextLength);
  }
  std::optional<std::string> encoded = codec_.encodeText(shown);
  if (!encoded) return std::nullopt;
  // Inside a system-exclusive message every byte is a data byte, below 0x80, as typed hex is.
  for (const char c : *encoded)
    if (static_cast<uint8_t>(c) >= 0x80) return std::nullopt;
  if (fields_.fixedTextLength)
    encoded->resize(fields_.fixedTextLength, '\t');
  else if (fields_.maxTextLength && encoded->size() > fields_.maxTextLength)
    encoded->resize(fields_.maxTextLength);

  std::vector<uint8_t> rest(data_.begin() + body, data_.begin() + range.location);
  rest.insert(rest.end(), encoded->begin(), encoded->end());
  rest.insert(rest.end(), data_.begin() + range.location + range.length, data_.end());
  if (rest.size() > kMaxVLQ) return std::nullopt;

  std::vector<uint8_t> out(1, 0xF0);
  uint8_t vlq[4];
  out.insert(out.end(), vlq, vlq + writeVLQ(uint32_t(rest.size()), vlq));
  out.insert(out.end(), rest.begin(), rest.end());

  Sysex check;
  check.codec_ = codec_;
  check.processSysex(out.data(), out.size());
  if (check.type() != type() || check.textBytes() != std::string_view(*encoded)) return std::nullopt;
  return out;
}

FourCharCode Sysex::resetType(const uint8_t* bytes, size_t length) {
  if (isExactly(bytes, length, kGMReset)) return fourCC("GM  ");
  if (isExactly(bytes, length, kGSReset)) return fourCC("GS  ");
  if (isExactly(bytes, length, kXGReset)) return fourCC("XG  ");
  return 0;
}

std::optional<Sysex::MasterVolume> Sysex::masterVolume(const uint8_t* bytes, size_t length) {
  if (auto value = valueAfter(bytes, length, kUniversalVolume)) return MasterVolume{MasterVolumeKind::Universal, *value};
  if (auto value = valueAfter(bytes, length, kGSVolume)) return MasterVolume{MasterVolumeKind::GS, *value};
  return std::nullopt;
}

std::vector<uint8_t> Sysex::resetEventData(FourCharCode kind) {
  auto build = [](const auto& body) {
    std::vector<uint8_t> out{0xF0, uint8_t(std::size(body))};
    out.insert(out.end(), std::begin(body), std::end(body));
    return out;
  };
  if (kind == fourCC("GM  ")) return build(kGMReset);
  if (kind == fourCC("GS  ")) return build(kGSReset);
  if (kind == fourCC("XG  ")) return build(kXGReset);
  return {};
}

std::vector<uint8_t> Sysex::masterVolumeEventData(uint8_t value, MasterVolumeKind kind) {
  value = std::min<uint8_t>(value, 127);
  if (kind == MasterVolumeKind::Universal) return {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, value, 0xF7};
  std::vector<uint8_t> out{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, value, 0x00, 0xF7};
  out[10] = rolandChecksum(out.data() + 6, 4);
  return out;
}

}  // namespace sw
