// scorewell-cli info: the vital data of every MIDI file under the given paths.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/finder_info.h"
#include "cli_support.h"
#include "commands.h"
#include "encoding_option.h"
#include "event_text.h"
#include "library/library_strings.h"
#include "library/midi_file_item.h"
#include "smf/midi_sequence.h"
#include "text/encoding_guess.h"
#include "text/encoding_manager.h"
#include "text/text_conversion.h"

namespace swcli {

namespace {

const char* kInfoHelp =
    "Usage: scorewell-cli info [--json] [--long] [--all] [--encoding E] PATH...\n"
    "\n"
    "Shows what every Standard MIDI File among PATHs holds: format, tracks, division,\n"
    "event count, duration, first tempo, karaoke type, chords, the GM/GS/XG resets\n"
    "found, the title, and the defects the diagnosis finds (T: file type or name\n"
    "extension, S: tempo or time signature not on the first track before the first\n"
    "note, R: no reset message, D: damaged, only read up to a fault in a track or chunk,\n"
    "which is named). Folders are walked recursively.\n"
    "\n"
    "  --json         one JSON object per line with the whole information record\n"
    "  --long         the whole record and the defects' explanations below each row\n"
    "  --all          also list files that do not read as MIDI files, with their status\n"
    "  --encoding E   decode texts in E (a number or a name); otherwise the encoding\n"
    "                 saved for the file, or the one its texts are guessed to be in\n"
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
  // From the information record and the diagnosis.
  std::string karaokeType, resets, name, title, author, copyright, genre, composer, type, creator;
  bool hasChords = false, utf8 = false;
  sw::StringEncoding encoding = sw::kISOLatin1StringEncoding;
  std::string encodingSource;  // "option", "attribute" or "guess"
  std::vector<std::string> defectKeys;
  std::vector<sw::Error> damage;  // what could not be read: track, byte offset, fault
};

// The letters of the table's DEFECTS column, by diagnosis key.
const std::pair<const char*, char> kDefectLetters[] = {
    {"BAD_FINDER_TYPE", 'T'}, {"BAD_TEMPO_SIGNATURE", 'S'}, {"MISSING_RESET_MESSAGE", 'R'}, {"DAMAGED", 'D'}};

// "track 3, byte 1,204: data byte without a running status"
std::string faultText(const sw::Error& fault) { return fault.where() + fault.message; }

std::string decode(std::string_view bytes, sw::StringEncoding encoding) {
  std::string utf8;
  sw::convertToUTF8(bytes, encoding, utf8, sw::ConversionMode::Lossy);
  return utf8;
}

FileFacts examine(const std::string& path, std::optional<sw::StringEncoding> chosen) {
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

  // The record and the diagnosis, as the browser computes them.
  sw::MidiFileItem item(path, nullptr);
  const sw::FinderInfo codes = sw::FinderInfo::read(path);
  item.setFinderCodes(codes.type, codes.creator);
  if (item.updateInfo() != sw::noErr) return facts;
  const sw::SequenceInfo& info = item.info();
  facts.encoding = textEncodingForFile(path, sequence, chosen, &facts.encodingSource);
  facts.karaokeType = item.karType().value_or("");
  while (!facts.karaokeType.empty() && facts.karaokeType.back() == ' ') facts.karaokeType.pop_back();
  facts.resets = item.resetSysEx().value_or("");
  while (!facts.resets.empty() && facts.resets.back() == ' ') facts.resets.pop_back();
  facts.hasChords = info.hasChords;
  facts.utf8 = info.UTF8;
  facts.name = decode(sw::pascalBytes(info.seqName), facts.encoding);
  facts.title = decode(sw::pascalBytes(info.title), facts.encoding);
  facts.author = decode(sw::pascalBytes(info.author), facts.encoding);
  facts.copyright = decode(sw::pascalBytes(info.copyright), facts.encoding);
  facts.genre = decode(sw::pascalBytes(info.genre), facts.encoding);
  facts.composer = decode(sw::pascalBytes(info.composer), facts.encoding);
  facts.type = item.type().value_or("");
  facts.creator = item.creator().value_or("");
  const std::string explanation = item.bugExplanation();
  facts.damage = item.damage();
  for (const auto& [key, letter] : kDefectLetters) {
    const std::string text = sw::libraryString(key);
    if (!text.empty() && explanation.find(text) != std::string::npos) facts.defectKeys.push_back(key);
  }
  return facts;
}

std::string defectLetters(const FileFacts& f) {
  std::string letters;
  for (const auto& [key, letter] : kDefectLetters)
    if (std::find(f.defectKeys.begin(), f.defectKeys.end(), key) != f.defectKeys.end()) letters += letter;
  return letters.empty() ? "-" : letters;
}

std::string jsonStrings(const std::vector<std::string>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + jsonString(values[i]);
  return out + "]";
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
  std::vector<std::string> resets;
  for (size_t at = 0; at < f.resets.size(); at += 3) resets.push_back(f.resets.substr(at, 2));
  std::vector<std::string> defects;
  for (const std::string& key : f.defectKeys) {
    std::string text = sw::libraryString(key);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    defects.push_back("{\"key\":" + jsonString(key) + ",\"text\":" + jsonString(text) + "}");
  }
  std::string defectList = "[";
  for (size_t i = 0; i < defects.size(); ++i) defectList += (i ? "," : "") + defects[i];
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
      "{\"path\":%s,\"status\":%d,\"format\":%d,\"tracks\":%d,\"division\":%d,\"smpteFormat\":%d,"
      "\"events\":%d,\"duration\":%s,\"seconds\":%.3f,\"tempo\":%.2f,\"karaokeType\":%s,"
      "\"hasChords\":%s,\"resets\":%s,\"name\":%s,\"title\":%s,\"author\":%s,\"copyright\":%s,"
      "\"genre\":%s,\"composer\":%s,\"utf8\":%s,\"encoding\":{\"number\":%u,\"name\":%s,\"source\":%s},"
      "\"type\":%s,\"creator\":%s,\"defects\":%s,\"damage\":%s}\n",
      jsonString(f.path).c_str(), f.status, f.format, f.tracks, f.division, f.smpteFormat, f.events,
      jsonString(minutesSeconds(f.seconds)).c_str(), f.seconds, f.bpm, jsonString(f.karaokeType).c_str(),
      f.hasChords ? "true" : "false", jsonStrings(resets).c_str(), jsonString(f.name).c_str(),
      jsonString(f.title).c_str(), jsonString(f.author).c_str(), jsonString(f.copyright).c_str(),
      jsonString(f.genre).c_str(), jsonString(f.composer).c_str(), f.utf8 ? "true" : "false", f.encoding,
      jsonString(sw::nameOfEncoding(f.encoding)).c_str(), jsonString(f.encodingSource).c_str(),
      jsonString(f.type).c_str(), jsonString(f.creator).c_str(), defectList.c_str(), damageList.c_str());
}

