#include "batch_runner.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "cli_support.h"
#include "library/batch_command_parameters.h"
#include "library/batch_defaults.h"
#include "library/batch_commands.h"
#include "library/batch_engine.h"
#include "library/batch_log.h"
#include "library/batch_roots.h"
#include "library/midi_file_item.h"

namespace swcli {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
  gInterrupted.store(true);
  // A second Ctrl-C ends the program at once; files stay whole, since each is replaced in one step.
  std::signal(SIGINT, SIG_DFL);
}

// Ctrl-C stops the run between two files while this lives.
class InterruptGuard {
 public:
  InterruptGuard() {
    gInterrupted.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a pending question on the terminal is answered "no"
    sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }

 private:
  struct sigaction previous_ {};
};

// The progress line on a terminal, "file n of N: name" ("N+" while files are still being
// found), redrawn at most ten times a second; other output clears it first. With --json, one
// object per file on standard output.
class TerminalProgress : public sw::BatchProgress {
 public:
  TerminalProgress(bool shown, bool json) : shown_(shown), json_(json) {}
  void filesFound(size_t found, bool complete) override {
    found_ = found;
    complete_ = complete;
    if (number_ == 0) draw("found " + std::to_string(found) + (complete ? " files" : " files so far"), complete);
  }
  void fileStarted(size_t number, size_t found, const std::string& name) override {
    number_ = number;
    found_ = std::max(found_, found);
    std::string printable = name;
    for (char& c : printable)
      if ((unsigned char)c < 0x20 || c == 0x7F) c = '?';
    draw("file " + std::to_string(number) + " of " + std::to_string(found_) + (complete_ ? "" : "+") + ": " + printable,
         false);
  }
  void fileFinished(const sw::BatchFileReport& report) override {
    if (!json_) return;
    clear();
    std::string line = "{\"type\":\"file\",\"path\":" + jsonString(report.path) +
                       jsonPathBytes("path_hex", report.path) + ",\"outcome\":\"" + sw::outcomeName(report.outcome) +
                       "\",\"changes\":[";
    for (size_t i = 0; i < report.changes.size(); ++i) line += (i ? "," : "") + jsonString(report.changes[i]);
    line += "],\"status\":" + std::to_string(report.error.status) + ",\"message\":" + jsonString(report.error.message) +
            ",\"output\":" + (report.output.empty() ? std::string("null") : jsonString(report.output)) +
            jsonPathBytes("output_hex", report.output) + ",\"written\":[";
    for (size_t i = 0; i < report.written.size(); ++i) line += (i ? "," : "") + jsonString(report.written[i]);
    line += "]}\n";
    std::fputs(line.c_str(), stdout);
  }
  bool shouldContinue() override { return !gInterrupted.load(); }
  void end(const sw::BatchResult&) override {
    clear();
    if (json_) std::fflush(stdout);
  }
  void clear() {
    if (!lineShown_) return;
    std::fputs("\r\33[K", stderr);
    std::fflush(stderr);
    lineShown_ = false;
  }

 private:
  void draw(const std::string& text, bool always) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!always && lineShown_ && now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    std::fprintf(stderr, "\r\33[K%s", text.c_str());
    std::fflush(stderr);
    lineShown_ = true;
  }

  bool shown_;
  bool json_;
  bool lineShown_ = false;
  size_t found_ = 0, number_ = 0;
  bool complete_ = false;
  std::chrono::steady_clock::time_point drawn_{};
};

class TerminalConfirmation : public sw::BatchConfirmation {
 public:
  explicit TerminalConfirmation(bool yes) : yes_(yes) {}
  bool confirmDestructive(const std::string& title, const std::string& message) override {
    if (yes_) return true;
    std::fprintf(stderr, "%s %s\nContinue? [y/N] ", title.c_str(), message.c_str());
    std::fflush(stderr);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
      std::fputc('\n', stderr);
      return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
  }

 private:
  bool yes_;
};

std::string describeDefault(const BatchOption& option) {
  std::optional<sw::SettingValue> value = sw::SettingsStore::shared().objectForKey(option.key);
  switch (option.kind) {
    case BatchOption::Kind::Bool: return value && value->boolValue() ? "on" : "off";
    case BatchOption::Kind::Flag: return value && *value == option.value ? "this" : "";
    case BatchOption::Kind::Choice: {
      const long number = value ? long(value->integerValue()) : 0;
      for (const auto& [word, code] : option.choices)
        if (code == number) return word;
      return std::to_string(number);
    }
    case BatchOption::Kind::Integer: return std::to_string(value ? value->integerValue() : 0);
    case BatchOption::Kind::String: return value ? "\"" + value->stringValue() + "\"" : "none";
  }
  return "";
}

