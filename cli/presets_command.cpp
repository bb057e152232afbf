// scorewell-cli presets: the saved preset lists and their presets.
#include <cstdio>
#include <string>
#include <vector>

#include "batch_runner.h"
#include "cli_support.h"
#include "commands.h"
#include "library/batch_command_parameters.h"
#include "library/factory_defaults.h"
#include "library/ts_preset_manager.h"
#include "setting_json.h"

namespace swcli {

namespace {

const char* kPresetsHelp =
    "Usage: scorewell-cli presets [--json] [LIST [NAME]]\n"
    "       scorewell-cli presets --delete LIST NAME\n"
    "       scorewell-cli presets --save LIST NAME [KEY...]\n"
    "       scorewell-cli presets --apply LIST NAME\n"
    "\n"
    "Without LIST, lists the preset lists with the number of presets in each. With LIST, lists\n"
    "its presets by index and name; with NAME too, shows the settings that preset holds.\n"
    "Each batch command has one list, which its --preset and --save-preset use: Fix, Convert,\n"
    "ConvertKaraoke, ConvertToUTF8, ExtractLyrics, SetMetaEventText, ChangeMIDIChannel,\n"
    "Transpose, RemoveTrack, Compand; the command's name (transpose, set-text...) names it too.\n"
    "\n"
    "  --json     JSON instead of text\n"
    "  --delete   removes the preset\n"
    "  --save     saves the current values as the preset (replacing one of that name): every\n"
    "             parameter of a command's list (SetMetaEventText: its eight patterns and\n"
    "             replacements), or the KEYs given for another list\n"
    "  --apply    sets the settings the preset holds\n";

std::vector<sw::Preset> loadList(const std::string& list) {
  sw::TSPresetManager manager;
  manager.loadPresetsWithKey(list);
  return manager.presets();
}

// A batch command's name stands for its list ("transpose" for "Transpose").
std::string listNamed(const std::string& name) {
  for (const BatchCommandSpec& spec : batchCommands()) {
    if (spec.name != name) continue;
    const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(spec.parameters);
    if (parameters && !parameters->presetList.empty()) return parameters->presetList;
  }
  return name;
}

const sw::Preset* findPreset(const std::vector<sw::Preset>& presets, const std::string& name) {
  for (const sw::Preset& preset : presets)
    if (preset.name == name) return &preset;
  return nullptr;
}

bool listExists(const std::string& list) {
  return sw::SettingsStore::shared().objectForKey(std::string(sw::kPresetKeyPrefix) + list).has_value();
}

void showPreset(const std::string& list, const sw::Preset& preset, bool json) {
  auto assignments = sw::presetAssignments(list, preset.data);
  if (json) {
    std::string out = "{\"list\":" + jsonString(list) + ",\"name\":" + jsonString(preset.name);
    if (assignments) {
      out += ",\"settings\":{";
      for (size_t i = 0; i < assignments->size(); ++i)
        out += (i ? "," : "") + jsonString((*assignments)[i].first) + ":" + settingJson((*assignments)[i].second);
      out += "}";
    } else {
      out += ",\"data\":" + settingJson(preset.data);
    }
    std::printf("%s}\n", out.c_str());
    return;
  }
  if (!assignments) {
    std::printf("(data in an unknown form) %s\n", settingJson(preset.data).c_str());
    return;
  }
  for (const auto& [key, value] : *assignments) std::printf("%-24s %s\n", key.c_str(), settingJson(value).c_str());
}

}  // namespace

int presetsCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--json", "--delete", "--save", "--apply"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("presets", kPresetsHelp, args)) return *done;
  const std::vector<std::string>& positional = args.positional();
  const bool json = args.has("--json");
  const int actions = int(args.has("--delete")) + int(args.has("--save")) + int(args.has("--apply"));
  if (actions > 1) {
    reportUsage("presets", "--delete, --save and --apply exclude one another");
    return kExitUsage;
  }
  if (actions == 1 && positional.size() < 2) {
    reportUsage("presets", "needs LIST and NAME");
    return kExitUsage;
  }
  if ((actions == 0 || !args.has("--save")) && positional.size() > 2) {
    reportUsage("presets", "too many arguments");
    return kExitUsage;
  }
  if (!positional.empty() && positional[0].empty()) {
    reportUsage("presets", "LIST cannot be empty");
    return kExitUsage;
  }

