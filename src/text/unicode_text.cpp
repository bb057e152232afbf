#include "text/unicode_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <climits>

namespace sw {

namespace {

// Walks the code points of a text; an ill-formed sequence comes back as a negative value.
template <typename F>
void forEachCodePoint(std::string_view text, F&& f) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    // U8_NEXT takes a 32-bit length; walk longer texts in windows that end on a character.
    int32_t length = int32_t(std::min<size_t>(text.size() - i, INT32_MAX));
    int32_t offset = 0;
    UChar32 c;
    U8_NEXT(s + i, offset, length, c);
    i += size_t(offset);
    f(c, text.substr(start, i - start));
  }
}

}  // namespace

std::string validUTF8(std::string_view text) {
  bool valid = true;
  forEachCodePoint(text, [&](UChar32 c, std::string_view) { valid = valid && c >= 0; });
  if (valid) return std::string(text);
  std::string result;
  result.reserve(text.size() + 8);
  forEachCodePoint(text, [&](UChar32 c, std::string_view bytes) {
    if (c >= 0) result.append(bytes);
    else result.append("\xEF\xBF\xBD");
  });
  return result;
}

size_t utf16Length(std::string_view text) {
  size_t units = 0;
  forEachCodePoint(text, [&](UChar32 c, std::string_view) { units += c > 0xFFFF ? 2 : 1; });
  return units;
}

size_t newlineLengthAt(std::string_view text, size_t i) {
  if (i >= text.size()) return 0;
  switch (uint8_t(text[i])) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D: return 1;
    case 0xC2: return i + 1 < text.size() && uint8_t(text[i + 1]) == 0x85 ? 2 : 0;
    case 0xE2:
      return i + 2 < text.size() && uint8_t(text[i + 1]) == 0x80 &&
                     (uint8_t(text[i + 2]) == 0xA8 || uint8_t(text[i + 2]) == 0xA9)
                 ? 3
                 : 0;
    default: return 0;
  }
}

size_t trailingNewlineLength(std::string_view text) {
  for (size_t length = 1; length <= 3 && length <= text.size(); ++length)
    if (newlineLengthAt(text, text.size() - length) == length) return length;
  return 0;
}

std::vector<std::string> splitAtNewlines(std::string_view text) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size();) {
    size_t n = newlineLengthAt(text, i);
    if (n == 0) {
      ++i;
      continue;
    }
    pieces.emplace_back(text.substr(start, i - start));
    i += n;
    start = i;
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

std::string removingNewlines(std::string_view text) {
  std::string result;
  for (const std::string& piece : splitAtNewlines(text)) result += piece;
  return result;
}

std::string removingWhitespace(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  forEachCodePoint(text, [&](UChar32 c, std::string_view bytes) {
    if (c < 0 || !u_isUWhiteSpace(c)) result.append(bytes);
  });
  return result;
}

}  // namespace sw