std::string presetListNote(const BatchCommandSpec& spec) {
  const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(spec.parameters);
  if (!parameters || parameters->presetList.empty()) return " (it has no parameters)";
  return " (list " + parameters->presetList + ")";
}

std::string helpText(const BatchCommandSpec& spec) {
  std::string text = "Usage: scorewell-cli " + spec.name + " [OPTIONS] PATH...\n\n" + spec.help + "\n";
  text += "Options (the current setting in brackets; an option changes it for this run only):\n";
  for (const BatchOption& option : spec.options) {
    std::string form = "--" + option.name;
    if (option.kind == BatchOption::Kind::Bool) form += ", --no-" + option.name;
    if (option.kind == BatchOption::Kind::Integer || option.kind == BatchOption::Kind::String)
      form += " " + option.valueName;
    if (option.kind == BatchOption::Kind::Choice) {
      form += " ";
      for (size_t i = 0; i < option.choices.size(); ++i) form += (i ? "|" : "") + option.choices[i].first;
    }
    std::string current = describeDefault(option);
    text += "  " + form + "\n      " + option.help;
    if (!current.empty() && option.kind != BatchOption::Kind::Flag) text += " [" + current + "]";
    if (option.kind == BatchOption::Kind::Flag && current == "this") text += " [chosen]";
    text += "\n";
  }
  text +=
      "  -y, --yes\n      do not ask before rewriting files\n"
      "  -n, --dry-run\n      change nothing; tell what would change\n"
      "  --force\n      also rewrite damaged files from what could be read of them (refused otherwise;\n"
      "      fix always rewrites them)\n"
      "  --preset NAME\n      take the parameters of a saved preset (options given beside it win)\n"
      "  --save-preset NAME\n      save every parameter of this run as a preset of this command" +
      presetListNote(spec) + "\n"
      "  --log FILE\n      also append the log of errors to FILE\n"
      "  --output-dir DIR\n      write the results to DIR with the layout they have below the named folders\n"
      "      (a named file goes straight into DIR), side files beside them; the originals are\n"
      "      not touched, and files left unchanged are not copied. DIR may not lie inside a\n"
      "      named folder\n"
      "  --jobs N\n      process N files at the same time [the number of cores]; the results, the\n"
      "      log and the exit status are those of --jobs 1, in the same order\n"
      "  --json\n      print one JSON object per file (path, outcome, changes, status, message,\n"
      "      output, written) and a summary object at the end, instead of the report lines\n"
      "  --include GLOB, --exclude GLOB\n      take only the files below the named folders that match an\n"
      "      include and no exclude (repeatable; a pattern with '/' matches the path below the\n"
      "      folder, one without the name; an excluded folder is not entered)\n"
      "  --no-recurse\n      take only the files directly in the named folders\n"
      "  --follow-links\n      take the files and folders that symbolic links point to\n"
      "\nFolders are processed with every MIDI file below them, in name order; hidden files, links\n"
      "and files that are not MIDI files are skipped. Each file is replaced in one step, keeping\n"
      "its permissions and attributes; Ctrl-C stops after the files in progress. Exit status: 0\n"
      "when every file succeeded, 1 when some failed or the run was stopped, 2 for bad usage.\n";
  return text;
}

// The settings store for this run: values that do not fit a property list are refused.
class RunValues {
 public:
  void setRunValue(const std::string& key, sw::SettingValue value) {
    if (sw::SettingsStore::shared().setRunValue(key, std::move(value)) != sw::noErr) refused_ = true;
  }
  bool refused() const { return refused_; }

 private:
  bool refused_ = false;
};

