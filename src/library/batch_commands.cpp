#include "library/batch_commands.h"

#include <vector>

#include "base/settings_store.h"
#include "library/midi_file_item.h"

namespace sw {

namespace {

bool always() { return true; }

template <Error (MidiFileItem::*Method)(const BatchRun&)>
PerFileMethod perFile() {
  return [](MidiFileItem& item, const BatchRun& run) { return (item.*Method)(run); };
}

std::vector<BatchCommand> makeCommands() {
  std::vector<BatchCommand> commands;
  auto add = [&](std::string name, std::function<bool()> destructive, PerFileMethod method) -> BatchCommand& {
    commands.push_back(BatchCommand{std::move(name), std::move(destructive), false, std::move(method), {}});
    return commands.back();
  };
  // Fix changes the events only when it corrects tempo and signatures; otherwise it repairs.
  add("Fix", [] { return SettingsStore::shared().boolForKey("fixSignature"); }, perFile<&MidiFileItem::doFix>())
      .rewritesDamagedFiles = true;
  add("Convert", always, perFile<&MidiFileItem::doConvert>());
  add("ConvertKaraoke", always, perFile<&MidiFileItem::doConvertKaraoke>());
  add("ConvertToUTF8", always, perFile<&MidiFileItem::doConvertToUTF8>());
  add("ExtractLyrics", {}, perFile<&MidiFileItem::doExtractLyrics>());
  add("MarkersToLyrics", always, perFile<&MidiFileItem::doMarkersToLyrics>());
  add("LyricsToMarkers", always, perFile<&MidiFileItem::doLyricsToMarkers>());
  add("ChangeMIDIChannel", always, perFile<&MidiFileItem::doChangeMIDIChannel>()).checkParameters = [] {
    const SettingsStore& settings = SettingsStore::shared();
    const int64_t from = settings.integerForKey("MIDIChannelOld");
    if (from != settings.integerForKey("MIDIChannelNew")) return std::string();
    return "the old and the new channel are the same channel (" + std::to_string(from) + "): nothing would change";
  };
  add("SetMetaEventText", {}, perFile<&MidiFileItem::doSetMetaEventText>());
  add("Transpose", always, perFile<&MidiFileItem::doTranspose>());
  add("RemoveTrack", always, perFile<&MidiFileItem::doRemoveTrack>());
  add("Compand", {}, perFile<&MidiFileItem::doCompand>());
  return commands;
}

}  // namespace

std::span<const BatchCommand> allBatchCommands() {
  static const std::vector<BatchCommand> commands = makeCommands();
  return commands;
}

const BatchCommand* batchCommand(std::string_view name) {
  for (const BatchCommand& command : allBatchCommands())
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace sw
