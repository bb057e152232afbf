// The batch commands of scorewell-cli: one per-file method of MidiFileItem run over files and
// folders, with options that set settings keys for this run only. A command is one
// BatchCommandSpec; runBatchCommand does the rest (usage, confirmation, progress, log, Ctrl-C,
// summary and exit status).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/settings_store.h"
#include "base/status.h"
#include "library/batch_run.h"

namespace sw {
class MidiFileItem;
}

namespace swcli {

struct BatchOption {
  enum class Kind {
    Bool,     // --name sets the key to YES, --no-name to NO
    Flag,     // --name sets the key to `value`
    Integer,  // --name N, within minimum..maximum
    String,   // --name TEXT
    Choice,   // --name WORD, one of `choices` (stored as its number)
  };
  std::string name;  // without the dashes: "fix-extension"
  std::string key;   // the settings key
  Kind kind = Kind::Bool;
  std::string help;
  std::string valueName = "N";  // shown in the help for options with a value
  sw::SettingValue value;       // Flag
  long minimum = 0, maximum = 0;                          // Integer
  std::vector<std::pair<std::string, long>> choices;      // Choice
  // Further keys the option sets, whatever its value ("--text" also chooses the fixed text).
  std::vector<std::pair<std::string, sw::SettingValue>> alsoSets;
  // Turns the text into the stored value, or gives nothing and a message (String, Integer).
  std::function<std::optional<sw::SettingValue>(const std::string& text, std::string& error)> parse;
};

struct BatchCommandSpec {
  std::string name;     // "fix"
  // The library's name of the command ("Fix"): what it does (library/batch_commands.h), its
  // keys and preset list (library/batch_command_parameters.h).
  std::string parameters;
  std::string summary;  // one line for the usage
  std::string help;     // what the command does, shown by --help before the options
  std::vector<BatchOption> options;
  // The older one-file form, run when -o/--output is given with one file (convert, transpose).
  std::function<int(int argc, char** argv)> singleFile;
};

// Runs the command on the arguments after its name; returns the exit status.
int runBatchCommand(const BatchCommandSpec& spec, int argc, char** argv);

// The batch commands, for the usage text and the dispatch (batch_command.cpp).
const std::vector<BatchCommandSpec>& batchCommands();

}  // namespace swcli
