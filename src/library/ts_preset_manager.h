// Named parameter sets for one sheet. A list is kept in the user-defaults store under
// "TSPreset_" + its name, as an array of dictionaries {"name": string, "data": value}; the data
// value comes from a data source that turns the sheet's current parameters into a value and
// back. The manager has no window: the naming window and the pop-up live in the interface layer,
// which asks the manager for names, validation and the commands' effects.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/notification_center.h"
#include "base/settings_store.h"

namespace sw {

inline constexpr std::string_view kPresetKeyPrefix = "TSPreset_";
inline constexpr std::string_view kPresetsListChangedNotification = "PresetsListChanged";

class TSPresetManagerDataSource {
 public:
  virtual ~TSPresetManagerDataSource() = default;
  // The value of the current parameters.
  virtual SettingValue getDataForPreset() = 0;
  // Applies a preset's value; none for the last-used entry (the parameters stay as they are).
  virtual void setDataFromPreset(const std::optional<SettingValue>& data) = 0;
};

struct Preset {
  std::string name;
  SettingValue data;
};

// TSPresetManager: the named presets of one sheet, kept in the settings store.
class TSPresetManager {
 public:
  // The commands of the preset pop-up.
  enum class Command { ChoosePreset, SavePreset, AddPreset, RenamePreset, DeletePreset };

  explicit TSPresetManager(SettingsStore& store = SettingsStore::shared(),
                           NotificationCenter& center = NotificationCenter::shared());

  // Loads the list of that name. Throws std::invalid_argument for an empty name. Records that
  // are not a dictionary with a string "name" and a "data" value are left out, with a log line.
  void loadPresetsWithKey(std::string_view listName);
  const std::string& presetsKey() const { return presetsKey_; }
  const std::vector<Preset>& presets() const { return presets_; }

  int presetIndex() const { return presetIndex_; }
  // The data of the chosen preset; none when no preset is chosen.
  std::optional<SettingValue> presetData() const;
  void setDataSource(TSPresetManagerDataSource* dataSource) { dataSource_ = dataSource; }

  // Chooses the preset of that index (-1: last-used settings; other values out of range count
  // as -1) and hands its data to the data source.
  void choosePreset(int tag);
  // Replaces the chosen preset's data by the data source's current value and writes the list.
  OSStatus savePreset();
  // Appends a preset with the name and current data, chooses it, posts and writes.
  OSStatus addPreset(std::string name);
  // Renames the chosen preset, posts and writes.
  OSStatus renamePreset(std::string name);
  // Removes the chosen preset, chooses the last-used entry, posts and writes.
  OSStatus deletePreset();

  // "Untitled", or the first "Untitled N" (N = 1, 2, ...) that no preset has.
  std::string uniqueName() const;
  bool hasPresetNamed(std::string_view name) const;
  // The naming window's OK button follows this; the field's edits set it.
  bool isUniqueName() const { return isUniqueName_; }
  void setIsUniqueName(bool unique) { isUniqueName_ = unique; }
  void nameFieldDidChange(std::string_view text) { isUniqueName_ = !hasPresetNamed(text); }

  bool validateCommand(Command command) const;

 private:
  OSStatus writePresets();
  bool hasDataSource() const;

  SettingsStore& store_;
  NotificationCenter& center_;
  TSPresetManagerDataSource* dataSource_ = nullptr;
  std::string presetsKey_;
  std::vector<Preset> presets_;
  int presetIndex_ = -1;
  bool isUniqueName_ = true;
};

// ---- presets of keys, for tools without a sheet ----

// Whether a preset changes the saved settings or only this process's run values.
enum class PresetScope { ThisRun, Saved };

// The store keys that a list's array-form data holds in order, for lists with a fixed form
// ("SetMetaEventText": the eight patterns and replacements); empty for other lists.
std::vector<std::string> presetKeysOfList(std::string_view listName);

// Saves the current values of the keys as preset `name` of the list, replacing a preset of that
// name or appending one. Lists with a fixed form store their array of strings (the keys must
// then be empty or exactly those keys); other lists store a dictionary key → value of every
// key, a key never set with the value it reads as (NO, 0, ""). paramErr for an empty list or
// preset name or no keys.
OSStatus savePresetOfKeys(std::string_view listName, std::string_view name, const std::vector<std::string>& keys,
                          SettingsStore& store = SettingsStore::shared(),
                          NotificationCenter& center = NotificationCenter::shared());

// Sets the keys held by preset `name` of the list: for this run only, or saved. fnfErr when the
// list has no preset of that name, paramErr when its data is damaged (logged; nothing is set).
OSStatus applyPreset(std::string_view listName, std::string_view name, PresetScope scope = PresetScope::ThisRun,
                     SettingsStore& store = SettingsStore::shared());

// Removes preset `name` from the list; fnfErr when there is none.
OSStatus deletePresetNamed(std::string_view listName, std::string_view name,
                           SettingsStore& store = SettingsStore::shared(),
                           NotificationCenter& center = NotificationCenter::shared());

// The names of the stored lists (store keys without "TSPreset_"), in name order.
std::vector<std::string> presetListNames(const SettingsStore& store = SettingsStore::shared());

// The key/value pairs a preset's data sets, in order; none when the data is damaged.
std::optional<std::vector<std::pair<std::string, SettingValue>>> presetAssignments(std::string_view listName,
                                                                                  const SettingValue& data);

}  // namespace sw
