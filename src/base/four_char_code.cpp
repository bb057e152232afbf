#include "base/four_char_code.h"

namespace sw {

std::string fourCCString(FourCharCode code) {
  if (code == 0) return {};
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) {
    char c = char((code >> (24 - 8 * i)) & 0xFF);
    text[i] = (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

FourCharCode fourCCFromString(std::string_view text) {
  FourCharCode code = 0;
  for (size_t i = 0; i < 4; ++i) code = (code << 8) | (i < text.size() ? uint8_t(text[i]) : uint8_t(' '));
  return code;
}

}  // namespace sw
