// The parameters of each batch command, shared by every front end: the settings keys its
// per-file method reads, the preset list that keeps them (one per command, named after its
// sheet), and what confirming the command does to them before the run starts.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings_store.h"
#include "base/status.h"
#include "library/ts_preset_manager.h"

namespace sw {

struct BatchCommandParameters {
  std::string name;                 // the command's sheet: "Transpose", "SetMetaEventText"...
  std::string presetList;           // "" for a command without parameters
  std::vector<std::string> keys;    // every key the per-file method reads
  std::vector<std::string> presetKeys;  // what one of its presets holds
};

// Every batch command, in the order of the command table.
std::span<const BatchCommandParameters> allBatchCommandParameters();
// The command of that sheet name; null for none.
const BatchCommandParameters* batchCommandParameters(std::string_view name);
// The command whose preset list has that name; null for none.
const BatchCommandParameters* batchCommandOfPresetList(std::string_view list);

// Saves every preset key of the command as preset `name`, each with the value the command
// would read now (a key never set is saved as NO, 0 or ""), so that applying the preset
// later sets all of them. paramErr for a command without a preset list.
OSStatus saveBatchPreset(const BatchCommandParameters& command, std::string_view name,
                         SettingsStore& store = SettingsStore::shared());
// Sets the keys held by preset `name` of the command's list, for this run or saved; fnfErr
// when there is none, paramErr when it is damaged or the command has no list.
OSStatus applyBatchPreset(const BatchCommandParameters& command, std::string_view name, PresetScope scope,
                          SettingsStore& store = SettingsStore::shared());

// What confirming the command does before the run, as run values of the store: Transpose
// leaves channel 10 out of its mask unless "enableChannel10Transpose" is set. Returns a line
// for each parameter it changed.
std::vector<std::string> confirmBatchParameters(const BatchCommandParameters& command,
                                                SettingsStore& store = SettingsStore::shared());

}  // namespace sw
