// The browser's preset data for Set meta-event text: the four pattern and replacement pairs,
// as an array of eight strings in the order of metaTextPresetKeys().
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings_store.h"
#include "library/ts_preset_manager.h"

namespace sw {

// The name of the browser's one preset list (its store key is "TSPreset_SetMetaEventText").
inline constexpr std::string_view kMetaTextPresetList = "SetMetaEventText";

// "regExp1", "replaceStr1", ... "regExp4", "replaceStr4".
std::vector<std::string> metaTextPresetKeys();

class MetaTextPresetSource : public TSPresetManagerDataSource {
 public:
  // `refreshPreview` runs after a preset was applied (the sheet recomputes its preview).
  explicit MetaTextPresetSource(SettingsStore& store = SettingsStore::shared(),
                                std::function<void()> refreshPreview = {});

  // The eight strings; an unset key gives "".
  SettingValue getDataForPreset() override;
  // Stores the first eight strings under the eight keys. Nothing for no data, and nothing (with
  // a log line) for data that is not an array of at least eight strings.
  void setDataFromPreset(const std::optional<SettingValue>& data) override;

 private:
  SettingsStore& store_;
  std::function<void()> refreshPreview_;
};

}  // namespace sw
