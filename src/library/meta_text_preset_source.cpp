#include "library/meta_text_preset_source.h"

#include "base/log.h"

namespace sw {

std::vector<std::string> metaTextPresetKeys() {
  std::vector<std::string> keys;
  for (int i = 1; i <= 4; ++i) {
    keys.push_back("regExp" + std::to_string(i));
    keys.push_back("replaceStr" + std::to_string(i));
  }
  return keys;
}

MetaTextPresetSource::MetaTextPresetSource(SettingsStore& store, std::function<void()> refreshPreview)
    : store_(store), refreshPreview_(std::move(refreshPreview)) {}

SettingValue MetaTextPresetSource::getDataForPreset() {
  SettingValue::Array strings;
  for (const std::string& key : metaTextPresetKeys()) strings.emplace_back(store_.stringForKey(key));
  return SettingValue(std::move(strings));
}

void MetaTextPresetSource::setDataFromPreset(const std::optional<SettingValue>& data) {
  if (!data) return;
  auto assignments = data->isArray() ? presetAssignments(kMetaTextPresetList, *data) : std::nullopt;
  if (!assignments) {
    logMessage("Set meta-event text preset holds damaged data; ignored");
    return;
  }
  for (auto& [key, value] : *assignments) store_.setObject(key, value);
  if (refreshPreview_) refreshPreview_();
}

}  // namespace sw