  sw::SettingsStore& store = sw::SettingsStore::shared();
  sw::registerFactoryDefaults();

  std::vector<std::string> named = positional;
  if (!named.empty()) named[0] = listNamed(named[0]);

  if (args.has("--save")) {
    std::vector<std::string> keys(positional.begin() + 2, positional.end());
    if (const sw::BatchCommandParameters* command = sw::batchCommandOfPresetList(named[0])) {
      if (!keys.empty()) {
        reportUsage("presets", "list " + named[0] + " holds every parameter of its command; give no KEY");
        return kExitUsage;
      }
      const sw::OSStatus status = sw::saveBatchPreset(*command, positional[1], store);
      if (status != sw::noErr) {
        reportError(store.path(), status, "could not be saved");
        return kExitFailed;
      }
      return kExitOK;
    }
    for (const std::string& key : keys) {
      if (!sw::findSettingKey(key) && !store.objectForKey(key)) {
        reportUsage("presets", "unknown key '" + key + "'");
        return kExitUsage;
      }
    }
    sw::OSStatus status = sw::savePresetOfKeys(named[0], positional[1], keys, store);
    if (status == sw::paramErr) {
      reportUsage("presets", sw::presetKeysOfList(named[0]).empty()
                                 ? "--save needs at least one KEY"
                                 : "list " + named[0] + " holds a fixed set of keys; give none");
      return kExitUsage;
    }
    if (status != sw::noErr) {
      reportError(store.path(), status, "could not be saved");
      return kExitFailed;
    }
    return kExitOK;
  }

  if (args.has("--delete") || args.has("--apply")) {
    sw::OSStatus status = args.has("--delete")
                              ? sw::deletePresetNamed(named[0], positional[1], store)
                              : sw::applyPreset(named[0], positional[1], sw::PresetScope::Saved, store);
    if (status == sw::fnfErr) {
      reportError(named[0], status, "no preset named '" + positional[1] + "'");
      return kExitFailed;
    }
    if (status == sw::paramErr) {
      reportError(named[0], status, "preset '" + positional[1] + "' holds damaged data");
      return kExitFailed;
    }
    if (status != sw::noErr) {
      reportError(store.path(), status, "could not be saved");
      return kExitFailed;
    }
    return kExitOK;
  }

  if (positional.empty()) {
    std::string out = "[";
    for (const std::string& list : sw::presetListNames(store)) {
      size_t count = loadList(list).size();
      if (json) out += (out.size() > 1 ? "," : "") + std::string("{\"list\":") + jsonString(list) +
                       ",\"presets\":" + std::to_string(count) + "}";
      else std::printf("%-32s %zu preset%s\n", list.c_str(), count, count == 1 ? "" : "s");
    }
    if (json) std::printf("%s]\n", out.c_str());
    return kExitOK;
  }

  const std::string& list = named[0];
  if (!listExists(list)) {
    reportError(list, sw::fnfErr, "no such preset list");
    return kExitFailed;
  }
  std::vector<sw::Preset> presets = loadList(list);
  if (positional.size() == 1) {
    std::string out = "[";
    for (size_t i = 0; i < presets.size(); ++i) {
      if (json) out += (i ? "," : "") + jsonString(presets[i].name);
      else std::printf("%zu\t%s\n", i, presets[i].name.c_str());
    }
    if (json) std::printf("%s]\n", out.c_str());
    return kExitOK;
  }
  const sw::Preset* preset = findPreset(presets, positional[1]);
  if (!preset) {
    reportError(list, sw::fnfErr, "no preset named '" + positional[1] + "'");
    return kExitFailed;
  }
  showPreset(list, *preset, json);
  return kExitOK;
}

}  // namespace swcli
