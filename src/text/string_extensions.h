// Small string helpers: length-prefixed (Pascal) strings in an encoding, and four-character
// codes as text.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/four_char_code.h"
#include "base/status.h"
#include "text/string_encoding.h"

namespace sw {

// A length byte followed by up to 255 bytes.
using PascalString = std::array<uint8_t, 256>;

// The encoding of C strings that name no encoding of their own: UTF-8 here.
StringEncoding defaultCStringEncoding();

// Decodes a length-prefixed string as a C string in the encoding, so it ends at an embedded
// NUL. `pascal` is the buffer that holds it. eofErr when the length byte promises more bytes
// than the buffer holds (or the buffer is empty), kTextUnsupportedEncodingErr when the bytes
// do not convert; `text` is then empty.
OSStatus stringWithPascalString(std::span<const uint8_t> pascal, StringEncoding encoding, std::string& text);
OSStatus stringWithPascalString(std::span<const uint8_t> pascal, std::string& text);

// Converts UTF-8 text (lossy: characters the encoding lacks become '?') into a length-prefixed
// buffer. Text longer than 255 bytes in the encoding gives paramErr, and `pascal` then holds
// the longest prefix of whole characters that fits. kTextUnsupportedEncodingErr for an
// unsupported encoding (`pascal` is then the empty string). Bytes after the text are zero.
OSStatus pascalStringUsingEncoding(std::string_view utf8, StringEncoding encoding, PascalString& pascal);
OSStatus pascalString(std::string_view utf8, PascalString& pascal);

// The four characters of a code, most significant byte first, as UTF-8 (bytes above 0x7F are
// read as Mac OS Roman, control bytes shown as '?'); "" for 0.
std::string stringWithOSType(FourCharCode code);
// The inverse: the first four characters in Mac OS Roman ('?' for others), padded with spaces.
FourCharCode OSTypeValue(std::string_view utf8);

}  // namespace sw
