#include "library/factory_defaults.h"

#include <mutex>
#include <vector>

namespace sw {

namespace {

using T = SettingValue::Type;

std::vector<SettingKey> makeTable() {
  return {
      // Registered at start.
      {"currentCreator", T::String, SettingValue("Krl2"), "Fix: creator to set"},
      {"useGMInstruments", T::Bool, SettingValue(true), "Convert to format 1: General MIDI track names"},
      {"saveSelection", T::Bool, SettingValue(false), "restore the roots at start"},
      {"warnBeforeDestructiveProcessing", T::Bool, SettingValue(true), "warning before destructive batches"},
      {"fixExtension", T::Bool, SettingValue(true), "Fix: Finder type and extension"},
      {"enableFixButton", T::Bool, SettingValue(true), "Fix sheet's button"},
      {"showBrowserWindow", T::Bool, SettingValue(true), "browser window shown at start"},
      {"MIDIChannelOld", T::Integer, SettingValue(1), "Change MIDI channel: from"},
      {"MIDIChannelNew", T::Integer, SettingValue(1), "Change MIDI channel: to"},
      {"targetMetaEvent", T::Integer, SettingValue(3), "Set meta-event text: meta-event type"},
      {"transposeAmount", T::Integer, SettingValue(0), "Transpose: semitones"},
      {"transposeChannelMask", T::Integer, SettingValue(65023), "Transpose: channels (bit 0 = channel 1)"},
      {"tryToDetectTextEncoding", T::Bool, SettingValue(true), "editor: guess the text encoding"},
      {"maxDeltaTime", T::Integer, SettingValue(60), "registered only"},
      {"allSoundsOffOnStop", T::Bool, SettingValue(true), "player: all sounds off on stop"},
      {"GMReset", T::Bool, SettingValue(false), "device reset: GM"},
      {"GSReset", T::Bool, SettingValue(false), "device reset: GS"},
      {"XGReset", T::Bool, SettingValue(false), "device reset: XG"},
      {"addGMReset", T::Bool, SettingValue(true), "Fix: add a GM reset"},
      // Known, not registered.
      {"setCreator", T::Bool, std::nullopt, "Fix: also set the creator"},
      {"fixSignature", T::Bool, std::nullopt, "Fix: tempo and time signature"},
      {"fixBadDeltaTime", T::Bool, std::nullopt, "Fix: cut at a gap over 600 s"},
      {"fixMissingResetMessage", T::Bool, std::nullopt, "Fix: add missing reset messages"},
      {"addGSReset", T::Bool, std::nullopt, "Fix: add a GS reset"},
      {"addXGReset", T::Bool, std::nullopt, "Fix: add an XG reset"},
      {"formatChosen", T::Integer, std::nullopt, "Convert: SMF format"},
      {"compressed", T::Bool, std::nullopt, "Convert: write with running status"},
      {"karaokeFormatChosen", T::Integer, std::nullopt, "Convert to karaoke: dialect"},
      {"compandAction", T::Integer, std::nullopt, "Compand: compact or expand"},
      {"extractLyricsFormat", T::Integer, std::nullopt, "Extract lyrics: 0 text, 1 LRC, 2 enhanced LRC, 3 ChordPro"},
      {"selectedEncoding", T::Integer, std::nullopt, "Extract lyrics, Set meta-event text: encoding"},
      {"targetMetaEventSource", T::Integer, std::nullopt, "Set meta-event text: 1 from the file name"},
      {"targetMetaEventString", T::String, std::nullopt, "Set meta-event text: fixed text"},
      {"regExp1", T::String, std::nullopt, "Set meta-event text: pattern 1"},
      {"replaceStr1", T::String, std::nullopt, "Set meta-event text: replacement 1"},
      {"regExp2", T::String, std::nullopt, "Set meta-event text: pattern 2"},
      {"replaceStr2", T::String, std::nullopt, "Set meta-event text: replacement 2"},
      {"regExp3", T::String, std::nullopt, "Set meta-event text: pattern 3"},
      {"replaceStr3", T::String, std::nullopt, "Set meta-event text: replacement 3"},
      {"regExp4", T::String, std::nullopt, "Set meta-event text: pattern 4"},
      {"replaceStr4", T::String, std::nullopt, "Set meta-event text: replacement 4"},
      {"enableChannel10Transpose", T::Bool, std::nullopt, "Transpose: channel 10 too"},
      {"nameOfTrackToRemove", T::String, std::nullopt, "Remove track: track name"},
      {"openPanelOnStartup", T::Bool, std::nullopt, "open panel at start"},
      {"lastChoosedFiles", T::Array, std::nullopt, "roots of the last run"},
      {"printInfo", T::Dictionary, std::nullopt, "print settings"},
      {"Encodings", T::Array, std::nullopt, "enabled text encodings"},
      {"EncodingManagerDefaultEncodingKey", T::Integer, std::nullopt, "default text encoding (5 when absent)"},
      {"showNotesOff", T::Bool, std::nullopt, "editor: show note-off events"},
      {"filteredChannels", T::Array, std::nullopt, "editor: channel filter buttons"},
      {"filteredMidi", T::Array, std::nullopt, "editor: event kind filter buttons"},
      {"filteredMeta", T::Array, std::nullopt, "editor: meta-event filter buttons"},
      {"MIDIDevice", T::Integer, std::nullopt, "playback: 1 MIDI destination, 0 synthesizer"},
      {"MIDIOutputUniqueID", T::Integer, std::nullopt, "playback: MIDI destination's unique ID"},
      {"Music Device Settings", T::Dictionary, std::nullopt, "software synthesizer settings"},
  };
}

}  // namespace

std::span<const SettingKey> knownSettingKeys() {
  static const std::vector<SettingKey> table = makeTable();
  return table;
}

const SettingKey* findSettingKey(std::string_view key) {
  for (const SettingKey& entry : knownSettingKeys())
    if (entry.key == key) return &entry;
  return nullptr;
}

SettingValue::Dictionary factoryDefaults() {
  SettingValue::Dictionary defaults;
  for (const SettingKey& entry : knownSettingKeys())
    if (entry.factoryValue) defaults.emplace(std::string(entry.key), *entry.factoryValue);
  return defaults;
}

SettingValue emptySettingValue(SettingValue::Type type) {
  switch (type) {
    case SettingValue::Type::Bool: return SettingValue(false);
    case SettingValue::Type::Integer: return SettingValue(0);
    case SettingValue::Type::Real: return SettingValue(0.0);
    case SettingValue::Type::Array: return SettingValue(SettingValue::Array{});
    case SettingValue::Type::Dictionary: return SettingValue(SettingValue::Dictionary{});
    case SettingValue::Type::String: break;
  }
  return SettingValue("");
}

SettingValue emptySettingValue(std::string_view key) {
  const SettingKey* known = findSettingKey(key);
  return emptySettingValue(known ? known->type : SettingValue::Type::String);
}

OSStatus settingDidChange(SettingsStore& store, std::string_view key) {
  static constexpr std::string_view kFixKeys[] = {"fixExtension", "fixSignature", "fixBadDeltaTime",
                                                  "fixMissingResetMessage"};
  bool fixKey = false;
  for (std::string_view fix : kFixKeys) fixKey = fixKey || fix == key;
  if (!fixKey) return noErr;
  bool anyFix = false;
  for (std::string_view fix : kFixKeys) anyFix = anyFix || store.boolForKey(fix);
  if (store.boolForKey("enableFixButton") == anyFix) return noErr;
  return store.setObject("enableFixButton", anyFix);
}

void registerFactoryDefaults(SettingsStore& store) { store.registerDefaults(factoryDefaults()); }

void registerFactoryDefaults() {
  static std::once_flag once;
  std::call_once(once, [] { registerFactoryDefaults(SettingsStore::shared()); });
}

}  // namespace sw
