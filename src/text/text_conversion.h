// Conversion of text between the bytes of an encoding and UTF-8.
//
// Strict conversions fail with kTextUnsupportedEncodingErr (-8738, text cannot be converted)
// when the encoding is not supported or the text does not convert: a broken or truncated
// multi-byte sequence, a byte or character the encoding does not define, invalid UTF-8, a lone
// UTF-16 surrogate. The output is then empty. Lossy conversions replace each such piece (by
// U+FFFD when decoding, by '?' when encoding) and fail only for an unsupported encoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"
#include "text/string_encoding.h"

namespace sw {

enum class ConversionMode { Strict, Lossy };

// Bytes in `encoding` to UTF-8.
OSStatus convertToUTF8(std::string_view bytes, StringEncoding encoding, std::string& utf8,
                       ConversionMode mode = ConversionMode::Strict);
// UTF-8 to bytes in `encoding`.
OSStatus convertFromUTF8(std::string_view utf8, StringEncoding encoding, std::string& bytes,
                         ConversionMode mode = ConversionMode::Strict);

// The shorthands the lyrics code uses. An encoding without a converter here is read as ISO
// Latin 1. decodeBytes is strict (nothing when any byte sequence does not convert);
// encodeText is lossy and gives nothing only when no converter opens at all.
std::optional<std::string> decodeBytes(std::string_view bytes, StringEncoding encoding);
std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding);

// Whether the text is well-formed UTF-8 (no overlong forms, no encoded surrogates).
bool isValidUTF8(std::string_view text);

}  // namespace sw
