// scorewell-cli lyrics: the words (and chords) of a karaoke file as plain text, LRC,
// enhanced LRC or ChordPro.
#include <cstdio>
#include <string>

#include "cli_support.h"
#include "commands.h"
#include "encoding_option.h"
#include "smf/midi_sequence.h"
#include "smf/smf_signature_map.h"
#include "smf/tick_time_cursor.h"
#include "text/lyrics_extractor.h"
#include "text/string_encoding.h"
#include "text/synced_text.h"

namespace swcli {

namespace {

const char* kLyricsHelp =
    "Usage: scorewell-cli lyrics FILE [--format txt|lrc|lrc-enhanced|chordpro]\n"
    "                            [--encoding E] [--chords]\n"
    "\n"
    "Writes the lyrics of a MIDI karaoke file to standard output, read from Soft Karaoke\n"
    "text events, lyric events or Midisoft messages, whichever the file uses; when a\n"
    "file carries the words both as text and as lyric events, the one with more words.\n"
    "\n"
    "  --format F     txt (the default): the text, one line per sung line\n"
    "                 lrc: one \"[mm:ss.xx]\" time tag per line\n"
    "                 lrc-enhanced: also a \"<mm:ss.xx>\" tag before each syllable\n"
    "                 chordpro: the text with the chords merged in as \"[Am]\"\n"
    "  --encoding E   the encoding of the file's texts, a number or a name such as\n"
    "                 shift_jis, cp1251 or latin1 (default: the encoding saved with\n"
    "                 the file, else the one its texts are guessed to be in)\n"
    "  --chords       with txt, lrc and lrc-enhanced, list the chords after the lyrics,\n"
    "                 one \"m:ss.mmm<TAB>chord\" line each (chordpro always has them)\n"
    "\n"
    "The karaoke dialect found goes to standard error as \"karaoke type: SK\" (SK, SO,\n"
    "T1, MS, or none).\n"
    "\n"
    "Exit status: 0 when the file was read, 1 when it could not be, 2 for bad usage.\n";

}  // namespace

int lyricsCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--chords"};
  spec.valued = {"--format", "--encoding"};
  spec.aliases = {{"-h", "--help"}, {"-f", "--format"}, {"-e", "--encoding"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("lyrics", kLyricsHelp, args)) return *done;
  if (args.positional().size() != 1) {
    reportUsage("lyrics", "give one MIDI file");
    return kExitUsage;
  }
  std::string format = args.value("--format").value_or("txt");
  if (format != "txt" && format != "lrc" && format != "lrc-enhanced" && format != "chordpro") {
    reportUsage("lyrics", "unknown format '" + format + "' (txt, lrc, lrc-enhanced or chordpro)");
    return kExitUsage;
  }
  sw::StringEncoding encoding = sw::kNoEncoding;
  if (std::optional<std::string> name = args.value("--encoding")) {
    std::string error;
    encoding = parseEncodingOption(*name, &error);
    if (encoding == sw::kNoEncoding) {
      reportUsage("lyrics", error);
      return kExitUsage;
    }
  }

  const std::string& path = args.positional().front();
  sw::OSStatus status = sw::noErr;
  sw::MidiSequence sequence(path, sw::kSMFLoadFull, &status);
  if (status != sw::noErr) {
    reportError(path, status, "could not be read as a MIDI file");
    return kExitFailed;
  }
  encoding = textEncodingForFile(path, sequence,
                                 encoding == sw::kNoEncoding ? std::nullopt : std::optional<sw::StringEncoding>(encoding));

  bool wantChords = args.has("--chords") || format == "chordpro";
  sw::DSyncArray lyrics, chords;
  sw::FourCharCode type = 0;
  sw::getLyricsDSyncs(sequence, &lyrics, wantChords ? &chords : nullptr, &type);
  std::string typeName = sw::fourCCString(type);
  while (!typeName.empty() && typeName.back() == ' ') typeName.pop_back();
  std::fprintf(stderr, "karaoke type: %s\n", type ? typeName.c_str() : "none");

  std::string output;
  if (format == "chordpro") {
    output = sw::SyncArray::chordProWithLyricsDSyncs(lyrics, chords, encoding);
  } else if (format == "txt") {
    output = sw::SyncArray::stringWithDSyncs(lyrics, encoding);
  } else {
    sw::SyncedText text(lyrics, encoding, sw::SMFSignatureMap::fromSequence(sequence));
    output = text.LRCEnhanced(format == "lrc-enhanced");
    if (!output.empty() && output.front() == '\n') output.erase(0, 1);  // the first line opens with a break
  }
  if (!output.empty() && output.back() != '\n') output.push_back('\n');

  if (format != "chordpro" && !chords.empty()) {
    output += "\n";
    sw::TickTimeCursor time(sequence);
    for (const sw::TSyncItem& chord : sw::SyncArray::TSyncWithDSyncs(chords, encoding)) {
      double seconds = time.microSecondsAtTicks(chord.delay()) / 1e6;
      output += minutesSecondsMillis(seconds) + "\t" + chord.text() + "\n";
    }
  }
  std::fwrite(output.data(), 1, output.size(), stdout);
  return kExitOK;
}

}  // namespace swcli
