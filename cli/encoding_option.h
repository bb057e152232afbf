// The value of an --encoding option.
#pragma once

#include <string>

#include "text/string_encoding.h"

namespace swcli {

// A number (decimal or 0x hex) or a name (display name, ICU or IANA name, case-insensitive).
// kNoEncoding with a message in `error` (when given) for text that names no supported encoding.
sw::StringEncoding parseEncodingOption(const std::string& text, std::string* error);

}  // namespace swcli