std::string applyOptionValue(const BatchOption& option, bool negated, const std::optional<std::string>& text,
                             RunValues& store) {
  for (const auto& [key, value] : option.alsoSets) store.setRunValue(key, value);
  const std::string shown = "--" + option.name;
  switch (option.kind) {
    case BatchOption::Kind::Bool: store.setRunValue(option.key, !negated); return "";
    case BatchOption::Kind::Flag: store.setRunValue(option.key, option.value); return "";
    case BatchOption::Kind::Integer: {
      if (option.parse) break;
      auto number = parseInteger(*text);
      if (!number || *number < option.minimum || *number > option.maximum)
        return shown + " takes a whole number from " + std::to_string(option.minimum) + " to " +
               std::to_string(option.maximum);
      store.setRunValue(option.key, int64_t(*number));
      return "";
    }
    case BatchOption::Kind::Choice: {
      std::string words;
      for (const auto& [word, code] : option.choices) {
        if (*text == word) {
          store.setRunValue(option.key, int64_t(code));
          return "";
        }
        words += (words.empty() ? "" : ", ") + word;
      }
      return shown + " takes one of " + words;
    }
    case BatchOption::Kind::String:
      if (option.parse) break;
      store.setRunValue(option.key, *text);
      return "";
  }
  std::string error;
  std::optional<sw::SettingValue> value = option.parse(*text, error);
  if (!value) return shown + ": " + (error.empty() ? "bad value" : error);
  store.setRunValue(option.key, *value);
  return "";
}

// Applies one option; an error message when the value does not fit.
std::string applyOption(const BatchOption& option, bool negated, const std::optional<std::string>& text) {
  RunValues store;
  const std::string error = applyOptionValue(option, negated, text, store);
  if (error.empty() && store.refused())
    return "--" + option.name + ": the value cannot be stored (not UTF-8, or control characters)";
  return error;
}

bool hasOutputOption(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") return false;
    if (arg == "-o" || arg == "--output" || arg.rfind("--output=", 0) == 0) return true;
  }
  return false;
}

}  // namespace

