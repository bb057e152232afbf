// Four-character codes: 32-bit values shown as four characters, first character in the most
// significant byte (file types and creators, karaoke types).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sw {

using FourCharCode = uint32_t;

constexpr FourCharCode fourCC(const char (&s)[5]) {
  return (FourCharCode(uint8_t(s[0])) << 24) | (FourCharCode(uint8_t(s[1])) << 16) |
         (FourCharCode(uint8_t(s[2])) << 8) | FourCharCode(uint8_t(s[3]));
}

// The four characters; bytes outside printable ASCII are shown as '?'. 0 gives "".
std::string fourCCString(FourCharCode code);
// The code of up to four characters (shorter texts are padded with spaces).
FourCharCode fourCCFromString(std::string_view text);

}  // namespace sw