void printRow(const FileFacts& f, bool details) {
  if (f.status != sw::noErr && f.tracks == 0) {
    std::printf("%-3s %6s %9s %8s %7s %8s %-4s %-3s %-8s %-7s  %s (%s [%d])\n", "-", "-", "-", "-", "-", "-", "-",
                "-", "-", "-", f.path.c_str(), sw::statusDescription(f.status).c_str(), f.status);
    return;
  }
  std::printf("%-3d %6d %9s %8d %7s %8.2f %-4s %-3s %-8s %-7s  %s", f.format, f.tracks, divisionText(f).c_str(),
              f.events, minutesSeconds(f.seconds).c_str(), f.bpm, f.karaokeType.empty() ? "-" : f.karaokeType.c_str(),
              f.hasChords ? "yes" : "-", f.resets.empty() ? "-" : f.resets.c_str(), defectLetters(f).c_str(),
              f.path.c_str());
  if (f.status != sw::noErr && f.damage.empty())
    std::printf(" (read up to: %s [%d])", sw::statusDescription(f.status).c_str(), f.status);
  if (!f.damage.empty())
    std::printf(" (damaged: %s%s)", escapedForLine(faultText(f.damage.front())).c_str(),
                f.damage.size() > 1 ? (", and " + std::to_string(f.damage.size() - 1) + " more").c_str() : "");
  std::printf("\n");
  if (!details) return;
  auto line = [](const char* label, const std::string& value) {
    if (!value.empty()) std::printf("    %-10s %s\n", label, escapedForLine(value).c_str());
  };
  line("name", f.name);
  line("title", f.title);
  line("author", f.author);
  line("copyright", f.copyright);
  line("genre", f.genre);
  line("composer", f.composer);
  line("encoding", sw::nameOfEncoding(f.encoding) + " (" + f.encodingSource + ")");
  line("type", f.type.empty() ? "" : f.type + " / " + f.creator);
  for (const std::string& key : f.defectKeys) {
    std::string text = sw::libraryString(key);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    line("defect", text);
    if (key == std::string("DAMAGED"))
      for (const sw::Error& fault : f.damage) line("", "  " + faultText(fault));
  }
}

}  // namespace

int infoCommand(int argc, char** argv) {
  OptionSpec spec;
  spec.flags = {"--json", "--all", "--long", "--help"};
  spec.valued = {"--encoding"};
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
  int failures = 0;
  std::vector<std::string> named;
  for (const std::string& p : args.positional())
    if (!std::filesystem::is_directory(p)) named.push_back(p);
  std::vector<std::string> files = collectFiles(args.positional(), failures);
  if (!json)
    std::printf("%-3s %6s %9s %8s %7s %8s %-4s %-3s %-8s %-7s  %s\n", "FMT", "TRACKS", "DIVISION", "EVENTS", "TIME",
                "BPM", "KAR", "CHD", "RESETS", "DEFECTS", "FILE");
  for (const std::string& path : files) {
    FileFacts facts = examine(path, chosen);
    bool unreadable = facts.status != sw::noErr && facts.tracks == 0;
    bool wasNamed = std::find(named.begin(), named.end(), path) != named.end();
    if (unreadable && wasNamed) {
      reportError(path, facts.status, sw::statusDescription(facts.status));
      ++failures;
      if (!all) continue;
    } else if (unreadable && !all) {
      continue;
    }
    json ? printJSON(facts) : printRow(facts, details);
  }
  return failures ? kExitFailed : kExitOK;
}

}  // namespace swcli
