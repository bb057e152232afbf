// The user defaults the playback code reads, with their factory values for users who never
// set them: "allSoundsOffOnStop" YES; "GMReset", "GSReset", "XGReset" NO; "MIDIDevice" 0.
#pragma once

#include <string_view>

namespace sw {

bool playbackDefaultBool(std::string_view key);

}  // namespace sw
