// Conversion between the bytes of a MIDI file and UTF-8 text, through ICU. An encoding without
// a converter here is treated as ISO Latin 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/string_encoding.h"

namespace sw {

// The bytes decoded to UTF-8; nothing when any byte sequence is invalid or incomplete in the
// encoding. Empty bytes give the empty string.
std::optional<std::string> decodeBytes(std::string_view bytes, StringEncoding encoding);

// The text in the encoding, lossy: ill-formed UTF-8 is read as U+FFFD and characters the
// encoding lacks become its substitution character ("?" where the converter allows it).
// Nothing only when no converter can be opened at all.
std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding);

}  // namespace sw
