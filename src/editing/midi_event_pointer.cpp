#include "editing/midi_event_pointer.h"

#include <cmath>
#include <cstdio>

#include "base/log.h"
#include "base/string_format.h"
#include "editing/editor_strings.h"
#include "smf/vlq.h"
#include "text/sysex_codec_factory.h"
#include "text/text_conversion.h"
#include "text/xf_chord.h"

namespace sw {

namespace {

const char* const kNoteNames[12] = {"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};

const char* const kMajorKeys[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C",
                                    "G",  "D",  "A",  "E",  "B",  "F#", "C#"};
const char* const kMinorKeys[15] = {"Abm", "Ebm", "Bbm", "Fm",  "Cm",  "Gm",  "Dm", "Am",
                                    "Em",  "Bm",  "F#m", "C#m", "G#m", "D#m", "A#m"};
const char* const kSMPTERates[4] = {"24 fps", "25 fps", "30DF fps", "30 FPS"};

std::string hexString(const uint8_t* bytes, size_t length) {
  std::string text;
  text.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    if (i) text += ' ';
    text += format("%02X", bytes[i]);
  }
  return text;
}

}  // namespace

MidiEventPointer::MidiEventPointer(MidiEvent* event, MidiSequence* parent) : event_(event), parent_(parent) {
  if (!event_) throw std::invalid_argument("an event pointer needs an event");
}

// ---------------------------------------------------------------- getters

double MidiEventPointer::beats() const {
  const int division = parent_ ? parent_->division() : 0;
  return division > 0 ? double(event_->ticks()) / division : 0.0;
}

std::string MidiEventPointer::measure() const {
  MeasureRec m;
  if (parent_) m = parent_->measureAtTicks(int32_t(std::min<uint32_t>(event_->ticks(), INT32_MAX)));
  return format("%.3i:%.2i:%.3i", m.measure, m.beat, m.tick);
}

std::string MidiEventPointer::frame() const {
  SMPTERec s{3, 0, 0, 0, 0, 0};
  if (parent_) s = parent_->SMPTEatTicks(int32_t(std::min<uint32_t>(event_->ticks(), INT32_MAX)));
  return format("%.2i:%.2i:%.2i:%.2i", s.hh, s.mm, s.ss, s.fr);
}

int MidiEventPointer::channelPlusOne() const { return event_->isChannelMessage() ? event_->channel() + 1 : 0; }

FieldValue MidiEventPointer::icon() const {
  if (event_->isMeta()) return ImageName{"SymbolM"};
  if (event_->isSysex()) return ImageName{"SymbolS"};
  return {};
}

FieldValue MidiEventPointer::channelOrIcon() const {
  if (event_->status() < 0xF0) return int64_t(channelPlusOne());
  return icon();
}

std::string MidiEventPointer::noteName(int note) {
  if (note < 0) note = 0;
  return format("%s%d", kNoteNames[note % 12], note / 12 - 2);
}

std::string MidiEventPointer::note() const { return noteName(event_->second()); }

Sysex MidiEventPointer::sysex() const {
  return Sysex::fromEvent(*event_, sysexTextCodecForEncoding(parent_ ? parent_->encoding() : kISOLatin1StringEncoding));
}

std::string MidiEventPointer::decodeText(const uint8_t* bytes, size_t length) const {
  const std::string_view raw(reinterpret_cast<const char*>(bytes), length);
  std::string text;
  const StringEncoding encoding = parent_ ? parent_->encoding() : kISOLatin1StringEncoding;
  if (convertToUTF8(raw, encoding, text, ConversionMode::Lossy) != noErr)
    convertToUTF8(raw, kISOLatin1StringEncoding, text, ConversionMode::Lossy);
  return text;
}

bool MidiEventPointer::encodeText(const std::string& text, std::string* bytes) const {
  StringEncoding encoding = parent_ ? parent_->encoding() : kISOLatin1StringEncoding;
  if (!isSupportedEncoding(encoding)) encoding = kISOLatin1StringEncoding;
  return convertFromUTF8(text, encoding, *bytes, ConversionMode::Strict) == noErr;
}

bool MidiEventPointer::isXFChord() const { return XFChord::fromMetaEvent(*event_).has_value(); }

FieldValue MidiEventPointer::second() const {
  switch (event_->status()) {
    case 0x80:
    case 0x90:
    case 0xA0: return note();
    case 0xB0:
    case 0xC0:
    case 0xD0: return int64_t(event_->second());
    case 0xE0: return {};
    case 0xF0: {
      const Sysex s = sysex();
      return s.manufacturer() + " " + s.type();
    }
    case 0xFF: return int64_t(event_->second());
    default: return {};
  }
}

FieldValue MidiEventPointer::third() const {
  const uint8_t status = event_->status();
  switch (status) {
    case 0x80:
    case 0xA0:
    case 0xB0: return int64_t(event_->third());
    case 0x90: return format("%.3d %.3d %u", event_->third(), event_->offVelocity(), event_->duration());
    case 0xC0:
    case 0xD0: return {};
    case 0xE0: return int64_t(int(event_->second() | (event_->third() << 7)) - 8192);
    case 0xF0: {
      const Sysex s = sysex();
      if (s.text().empty()) return {};
      return s.text();
    }
    case 0xFF: break;
    default: return std::string("unknown");
  }
  const uint8_t type = event_->second();
  const uint8_t* p = event_->metaData();
  const uint32_t size = event_->metaDataSize();
  if (type >= 0x01 && type <= 0x09) return decodeText(p, size);
  switch (type) {
    case 0x00:
      return int64_t((size > 0 ? p[0] << 8 : 0) | (size > 1 ? p[1] : 0));
    case 0x20:
    case 0x21:
      if (size < 1) return {};
      return int64_t(p[0] + 1);
    case 0x2F: return std::string();
    case 0x4B:
      if (size < 1) return {};
      return format("[%d]", p[0]) + decodeText(p + 1, size - 1);
    case 0x51: {
      if (size < 3) return {};
      const uint32_t q = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
      if (!q) return {};
      return 60000000.0 / q;
    }
    case 0x54:
      if (size < 5) return {};
      return format("%.2d : %.2d : %.2d : %.2d : %.2d, %s", p[0] & 31, p[1], p[2], p[3], p[4],
                    kSMPTERates[(p[0] >> 5) & 3]);
    case 0x58:
      if (size < 4) return {};
      return format("%d/%d, Click: %d, MIDI Clock: %d", p[0], p[1] < 31 ? 1 << p[1] : 0, p[2], p[3]);
    case 0x59: {
      if (size < 2) return std::string("INVALID");
      const int index = int8_t(p[0]) + 7;
      if (index < 0 || index > 14) return std::string("INVALID");
      return std::string((p[1] ? kMinorKeys : kMajorKeys)[index]);
    }
    case 0x7F: {
      const auto chord = XFChord::fromMetaEvent(*event_);
      if (!chord) return {};
      return "XFChord:" + chord->string();
    }
    default: return std::string("unknown");
  }
}

std::vector<uint8_t> MidiEventPointer::data() const {
  return std::vector<uint8_t>(event_->data(), event_->data() + event_->length());
}

std::string MidiEventPointer::dataString() const {
  const uint8_t* d = event_->data();
  const uint32_t length = event_->length();
  if (event_->isSysex()) {
    // F0, the bytes after the length quantity.
    const uint8_t* bytes = event_->sysexData();
    const size_t count = size_t(d + length - bytes);
    std::string text = "F0";
    if (count) text += " " + hexString(bytes, count);
    return text;
  }
  if (event_->isMeta()) {
    if (length < 3 || !readVLQ(d + 2, length - 2).ok()) return "INVALID DATA";
    std::string text = hexString(d, 2);
    if (event_->metaDataSize()) text += " " + hexString(event_->metaData(), event_->metaDataSize());
    return text;
  }
  return hexString(d, length);
}

int MidiEventPointer::wholeIndex() const { return parent_ ? parent_->indexOfEvent(event_) : -1; }

std::string MidiEventPointer::description() const {
  std::string text = measure() + "\t" + std::to_string(track()) + "\t";
  text += event_->isChannelMessage() ? std::to_string(channel()) + "\t" : "\t";
  text += std::to_string(status()) + "\t" + fieldText(second()) + "\t" + fieldText(third()) + "\t" + frame();
  return text;
}

FieldValue MidiEventPointer::valueForKey(FieldKey key) const {
  switch (key) {
    case FieldKey::Ticks: return ticks();
    case FieldKey::Beats: return beats();
    case FieldKey::Measure: return measure();
    case FieldKey::Frame: return frame();
    case FieldKey::Track: return int64_t(track());
    case FieldKey::TrackPlusOne: return int64_t(trackPlusOne());
    case FieldKey::Channel: return int64_t(channel());
    case FieldKey::ChannelPlusOne: return int64_t(channelPlusOne());
    case FieldKey::Icon: return icon();
    case FieldKey::ChannelOrIcon: return channelOrIcon();
    case FieldKey::Status: return int64_t(status());
    case FieldKey::Note: return note();
    case FieldKey::Second: return second();
    case FieldKey::Third: return third();
    case FieldKey::Data: return data();
    case FieldKey::NoteOnDuration: return noteOnDuration();
    case FieldKey::NoteOffVelocity: return int64_t(noteOffVelocity());
    case FieldKey::Sysex: {
      if (!event_->isSysex()) return {};
      const Sysex s = sysex();
      return s.manufacturer() + " " + s.type();
    }
    case FieldKey::DataString: return dataString();
    case FieldKey::WholeIndex: return int64_t(wholeIndex());
    case FieldKey::Index: return {};
    case FieldKey::IsDrumPatch: return int64_t(isDrumPatch() ? 1 : 0);
    case FieldKey::Description: return description();
  }
  return {};
}

// ---------------------------------------------------------------- editability

int MidiEventPointer::defaultSizeForMetaEventType(uint8_t type) {
  switch (type) {
    case 0x00: return 2;
    case 0x20:
    case 0x21: return 1;
    case 0x2F: return 0;
    case 0x4B: return -2;
    case 0x51: return 3;
    case 0x54: return 5;
    case 0x58: return 4;
    case 0x59: return 2;
    case 0x7F: return -1;
    default: return type >= 0x01 && type <= 0x09 ? -1 : -3;
  }
}

bool MidiEventPointer::isEditableKey(FieldKey key) const {
  switch (key) {
    case FieldKey::Ticks:
    case FieldKey::Measure:
    case FieldKey::Track:
    case FieldKey::TrackPlusOne:
    case FieldKey::Channel:
    case FieldKey::ChannelPlusOne:
    case FieldKey::ChannelOrIcon:
    case FieldKey::Status:
    case FieldKey::Second:
    case FieldKey::Third:
    case FieldKey::NoteOnDuration:
    case FieldKey::NoteOffVelocity:
    case FieldKey::DataString: break;
    default: return false;  // read-only fields
  }
  const uint8_t status = event_->status();
  switch (status) {
    case 0x80: return false;
    case 0x90:
    case 0xA0:
    case 0xB0: return key != FieldKey::DataString;
    case 0xC0:
    case 0xD0: return key != FieldKey::DataString && key != FieldKey::Third;
    case 0xE0: return key != FieldKey::DataString && key != FieldKey::Second;
    case 0xF0:
      if (key == FieldKey::Third) return sysex().canSetText();
      return key != FieldKey::ChannelOrIcon && key != FieldKey::Second;
    case 0xFF: break;
    default: return false;
  }
  const uint8_t type = event_->second();
  if (type <= 0x09 || type == 0x20 || type == 0x21 || type == 0x4B || type == 0x51 || type == 0x54 ||
      type == 0x58 || type == 0x59)
    return key != FieldKey::ChannelOrIcon && key != FieldKey::DataString;
  if (type == 0x7F) return key == FieldKey::DataString || (key != FieldKey::ChannelOrIcon && isXFChord());
  return false;
}

}  // namespace sw
