// The value of an --encoding option.
#pragma once

#include <optional>
#include <string>

#include "smf/midi_sequence.h"

#include "text/string_encoding.h"

namespace swcli {

// A number (decimal or 0x hex) or a name (display name, ICU or IANA name, case-insensitive).
// kNoEncoding with a message in `error` (when given) for text that names no supported encoding.
sw::StringEncoding parseEncodingOption(const std::string& text, std::string* error);

// The encoding to decode a file's texts in, resolved by the library (file_text_encoding.h):
// the one chosen on the command line, else the saved one, else a confident guess, else the
// default. `source` (when given) receives "option", "attribute", "guess" or "default".
sw::StringEncoding textEncodingForFile(const std::string& path, const sw::MidiSequence& sequence,
                                       std::optional<sw::StringEncoding> chosen, std::string* source = nullptr);

}  // namespace swcli
