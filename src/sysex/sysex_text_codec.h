// Conversion between the bytes of a text carried in a sysex message and UTF-8. Without a
// codec every byte is one ISO Latin 1 character.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sw {

struct SysexTextCodec {
  // Raw bytes to UTF-8.
  std::function<std::string(std::string_view bytes)> decode;
  // UTF-8 to raw bytes; nullopt when the text cannot be represented.
  std::function<std::optional<std::string>(std::string_view utf8)> encode;

  std::string decodeText(std::string_view bytes) const;
  std::optional<std::string> encodeText(std::string_view utf8) const;
};

std::string latin1ToUTF8(std::string_view bytes);
// nullopt for invalid UTF-8 or a character above U+00FF.
std::optional<std::string> utf8ToLatin1(std::string_view utf8);

// The first `count` characters of UTF-8 text (invalid sequences count as one byte each), and
// the number of characters.
std::string utf8Prefix(std::string_view utf8, size_t count);
size_t utf8Length(std::string_view utf8);

}  // namespace sw
