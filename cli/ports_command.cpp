// scorewell-cli ports: the MIDI destinations play can send to.
#include <cstdio>

#include "base/log.h"
#include "cli_support.h"
#include "commands.h"
#include "playback/midi_client.h"
#include "playback_options.h"

namespace swcli {

namespace {
const char* kPortsHelp =
    "Usage: scorewell-cli ports\n"
    "\n"
    "Lists the MIDI destinations of the ALSA sequencer, one a line: the ID to give to\n"
    "'play --port', the client:port address and the name. The built-in synthesizer is\n"
    "always there and is listed first as 'synth'.\n";
}  // namespace

int portsCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("ports", kPortsHelp, args)) return *done;
  if (!args.positional().empty()) {
    reportUsage("ports", "takes no arguments");
    return kExitUsage;
  }
  sw::setLogSink([](const std::string&) {});  // the reason is printed below
  sw::MIDIClient& client = sw::MIDIClient::sharedMIDIClient();
  std::printf("%-10s %-8s %s\n", "ID", "ADDRESS", "NAME");
  std::printf("%-10s %-8s %s\n", "synth", "-", "built-in synthesizer (FluidSynth)");
  for (const sw::MidiEndpoint& endpoint : client.destinations())
    std::printf("%-10u %-8s %s\n", endpoint.uniqueID, endpoint.address.c_str(), endpoint.name.c_str());
  if (!client.hasTransport())
    std::fprintf(stderr, "scorewell-cli: no MIDI sequencer (%s): no destinations; play uses the synthesizer\n",
                 client.transportError().message.c_str());
  return kExitOK;
}

}  // namespace swcli
