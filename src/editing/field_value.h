// The value of one field of an event as the editor shows and receives it: nothing (an empty
// cell), an integer, a floating-point number, a text, an image name or raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sw {

struct ImageName {
  std::string name;  // "SymbolM", "SymbolS"
  bool operator==(const ImageName&) const = default;
};

using FieldValue = std::variant<std::monostate, int64_t, double, std::string, ImageName, std::vector<uint8_t>>;

inline bool isEmpty(const FieldValue& value) { return std::holds_alternative<std::monostate>(value); }
inline bool isNumber(const FieldValue& value) {
  return std::holds_alternative<int64_t>(value) || std::holds_alternative<double>(value);
}

// Display text: integers in decimal, floating-point numbers with up to three decimals and no
// trailing zeros, bytes as upper-case hex pairs, image names as they are, nothing as "".
std::string fieldText(const FieldValue& value);
// An integer from a number (truncated) or from a text that is one whole decimal number with
// optional sign and surrounding white space; nothing otherwise.
std::optional<int64_t> fieldInteger(const FieldValue& value);
// A floating-point number from a number or a decimal text; nothing otherwise.
std::optional<double> fieldDouble(const FieldValue& value);
// The text of a text value, or fieldText of any other.
std::string fieldString(const FieldValue& value);

// The fields of an event, by the keys the editor's columns use.
enum class FieldKey {
  Ticks, Beats, Measure, Frame, Track, TrackPlusOne, Channel, ChannelPlusOne, Icon, ChannelOrIcon,
  Status, Note, Second, Third, Data, NoteOnDuration, NoteOffVelocity, Sysex, DataString, WholeIndex,
  Index, IsDrumPatch, Description,
};

// "ticks", "trackPlusOne", "dataString", ...
const char* fieldKeyName(FieldKey key);
std::optional<FieldKey> fieldKeyFromName(std::string_view name);

}  // namespace sw
