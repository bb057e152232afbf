// The data column of the dump: event texts decoded in a chosen encoding, and sysex messages
// decoded (manufacturer, kind, reset, checksum, carried text) before their bytes.
#pragma once

#include <string>

#include "smf/midi_event.h"
#include "text/string_encoding.h"

namespace swcli {

std::string dumpDataText(const sw::MidiEvent& event, sw::StringEncoding encoding);

// UTF-8 text with line breaks, tabs and other control characters escaped for one line.
std::string escapedForLine(const std::string& utf8);

}  // namespace swcli
