#include "editing/field_value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sw {

namespace {

const char* const kKeyNames[] = {
    "ticks",  "beats",  "measure", "frame", "track",          "trackPlusOne",    "channel", "channelPlusOne",
    "icon",   "channelOrIcon", "status", "note", "second", "third", "data", "noteOnDuration", "noteOffVelocity",
    "sysex",  "dataString", "wholeIndex", "index", "isDrumPatch", "description",
};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string fieldText(const FieldValue& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    if (!std::isfinite(*d)) return std::isnan(*d) ? "nan" : (*d < 0 ? "-inf" : "inf");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.3f", *d);
    std::string text = buffer;
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
  }
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* image = std::get_if<ImageName>(&value)) return image->name;
  if (const auto* bytes = std::get_if<std::vector<uint8_t>>(&value)) {
    std::string text;
    char hex[4];
    for (size_t i = 0; i < bytes->size(); ++i) {
      std::snprintf(hex, sizeof hex, "%02X", (*bytes)[i]);
      if (i) text += ' ';
      text += hex;
    }
    return text;
  }
  return "";
}

std::optional<int64_t> fieldInteger(const FieldValue& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.0e18) return std::nullopt;
    return int64_t(*d);
  }
  if (const auto* s = std::get_if<std::string>(&value)) {
    std::string_view text = trimmed(*s);
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    if (at >= text.size()) return std::nullopt;
    int64_t result = 0;
    for (; at < text.size(); ++at) {
      if (!std::isdigit(static_cast<unsigned char>(text[at]))) return std::nullopt;
      if (result > 100000000000000000LL) return std::nullopt;  // far beyond any field
      result = result * 10 + (text[at] - '0');
    }
    return negative ? -result : result;
  }
  return std::nullopt;
}

std::optional<double> fieldDouble(const FieldValue& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return double(*i);
  if (const auto* d = std::get_if<double>(&value)) return *d;
  if (const auto* s = std::get_if<std::string>(&value)) {
    std::string text(trimmed(*s));
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double result = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(result)) return std::nullopt;
    return result;
  }
  return std::nullopt;
}

std::string fieldString(const FieldValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return fieldText(value);
}

const char* fieldKeyName(FieldKey key) { return kKeyNames[int(key)]; }

std::optional<FieldKey> fieldKeyFromName(std::string_view name) {
  for (size_t i = 0; i < std::size(kKeyNames); ++i)
    if (name == kKeyNames[i]) return FieldKey(i);
  return std::nullopt;
}

}  // namespace sw
