// scorewell-cli convert: rewrite a file as SMF format 0 (one track, channel prefixes) or as
// format 1 (the Soft Karaoke track layout, channel tracks optionally named after their
// General MIDI instrument).
#include <cstdio>

#include "cli_support.h"
#include "commands.h"
#include "smf/midi_sequence.h"
#include "text/lyrics_text_keeper.h"

namespace swcli {

namespace {
const char* kConvertHelp =
    "Usage: scorewell-cli convert FILE -o OUT --format 0|1 [--gm-names] [--running-status]\n"
    "\n"
    "Reads FILE and writes it to OUT in the given format. OUT may be FILE: the file is then\n"
    "replaced safely, keeping its permissions and attributes.\n"
    "\n"
    "  -o, --output OUT   the file to write\n"
    "  --format 0         every event on one track; meta and sysex events of channel tracks\n"
    "                     keep their channel through MIDI channel prefixes\n"
    "  --format 1         tempo and signatures, karaoke header, words, chords, system\n"
    "                     messages and each channel on its own track; empty tracks left out\n"
    "  --gm-names         (format 1) name each channel track after its first program's\n"
    "                     General MIDI instrument, or drum kit on channel 10\n"
    "  --running-status   compress channel messages with running status\n"
    "\n"
    "Lyrics and chords are written back in one dialect: lyric events (format 0) or Soft\n"
    "Karaoke texts (format 1), chords as text events. A file already in the format asked\n"
    "for is written as it is.\n";
}  // namespace

int fileFormat(const sw::MidiSequence& sequence) { return sequence.numTracks() <= 1 ? 0 : 1; }

bool convertToFormat(sw::MidiSequence& sequence, int format, bool gmNames) {
  if (format == fileFormat(sequence)) return false;
  sw::LyricsTextKeeper keeper;
  if (format == 0) {
    sequence.convertToZero(&keeper);
    return true;
  }
  return sequence.convertToOne(gmNames, &keeper);
}

int convertCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--gm-names", "--running-status"};
  spec.valued = {"--output", "--format"};
  spec.aliases = {{"-h", "--help"}, {"-o", "--output"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("convert", kConvertHelp, args)) return *done;
  if (args.positional().size() != 1 || !args.has("--output") || !args.has("--format")) {
    reportUsage("convert", "give one input file, -o OUT and --format 0|1");
    return kExitUsage;
  }
  auto format = parseInteger(*args.value("--format"));
  if (!format || (*format != 0 && *format != 1)) {
    reportUsage("convert", "--format takes 0 or 1");
    return kExitUsage;
  }
  const std::string& in = args.positional()[0];
  const std::string out = *args.value("--output");

  sw::OSStatus status = sw::noErr;
  std::unique_ptr<sw::MidiSequence> sequence = loadSequence(in, &status);
  if (!sequence) return kExitFailed;
  convertToFormat(*sequence, int(*format), args.has("--gm-names"));
  return writeSequence(*sequence, out, args.has("--running-status"));
}

}  // namespace swcli
