#include "sysex/sysex_text_codec.h"

#include <cstdint>

namespace sw {

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not valid there.
size_t sequenceLength(std::string_view text, size_t i, uint32_t* codePoint) {
  auto b = uint8_t(text[i]);
  size_t length;
  uint32_t value;
  if (b < 0x80) {
    *codePoint = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    length = 2, value = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    length = 3, value = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    length = 4, value = b & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    auto c = uint8_t(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kMinimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

size_t stepLength(std::string_view text, size_t i) {
  uint32_t ignored;
  size_t n = sequenceLength(text, i, &ignored);
  return n ? n : 1;
}

}  // namespace

std::string SysexTextCodec::decodeText(std::string_view bytes) const {
  return decode ? decode(bytes) : latin1ToUTF8(bytes);
}

std::optional<std::string> SysexTextCodec::encodeText(std::string_view utf8) const {
  return encode ? encode(utf8) : utf8ToLatin1(utf8);
}

std::string latin1ToUTF8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = uint8_t(c);
    if (b < 0x80) {
      out.push_back(char(b));
    } else {
      out.push_back(char(0xC0 | (b >> 6)));
      out.push_back(char(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    uint32_t codePoint = 0;
    size_t n = sequenceLength(utf8, i, &codePoint);
    if (n == 0 || codePoint > 0xFF) return std::nullopt;
    out.push_back(char(codePoint));
    i += n;
  }
  return out;
}

std::string utf8Prefix(std::string_view utf8, size_t count) {
  size_t i = 0;
  for (size_t n = 0; n < count && i < utf8.size(); ++n) i += stepLength(utf8, i);
  return std::string(utf8.substr(0, i));
}

size_t utf8Length(std::string_view utf8) {
  size_t n = 0;
  for (size_t i = 0; i < utf8.size(); ++n) i += stepLength(utf8, i);
  return n;
}

}  // namespace sw
