#include "library/text_musical_defaults.h"

#include <mutex>

namespace sw {

const SettingValue::Dictionary& textAndMusicalDefaults() {
  static const SettingValue::Dictionary defaults{
      {"MIDIChannelOld", 1},
      {"MIDIChannelNew", 1},
      {"targetMetaEvent", 3},
      {"transposeAmount", 0},
      {"transposeChannelMask", 65023},
  };
  return defaults;
}

void registerTextAndMusicalDefaults() {
  static std::once_flag once;
  std::call_once(once, [] { SettingsStore::shared().registerDefaults(textAndMusicalDefaults()); });
}

}  // namespace sw
