#include "smf/event_description.h"

#include <cstdio>

#include "base/string_format.h"

namespace sw {

namespace {

const char* const kControllerNames[128] = {
    "Bank Select", "Modulation", "Breath Controller", nullptr, "Foot Controller", "Portamento Time",
    "Data Entry", "Volume", "Balance", nullptr, "Pan", "Expression", "Effect Control 1", "Effect Control 2",
    nullptr, nullptr, "General Purpose 1", "General Purpose 2", "General Purpose 3", "General Purpose 4",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Bank Select LSB", "Modulation LSB", "Breath Controller LSB", nullptr, "Foot Controller LSB",
    "Portamento Time LSB", "Data Entry LSB", "Volume LSB", "Balance LSB", nullptr, "Pan LSB", "Expression LSB",
    "Effect Control 1 LSB", "Effect Control 2 LSB", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Sustain Pedal", "Portamento", "Sostenuto", "Soft Pedal", "Legato Footswitch", "Hold 2",
    "Sound Variation", "Timbre/Harmonic Intensity", "Release Time", "Attack Time", "Brightness",
    "Decay Time", "Vibrato Rate", "Vibrato Depth", "Vibrato Delay", "Sound Controller 10",
    "General Purpose 5", "General Purpose 6", "General Purpose 7", "General Purpose 8", "Portamento Control",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "Reverb Send", "Tremolo Depth", "Chorus Send",
    "Celeste/Variation Depth", "Phaser Depth", "Data Increment", "Data Decrement", "NRPN LSB", "NRPN MSB",
    "RPN LSB", "RPN MSB", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "All Sound Off",
    "Reset All Controllers", "Local Control", "All Notes Off", "Omni Off", "Omni On", "Mono On", "Poly On"};

const char* const kMajorKeys[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C",
                                    "G",  "D",  "A",  "E",  "B",  "F#", "C#"};
const char* const kMinorKeys[15] = {"Ab", "Eb", "Bb", "F", "C", "G", "D", "A",
                                    "E",  "B",  "F#", "C#", "G#", "D#", "A#"};

}  // namespace

std::string noteName(uint8_t key) {
  static const char* const names[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  // Middle C (60) is C3, as the editor and typed values name it.
  return names[key % 12] + std::to_string(int(key / 12) - 2);
}

std::string controllerName(uint8_t controller) {
  if (controller < 128 && kControllerNames[controller]) return kControllerNames[controller];
  return "Controller " + std::to_string(controller);
}

std::string metaTypeName(uint8_t type) {
  switch (type) {
    case 0x00: return "Sequence Number";
    case 0x01: return "Text";
    case 0x02: return "Copyright";
    case 0x03: return "Track Name";
    case 0x04: return "Instrument Name";
    case 0x05: return "Lyric";
    case 0x06: return "Marker";
    case 0x07: return "Cue Point";
    case 0x08: return "Program Name";
    case 0x09: return "Device Name";
    case 0x20: return "Channel Prefix";
    case 0x21: return "Port";
    case 0x2F: return "End of Track";
    case 0x51: return "Tempo";
    case 0x54: return "SMPTE Offset";
    case 0x58: return "Time Signature";
    case 0x59: return "Key Signature";
    case 0x7F: return "Sequencer Specific";
    default: return format("Meta 0x%02X", type);
  }
}

std::string eventKindName(const MidiEvent& event) {
  switch (event.status()) {
    case 0x80: return "Note Off";
    case 0x90: return "Note On";
    case 0xA0: return "Poly Pressure";
    case 0xB0: return "Control Change";
    case 0xC0: return "Program Change";
    case 0xD0: return "Channel Pressure";
    case 0xE0: return "Pitch Bend";
    case 0xF0: return "SysEx";
    case 0xF7: return "SysEx Escape";
    case 0xFF: return event.length() > 1 ? "Meta " + metaTypeName(event.second()) : std::string("Meta");
    case 0xF3: return "Song Select";
    case 0xF6: return "Tune Request";
    case 0xFA: return "Start";
    case 0xFB: return "Continue";
    case 0xFC: return "Stop";
    case 0xFE: return "Active Sensing";
    default: return format("Status 0x%02X", event.status());
  }
}

std::string hexBytes(const uint8_t* bytes, size_t length, size_t limit) {
  std::string text;
  for (size_t i = 0; i < length && i < limit; ++i) {
    if (i) text += ' ';
    text += format("%02X", bytes[i]);
  }
  if (length > limit) text += " …";
  return text;
}

std::string latin1ToUTF8(const uint8_t* bytes, size_t length) {
  std::string text;
  text.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint8_t c = bytes[i];
    if (c == '\n') text += "\\n";
    else if (c == '\r') text += "\\r";
    else if (c == '\t') text += "\\t";
    else if (c < 0x20 || c == 0x7F) text += format("\\x%02X", c);
    else if (c < 0x80) text += char(c);
    else {
      text += char(0xC0 | (c >> 6));
      text += char(0x80 | (c & 0x3F));
    }
  }
  return text;
}

std::string eventDataText(const MidiEvent& event) {
  const uint8_t* d = event.data();
  switch (event.status()) {
    case 0x90:
      return format("%s (%d) velocity %d duration %u off velocity %d", noteName(event.second()).c_str(),
                    event.second(), event.third(), event.duration(), event.offVelocity());
    case 0x80:
      return format("%s (%d) velocity %d", noteName(event.second()).c_str(), event.second(), event.third());
    case 0xA0:
      return format("%s (%d) pressure %d", noteName(event.second()).c_str(), event.second(), event.third());
    case 0xB0:
      return format("%s (%d) = %d", controllerName(event.second()).c_str(), event.second(), event.third());
    case 0xC0: return format("program %d", event.second() + 1);
    case 0xD0: return format("pressure %d", event.second());
    case 0xE0: return format("%d", int(event.second() | (event.third() << 7)) - 8192);
    case 0xF0:
    case 0xF7: return hexBytes(d, event.length());
    case 0xFF: break;
    default: return hexBytes(d, event.length());
  }
  uint32_t size = event.metaDataSize();
  const uint8_t* p = event.metaData();
  switch (event.second()) {
    case meta::kTempo:
      if (size >= 3) {
        uint32_t q = (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
        return q ? format("%.2f BPM (%u µs per quarter)", 60000000.0 / q, q) : std::string("0 µs per quarter");
      }
      break;
    case meta::kTimeSignature:
      if (size >= 4) return format("%d/%d %d %d", p[0], p[1] < 8 ? 1 << p[1] : 0, p[2], p[3]);
      break;
    case meta::kKeySignature:
      if (size >= 2) {
        int sf = int8_t(p[0]);
        if (sf >= -7 && sf <= 7) return format("%s %s", (p[1] ? kMinorKeys : kMajorKeys)[sf + 7], p[1] ? "minor" : "major");
      }
      break;
    case meta::kSMPTEOffset:
      if (size >= 5) return format("%02d:%02d:%02d:%02d.%02d", p[0] & 31, p[1], p[2], p[3], p[4]);
      break;
    case meta::kChannelPrefix:
      if (size >= 1) return format("channel %d", p[0] + 1);
      break;
    case meta::kPort:
      if (size >= 1) return format("port %d", p[0]);
      break;
    case meta::kEndOfTrack: return "";
    case meta::kSequencerSpecific: return hexBytes(p, size);
    default:
      if (event.second() >= 0x01 && event.second() <= 0x0F) return "\"" + latin1ToUTF8(p, size) + "\"";
      break;
  }
  return hexBytes(p, size);
}

}  // namespace sw
