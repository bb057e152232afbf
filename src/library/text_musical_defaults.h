// Factory values of the settings read by the lyrics, text, channel, transpose and track batch
// commands. Keys without a factory value read as 0 or the empty string until the user sets
// them: "extractLyricsFormat", "selectedEncoding", "targetMetaEventSource",
// "targetMetaEventString", "regExp1" ... "regExp4", "replaceStr1" ... "replaceStr4",
// "enableChannel10Transpose", "nameOfTrackToRemove".
#pragma once

#include "base/settings_store.h"

namespace sw {

// "MIDIChannelOld" 1, "MIDIChannelNew" 1, "targetMetaEvent" 3, "transposeAmount" 0,
// "transposeChannelMask" 65023 (every channel but 10).
const SettingValue::Dictionary& textAndMusicalDefaults();

// Registers them in the shared store; later calls do nothing.
void registerTextAndMusicalDefaults();

}  // namespace sw
