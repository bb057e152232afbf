#include "library/segment_state.h"

#include <algorithm>
#include <cstdint>

namespace sw {

OSStatus saveSegmentState(std::string_view key, const std::vector<int>& selectedTags, SettingsStore& store) {
  SettingValue::Array tags(selectedTags.begin(), selectedTags.end());
  return store.setObject(key, std::move(tags));
}

std::optional<std::vector<int>> loadSegmentState(std::string_view key, const SettingsStore& store) {
  auto value = store.objectForKey(key);
  if (!value || !value->isArray()) return std::nullopt;
  std::vector<int> tags;
  for (const SettingValue& item : value->arrayValue())
    if (item.isInteger() || item.isReal()) tags.push_back(int(std::clamp<int64_t>(item.integerValue(), INT32_MIN, INT32_MAX)));
  return tags;
}

}  // namespace sw
