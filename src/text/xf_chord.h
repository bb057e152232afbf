// The XF chord meta event: FF 7F 07 43 7B 01 followed by four control bytes (root, type,
// bass, bass type), converted from and to chord names such as "F#7th/A".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "smf/midi_event.h"

namespace sw {

// Root and bass bytes: accidental 0-6 ("bbb" to "###") in the high nibble, letter 1-7 (C to
// B) in the low one. Type bytes index the XF type table (0-34). 127 marks "no bass".
struct XFChordControl {
  static constexpr uint8_t kNone = 127;
  uint8_t root = 0;
  uint8_t type = 0;
  uint8_t bass = kNone;
  uint8_t bassType = kNone;

  std::array<uint8_t, 4> bytes() const { return {root, type, bass, bassType}; }
  bool operator==(const XFChordControl&) const = default;
};

class XFChord {
 public:
  static constexpr size_t kTypeCount = 35;  // including "cc"

  // The chord of a text; never fails (see processString).
  explicit XFChord(std::string_view text);
  explicit XFChord(const XFChordControl& control);
  // Nothing unless the event is the XF chord meta event.
  static std::optional<XFChord> fromMetaEvent(const MidiEvent& event);

  // The chord name, or the message that tells why the control bytes are invalid.
  const std::string& string() const { return string_; }
  // The whole meta event: FF 7F 07 43 7B 01 and the four control bytes.
  const std::vector<uint8_t>& data() const { return data_; }
  const XFChordControl& control() const { return control_; }
  // False when string() is a validation message.
  bool isValid() const { return valid_; }
  MidiEvent metaEvent(uint8_t track, uint32_t ticks) const;

  // Text to control bytes: an unknown letter counts as C, an unknown type as major.
  static XFChordControl processString(std::string_view text);
  // Control bytes to text, or the first validation message that applies.
  static std::string processCC(const XFChordControl& control, bool* valid = nullptr);

  // The names offered to the user: "Maj" and types 1 to 33 (34 names; "cc" is left out).
  static const std::vector<std::string>& types();
  // The name of a type index as it is spelled in a chord ("" for major), nullptr above 34.
  static const char* typeName(uint8_t type);
  // The index of a spelled type name (1-34), or 0 when it is none of them.
  static uint8_t typeIndex(std::string_view name);

 private:
  void assign(const XFChordControl& control);

  XFChordControl control_;
  std::string string_;
  std::vector<uint8_t> data_;
  bool valid_ = false;
};

}  // namespace sw
