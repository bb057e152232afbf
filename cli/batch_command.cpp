// The table of batch commands: each is a per-file method of MidiFileItem with its options.
// Adding a command is one entry here.
#include <optional>
#include <string>
#include <vector>

#include "batch_runner.h"
#include "commands.h"
#include "encoding_option.h"
#include "library/midi_file_item.h"

namespace swcli {

namespace {

using Kind = BatchOption::Kind;

BatchOption boolOption(std::string name, std::string key, std::string help) {
  BatchOption option;
  option.name = std::move(name);
  option.key = std::move(key);
  option.kind = Kind::Bool;
  option.help = std::move(help);
  return option;
}

BatchOption flagOption(std::string name, std::string key, sw::SettingValue value, std::string help) {
  BatchOption option = boolOption(std::move(name), std::move(key), std::move(help));
  option.kind = Kind::Flag;
  option.value = std::move(value);
  return option;
}

BatchOption choiceOption(std::string name, std::string key, std::vector<std::pair<std::string, long>> choices,
                         std::string help) {
  BatchOption option = boolOption(std::move(name), std::move(key), std::move(help));
  option.kind = Kind::Choice;
  option.choices = std::move(choices);
  return option;
}

BatchOption creatorOption() {
  BatchOption option = boolOption("creator", "currentCreator", "the creator code --set-creator stores");
  option.kind = Kind::String;
  option.valueName = "CODE";
  option.parse = [](const std::string& text, std::string& error) -> std::optional<sw::SettingValue> {
    bool printable = !text.empty() && text.size() <= 4;
    for (unsigned char c : text) printable = printable && c >= 0x20 && c < 0x7F;
    if (!printable) {
      error = "a creator code is one to four printable ASCII characters";
      return std::nullopt;
    }
    return sw::SettingValue(text);
  };
  return option;
}

BatchOption encodingOption() {
  BatchOption option = boolOption("encoding", "EncodingManagerDefaultEncodingKey",
                                  "the encoding of files that have none saved (number or name)");
  option.kind = Kind::String;
  option.valueName = "ENCODING";
  option.parse = [](const std::string& text, std::string& error) -> std::optional<sw::SettingValue> {
    const sw::StringEncoding encoding = parseEncodingOption(text, &error);
    if (encoding == sw::kNoEncoding) return std::nullopt;
    return sw::SettingValue(int64_t(encoding));
  };
  return option;
}

bool always() { return true; }

std::vector<BatchCommandSpec> makeCommands() {
  std::vector<BatchCommandSpec> commands;

  BatchCommandSpec fix;
  fix.name = "fix";
  fix.summary = "repair type, extension, long gaps, tempo and signature, reset messages";
  fix.help =
      "Repairs what 'info' flags. The file type becomes 'Midi' and the name ends in .mid (.kar for\n"
      "Soft Karaoke files of two or more tracks; an extension of fewer than three characters is\n"
      "kept and the new one added). The sequence repairs rewrite the file only when they change it.\n"
      "Only --tempo-signature counts as rewriting for the confirmation.\n";
  fix.destructive = [] { return sw::SettingsStore::shared().boolForKey("fixSignature"); };
  fix.options = {
      boolOption("extension", "fixExtension", "set the type to 'Midi' and correct the name extension"),
      boolOption("set-creator", "setCreator", "with --extension, also set the creator code"),
      creatorOption(),
      boolOption("cut-long-gaps", "fixBadDeltaTime", "cut the file at the first gap longer than 600 s"),
      boolOption("tempo-signature", "fixSignature",
                 "move tempo events to the first track; add a missing tempo (120) or time signature (4/4)"),
      boolOption("add-resets", "fixMissingResetMessage", "add the reset messages chosen below when missing"),
      boolOption("gm-reset", "addGMReset", "add a GM reset when there is none"),
      boolOption("gs-reset", "addGSReset", "add a GS reset when there is none"),
      boolOption("xg-reset", "addXGReset", "add an XG reset when there is none"),
  };
  fix.method = [](sw::MidiFileItem& item, const sw::BatchRun& run) { return item.doFix(run); };
  commands.push_back(std::move(fix));

  BatchCommandSpec convert;
  convert.name = "convert";
  convert.summary = "rewrite files as SMF format 0 or 1 (IN -o OUT: one file to another)";
  convert.help =
      "Rewrites each file as SMF format 0 (one track) or format 1 (tempo, karaoke, words, chords,\n"
      "system and one track per channel), then corrects its name extension. A file already in the\n"
      "format is rewritten as it is. 'convert FILE -o OUT --format 0|1' writes one file to another\n"
      "as before (see 'convert FILE -o OUT --help').\n";
  convert.destructive = always;
  BatchOption format = choiceOption("format", "formatChosen", {{"0", 0}, {"1", 1}}, "the format to write");
  convert.options = {
      format,
      boolOption("gm-names", "useGMInstruments", "(format 1) name channel tracks after their GM instrument"),
      boolOption("running-status", "compressed", "write channel messages with running status"),
  };
  convert.method = [](sw::MidiFileItem& item, const sw::BatchRun& run) { return item.doConvert(run); };
  convert.singleFile = convertCommand;
  commands.push_back(std::move(convert));

  BatchCommandSpec karaoke;
  karaoke.name = "karaoke";
  karaoke.summary = "rewrite files as one-track karaoke files with lyric events";
  karaoke.help =
      "Reads the lyrics and chords in whatever dialect the file uses, moves everything to one track\n"
      "(format 0) and writes the words as lyric events, a line break after each line, and the chords\n"
      "as text events or XF chord events. When a chord has no XF form, no chord is written and the\n"
      "file counts as failed (its lyrics are written all the same).\n";
  karaoke.destructive = always;
  karaoke.options = {choiceOption("chords", "karaokeFormatChosen", {{"text", 0}, {"xf", 1}},
                                  "chords as text events or as XF chord events")};
  karaoke.method = [](sw::MidiFileItem& item, const sw::BatchRun& run) { return item.doConvertKaraoke(run); };
  commands.push_back(std::move(karaoke));

  BatchCommandSpec utf8;
  utf8.name = "utf8";
  utf8.summary = "convert the texts of files to UTF-8";
  utf8.help =
      "Re-encodes every text meta event (types 1 to 9) that is not valid UTF-8 from the file's\n"
      "encoding (the one saved for it, else the default encoding) and records UTF-8 as the file's\n"
      "encoding. A text that does not decode leaves the file unchanged and counts as failed.\n";
  utf8.destructive = always;
  utf8.options = {encodingOption()};
  utf8.method = [](sw::MidiFileItem& item, const sw::BatchRun& run) { return item.doConvertToUTF8(run); };
  commands.push_back(std::move(utf8));

  BatchCommandSpec compand;
  compand.name = "compand";
  compand.summary = "rewrite files with (compress) or without (expand) running status";
  compand.help = "Rewrites each file with the same events, compacted with running status or expanded.\n";
  compand.options = {
      flagOption("compress", "compandAction", int64_t(0), "write with running status"),
      flagOption("expand", "compandAction", int64_t(1), "write without running status"),
  };
  compand.method = [](sw::MidiFileItem& item, const sw::BatchRun& run) { return item.doCompand(run); };
  commands.push_back(std::move(compand));

  // The text and musical commands plug in the same way once their per-file methods exist:
  // "extract-lyrics" (doExtractLyrics), "markers-to-lyrics" (doMarkersToLyrics),
  // "lyrics-to-markers" (doLyricsToMarkers), "set-text" (doSetMetaEventText), "channel"
  // (doChangeMIDIChannel), "transpose" (doTranspose, singleFile = transposeCommand) and
  // "remove-track" (doRemoveTrack).
  return commands;
}

}  // namespace

const std::vector<BatchCommandSpec>& batchCommands() {
  static const std::vector<BatchCommandSpec> commands = makeCommands();
  return commands;
}

}  // namespace swcli
