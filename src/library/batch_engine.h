// Runs one per-file method over items, descending into folders in order, without any window:
// the confirmation before destructive work, the progress display and the log are interfaces
// that a terminal and the desktop window implement alike.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/status.h"
#include "library/batch_log.h"
#include "library/batch_run.h"

namespace sw {

class FileSystemItem;
class MidiFileItem;

struct BatchResult {
  size_t total = 0;        // files found before the run began
  size_t processed = 0;    // files the method ran on
  size_t failed = 0;       // of those, files that returned an error
  size_t unchanged = 0;    // of those, files that succeeded without being changed
  bool cancelled = false;  // the confirmation was refused: no file was touched
  bool stopped = false;    // stopped between two files
};

class BatchProgress {
 public:
  virtual ~BatchProgress() = default;
  virtual void begin(size_t /*totalFiles*/) {}
  // Before each file: its number from 1, the total and its name.
  virtual void fileStarted(size_t /*number*/, size_t /*total*/, const std::string& /*name*/) {}
  // Asked before each file; false stops the run there. The file being processed is finished.
  virtual bool shouldContinue() { return true; }
  virtual void end(const BatchResult& /*result*/) {}
};

class BatchConfirmation {
 public:
  virtual ~BatchConfirmation() = default;
  // Asked before a destructive run when "warnBeforeDestructiveProcessing" is set; false
  // cancels the run before any file is touched.
  virtual bool confirmDestructive(const std::string& title, const std::string& message) = 0;
};

using PerFileMethod = std::function<Error(MidiFileItem&, const BatchRun&)>;

class BatchEngine {
 public:
  explicit BatchEngine(BatchLog& log, BatchProgress* progress = nullptr, BatchConfirmation* confirmation = nullptr);

  // Drops each file's cached sequence after its method ran (the command line keeps none;
  // the browser keeps them for later commands).
  void setReleasesSequences(bool release) { releasesSequences_ = release; }
  // The method rewrites damaged files from what could be read (fix): when a damaged file is
  // among those listed, the run asks first as a destructive run does.
  void setWarnsBeforeRewritingDamaged(bool warns) { warnsBeforeRewritingDamaged_ = warns; }
  // Stops before the next file; safe to call from a signal handler or another thread.
  void requestStop() { stopRequested_.store(true); }

  // Runs the method on every file among and below the items (items below another of them are
  // taken once, with their ancestor). Children of folders are loaded when needed and freed
  // again afterwards. Each error goes to the log; a failing file never stops the run. Report
  // lines of the method reach `batchRun.report` as "path: line" once the file succeeded (a
  // failed file has only its error logged), followed by "path: unchanged" for a file the
  // method left as it was. Temporary files that an interrupted earlier write left beside the
  // files are removed (not under a dry run) and reported.
  BatchResult run(const std::vector<MidiFileItem*>& items, const PerFileMethod& method, bool destructive,
                  const BatchRun& batchRun = {});

  // The paths without repeats and without those inside a folder also given, in their order;
  // paths are compared after resolving "." , ".." and links.
  static std::vector<std::string> withoutNestedPaths(const std::vector<std::string>& paths);

 private:
  size_t countFiles(FileSystemItem& item);
  static bool holdsDamagedFile(FileSystemItem& item);
  void process(FileSystemItem& item);
  void freeLoaded(FileSystemItem& item);
  void removeStaleTemporaries(const std::string& folder, const std::string& name);
  bool keepGoing();

  BatchLog& log_;
  BatchProgress* progress_;
  BatchConfirmation* confirmation_;
  bool releasesSequences_ = false;
  bool warnsBeforeRewritingDamaged_ = false;
  std::atomic<bool> stopRequested_{false};

  // State of one run.
  const PerFileMethod* method_ = nullptr;
  const BatchRun* batchRun_ = nullptr;
  std::unordered_set<const FileSystemItem*> loadedForRun_;
  BatchResult result_;
};

}  // namespace sw
