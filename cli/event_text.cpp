#include "event_text.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "smf/event_description.h"
#include "sysex/sysex.h"
#include "text/sysex_codec_factory.h"
#include "text/text_conversion.h"
#include "text/xf_chord.h"

namespace swcli {

namespace {

// Meta types whose payload is text: 01-0F, and the XF-style instrument and lyric texts.
bool isTextMeta(uint8_t type) { return type >= 0x01 && type <= 0x0F; }

std::string checksumText(sw::Sysex::ChecksumState state) {
  switch (state) {
    case sw::Sysex::ChecksumState::Correct: return "checksum correct";
    case sw::Sysex::ChecksumState::Wrong: return "checksum wrong";
    case sw::Sysex::ChecksumState::TooShort: return "too short for a checksum";
    case sw::Sysex::ChecksumState::NotApplicable: break;
  }
  return "";
}

std::string resetText(const sw::MidiEvent& event) {
  const sw::FourCharCode reset = sw::Sysex::resetType(event.data(), event.length());
  if (!reset) return "";
  std::string code = sw::fourCCString(reset);
  while (!code.empty() && code.back() == ' ') code.pop_back();
  return code + " reset";
}

// A Roland GS data set (the sound module's model 42 or its display's model 45, command 12).
bool isGSDataSet(const sw::Sysex& sysex) {
  const std::vector<uint8_t>& data = sysex.data();
  const size_t id = 1 + sysex.VLQLen();
  return sysex.hasID() && sysex.sID() == 0x41 && data.size() > id + 3 && data[id + 1] == 0x10 &&
         (data[id + 2] == 0x42 || data[id + 2] == 0x45) && data[id + 3] == 0x12;
}

// "LABEL = value" for one GS parameter; names are quoted.
std::string gsParameterText(const sw::Sysex& sysex) {
  std::string label = sysex.type();
  while (!label.empty() && label.back() == ' ') label.pop_back();
  if (sysex.text().empty() && !sysex.fields().carriesCharacters) return label;
  std::string value = escapedForLine(sysex.text());
  if (sysex.fields().carriesCharacters) value = "\"" + value + "\"";
  return label.empty() ? value : label + " = " + value;
}

std::string sysexText(const sw::MidiEvent& event, sw::StringEncoding encoding) {
  const sw::Sysex sysex = sw::Sysex::fromEvent(event, sw::sysexTextCodecForEncoding(encoding));
  std::string text;
  auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ", ";
    text += part;
  };
  const bool reset = !resetText(event).empty();
  if (isGSDataSet(sysex) && !reset && !sysex.isMalformed()) {
    add("Roland GS");
    add(gsParameterText(sysex));
  } else {
    add(sysex.manufacturer());
    add(resetText(event));
    if (!reset) add(sysex.type());
    if (auto volume = sw::Sysex::masterVolume(event.data(), event.length()))
      add("master volume " + std::to_string(volume->value));
    if (!reset && !sysex.text().empty()) add("\"" + escapedForLine(sysex.text()) + "\"");
  }
  add(checksumText(sysex.checksumState()));
  if (sysex.isMalformed()) add("malformed");
  const std::string bytes = sw::hexBytes(event.data(), event.length());
  return text.empty() ? bytes : text + ": " + bytes;
}

}  // namespace

std::string escapedForLine(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (unsigned char c : utf8) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string dumpDataText(const sw::MidiEvent& event, sw::StringEncoding encoding) {
  if (event.isSysex()) return sysexText(event, encoding);
  if (event.status() == sw::META_EVENT && isTextMeta(event.second())) {
    const std::string_view bytes(reinterpret_cast<const char*>(event.metaData()), event.metaDataSize());
    std::string utf8;
    sw::convertToUTF8(bytes, encoding, utf8, sw::ConversionMode::Lossy);
    return "\"" + escapedForLine(utf8) + "\"";
  }
  if (event.status() == sw::META_EVENT && event.second() == 0x7F) {
    const std::optional<sw::XFChord> chord = sw::XFChord::fromMetaEvent(event);
    if (chord && chord->isValid())
      return "XF chord " + chord->string() + ": " + sw::hexBytes(event.metaData(), event.metaDataSize());
  }
  return sw::eventDataText(event);
}

std::string dumpDataText(const sw::MidiEventPointer& pointer, sw::StringEncoding encoding) {
  const sw::MidiEvent& event = *pointer.midiEvent();
  if (event.isMeta()) {
    switch (event.second()) {
      case 0x00:
      case 0x4B:
      case sw::meta::kSMPTEOffset:
      case sw::meta::kTimeSignature: {
        const sw::FieldValue third = pointer.third();
        if (!sw::isEmpty(third)) return escapedForLine(sw::fieldText(third));
        break;
      }
      default: break;
    }
  }
  return dumpDataText(event, encoding);
}

}  // namespace swcli
