#include "library/batch_command_parameters.h"

#include "library/meta_text_preset_source.h"

namespace sw {

namespace {

using Keys = std::vector<std::string>;

BatchCommandParameters command(std::string name, Keys keys) {
  BatchCommandParameters parameters{name, keys.empty() ? "" : name, keys, keys};
  return parameters;
}

std::vector<BatchCommandParameters> makeTable() {
  std::vector<BatchCommandParameters> table{
      command("Fix", {"fixExtension", "setCreator", "currentCreator", "fixBadDeltaTime", "fixSignature",
                      "fixMissingResetMessage", "addGMReset", "addGSReset", "addXGReset"}),
      command("Convert", {"formatChosen", "useGMInstruments", "compressed"}),
      command("ConvertKaraoke", {"karaokeFormatChosen"}),
      command("ConvertToUTF8", {"selectedEncoding"}),
      command("ExtractLyrics", {"extractLyricsFormat", "selectedEncoding"}),
      command("MarkersToLyrics", {}),
      command("LyricsToMarkers", {}),
      command("SetMetaEventText", {"targetMetaEvent", "targetMetaEventSource", "targetMetaEventString",
                                   "selectedEncoding"}),
      command("ChangeMIDIChannel", {"MIDIChannelOld", "MIDIChannelNew"}),
      command("Transpose", {"transposeAmount", "transposeChannelMask"}),
      command("RemoveTrack", {"nameOfTrackToRemove"}),
      command("Compand", {"compandAction"}),
  };
  // Set meta-event text reads the four patterns too; its presets hold exactly those, in the
  // array form the sheet's preset pop-up reads.
  for (BatchCommandParameters& parameters : table) {
    if (parameters.name != kMetaTextPresetList) continue;
    for (const std::string& key : metaTextPresetKeys()) parameters.keys.push_back(key);
    parameters.presetKeys = metaTextPresetKeys();
  }
  return table;
}

constexpr int64_t kChannel10 = int64_t(1) << 9;

}  // namespace

std::span<const BatchCommandParameters> allBatchCommandParameters() {
  static const std::vector<BatchCommandParameters> table = makeTable();
  return table;
}

const BatchCommandParameters* batchCommandParameters(std::string_view name) {
  for (const BatchCommandParameters& parameters : allBatchCommandParameters())
    if (parameters.name == name) return &parameters;
  return nullptr;
}

const BatchCommandParameters* batchCommandOfPresetList(std::string_view list) {
  if (list.empty()) return nullptr;
  for (const BatchCommandParameters& parameters : allBatchCommandParameters())
    if (parameters.presetList == list) return &parameters;
  return nullptr;
}

OSStatus saveBatchPreset(const BatchCommandParameters& command, std::string_view name, SettingsStore& store) {
  if (command.presetList.empty()) return paramErr;
  return savePresetOfKeys(command.presetList, name, command.presetKeys, store);
}

OSStatus applyBatchPreset(const BatchCommandParameters& command, std::string_view name, PresetScope scope,
                          SettingsStore& store) {
  if (command.presetList.empty()) return paramErr;
  return applyPreset(command.presetList, name, scope, store);
}

std::vector<std::string> confirmBatchParameters(const BatchCommandParameters& command, SettingsStore& store) {
  std::vector<std::string> changes;
  if (command.name == "Transpose" && !store.boolForKey("enableChannel10Transpose")) {
    const int64_t mask = store.integerForKey("transposeChannelMask");
    if (mask & kChannel10) {
      store.setRunValue("transposeChannelMask", mask & ~kChannel10);
      changes.push_back("channel 10 is left out (\"enableChannel10Transpose\" is off)");
    }
  }
  return changes;
}

}  // namespace sw
