// The selection of a segmented control kept in the store as the array of the selected
// segments' tags, in segment order (the editor's filter buttons use it).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "base/settings_store.h"

namespace sw {

OSStatus saveSegmentState(std::string_view key, const std::vector<int>& selectedTags,
                          SettingsStore& store = SettingsStore::shared());
// The saved tags; none when the key holds no array (the control is then left as it is).
// Elements that are not numbers are skipped.
std::optional<std::vector<int>> loadSegmentState(std::string_view key,
                                                 const SettingsStore& store = SettingsStore::shared());

}  // namespace sw
