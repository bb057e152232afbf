// scorewell-cli play: plays a file in real time to a MIDI destination or the built-in
// synthesizer, with the position and a level meter on the terminal.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "cli_support.h"
#include "commands.h"
#include "playback/fluidsynth/dls_music_device.h"
#include "playback/midi_client.h"
#include "playback/midi_player_controller.h"
#include "playback_options.h"

namespace swcli {

namespace {

const char* kPlayHelp =
    "Usage: scorewell-cli play FILE [--port ID | --synth] [--bank FILE] [--from MEASURE:BEAT:TICK]\n"
    "                          [--transpose N] [--mute CHANNELS] [--verbose]\n"
    "\n"
    "Plays FILE in real time and shows the position and a level meter per channel.\n"
    "Ctrl-C stops it cleanly: every note is switched off.\n"
    "\n"
    "  --port ID         a MIDI destination from 'scorewell-cli ports' (its ID, client:port\n"
    "                    address or name); otherwise the one chosen in the settings, or the\n"
    "                    built-in synthesizer\n"
    "  --synth           the built-in synthesizer (FluidSynth), whatever the settings say\n"
    "  --bank FILE       the SoundFont (.sf2, .sf3) for the synthesizer: a path, or the name\n"
    "                    of a bank in the sound-font folders\n"
    "  --from M:B:T      start at measure M, beat B, tick T (1-based measure and beat)\n"
    "  --transpose N     transpose by N semitones (-48..48); drum channels stay\n"
    "  --mute CHANNELS   mute channels 1-16, e.g. 10 or 1,2,10-12\n"
    "  --verbose         show the playback library's diagnostics\n";

volatile sig_atomic_t gInterrupted = 0;

void onSignal(int) { gInterrupted = 1; }

// Eight steps per bar, blank for silence.
std::string meter(const sw::MidiPlayerController& controller) {
  static const char* kBars[] = {" ", "\u2581", "\u2582", "\u2583", "\u2584", "\u2585", "\u2586", "\u2587", "\u2588"};
  std::string text;
  for (int channel = 0; channel < 16; ++channel) {
    int level = controller.level(channel);
    text += kBars[level <= 0 ? 0 : 1 + std::min(7, level * 8 / 128)];
  }
  return text;
}

}  // namespace

int playCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--synth", "--verbose"};
  spec.valued = {"--port", "--bank", "--from", "--transpose", "--mute"};
  spec.aliases = {{"-h", "--help"}, {"-v", "--verbose"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("play", kPlayHelp, args)) return *done;
  if (args.positional().size() != 1) {
    reportUsage("play", "give exactly one file");
    return kExitUsage;
  }
  if (args.has("--port") && args.has("--synth")) {
    reportUsage("play", "--port and --synth exclude each other");
    return kExitUsage;
  }
  std::optional<int> transpose = 0;
  if (auto text = args.value("--transpose"); text && !(transpose = parseTranspose(*text))) {
    reportUsage("play", "--transpose needs a whole number of semitones from -48 to 48");
    return kExitUsage;
  }
  std::optional<uint16_t> mute = 0;
  if (auto text = args.value("--mute"); text && !(mute = parseChannelList(*text))) {
    reportUsage("play", "--mute needs channels 1-16, as in 10 or 1,2,10-12");
    return kExitUsage;
  }
  installPlaybackLog(args.has("--verbose"));

  const std::string& path = args.positional()[0];
  sw::OSStatus status = sw::noErr;
  auto sequence = std::make_shared<sw::MidiSequence>(path, sw::kSMFLoadDropRepeats, &status);
  if (status != sw::noErr) {
    reportError(path, status);
    return kExitFailed;
  }
  uint32_t startTicks = 0;
  if (auto text = args.value("--from")) {
    auto ticks = parsePosition(*sequence, *text);
    if (!ticks) {
      reportUsage("play", "--from needs MEASURE:BEAT:TICK inside the file's signature, as in 5:1:0");
      return kExitUsage;
    }
    startTicks = *ticks;
  }

  sw::MIDIClient& client = sw::MIDIClient::sharedMIDIClient();
  std::optional<sw::MidiEndpoint> port;
  const bool forceSynth = args.has("--synth") || args.value("--port") == "synth";
  if (auto text = args.value("--port"); text && *text != "synth") {
    port = client.findDestination(*text);
    if (!port) {
      std::fprintf(stderr, "scorewell-cli: no MIDI destination '%s'%s\n", text->c_str(),
                   client.hasTransport() ? " (see 'scorewell-cli ports')" : ": this machine has no MIDI sequencer");
      return kExitFailed;
    }
  }
  std::shared_ptr<sw::MIDIFilter> output = client.midiOutput();
  if (port || forceSynth) client.selectDestination(port, false);
  auto* device = dynamic_cast<sw::DLSMusicDevice*>(output->musicDevice());
  if (auto bank = args.value("--bank")) {
    sw::OSStatus bankStatus = device ? device->setBankPath(resolveBankPath(*bank)) : sw::paramErr;
    if (bankStatus != sw::noErr) {
      reportError(*bank, bankStatus, "not a usable SoundFont");
      return kExitFailed;
    }
  }

  sw::MidiPlayerController controller(output);
  controller.setEventList(sequence);
  controller.midiPlayer().setPitch(*transpose * 100.0);
  controller.setFilterChannelMask(*mute);
  if (startTicks) controller.setTime(startTicks);

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const bool toSynth = output->dest() == 0;
  controller.start();
  std::string through = "the built-in synthesizer";
  if (!toSynth) {
    through = "MIDI destination " + std::to_string(output->dest());
    for (const sw::MidiEndpoint& endpoint : client.destinations())
      if (endpoint.ref == output->dest()) through = "MIDI destination " + endpoint.name;
  }
  if (toSynth && device) through += " (" + device->bankName() + ")";
  std::printf("Playing %s through %s, %s long\n", std::filesystem::path(path).filename().c_str(), through.c_str(),
              sw::MidiPlayerController::formatInterval(controller.durationSecs()).c_str());
  std::fflush(stdout);

  const bool terminal = isatty(STDOUT_FILENO);
  const std::string total = sw::MidiPlayerController::formatInterval(controller.durationSecs());
  auto nextSecond = std::chrono::steady_clock::now();
  std::string lastLine;
  while (!gInterrupted && controller.isPlaying()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    controller.idle();
    if (std::chrono::steady_clock::now() >= nextSecond) {
      if (!controller.secondsTimerFired()) break;
      nextSecond = std::chrono::steady_clock::now() +
                   std::chrono::microseconds(int64_t(controller.secondsTimerInterval() * 1e6));
    }
    sw::MeasureRec m = controller.midiPlayer().getMeasure();
    char line[256];
    std::snprintf(line, sizeof line, "%s / %s  %3d:%02d  %5.1f BPM", controller.timeText().c_str(), total.c_str(),
                  m.measure, m.beat, controller.midiPlayer().tempo());
    if (terminal) {
      std::printf("\r%s  |%s|", line, meter(controller).c_str());
      std::fflush(stdout);
    } else if (lastLine != controller.timeText()) {
      std::printf("%s\n", line);
      std::fflush(stdout);
    }
    lastLine = controller.timeText();
  }
  const bool interrupted = gInterrupted;
  controller.stop();  // all notes off when stopped before the end
  if (terminal) std::printf("\n");
  if (interrupted) std::printf("Stopped at %s\n", controller.timeText().c_str());
  if (device) {
    // Lets the last notes ring out, then closes the audio device.
    if (!interrupted && device->isGraphRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(800));
    device->stopAUGraph(0);
  }
  sw::MIDIClient::sharedMIDIClient().dispose();
  return kExitOK;
}

}  // namespace swcli
