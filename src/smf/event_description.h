// Readable texts for events: kind names, note names, controller names and data summaries,
// used where events are listed for people (the command line's dump, logs).
#pragma once

#include <cstdint>
#include <string>

#include "smf/midi_event.h"

namespace sw {

// "C4" for key 60 (middle C is C4), sharps for black keys: "C#4".
std::string noteName(uint8_t key);
// "Volume", "Sustain Pedal", ... ; "Controller 3" where the number has no name.
std::string controllerName(uint8_t controller);
// "Text", "Lyric", "Tempo", ... ; "Meta 0x12" for unknown types.
std::string metaTypeName(uint8_t type);
// "Note On", "Control Change", "Meta Lyric", "SysEx", ...
std::string eventKindName(const MidiEvent& event);
// A summary of the event's data: "C4 (60) velocity 100 duration 480", "Volume (7) = 100",
// "\"Words\"", "120.00 BPM", "4/4 24 8", "F0 7E 7F 09 01 F7". Texts are shown as they
// are stored, bytes above 0x7F read as ISO Latin 1.
std::string eventDataText(const MidiEvent& event);
// Hex bytes separated by spaces, at most `limit` bytes followed by "…" when longer.
std::string hexBytes(const uint8_t* bytes, size_t length, size_t limit = 64);
// Bytes read as ISO Latin 1, converted to UTF-8, with control characters escaped.
std::string latin1ToUTF8(const uint8_t* bytes, size_t length);

}  // namespace sw