int runBatchCommand(const BatchCommandSpec& spec, int argc, char** argv) {
  if (spec.singleFile && hasOutputOption(argc, argv)) return spec.singleFile(argc, argv);
  sw::registerBatchDefaults();
  const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(spec.parameters);
  const sw::BatchCommand& command = *sw::batchCommand(spec.parameters);
  const bool hasPresets = parameters && !parameters->presetList.empty();

  bool yes = false, dryRun = false, help = false, force = false, json = false;
  std::optional<std::string> logPath, savePreset, outputDir;
  unsigned jobs = 0;  // one per core
  sw::BatchSelection selection;
  // A preset is applied before the options are read, so that options given beside it win.
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") break;
    std::optional<std::string> name;
    if (arg == "--preset" && i + 1 < argc) name = argv[i + 1];
    if (arg.rfind("--preset=", 0) == 0) name = arg.substr(9);
    if (!name) continue;
    if (!hasPresets) {
      reportUsage(spec.name, "this command has no parameters, so no presets");
      return kExitUsage;
    }
    const sw::OSStatus status = sw::applyBatchPreset(*parameters, *name, sw::PresetScope::ThisRun);
    if (status != sw::noErr) {
      reportUsage(spec.name, status == sw::fnfErr ? "no preset named '" + *name + "' (see 'scorewell-cli presets " +
                                                         parameters->presetList + "')"
                                                   : "the preset '" + *name + "' is damaged");
      return kExitUsage;
    }
  }
  std::vector<std::string> paths;
  bool onlyPaths = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyPaths || arg.size() < 2 || arg[0] != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPaths = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      help = true;
      continue;
    }
    if (arg == "-y" || arg == "--yes") {
      yes = true;
      continue;
    }
    if (arg == "-n" || arg == "--dry-run") {
      dryRun = true;
      continue;
    }
    if (arg == "--force") {
      force = true;
      continue;
    }
    std::optional<std::string> inlineValue;
    if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    auto takeValue = [&](std::optional<std::string>& into) {
      if (inlineValue) {
        into = inlineValue;
        return true;
      }
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--log") {
      if (!takeValue(logPath)) {
        reportUsage(spec.name, "option --log needs a file");
        return kExitUsage;
      }
      continue;
    }
    if (arg == "--json" || arg == "--no-recurse" || arg == "--follow-links") {
      if (inlineValue) {
        reportUsage(spec.name, "option " + arg + " takes no value");
        return kExitUsage;
      }
      if (arg == "--json") json = true;
      if (arg == "--no-recurse") selection.recurse = false;
      if (arg == "--follow-links") selection.followLinks = true;
      continue;
    }
    if (arg == "--output-dir" || arg == "--jobs" || arg == "--include" || arg == "--exclude") {
      std::optional<std::string> value;
      if (!takeValue(value) || value->empty()) {
        reportUsage(spec.name, "option " + arg + " needs a value");
        return kExitUsage;
      }
      if (arg == "--output-dir") outputDir = value;
      if (arg == "--include") selection.includes.push_back(*value);
      if (arg == "--exclude") selection.excludes.push_back(*value);
      if (arg == "--jobs") {
        const auto number = parseInteger(*value);
        if (!number || *number < 1 || *number > 256) {
          reportUsage(spec.name, "--jobs takes a whole number from 1 to 256");
          return kExitUsage;
        }
        jobs = unsigned(*number);
      }
      continue;
    }
    if (arg == "--preset" || arg == "--save-preset") {
      std::optional<std::string> name;
      if (!takeValue(name) || name->empty()) {
        reportUsage(spec.name, "option " + arg + " needs a name");
        return kExitUsage;
      }
      if (arg == "--save-preset") savePreset = name;
      continue;
    }
    const BatchOption* found = nullptr;
    bool negated = false;
    for (const BatchOption& option : spec.options) {
      if (arg == "--" + option.name) found = &option;
      if (option.kind == BatchOption::Kind::Bool && arg == "--no-" + option.name) found = &option, negated = true;
      if (found) break;
    }
    if (!found) {
      reportUsage(spec.name, "unknown option " + arg);
      return kExitUsage;
    }
    const bool valued = found->kind == BatchOption::Kind::Integer || found->kind == BatchOption::Kind::String ||
                        found->kind == BatchOption::Kind::Choice;
    std::optional<std::string> value;
    if (valued && !takeValue(value)) {
      reportUsage(spec.name, "option " + arg + " needs a value");
      return kExitUsage;
    }
    if (!valued && inlineValue) {
      reportUsage(spec.name, "option " + arg + " takes no value");
      return kExitUsage;
    }
    if (std::string error = applyOption(*found, negated, value); !error.empty()) {
      reportUsage(spec.name, error);
      return kExitUsage;
    }
  }
  if (help) {
    std::fputs(helpText(spec).c_str(), stdout);
    return kExitOK;
  }
  if (savePreset) {
    // Every parameter of the command as it stands for this run, under the command's list.
    if (!hasPresets) {
      reportUsage(spec.name, "this command has no parameters, so no presets");
      return kExitUsage;
    }
    const sw::OSStatus status = sw::saveBatchPreset(*parameters, *savePreset);
    if (status != sw::noErr) {
      reportError(sw::SettingsStore::shared().path(), status, "could not save the preset '" + *savePreset + "'");
      return kExitFailed;
    }
    std::fprintf(stderr, "scorewell-cli %s: saved preset '%s' in the list %s\n", spec.name.c_str(),
                 savePreset->c_str(), parameters->presetList.c_str());
    if (paths.empty()) return kExitOK;
  }
  if (paths.empty()) {
    reportUsage(spec.name, "give one or more files or folders");
    return kExitUsage;
  }
  if (command.checkParameters) {
    if (const std::string problem = command.checkParameters(); !problem.empty()) {
      reportUsage(spec.name, problem);
      return kExitUsage;
    }
  }

  // What confirming the command does to its parameters, as the desktop's sheet does it.
  if (parameters)
    for (const std::string& note : sw::confirmBatchParameters(*parameters))
      std::fprintf(stderr, "scorewell-cli %s: %s\n", spec.name.c_str(), note.c_str());

  const bool interactive = ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO);
  // Results written elsewhere leave the originals as they are: nothing to confirm.
  const bool destructive = !dryRun && !outputDir && command.destructive && command.destructive();
  if (destructive && !yes && !interactive &&
      sw::SettingsStore::shared().boolForKey("warnBeforeDestructiveProcessing")) {
    std::fprintf(stderr,
                 "scorewell-cli %s: this rewrites the files in place; give --yes to run it without a terminal "
                 "(nothing was changed)\n",
                 spec.name.c_str());
    return kExitUsage;
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> logFile(nullptr, std::fclose);
  if (logPath) {
    logFile.reset(std::fopen(logPath->c_str(), "a"));
    if (!logFile) {
      reportUsage(spec.name, "cannot open the log file " + *logPath + ": " + std::strerror(errno));
      return kExitUsage;
    }
  }

  TerminalProgress progress(::isatty(STDERR_FILENO), json);
  sw::BatchLog log;
  log.addSink([&](const std::string& line) {
    progress.clear();
    std::fputs(line.c_str(), stderr);
  });
  if (logFile)
    log.addSink([&](const std::string& line) {
      std::fputs(line.c_str(), logFile.get());
      std::fflush(logFile.get());
    });

  // The files and folders named: what cannot be processed is logged and counted as failed.
  const sw::BatchRoots named = sw::collectBatchRoots(paths, log, selection.followLinks);
  const size_t unusable = named.unusable;
  const std::vector<sw::MidiFileItem*> roots = named.pointers();
  if (json)
    for (const sw::Error& refusal : named.refusals) {
      sw::BatchFileReport report;
      report.path = refusal.path;
      report.outcome = sw::BatchOutcome::Failed;
      report.error = refusal;
      progress.fileFinished(report);
    }

  sw::BatchRun run;
  run.dryRun = dryRun;
  run.force = force;
  const bool reportsOnTerminal = ::isatty(STDOUT_FILENO);
  // What happened to each file: once on standard output (unless JSON takes its place), and in
  // the log file too.
  run.report = [&](const std::string& line) {
    if (!json) {
      if (reportsOnTerminal) progress.clear();
      std::fprintf(stdout, "%s\n", line.c_str());
      std::fflush(stdout);
    }
    if (logFile) {
      std::fputs(sw::BatchLog::formatLine(std::time(nullptr), sw::BatchLog::printable(line)).c_str(), logFile.get());
      std::fflush(logFile.get());
    }
  };
  TerminalConfirmation confirmation(yes);
  sw::BatchEngine engine(log, &progress, &confirmation);
  engine.setReleasesSequences(true);
  engine.setReadsGivenFiles(true);
  engine.setWarnsBeforeRewritingDamaged(command.rewritesDamagedFiles && !outputDir);
  engine.setJobs(jobs);
  engine.setSelection(selection);
  if (outputDir) engine.setOutputFolder(*outputDir);
  sw::BatchResult result;
  {
    InterruptGuard guard;
    result = engine.run(roots, command.method, destructive, run);
  }
  progress.clear();
  if (result.refusal) return kExitUsage;  // logged by the engine
  if (result.cancelled) {
    std::fprintf(stderr, "scorewell-cli %s: cancelled; no file was changed\n", spec.name.c_str());
    return kExitFailed;
  }
  const size_t failed = result.failed + unusable;
  const size_t total = result.total + unusable;
  const size_t succeeded = result.changed + result.unchanged;
  std::string summary = (dryRun ? "dry run: " : "") + std::to_string(total) + (total == 1 ? " file, " : " files, ") +
                        std::to_string(succeeded) + " succeeded";
  std::string parts;
  if (result.changed > 0) parts = std::to_string(result.changed) + (dryRun ? " would change" : " changed");
  if (result.unchanged > 0) parts += (parts.empty() ? "" : ", ") + std::to_string(result.unchanged) + " unchanged";
  if (!parts.empty()) summary += " (" + parts + ")";
  summary += ", " + std::to_string(failed) + " failed, " + std::to_string(result.skipped) + " skipped";
  if (result.stopped) summary += ", " + std::to_string(result.notProcessed()) + " found and not processed (stopped)";
  const double perSecond = result.seconds > 0 ? double(result.processed) / result.seconds : 0;
  char timing[96];
  std::snprintf(timing, sizeof timing, "; %.2f s, %.0f files/s", result.seconds, perSecond);
  std::fprintf(stderr, "scorewell-cli %s: %s%s\n", spec.name.c_str(), summary.c_str(), timing);
  if (logFile) std::fputs(sw::BatchLog::formatLine(std::time(nullptr), spec.name + ": " + summary).c_str(), logFile.get());
  if (json) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, ",\"seconds\":%.3f,\"files_per_second\":%.1f}\n", result.seconds, perSecond);
    std::printf("{\"type\":\"summary\",\"command\":%s,\"dry_run\":%s,\"jobs\":%u,\"files\":%zu,\"changed\":%zu,"
                "\"unchanged\":%zu,\"failed\":%zu,\"skipped\":%zu,\"not_processed\":%zu,\"stopped\":%s,"
                "\"output_dir\":%s%s",
                jsonString(spec.name).c_str(), dryRun ? "true" : "false", engine.jobs(), total, result.changed,
                result.unchanged, failed, result.skipped, result.stopped ? result.notProcessed() : size_t(0),
                result.stopped ? "true" : "false", outputDir ? jsonString(*outputDir).c_str() : "null", numbers);
    std::fflush(stdout);
  }
  return failed > 0 || result.stopped ? kExitFailed : kExitOK;
}

}  // namespace swcli
