// Options shared by play and render: channel lists, transposition, start positions, and the
// log lines of the playback library that a user should see.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "smf/midi_sequence.h"

namespace swcli {

// "10", "1,2,10-12": channels 1-16 as a mask with bit n for channel n+1.
std::optional<uint16_t> parseChannelList(const std::string& text);
// Semitones, -48..48.
std::optional<int> parseTranspose(const std::string& text);
// MEASURE:BEAT:TICK in the file's own signatures; the tick.
std::optional<uint32_t> parsePosition(const sw::MidiSequence& sequence, const std::string& text);
// A SoundFont named by its path, or by its own name or file name among the banks in the
// sound-font folders; the text itself when nothing matches.
std::string resolveBankPath(const std::string& text);
// Sends the playback library's diagnostics to stderr only when they concern the user
// (no audio output, no sequencer, no SoundFont), or all of them with `verbose`.
void installPlaybackLog(bool verbose);

}  // namespace swcli
