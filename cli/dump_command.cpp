// scorewell-cli dump: every event of one file, one line each.
#include <cstdio>

#include "cli_support.h"
#include "commands.h"
#include "encoding_option.h"
#include "event_text.h"
#include "smf/event_description.h"
#include "smf/midi_sequence.h"

namespace swcli {

namespace {
const char* kDumpHelp =
    "Usage: scorewell-cli dump [--encoding NAME|NUMBER] FILE\n"
    "\n"
    "Lists every event of FILE in the order it is held: ticks, measure:beat:tick,\n"
    "time from the start, track, channel (1-16, '-' for meta and system events), kind\n"
    "and the data in readable form. Sysex messages show their manufacturer, kind,\n"
    "reset, checksum state and carried text before their bytes.\n"
    "\n"
    "  --encoding E   the encoding of meta and sysex texts: a number or a name such as\n"
    "                 shift_jis, cp1251, utf-8 (see 'scorewell-cli encodings');\n"
    "                 ISO Latin 1 by default\n";
}  // namespace

int dumpCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help"};
  spec.valued = {"--encoding"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (!args.ok()) {
    reportUsage("dump", args.error());
    return kExitUsage;
  }
  if (args.has("--help")) {
    std::fputs(kDumpHelp, stdout);
    return kExitOK;
  }
  if (args.positional().size() != 1) {
    reportUsage("dump", "give exactly one file");
    return kExitUsage;
  }
  sw::StringEncoding encoding = sw::kISOLatin1StringEncoding;
  if (args.has("--encoding")) {
    std::string error;
    encoding = parseEncodingOption(*args.value("--encoding"), &error);
    if (encoding == sw::kNoEncoding) {
      reportUsage("dump", error);
      return kExitUsage;
    }
  }
  const std::string& path = args.positional()[0];
  sw::OSStatus status;
  sw::MidiSequence sequence(path, sw::kSMFLoadFull, &status);
  if (status != sw::noErr && sequence.count() == 0) {
    reportError(path, status);
    return kExitFailed;
  }
  std::printf("# %s: %d tracks, division %d, %d events\n", path.c_str(), sequence.numTracks(), sequence.division(),
              sequence.count());
  std::printf("%9s %-12s %-11s %5s %3s %-26s %s\n", "TICKS", "POSITION", "TIME", "TRACK", "CH", "KIND", "DATA");
  for (const sw::MidiEvent* event : sequence.events()) {
    int32_t ticks = int32_t(event->ticks());
    sw::MeasureRec m = sequence.measureAtTicks(ticks);
    char position[48];
    std::snprintf(position, sizeof position, "%.3i:%.2i:%.3i", m.measure, m.beat, m.tick);
    std::string channel = event->isChannelMessage() ? std::to_string(event->channel() + 1) : "-";
    std::printf("%9u %-12s %-11s %5d %3s %-26s %s\n", event->ticks(), position,
                minutesSecondsMillis(sequence.microSecondsAtTicks(ticks) / 1e6).c_str(), event->track() + 1,
                channel.c_str(), sw::eventKindName(*event).c_str(), dumpDataText(*event, encoding).c_str());
  }
  if (status != sw::noErr) {
    reportError(path, status, "the file was read up to a damaged event: " + sw::statusDescription(status));
    return kExitFailed;
  }
  return kExitOK;
}

}  // namespace swcli
