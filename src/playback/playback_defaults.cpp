#include "playback/playback_defaults.h"

#include "base/settings_store.h"

namespace sw {

bool playbackDefaultBool(std::string_view key) {
  if (auto value = SettingsStore::shared().objectForKey(key)) return value->boolValue();
  return key == "allSoundsOffOnStop";
}

}  // namespace sw
