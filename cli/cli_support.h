// What every command of scorewell-cli shares: option parsing, walking files and folders,
// error lines on stderr and small text helpers.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/status.h"
#include "library/batch_roots.h"

namespace sw {
class MidiSequence;
}

namespace swcli {

// Exit statuses.
inline constexpr int kExitOK = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct OptionSpec {
  std::set<std::string> flags;        // options without a value: "--json"
  std::set<std::string> valued;       // options with a value: "-o", "--format"
  std::map<std::string, std::string> aliases;  // "-o" → "--output"
};

class Arguments {
 public:
  // Parses argv after the command name. On a bad option, `error()` tells what is wrong.
  Arguments(int argc, char** argv, const OptionSpec& spec);
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool has(const std::string& option) const { return values_.count(option) > 0; }
  // The last value given, and every value of an option that may be repeated.
  std::optional<std::string> value(const std::string& option) const;
  std::vector<std::string> values(const std::string& option) const;
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> positional_;
  std::string error_;
};

// One file to read, and whether it was named on the command line.
struct CollectedFile {
  std::string path;
  bool named = false;
};

// Hands over each named file, and the files below each named folder that `selection` takes,
// as a batch finds them: in name order, without hidden files, links not followed (unless the
// selection follows them) or a file met a second time; each as soon as it is found. Paths
// that do not exist or are not regular files or folders are reported on stderr and counted
// in `missing`.
void findFiles(const std::vector<std::string>& paths, const sw::BatchSelection& selection, int& missing,
               const std::function<void(CollectedFile&&)>& take);

// The file read in full; on failure nothing, the error reported on stderr and its status in
// `status`. A file the reader could only partly repair counts as failed.
std::unique_ptr<sw::MidiSequence> loadSequence(const std::string& path, sw::OSStatus* status);
// Writes the sequence to `path` (atomically); reports a failure and answers the exit status.
int writeSequence(sw::MidiSequence& sequence, const std::string& path, bool compress);
// The start every command shares: an exit status when it is done already (its help shown, or
// bad usage reported), nothing when it goes on with `args`.
std::optional<int> helpOrUsageError(const char* command, const char* help, const Arguments& args);

// "scorewell-cli: PATH: message [status]" on stderr.
void reportError(const std::string& path, sw::OSStatus status, const std::string& message = "");
void reportUsage(const std::string& command, const std::string& message);

std::string jsonString(const std::string& text);
// Nothing for a path that is UTF-8; otherwise `,"KEY":"2f746d70..."`, its bytes in hex: the
// JSON string shows U+FFFD for the bytes that are not UTF-8, so it cannot name the file.
std::string jsonPathBytes(const char* key, const std::string& path);
// "m:ss" for a time in seconds.
std::string minutesSeconds(double seconds);
// "m:ss.mmm"
std::string minutesSecondsMillis(double seconds);
// Parses a whole decimal number; nothing when the text is not one.
std::optional<long> parseInteger(const std::string& text);

}  // namespace swcli
