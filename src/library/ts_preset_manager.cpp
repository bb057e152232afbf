#include "library/ts_preset_manager.h"

#include <algorithm>
#include <stdexcept>

#include "base/log.h"
#include "library/factory_defaults.h"
#include "library/meta_text_preset_source.h"

namespace sw {

namespace {

std::string storeKeyOf(std::string_view listName) { return std::string(kPresetKeyPrefix) + std::string(listName); }

// The presets stored under the key; damaged records are left out and logged.
std::vector<Preset> readPresets(const SettingsStore& store, const std::string& key) {
  std::vector<Preset> presets;
  auto stored = store.objectForKey(key);
  if (!stored) return presets;
  if (!stored->isArray()) {
    logMessage("Presets under " + key + " are not a list; ignored");
    return presets;
  }
  size_t index = 0;
  for (const SettingValue& record : stored->arrayValue()) {
    const auto& fields = record.dictionaryValue();
    auto name = fields.find("name");
    auto data = fields.find("data");
    if (!record.isDictionary() || name == fields.end() || !name->second.isString() || data == fields.end()) {
      logMessage("Preset " + std::to_string(index) + " under " + key + " is damaged; ignored");
    } else {
      presets.push_back({name->second.stringValue(), data->second});
    }
    ++index;
  }
  return presets;
}

OSStatus writePresetList(SettingsStore& store, const std::string& key, const std::vector<Preset>& presets) {
  SettingValue::Array records;
  records.reserve(presets.size());
  for (const Preset& preset : presets)
    records.push_back(SettingValue::Dictionary{{"name", SettingValue(preset.name)}, {"data", preset.data}});
  return store.setObject(key, std::move(records));
}

void postListChanged(NotificationCenter& center) { center.post(std::string(kPresetsListChangedNotification)); }

}  // namespace

// ---- TSPresetManager -----------------------------------------------------------------------

TSPresetManager::TSPresetManager(SettingsStore& store, NotificationCenter& center) : store_(store), center_(center) {}

void TSPresetManager::loadPresetsWithKey(std::string_view listName) {
  if (listName.empty()) throw std::invalid_argument("presetsKey cannot be an empty string");
  presetsKey_ = storeKeyOf(listName);
  presets_ = readPresets(store_, presetsKey_);
  presetIndex_ = -1;
}

std::optional<SettingValue> TSPresetManager::presetData() const {
  if (presetIndex_ < 0 || size_t(presetIndex_) >= presets_.size()) return std::nullopt;
  return presets_[size_t(presetIndex_)].data;
}

void TSPresetManager::choosePreset(int tag) {
  presetIndex_ = tag >= 0 && size_t(tag) < presets_.size() ? tag : -1;
  if (dataSource_) dataSource_->setDataFromPreset(presetData());
}

bool TSPresetManager::hasDataSource() const {
  if (dataSource_) return true;
  logMessage("TSPresetManager dataSource is required and must implement TSPresetManagerDataSource protocol");
  return false;
}

OSStatus TSPresetManager::writePresets() {
  if (presetsKey_.empty()) return paramErr;
  return writePresetList(store_, presetsKey_, presets_);
}

OSStatus TSPresetManager::savePreset() {
  if (!hasDataSource()) return paramErr;
  if (presetIndex_ < 0 || size_t(presetIndex_) >= presets_.size()) return paramErr;
  presets_[size_t(presetIndex_)].data = dataSource_->getDataForPreset();
  return writePresets();
}

OSStatus TSPresetManager::addPreset(std::string name) {
  if (!hasDataSource()) return paramErr;
  if (presetsKey_.empty()) return paramErr;
  presets_.push_back({std::move(name), dataSource_->getDataForPreset()});
  presetIndex_ = int(presets_.size()) - 1;
  postListChanged(center_);
  return writePresets();
}

OSStatus TSPresetManager::renamePreset(std::string name) {
  if (presetIndex_ < 0 || size_t(presetIndex_) >= presets_.size()) return paramErr;
  presets_[size_t(presetIndex_)].name = std::move(name);
  postListChanged(center_);
  return writePresets();
}

OSStatus TSPresetManager::deletePreset() {
  if (presetIndex_ < 0 || size_t(presetIndex_) >= presets_.size()) return paramErr;
  presets_.erase(presets_.begin() + presetIndex_);
  presetIndex_ = -1;
  postListChanged(center_);
  return writePresets();
}

bool TSPresetManager::hasPresetNamed(std::string_view name) const {
  for (const Preset& preset : presets_)
    if (preset.name == name) return true;
  return false;
}

std::string TSPresetManager::uniqueName() const {
  if (!hasPresetNamed("Untitled")) return "Untitled";
  // At most presets_.size() names are taken, so this ends within that many tries.
  for (size_t n = 1;; ++n) {
    std::string name = "Untitled " + std::to_string(n);
    if (!hasPresetNamed(name)) return name;
  }
}

bool TSPresetManager::validateCommand(Command command) const {
  switch (command) {
    case Command::SavePreset:
    case Command::RenamePreset:
    case Command::DeletePreset: return presetIndex_ >= 0;
    default: return true;
  }
}

// ---- presets of keys -----------------------------------------------------------------------

std::vector<std::string> presetKeysOfList(std::string_view listName) {
  if (listName == kMetaTextPresetList) return metaTextPresetKeys();
  return {};
}

std::optional<std::vector<std::pair<std::string, SettingValue>>> presetAssignments(std::string_view listName,
                                                                                  const SettingValue& data) {
  std::vector<std::pair<std::string, SettingValue>> assignments;
  if (data.isDictionary()) {
    for (const auto& [key, value] : data.dictionaryValue()) assignments.emplace_back(key, value);
    return assignments;
  }
  std::vector<std::string> keys = presetKeysOfList(listName);
  if (keys.empty() || !data.isArray() || data.arrayValue().size() < keys.size()) return std::nullopt;
  for (size_t i = 0; i < keys.size(); ++i) {
    const SettingValue& value = data.arrayValue()[i];
    if (!value.isString()) return std::nullopt;
    assignments.emplace_back(keys[i], value);
  }
  return assignments;
}

OSStatus savePresetOfKeys(std::string_view listName, std::string_view name, const std::vector<std::string>& keys,
                          SettingsStore& store, NotificationCenter& center) {
  if (listName.empty() || name.empty()) return paramErr;
  std::vector<std::string> fixedKeys = presetKeysOfList(listName);
  SettingValue data;
  if (!fixedKeys.empty()) {
    if (!keys.empty() && keys != fixedKeys) return paramErr;
    SettingValue::Array strings;
    for (const std::string& key : fixedKeys) strings.emplace_back(store.stringForKey(key));
    data = SettingValue(std::move(strings));
  } else {
    if (keys.empty()) return paramErr;
    SettingValue::Dictionary values;
    for (const std::string& key : keys) {
      if (key.empty()) return paramErr;
      // A key never set is kept with the value it reads as, so that the preset sets it too.
      values[key] = store.objectForKey(key).value_or(emptySettingValue(key));
    }
    data = SettingValue(std::move(values));
  }
  const std::string storeKey = storeKeyOf(listName);
  std::vector<Preset> presets = readPresets(store, storeKey);
  bool replaced = false;
  for (Preset& preset : presets) {
    if (preset.name == name) {
      preset.data = data;
      replaced = true;
      break;
    }
  }
  if (!replaced) presets.push_back({std::string(name), data});
  OSStatus status = writePresetList(store, storeKey, presets);
  if (!replaced) postListChanged(center);
  return status;
}

OSStatus applyPreset(std::string_view listName, std::string_view name, PresetScope scope, SettingsStore& store) {
  if (listName.empty() || name.empty()) return paramErr;
  const std::string storeKey = storeKeyOf(listName);
  for (const Preset& preset : readPresets(store, storeKey)) {
    if (preset.name != name) continue;
    auto assignments = presetAssignments(listName, preset.data);
    if (!assignments) {
      logMessage("Preset \"" + std::string(name) + "\" under " + storeKey + " holds damaged data; ignored");
      return paramErr;
    }
    OSStatus result = noErr;
    for (auto& [key, value] : *assignments) {
      OSStatus status = scope == PresetScope::Saved ? store.setObject(key, value) : store.setRunValue(key, value);
      if (status == noErr && scope == PresetScope::Saved) status = settingDidChange(store, key);
      if (status != noErr && result == noErr) result = status;
    }
    return result;
  }
  return fnfErr;
}

OSStatus deletePresetNamed(std::string_view listName, std::string_view name, SettingsStore& store,
                           NotificationCenter& center) {
  if (listName.empty()) return paramErr;
  const std::string storeKey = storeKeyOf(listName);
  std::vector<Preset> presets = readPresets(store, storeKey);
  auto it = std::find_if(presets.begin(), presets.end(), [&](const Preset& preset) { return preset.name == name; });
  if (it == presets.end()) return fnfErr;
  presets.erase(it);
  OSStatus status = writePresetList(store, storeKey, presets);
  postListChanged(center);
  return status;
}

std::vector<std::string> presetListNames(const SettingsStore& store) {
  std::vector<std::string> names;
  for (const auto& [key, value] : store.dictionaryRepresentation())
    if (key.size() > kPresetKeyPrefix.size() && key.starts_with(kPresetKeyPrefix))
      names.push_back(key.substr(kPresetKeyPrefix.size()));
  return names;
}

}  // namespace sw
