// The batch commands of the command line: the options that set each library command's
// parameters (library/batch_commands.h holds what the commands do).
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "batch_runner.h"
#include "cli_support.h"
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
  // The encoding given for the command: it comes before the one saved with a file or guessed.
  BatchOption option = boolOption("encoding", "selectedEncoding", "the encoding (number or name)");
  option.kind = Kind::String;
  option.valueName = "ENCODING";
  option.parse = [](const std::string& text, std::string& error) -> std::optional<sw::SettingValue> {
    const sw::StringEncoding encoding = parseEncodingOption(text, &error);
    if (encoding == sw::kNoEncoding) return std::nullopt;
    return sw::SettingValue(int64_t(encoding));
  };
  return option;
}

std::vector<BatchCommandSpec> makeCommands() {
  std::vector<BatchCommandSpec> commands;

  BatchCommandSpec fix;
  fix.name = "fix";
  fix.parameters = "Fix";
  fix.summary = "repair type, extension, long gaps, tempo and signature, reset messages";
  fix.help =
      "Repairs what 'info' flags. The file type becomes 'Midi' and the name ends in .mid (.kar for\n"
      "Soft Karaoke files of two or more tracks; an extension of fewer than three characters is\n"
      "kept and the new one added). The sequence repairs rewrite the file only when they change it.\n"
      "A damaged file (D in 'info') is rewritten from what could be read of it, which is told.\n"
      "Only --tempo-signature counts as rewriting for the confirmation.\n";
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
  commands.push_back(std::move(fix));

  BatchCommandSpec convert;
  convert.name = "convert";
  convert.parameters = "Convert";
  convert.summary = "rewrite files as SMF format 0 or 1 (IN -o OUT: one file to another)";
  convert.help =
      "Rewrites each file as SMF format 0 (one track) or format 1 (tempo, karaoke, words, chords,\n"
      "system and one track per channel), then corrects its name extension. A file already in the\n"
      "format is rewritten as it is. 'convert FILE -o OUT --format 0|1' writes one file to another\n"
      "as before (see 'convert FILE -o OUT --help').\n";
  BatchOption format = choiceOption("format", "formatChosen", {{"0", 0}, {"1", 1}}, "the format to write");
  convert.options = {
      format,
      boolOption("gm-names", "useGMInstruments", "(format 1) name channel tracks after their GM instrument"),
      boolOption("running-status", "compressed", "write channel messages with running status"),
  };
  convert.singleFile = convertCommand;
  commands.push_back(std::move(convert));

  BatchCommandSpec karaoke;
  karaoke.name = "karaoke";
  karaoke.parameters = "ConvertKaraoke";
  karaoke.summary = "rewrite files as one-track karaoke files with lyric events";
  karaoke.help =
      "Reads the lyrics and chords in whatever dialect the file uses, moves everything to one track\n"
      "(format 0) and writes the words as lyric events, a line break after each line, and the chords\n"
      "as text events or XF chord events. When a chord has no XF form, no chord is written and the\n"
      "file counts as failed (its lyrics are written all the same).\n";
  karaoke.options = {choiceOption("chords", "karaokeFormatChosen", {{"text", 0}, {"xf", 1}},
                                  "chords as text events or as XF chord events")};
  commands.push_back(std::move(karaoke));

  BatchCommandSpec utf8;
  utf8.name = "utf8";
  utf8.parameters = "ConvertToUTF8";
  utf8.summary = "convert the texts of files to UTF-8";
  utf8.help =
      "Re-encodes every text meta event (types 1 to 9) that is not valid UTF-8 from the file's\n"
      "encoding (the one given, else the one saved for it, else the one its texts are guessed\n"
      "with confidence to be in) and records UTF-8 as the file's encoding. A file whose encoding\n"
      "cannot be told with confidence is left unchanged and counts as failed unless an encoding\n"
      "is given; so is a file with a text that does not decode.\n";
  BatchOption sourceEncoding = encodingOption();
  sourceEncoding.help = "the encoding the texts are in (default: the file's own)";
  utf8.options = {sourceEncoding};
  commands.push_back(std::move(utf8));

  BatchCommandSpec compand;
  compand.name = "compand";
  compand.parameters = "Compand";
  compand.summary = "rewrite files with (compress) or without (expand) running status";
  compand.help = "Rewrites each file with the same events, compacted with running status or expanded.\n";
  compand.options = {
      flagOption("compress", "compandAction", int64_t(0), "write with running status"),
      flagOption("expand", "compandAction", int64_t(1), "write without running status"),
  };
  commands.push_back(std::move(compand));

  BatchCommandSpec extract;
  extract.name = "extract-lyrics";
  extract.parameters = "ExtractLyrics";
  extract.summary = "write the lyrics of files beside them as text, LRC or ChordPro";
  extract.help =
      "Writes the lyrics of each file into a UTF-8 file beside it, with the same name: plain text\n"
      "(.txt), LRC or enhanced LRC (.lrc) or ChordPro with the chords (.cpm). A file without lyrics\n"
      "gets no side file. The MIDI files are not changed.\n";
  BatchOption lyricsEncoding = encodingOption();
  lyricsEncoding.help = "the encoding of the lyrics (default: the file's own)";
  extract.options = {
      choiceOption("format", "extractLyricsFormat", {{"text", 0}, {"lrc", 1}, {"elrc", 2}, {"chordpro", 3}},
                   "plain text, LRC, enhanced LRC (a time on every word) or ChordPro"),
      lyricsEncoding,
  };
  commands.push_back(std::move(extract));

  BatchCommandSpec markersToLyrics;
  markersToLyrics.name = "markers-to-lyrics";
  markersToLyrics.parameters = "MarkersToLyrics";
  markersToLyrics.summary = "turn marker events into lyric events";
  markersToLyrics.help = "Makes the words held in marker events lyric events.\n";
  commands.push_back(std::move(markersToLyrics));

  BatchCommandSpec lyricsToMarkers;
  lyricsToMarkers.name = "lyrics-to-markers";
  lyricsToMarkers.parameters = "LyricsToMarkers";
  lyricsToMarkers.summary = "turn lyric events into marker events";
  lyricsToMarkers.help = "Moves the words of lyric (or karaoke text) events into marker events.\n";
  commands.push_back(std::move(lyricsToMarkers));

  BatchCommandSpec setText;
  setText.name = "set-text";
  setText.parameters = "SetMetaEventText";
  setText.summary = "set one meta-event text of files (fixed, or made from the file name)";
  setText.help =
      "Sets the first meta event of the chosen type at the start of the first track, adding it\n"
      "when missing; an empty text removes it. The text is fixed (--text) or made from the file\n"
      "name by up to four regular-expression replacements applied in turn (--from-name).\n";
  BatchOption metaType = boolOption("type", "targetMetaEvent", "the meta-event type (1 text ... 3 sequence name ... 15)");
  metaType.kind = Kind::Integer;
  metaType.minimum = 1;
  metaType.maximum = 15;
  BatchOption text = boolOption("text", "targetMetaEventString", "a fixed text (chooses the fixed text)");
  text.kind = Kind::String;
  text.valueName = "TEXT";
  text.alsoSets = {{"targetMetaEventSource", int64_t(0)}};
  setText.options = {metaType, text,
                     flagOption("from-name", "targetMetaEventSource", int64_t(1), "make the text from the file name")};
  for (int n = 1; n <= 4; ++n) {
    BatchOption pattern = boolOption("pattern" + std::to_string(n), "regExp" + std::to_string(n),
                                     "regular expression " + std::to_string(n) + " for --from-name");
    pattern.kind = Kind::String;
    pattern.valueName = "REGEX";
    BatchOption replacement = boolOption("replace" + std::to_string(n), "replaceStr" + std::to_string(n),
                                         "its replacement ($1... for groups)");
    replacement.kind = Kind::String;
    replacement.valueName = "TEXT";
    setText.options.push_back(pattern);
    setText.options.push_back(replacement);
  }
  BatchOption textEncoding = encodingOption();
  textEncoding.help = "the encoding the text is written in (default: the file's own)";
  setText.options.push_back(textEncoding);
  commands.push_back(std::move(setText));

  BatchCommandSpec channel;
  channel.name = "channel";
  channel.parameters = "ChangeMIDIChannel";
  channel.summary = "move the channel messages of one MIDI channel to another";
  channel.help = "Moves every channel message of one MIDI channel (1 to 16) to another.\n";
  BatchOption from = boolOption("from", "MIDIChannelOld", "the channel to move");
  from.kind = Kind::Integer;
  from.minimum = 1;
  from.maximum = 16;
  BatchOption to = from;
  to.name = "to";
  to.key = "MIDIChannelNew";
  to.help = "the channel it becomes";
  channel.options = {from, to};
  commands.push_back(std::move(channel));

  BatchCommandSpec transpose;
  transpose.name = "transpose";
  transpose.parameters = "Transpose";
  transpose.summary = "move notes and chord names by semitones (IN -o OUT: one file to another)";
  transpose.help =
      "Moves the notes of the chosen channels by a number of semitones, chord names with them; a\n"
      "note that would leave the MIDI range comes back by whole octaves. 'transpose FILE -o OUT\n"
      "--semitones N' writes one file to another as before.\n";
  BatchOption semitones = boolOption("semitones", "transposeAmount", "the interval, negative to go down");
  semitones.kind = Kind::Integer;
  semitones.minimum = -127;
  semitones.maximum = 127;
  BatchOption channels = boolOption("channels", "transposeChannelMask",
                                    "the channels, as a list such as 1-9,11-16 (65023: all but 10)");
  channels.kind = Kind::Integer;
  channels.valueName = "LIST";
  channels.parse = [](const std::string& list, std::string& error) -> std::optional<sw::SettingValue> {
    int64_t mask = 0;
    size_t at = 0;
    while (at <= list.size()) {
      const size_t comma = std::min(list.find(',', at), list.size());
      const std::string part = list.substr(at, comma - at);
      const size_t dash = part.find('-');
      auto first = parseInteger(part.substr(0, dash));
      auto last = dash == std::string::npos ? first : parseInteger(part.substr(dash + 1));
      if (!first || !last || *first < 1 || *last > 16 || *first > *last) {
        error = "channels go from 1 to 16, as in 1-9,11-16";
        return std::nullopt;
      }
      for (long c = *first; c <= *last; ++c) mask |= int64_t(1) << (c - 1);
      at = comma + 1;
    }
    return sw::SettingValue(mask);
  };
  transpose.options = {semitones, channels};
  transpose.singleFile = transposeCommand;
  commands.push_back(std::move(transpose));

  BatchCommandSpec removeTrack;
  removeTrack.name = "remove-track";
  removeTrack.parameters = "RemoveTrack";
  removeTrack.summary = "remove the track of a given name";
  removeTrack.help = "Removes the first track whose name is the one given, with all its events.\n";
  BatchOption trackName = boolOption("name", "nameOfTrackToRemove", "the name of the track");
  trackName.kind = Kind::String;
  trackName.valueName = "NAME";
  removeTrack.options = {trackName};
  commands.push_back(std::move(removeTrack));

  return commands;
}

}  // namespace

const std::vector<BatchCommandSpec>& batchCommands() {
  static const std::vector<BatchCommandSpec> commands = makeCommands();
  return commands;
}

}  // namespace swcli
