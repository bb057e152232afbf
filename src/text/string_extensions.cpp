#include "text/string_extensions.h"

#include <algorithm>
#include <cstring>

#include "text/text_conversion.h"

namespace sw {

namespace {

// Length of the longest prefix of `utf8`, at most `limit` bytes, that ends between characters.
size_t characterBoundaryAtOrBefore(std::string_view utf8, size_t limit) {
  if (utf8.size() <= limit) return utf8.size();
  size_t end = limit;
  while (end > 0 && (uint8_t(utf8[end]) & 0xC0) == 0x80) --end;
  return end;
}

}  // namespace

StringEncoding defaultCStringEncoding() { return kUTF8StringEncoding; }

OSStatus stringWithPascalString(std::span<const uint8_t> pascal, StringEncoding encoding, std::string& text) {
  text.clear();
  if (pascal.empty()) return eofErr;
  size_t length = pascal[0];
  if (length > pascal.size() - 1) return eofErr;
  const uint8_t* bytes = pascal.data() + 1;
  size_t end = 0;
  while (end < length && bytes[end] != 0) ++end;
  // A UTF-16 or UTF-32 string holds NUL bytes inside its characters; it ends at a NUL unit.
  if (!is8BitEncoding(encoding)) end = length;
  return convertToUTF8(std::string_view(reinterpret_cast<const char*>(bytes), end), encoding, text);
}

OSStatus stringWithPascalString(std::span<const uint8_t> pascal, std::string& text) {
  return stringWithPascalString(pascal, defaultCStringEncoding(), text);
}

OSStatus pascalStringUsingEncoding(std::string_view utf8, StringEncoding encoding, PascalString& pascal) {
  pascal.fill(0);
  std::string bytes;
  OSStatus status = convertFromUTF8(utf8, encoding, bytes, ConversionMode::Lossy);
  if (status != noErr) return status;
  if (bytes.size() <= 255) {
    pascal[0] = uint8_t(bytes.size());
    std::memcpy(pascal.data() + 1, bytes.data(), bytes.size());
    return noErr;
  }
  // Too long: keep whole characters only. Cutting the text and converting again never splits
  // a multi-byte sequence of the encoding; each step removes at least one character.
  std::string_view prefix = utf8.substr(0, characterBoundaryAtOrBefore(utf8, 255 * 4));
  for (;;) {
    status = convertFromUTF8(prefix, encoding, bytes, ConversionMode::Lossy);
    if (status != noErr) return status;
    if (bytes.size() <= 255) break;
    // Drop roughly the excess, at least one character.
    size_t excess = bytes.size() - 255;
    size_t cut = prefix.size() > excess ? prefix.size() - excess : 0;
    prefix = prefix.substr(0, characterBoundaryAtOrBefore(prefix, cut));
  }
  pascal[0] = uint8_t(bytes.size());
  std::memcpy(pascal.data() + 1, bytes.data(), bytes.size());
  return paramErr;
}

OSStatus pascalString(std::string_view utf8, PascalString& pascal) {
  return pascalStringUsingEncoding(utf8, defaultCStringEncoding(), pascal);
}

std::string stringWithOSType(FourCharCode code) {
  if (code == 0) return {};
  std::string result;
  for (int shift = 24; shift >= 0; shift -= 8) {
    auto byte = uint8_t(code >> shift);
    if (byte < 0x20 || byte == 0x7F) {
      result.push_back('?');
    } else if (byte < 0x80) {
      result.push_back(char(byte));
    } else {
      std::string character;
      if (convertToUTF8(std::string_view(reinterpret_cast<const char*>(&byte), 1), kMacOSRomanStringEncoding,
                        character) != noErr)
        character = "?";
      result += character;
    }
  }
  return result;
}

FourCharCode OSTypeValue(std::string_view utf8) {
  // Four characters are at most 16 bytes of UTF-8.
  std::string_view head = utf8.substr(0, characterBoundaryAtOrBefore(utf8, 16));
  std::string bytes;
  if (convertFromUTF8(head, kMacOSRomanStringEncoding, bytes, ConversionMode::Lossy) != noErr) bytes.clear();
  bytes.resize(4, ' ');
  return (FourCharCode(uint8_t(bytes[0])) << 24) | (FourCharCode(uint8_t(bytes[1])) << 16) |
         (FourCharCode(uint8_t(bytes[2])) << 8) | FourCharCode(uint8_t(bytes[3]));
}

}  // namespace sw
