#include "cli_support.h"

#include <climits>
#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "smf/midi_sequence.h"
#include "text/utf8_validator.h"

namespace fs = std::filesystem;

namespace swcli {

Arguments::Arguments(int argc, char** argv, const OptionSpec& spec) {
  bool onlyPositional = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPositional = true;
      continue;
    }
    std::string value;
    bool hasValue = false;
    if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    if (auto alias = spec.aliases.find(arg); alias != spec.aliases.end()) arg = alias->second;
    if (spec.flags.count(arg)) {
      if (hasValue) {
        error_ = "option " + arg + " takes no value";
        return;
      }
      values_[arg].push_back("");
    } else if (spec.valued.count(arg)) {
      if (!hasValue) {
        if (i + 1 >= argc) {
          error_ = "option " + arg + " needs a value";
          return;
        }
        value = argv[++i];
      }
      values_[arg].push_back(value);
    } else {
      error_ = "unknown option " + arg;
      return;
    }
  }
}

std::optional<std::string> Arguments::value(const std::string& option) const {
  auto it = values_.find(option);
  if (it == values_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> Arguments::values(const std::string& option) const {
  auto it = values_.find(option);
  return it == values_.end() ? std::vector<std::string>() : it->second;
}

std::unique_ptr<sw::MidiSequence> loadSequence(const std::string& path, sw::OSStatus* status) {
  sw::SMFImage image;
  *status = sw::readSMFFile(path, image);
  if (*status != sw::noErr) {
    reportError(path, *status);
    return nullptr;
  }
  auto sequence = std::make_unique<sw::MidiSequence>(image, sw::kSMFLoadFull, status);
  if (*status != sw::noErr) {
    reportError(path, *status, "not written: the file is damaged (" + sw::statusDescription(*status) + ")");
    return nullptr;
  }
  // Writing what could be read would lose the rest for good: that is fix's work.
  if (sequence->isDamaged()) {
    const sw::Error& fault = sequence->damage().front();
    *status = fault.status;
    reportError(path, fault.status,
                "not written: the file is damaged (" + fault.where() + fault.message +
                    "); 'scorewell-cli fix' rewrites it from what can be read");
    return nullptr;
  }
  return sequence;
}

void findFiles(const std::vector<std::string>& paths, const sw::BatchSelection& selection, int& missing,
               const std::function<void(CollectedFile&&)>& take) {
  std::vector<std::unique_ptr<sw::MidiFileItem>> roots;
  for (const std::string& path : paths) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) {
      reportError(path, sw::fnfErr);
      ++missing;
      continue;
    }
    if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
      // A pipe or a device: nothing a MIDI file could be read from.
      reportError(path, sw::paramErr, "is not a regular file");
      ++missing;
      continue;
    }
    std::string rootPath = path;
    // A link to a folder is walked where it points, as a batch walks it.
    char resolved[PATH_MAX];
    const bool linkToFolder = fs::is_directory(status) && fs::is_symlink(fs::symlink_status(path, error));
    if (linkToFolder && ::realpath(path.c_str(), resolved)) rootPath = resolved;
    roots.push_back(std::make_unique<sw::MidiFileItem>(rootPath, nullptr));
  }
  std::vector<sw::MidiFileItem*> pointers;
  for (const auto& root : roots) pointers.push_back(root.get());
  sw::BatchFileFinder finder(std::move(pointers), selection, false);
  finder.find([&](sw::FoundFile&& found) {
    if (found.kind == sw::FoundFile::Kind::File && !found.skipped) take({std::move(found.path), found.named});
    return true;
  });
}

void reportError(const std::string& path, sw::OSStatus status, const std::string& message) {
  sw::Error error{status, path, message};
  std::fprintf(stderr, "scorewell-cli: %s\n", error.toString().c_str());
}

void reportUsage(const std::string& command, const std::string& message) {
  std::fprintf(stderr, "scorewell-cli %s: %s\nTry 'scorewell-cli %s --help'.\n", command.c_str(), message.c_str(),
               command.c_str());
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // Bytes that are not UTF-8 (a file name can hold any) become U+FFFD: the text stays JSON.
      const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
      if (length && i + length <= text.size() && sw::isWellFormedUTF8(std::string_view(text).substr(i, length))) {
        out.append(text, i, length);
        i += length - 1;
      } else {
        out += "\\ufffd";
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += char(c);
        }
    }
  }
  return out + "\"";
}

std::string jsonPathBytes(const char* key, const std::string& path) {
  if (sw::isWellFormedUTF8(path)) return "";
  static const char* const kHex = "0123456789abcdef";
  std::string out = std::string(",\"") + key + "\":\"";
  for (const char c : path) {
    out += kHex[uint8_t(c) >> 4];
    out += kHex[uint8_t(c) & 15];
  }
  return out + "\"";
}

std::string minutesSeconds(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  long total = long(std::llround(seconds));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%ld:%02ld", total / 60, total % 60);
  return buffer;
}

std::string minutesSecondsMillis(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  long long millis = std::llround(seconds * 1000);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld.%03lld", millis / 60000, (millis / 1000) % 60, millis % 1000);
  return buffer;
}

std::optional<long> parseInteger(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return value;
}

int writeSequence(sw::MidiSequence& sequence, const std::string& path, bool compress) {
  const sw::OSStatus status = sequence.writeToFile(path, compress);
  if (status == sw::noErr) return kExitOK;
  reportError(path, status, "could not be written: " + sw::statusDescription(status));
  return kExitFailed;
}

std::optional<int> helpOrUsageError(const char* command, const char* help, const Arguments& args) {
  if (!args.ok()) {
    reportUsage(command, args.error());
    return kExitUsage;
  }
  if (args.has("--help")) {
    std::fputs(help, stdout);
    return kExitOK;
  }
  return std::nullopt;
}

}  // namespace swcli
