// The data column of the dump: event texts decoded in a chosen encoding, and sysex messages
// decoded (manufacturer, kind, reset, checksum, carried text) before their bytes.
#pragma once

#include <string>

#include "editing/midi_event_pointer.h"
#include "smf/midi_event.h"
#include "text/string_encoding.h"

namespace swcli {

std::string dumpDataText(const sw::MidiEvent& event, sw::StringEncoding encoding);
// The same, with the editor's texts where they say more: the sequence number as a number,
// the tag event's kind and text, the SMPTE offset with its frame rate, the time signature
// with its click and clock values.
std::string dumpDataText(const sw::MidiEventPointer& pointer, sw::StringEncoding encoding);

// UTF-8 text with line breaks, tabs and other control characters escaped for one line.
std::string escapedForLine(const std::string& utf8);

}  // namespace swcli
