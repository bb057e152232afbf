// scorewell-cli write: read a file and write it back, with or without running status.
#include <cstdio>

#include "cli_support.h"
#include "commands.h"
#include "smf/midi_sequence.h"

namespace swcli {

namespace {
const char* kWriteHelp =
    "Usage: scorewell-cli write IN -o OUT [--format 0|1] [--running-status|--no-running-status]\n"
    "\n"
    "Reads IN (repairing what the reader repairs) and writes it to OUT. OUT may be IN:\n"
    "the file is then replaced safely, keeping its permissions and attributes.\n"
    "\n"
    "  -o, --output OUT       the file to write\n"
    "  --format 0|1           the format to write, converting the file as 'convert' does\n"
    "  --running-status       compress channel messages with running status\n"
    "  --no-running-status    write every status byte (the default)\n";
}  // namespace

int writeCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--running-status", "--no-running-status"};
  spec.valued = {"--output", "--format"};
  spec.aliases = {{"-h", "--help"}, {"-o", "--output"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("write", kWriteHelp, args)) return *done;
  if (args.positional().size() != 1 || !args.has("--output")) {
    reportUsage("write", "give one input file and -o OUT");
    return kExitUsage;
  }
  if (args.has("--running-status") && args.has("--no-running-status")) {
    reportUsage("write", "--running-status and --no-running-status exclude each other");
    return kExitUsage;
  }
  const std::string& in = args.positional()[0];
  std::string out = *args.value("--output");

  int wanted = -1;
  if (auto format = args.value("--format")) {
    auto parsed = parseInteger(*format);
    if (!parsed || (*parsed != 0 && *parsed != 1)) {
      reportUsage("write", "--format takes 0 or 1");
      return kExitUsage;
    }
    wanted = int(*parsed);
  }
  sw::OSStatus status = sw::noErr;
  std::unique_ptr<sw::MidiSequence> sequence = loadSequence(in, &status);
  if (!sequence) return kExitFailed;
  // Without --format the format follows the number of tracks: one track is format 0.
  if (wanted >= 0) convertToFormat(*sequence, wanted, false);
  return writeSequence(*sequence, out, args.has("--running-status"));
}

}  // namespace swcli
