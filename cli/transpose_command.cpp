// scorewell-cli transpose: move the notes of a file (drum channels excepted) by a number of
// semitones, with the chord symbols of its lyrics, texts, XF chords and chord sysex.
#include <cstdio>

#include "cli_support.h"
#include "commands.h"
#include "smf/midi_sequence.h"
#include "text/chord_transposer.h"

namespace swcli {

namespace {
const char* kTransposeHelp =
    "Usage: scorewell-cli transpose FILE -o OUT --semitones N [--running-status]\n"
    "\n"
    "Reads FILE, transposes it and writes it to OUT (which may be FILE). Notes move by N\n"
    "semitones (-127 to 127); a note that would leave the MIDI range comes back by whole\n"
    "octaves. Drum channels are left alone. Chord names follow the notes: texts and lyrics\n"
    "marked with '%', plain chord texts, XF chord events, XG and Midisoft chord messages.\n"
    "\n"
    "  -o, --output OUT   the file to write\n"
    "  --semitones N      the interval, negative to go down\n"
    "  --running-status   compress channel messages with running status\n";
}  // namespace

int transposeCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--running-status"};
  spec.valued = {"--output", "--semitones"};
  spec.aliases = {{"-h", "--help"}, {"-o", "--output"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("transpose", kTransposeHelp, args)) return *done;
  if (args.positional().size() != 1 || !args.has("--output") || !args.has("--semitones")) {
    reportUsage("transpose", "give one input file, -o OUT and --semitones N");
    return kExitUsage;
  }
  auto semitones = parseInteger(*args.value("--semitones"));
  if (!semitones || *semitones < -127 || *semitones > 127) {
    reportUsage("transpose", "--semitones takes a whole number from -127 to 127");
    return kExitUsage;
  }
  const std::string& in = args.positional()[0];
  const std::string out = *args.value("--output");

  sw::OSStatus status = sw::noErr;
  std::unique_ptr<sw::MidiSequence> sequence = loadSequence(in, &status);
  if (!sequence) return kExitFailed;
  sequence->changePitch(int(*semitones), sw::ChordTransposer::forSequence(*sequence).hook());
  return writeSequence(*sequence, out, args.has("--running-status"));
}

}  // namespace swcli
