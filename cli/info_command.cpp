// scorewell-cli info: the vital data of every MIDI file under the given paths.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "cli_support.h"
#include "commands.h"
#include "smf/midi_sequence.h"

namespace swcli {

namespace {

const char* kInfoHelp =
    "Usage: scorewell-cli info [--json] [--all] PATH...\n"
    "\n"
    "Shows format, tracks, division, event count, duration and first tempo of every\n"
    "Standard MIDI File among PATHs. Folders are walked recursively.\n"
    "\n"
    "  --json   one JSON object per line instead of a table\n"
    "  --all    also list files that do not read as MIDI files, with their status\n"
    "\n"
    "Exit status: 0 when every named file was read, 1 when a file named on the command\n"
    "line could not be read or a path does not exist, 2 for bad usage.\n";

struct FileFacts {
  std::string path;
  sw::OSStatus status = sw::noErr;
  int format = 0;
  int tracks = 0;
  int division = 0;
  int smpteFormat = 0;
  int events = 0;
  double seconds = 0;
  double bpm = 0;
};

FileFacts examine(const std::string& path) {
  FileFacts facts;
  facts.path = path;
  sw::SMFImage image;
  facts.status = sw::readSMFFile(path, image);
  if (facts.status != sw::noErr) return facts;
  facts.format = image.format;
  facts.smpteFormat = image.SMPTEFormat;
  sw::OSStatus status;
  sw::MidiSequence sequence(image, sw::kSMFLoadFull, &status);
  // A build that stopped at a bad byte still yields what was read; the status is shown.
  facts.status = status;
  facts.tracks = sequence.numTracks();
  facts.division = sequence.division();
  facts.events = sequence.count();
  facts.seconds = sequence.microSecondsAtTicks(int32_t(sequence.duration())) / 1e6;
  if (!sequence.tempoMap().empty()) facts.bpm = sequence.tempoForTickDuration(sequence.tempoMap().begin()->second);
  return facts;
}

std::string divisionText(const FileFacts& f) {
  if (f.smpteFormat) return std::to_string(f.division) + "@" + std::to_string(0x100 - (0x80 | f.smpteFormat)) + "fps";
  return std::to_string(f.division);
}

void printJSON(const FileFacts& f) {
  if (f.status != sw::noErr && f.tracks == 0) {
    std::printf("{\"path\":%s,\"status\":%d,\"error\":%s}\n", jsonString(f.path).c_str(), f.status,
                jsonString(sw::statusDescription(f.status)).c_str());
    return;
  }
  std::printf(
      "{\"path\":%s,\"status\":%d,\"format\":%d,\"tracks\":%d,\"division\":%d,\"smpteFormat\":%d,"
      "\"events\":%d,\"duration\":%s,\"seconds\":%.3f,\"tempo\":%.2f}\n",
      jsonString(f.path).c_str(), f.status, f.format, f.tracks, f.division, f.smpteFormat, f.events,
      jsonString(minutesSeconds(f.seconds)).c_str(), f.seconds, f.bpm);
}

void printRow(const FileFacts& f) {
  if (f.status != sw::noErr && f.tracks == 0) {
    std::printf("%-3s %6s %9s %8s %7s %8s  %s (%s [%d])\n", "-", "-", "-", "-", "-", "-", f.path.c_str(),
                sw::statusDescription(f.status).c_str(), f.status);
    return;
  }
  std::printf("%-3d %6d %9s %8d %7s %8.2f  %s", f.format, f.tracks, divisionText(f).c_str(), f.events,
              minutesSeconds(f.seconds).c_str(), f.bpm, f.path.c_str());
  if (f.status != sw::noErr) std::printf(" (read up to: %s [%d])", sw::statusDescription(f.status).c_str(), f.status);
  std::printf("\n");
}

}  // namespace

int infoCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--json", "--all", "--help"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (!args.ok()) {
    reportUsage("info", args.error());
    return kExitUsage;
  }
  if (args.has("--help")) {
    std::fputs(kInfoHelp, stdout);
    return kExitOK;
  }
  if (args.positional().empty()) {
    reportUsage("info", "no file or folder given");
    return kExitUsage;
  }
  bool json = args.has("--json"), all = args.has("--all");
  int failures = 0;
  std::vector<std::string> named;
  for (const std::string& p : args.positional())
    if (!std::filesystem::is_directory(p)) named.push_back(p);
  std::vector<std::string> files = collectFiles(args.positional(), failures);
  if (!json) std::printf("%-3s %6s %9s %8s %7s %8s  %s\n", "FMT", "TRACKS", "DIVISION", "EVENTS", "TIME", "BPM", "FILE");
  for (const std::string& path : files) {
    FileFacts facts = examine(path);
    bool unreadable = facts.status != sw::noErr && facts.tracks == 0;
    bool wasNamed = std::find(named.begin(), named.end(), path) != named.end();
    if (unreadable && wasNamed) {
      reportError(path, facts.status, sw::statusDescription(facts.status));
      ++failures;
      if (!all) continue;
    } else if (unreadable && !all) {
      continue;
    }
    json ? printJSON(facts) : printRow(facts);
  }
  return failures ? kExitFailed : kExitOK;
}

}  // namespace swcli
