// scorewell-cli render: plays a file through the synthesizer offline into a WAV file.
#include <chrono>
#include <cstdio>

#include "cli_support.h"
#include "commands.h"
#include "playback/offline_renderer.h"
#include "playback_options.h"

namespace swcli {

namespace {
const char* kRenderHelp =
    "Usage: scorewell-cli render FILE -o OUT.wav [--bank FILE] [--rate HZ] [--float]\n"
    "                            [--from MEASURE:BEAT:TICK] [--transpose N] [--mute CHANNELS]\n"
    "\n"
    "Plays FILE through the built-in synthesizer (FluidSynth) as fast as the machine allows\n"
    "and writes the sound as a stereo WAV file, 16-bit unless --float is given. The file\n"
    "ends when the last notes have died away.\n"
    "\n"
    "  -o, --output OUT  the WAV file to write (replaced only when the render succeeds)\n"
    "  --bank FILE       the SoundFont (.sf2, .sf3), a path or a bank name as for 'play'; the\n"
    "                    default General MIDI bank otherwise\n"
    "  --rate HZ         sample rate, 8000-192000 (44100)\n"
    "  --float           32-bit floating-point samples\n"
    "  --from, --transpose, --mute  as for 'play'\n";
}  // namespace

int renderCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--help", "--float", "--verbose"};
  spec.valued = {"--output", "--bank", "--rate", "--from", "--transpose", "--mute"};
  spec.aliases = {{"-h", "--help"}, {"-o", "--output"}, {"-v", "--verbose"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("render", kRenderHelp, args)) return *done;
  if (args.positional().size() != 1 || !args.has("--output")) {
    reportUsage("render", "give one file and -o OUT.wav");
    return kExitUsage;
  }
  sw::RenderOptions options;
  if (auto text = args.value("--rate")) {
    auto rate = parseInteger(*text);
    if (!rate || *rate < 8000 || *rate > 192000) {
      reportUsage("render", "--rate needs a sample rate from 8000 to 192000");
      return kExitUsage;
    }
    options.sampleRate = uint32_t(*rate);
  }
  if (auto text = args.value("--transpose")) {
    auto transpose = parseTranspose(*text);
    if (!transpose) {
      reportUsage("render", "--transpose needs a whole number of semitones from -48 to 48");
      return kExitUsage;
    }
    options.transpose = *transpose;
  }
  if (auto text = args.value("--mute")) {
    auto mute = parseChannelList(*text);
    if (!mute) {
      reportUsage("render", "--mute needs channels 1-16, as in 10 or 1,2,10-12");
      return kExitUsage;
    }
    options.muteMask = *mute;
  }
  if (args.has("--float")) options.format = sw::WavWriter::Format::Float32;
  if (auto bank = args.value("--bank")) options.bankPath = resolveBankPath(*bank);
  installPlaybackLog(args.has("--verbose"));

  const std::string& path = args.positional()[0];
  const std::string output = *args.value("--output");
  sw::OSStatus status = sw::noErr;
  auto sequence = std::make_shared<sw::MidiSequence>(path, sw::kSMFLoadDropRepeats, &status);
  if (status != sw::noErr) {
    reportError(path, status);
    return kExitFailed;
  }
  if (auto text = args.value("--from")) {
    auto ticks = parsePosition(*sequence, *text);
    if (!ticks) {
      reportUsage("render", "--from needs MEASURE:BEAT:TICK inside the file's signature, as in 5:1:0");
      return kExitUsage;
    }
    options.startTicks = *ticks;
  }

  const auto began = std::chrono::steady_clock::now();
  sw::RenderResult result;
  if (const sw::Error error = sw::renderSequenceToWav(sequence, output, options, &result)) {
    const bool bankFault = error.message.find("SoundFont") != std::string::npos;
    reportError(bankFault ? (options.bankPath.empty() ? path : options.bankPath) : output, error.status, error.message);
    return kExitFailed;
  }
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  std::printf("Wrote %s: %s of audio at %u Hz, %s stereo, in %.1f s\n", output.c_str(),
              minutesSecondsMillis(result.seconds).c_str(), options.sampleRate,
              options.format == sw::WavWriter::Format::PCM16 ? "16-bit" : "32-bit float", took);
  return kExitOK;
}

}  // namespace swcli
