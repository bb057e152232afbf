// Small helpers on UTF-8 text used by the lyrics classes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sw {

// The text with every ill-formed UTF-8 sequence (including encoded surrogates) replaced by U+FFFD.
std::string validUTF8(std::string_view text);

// The number of UTF-16 code units the text takes; an ill-formed sequence counts as one.
size_t utf16Length(std::string_view text);

// The byte length of the newline character at position i (LF, VT, FF, CR, U+0085, U+2028,
// U+2029), or 0 when there is none.
size_t newlineLengthAt(std::string_view text, size_t i);

// The byte length of the newline character that ends the text, or 0.
size_t trailingNewlineLength(std::string_view text);

// The pieces between newline characters; n breaks give n + 1 pieces.
std::vector<std::string> splitAtNewlines(std::string_view text);

// The text without its newline characters.
std::string removingNewlines(std::string_view text);

// The text without its white-space characters (Unicode White_Space).
std::string removingWhitespace(std::string_view text);

}  // namespace sw
