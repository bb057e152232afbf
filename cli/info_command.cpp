// scorewell-cli info: the vital data of every MIDI file under the given paths.
#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "cli_support.h"
#include "commands.h"
#include "encoding_option.h"
#include "event_text.h"
#include "library/file_information.h"
#include "library/file_information_stream.h"
#include "library/library_strings.h"
#include "smf/time_math.h"

namespace swcli {

namespace {

const char* kInfoHelp =
    "Usage: scorewell-cli info [--json] [--long] [--all] [--encoding E] [--jobs N]\n"
    "                          [--include GLOB] [--exclude GLOB] [--no-recurse] [--follow-links] PATH...\n"
    "\n"
    "Shows what every Standard MIDI File among PATHs holds, as the browser's information\n"
    "record has it: format (0 below two tracks), tracks, division, duration (seconds cut),\n"
    "the first tempo before the first note (120 without one), karaoke type, chords, the\n"
    "GM/GS/XG resets found, the title, and the defects the diagnosis finds (T: file type or name\n"
    "extension, S: tempo or time signature not on the first track before the first\n"
    "note, R: no reset message, D: damaged, only read up to a fault in a track or chunk,\n"
    "which is named). Folders are walked recursively, in name order; hidden files, links and\n"
    "a file met a second time are left out, as the batch commands leave them out.\n"
    "\n"
    "  --json         one JSON object per line with the whole information record\n"
    "  --long         the whole record and the defects' explanations below each row\n"
    "  --all          also list files that do not read as MIDI files, with their status\n"
    "  --encoding E   decode texts in E (a number or a name); otherwise the encoding\n"
    "                 saved for the file, else the one its texts are confidently\n"
    "                 guessed to be in, else the default encoding\n"
    "  --jobs N       read N files at the same time [the number of cores]; the rows\n"
    "                 come out in the same order as with --jobs 1\n"
    "  --include GLOB, --exclude GLOB\n"
    "                 list only the files below the named folders that match an include\n"
    "                 and no exclude (repeatable; a pattern with '/' matches the path below\n"
    "                 the folder, one without the name; an excluded folder is not entered)\n"
    "  --no-recurse   list only the files directly in the named folders\n"
    "  --follow-links list the files and folders that symbolic links point to\n"
    "\n"
    "Exit status: 0 when every named file was read, 1 when a file named on the command\n"
    "line could not be read or a path does not exist, 2 for bad usage.\n";

using sw::FileInformation;

// "track 3, byte 1,204: data byte without a running status"
std::string faultText(const sw::Error& fault) { return fault.where() + fault.message; }

std::string defectLetters(const FileInformation& f) {
  std::string letters;
  for (const sw::DiagnosisDefect* defect : f.defects) letters += defect->letter;
  return letters.empty() ? "-" : letters;
}

std::string defectText(const sw::DiagnosisDefect& defect) {
  std::string text = sw::libraryString(defect.key);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string jsonStrings(const std::vector<std::string>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + jsonString(values[i]);
  return out + "]";
}

std::string divisionText(const FileInformation& f) {
  if (f.SMPTEFormat)
    return std::to_string(f.division) + "@" + std::to_string(sw::timemath::SMPTEFrameRate(int16_t(f.SMPTEFormat))) + "fps";
  return std::to_string(f.division);
}

void printJSON(const FileInformation& f) {
  if (!f.readable) {
    std::printf("{\"path\":%s%s,\"status\":%d,\"error\":%s}\n", jsonString(f.path).c_str(),
                jsonPathBytes("pathHex", f.path).c_str(), f.status,
                jsonString(sw::statusDescription(f.status)).c_str());
    return;
  }
  std::string defectList = "[";
  for (size_t i = 0; i < f.defects.size(); ++i)
    defectList += std::string(i ? "," : "") + "{\"key\":" + jsonString(f.defects[i]->key) +
                  ",\"text\":" + jsonString(defectText(*f.defects[i])) + "}";
  defectList += "]";
  // Tracks counted from 1, as everywhere the user sees them.
  std::string damageList = "[";
  for (size_t i = 0; i < f.damage.size(); ++i) {
    const sw::Error& fault = f.damage[i];
    damageList += std::string(i ? "," : "") + "{\"track\":" + std::to_string(fault.track + 1) +
                  ",\"offset\":" + std::to_string(fault.offset) + ",\"status\":" + std::to_string(fault.status) +
                  ",\"message\":" + jsonString(fault.message) + ",\"text\":" + jsonString(faultText(fault)) + "}";
  }
  damageList += "]";
  std::printf(
      "{\"path\":%s%s,\"status\":%d,\"format\":%d,\"tracks\":%d,\"division\":%d,\"smpteFormat\":%d,"
      "\"duration\":%s,\"seconds\":%.3f,\"tempo\":%d,\"karaokeType\":%s,"
      "\"hasChords\":%s,\"resets\":%s,\"name\":%s,\"title\":%s,\"author\":%s,\"copyright\":%s,"
      "\"genre\":%s,\"composer\":%s,\"utf8\":%s,\"encoding\":{\"number\":%u,\"name\":%s,\"source\":%s},"
      "\"type\":%s,\"creator\":%s,\"defects\":%s,\"damage\":%s}\n",
      jsonString(f.path).c_str(), jsonPathBytes("pathHex", f.path).c_str(), f.scanStatus, f.format, f.tracks,
      f.division, f.SMPTEFormat, jsonString(f.duration).c_str(), f.durationMSecs / 1000.0, f.tempo,
      jsonString(f.karaokeType).c_str(),
      f.hasChords ? "true" : "false", jsonStrings(f.resets).c_str(), jsonString(f.sequenceName).c_str(),
      jsonString(f.title).c_str(), jsonString(f.author).c_str(), jsonString(f.copyright).c_str(),
      jsonString(f.genre).c_str(), jsonString(f.composer).c_str(), f.utf8 ? "true" : "false", f.encoding.encoding,
      jsonString(sw::nameOfEncoding(f.encoding.encoding)).c_str(),
      jsonString(sw::encodingSourceName(f.encoding.source)).c_str(), jsonString(f.type).c_str(),
      jsonString(f.creator).c_str(), defectList.c_str(), damageList.c_str());
}

void printRow(const FileInformation& f, bool details) {
  if (!f.readable) {
    std::printf("%-3s %6s %9s %7s %5s %-4s %-3s %-8s %-7s  %s (%s [%d])\n", "-", "-", "-", "-", "-", "-", "-", "-",
                "-", f.path.c_str(), sw::statusDescription(f.status).c_str(), f.status);
    return;
  }
  std::string resets;
  for (const std::string& reset : f.resets) resets += (resets.empty() ? "" : " ") + reset;
  std::printf("%-3d %6d %9s %7s %5d %-4s %-3s %-8s %-7s  %s", f.format, f.tracks, divisionText(f).c_str(),
              f.duration.c_str(), f.tempo, f.karaokeType.empty() ? "-" : f.karaokeType.c_str(),
              f.hasChords ? "yes" : "-", resets.empty() ? "-" : resets.c_str(), defectLetters(f).c_str(),
              f.path.c_str());
  if (f.scanStatus != sw::noErr && f.damage.empty())
    std::printf(" (read up to: %s [%d])", sw::statusDescription(f.scanStatus).c_str(), f.scanStatus);
  if (!f.damage.empty())
    std::printf(" (damaged: %s%s)", escapedForLine(faultText(f.damage.front())).c_str(),
                f.damage.size() > 1 ? (", and " + std::to_string(f.damage.size() - 1) + " more").c_str() : "");
  std::printf("\n");
  if (!details) return;
  auto line = [](const char* label, const std::string& value) {
    if (!value.empty()) std::printf("    %-10s %s\n", label, escapedForLine(value).c_str());
  };
  line("name", f.sequenceName);
  line("title", f.title);
  line("author", f.author);
  line("copyright", f.copyright);
  line("genre", f.genre);
  line("composer", f.composer);
  line("encoding", sw::nameOfEncoding(f.encoding.encoding) + " (" + sw::encodingSourceName(f.encoding.source) + ")");
  line("type", f.type.empty() ? "" : f.type + " / " + f.creator);
  for (const sw::DiagnosisDefect* defect : f.defects) {
    line("defect", defectText(*defect));
    if (defect->key == std::string("DAMAGED"))
      for (const sw::Error& fault : f.damage) line("", "  " + faultText(fault));
  }
}

}  // namespace

int infoCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--json", "--all", "--long", "--no-recurse", "--follow-links", "--help"};
  spec.valued = {"--encoding", "--jobs", "--include", "--exclude"};
  spec.aliases = {{"-h", "--help"}};
  Arguments args(argc, argv, spec);
  if (std::optional<int> done = helpOrUsageError("info", kInfoHelp, args)) return *done;
  if (args.positional().empty()) {
    reportUsage("info", "no file or folder given");
    return kExitUsage;
  }
  bool json = args.has("--json"), all = args.has("--all"), details = args.has("--long");
  std::optional<sw::StringEncoding> chosen;
  if (args.has("--encoding")) {
    std::string error;
    const sw::StringEncoding encoding = parseEncodingOption(*args.value("--encoding"), &error);
    if (encoding == sw::kNoEncoding) {
      reportUsage("info", error);
      return kExitUsage;
    }
    chosen = encoding;
  }
  unsigned jobs = 0;  // one per core
  if (args.has("--jobs")) {
    const std::optional<long> number = parseInteger(*args.value("--jobs"));
    if (!number || *number < 1 || *number > 256) {
      reportUsage("info", "--jobs takes a whole number from 1 to 256");
      return kExitUsage;
    }
    jobs = unsigned(*number);
  }
  sw::BatchSelection selection;
  selection.includes = args.values("--include");
  selection.excludes = args.values("--exclude");
  selection.recurse = !args.has("--no-recurse");
  selection.followLinks = args.has("--follow-links");
  for (const std::vector<std::string>* patterns : {&selection.includes, &selection.excludes})
    if (std::find(patterns->begin(), patterns->end(), "") != patterns->end()) {
      reportUsage("info", "--include and --exclude need a pattern");
      return kExitUsage;
    }
  int failures = 0;
  if (!json)
    std::printf("%-3s %6s %9s %7s %5s %-4s %-3s %-8s %-7s  %s\n", "FMT", "TRACKS", "DIVISION", "TIME", "BPM", "KAR",
                "CHD", "RESETS", "DEFECTS", "FILE");
  // Files are listed while the folders are still walked, a few hundred at a time, so the
  // first rows of a large collection come at once.
  constexpr size_t kChunk = 256;
  std::vector<std::string> chunk;
  std::unordered_set<std::string> named;  // the chunk's files named on the command line
  auto show = [&](const FileInformation& facts) {
    const bool unreadable = !facts.readable;
    if (unreadable && named.count(facts.path) != 0) {
      reportError(facts.path, facts.status, sw::statusDescription(facts.status));
      ++failures;
      if (!all) return;
    } else if (unreadable && !all) {
      return;
    }
    json ? printJSON(facts) : printRow(facts, details);
  };
  auto listChunk = [&] {
    sw::streamFileInformation(chunk, chosen, jobs, show);
    std::fflush(stdout);
    chunk.clear();
    named.clear();
  };
  findFiles(args.positional(), selection, failures, [&](CollectedFile&& file) {
    if (file.named) named.insert(file.path);
    chunk.push_back(std::move(file.path));
    if (chunk.size() == kChunk) listChunk();
  });
  listChunk();
  return failures ? kExitFailed : kExitOK;
}

}  // namespace swcli
