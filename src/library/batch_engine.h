// Runs one per-file method over items, descending into folders in order, without any window:
// the confirmation before destructive work, the progress display and the log are interfaces
// that a terminal and the desktop window implement alike. Files may run on several threads
// (setJobs); whatever the number, the log, the reports and the result come out as a run on one
// thread gives them, in the same order.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/status.h"
#include "library/batch_log.h"
#include "library/batch_roots.h"
#include "library/batch_run.h"

namespace sw {

class FileSystemItem;
class MidiFileItem;

enum class BatchOutcome { Changed, Unchanged, Failed, Skipped };
// "changed", "unchanged", "failed", "skipped".
const char* outcomeName(BatchOutcome outcome);

// What became of one file.
struct BatchFileReport {
  size_t number = 0;  // from 1, in the order of a one-job run (files and skipped entries alike)
  std::string path;   // where it was found
  BatchOutcome outcome = BatchOutcome::Unchanged;
  std::vector<std::string> changes;  // what the method told (under a dry run: would change)
  Error error;                       // Failed and Skipped: why
  std::string output;                // Changed: where the file is now (its new name, or the copy)
  std::vector<std::string> written;  // every file written for it (side files too)
};

struct BatchResult {
  size_t total = 0;      // files found (skipped ones too)
  size_t processed = 0;  // files the method ran on
  size_t changed = 0;
  size_t unchanged = 0;
  size_t failed = 0;
  size_t skipped = 0;      // hidden, links, the same file again, not a MIDI file
  bool cancelled = false;  // the confirmation was refused: no file was touched
  bool stopped = false;    // stopped between files: those found and not taken were not processed
  Error refusal;           // the run was refused before any file was touched (the output folder)
  double seconds = 0;      // from the first file found to the last one finished

  // Found and never finished: the run was stopped first.
  size_t notProcessed() const { return total - changed - unchanged - failed - skipped; }
};

class BatchProgress {
 public:
  virtual ~BatchProgress() = default;
  // The run starts; files are found while it runs (filesFound).
  virtual void begin(size_t /*filesFoundSoFar*/) {}
  // The count of files found so far; `complete` once every folder has been walked.
  virtual void filesFound(size_t /*found*/, bool /*complete*/) {}
  // Each file taken up, in order: its number from 1, the count found so far and its name.
  virtual void fileStarted(size_t /*number*/, size_t /*found*/, const std::string& /*name*/) {}
  // What became of each entry, in order, after its log and report lines.
  virtual void fileFinished(const BatchFileReport& /*report*/) {}
  // Asked between files; false stops the run: the files in progress are finished, no other
  // one is started.
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

// Runs on the engine's threads when setJobs asks for more than one: it may read the settings
// store and the encoding manager (both locked) and the chord aliases (read only: not to be
// edited while a batch runs), and must change nothing shared besides its item.
using PerFileMethod = std::function<Error(MidiFileItem&, const BatchRun&)>;

class BatchEngine {
 public:
  explicit BatchEngine(BatchLog& log, BatchProgress* progress = nullptr, BatchConfirmation* confirmation = nullptr);
  ~BatchEngine();

  // Drops each file's cached sequence after its method ran (the command line keeps none;
  // the browser keeps them for later commands).
  void setReleasesSequences(bool release) { releasesSequences_ = release; }
  // The method rewrites damaged files from what could be read (fix): when a damaged file is
  // among those listed, the run asks first as a destructive run does.
  void setWarnsBeforeRewritingDamaged(bool warns) { warnsBeforeRewritingDamaged_ = warns; }
  // The items given were made from paths and not read yet (collectBatchRoots): each file is
  // read first, and one that is not a MIDI file fails.
  void setReadsGivenFiles(bool reads) { readsGivenFiles_ = reads; }
  // Files processed at the same time; 0 for one per core. The default is 1: everything runs
  // on the calling thread.
  void setJobs(unsigned jobs);
  unsigned jobs() const { return jobs_; }
  // Results go to this folder, with the layout they have below the named folders (a named
  // file goes straight into it); the originals are only read. Empty: files are rewritten in
  // place. A folder inside one of the named folders is refused.
  void setOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }
  const std::string& outputFolder() const { return outputFolder_; }
  // Which files below the named folders are taken.
  void setSelection(BatchSelection selection) { selection_ = std::move(selection); }
  // Stops before the next file; safe to call from a signal handler or another thread.
  void requestStop() { stopRequested_.store(true); }

  // Runs the method on every file among and below the items (items below another of them are
  // taken once, with their ancestor). Each error goes to the log; a failing file never stops
  // the run. Report lines of the method reach `batchRun.report` as "path: line" once the file
  // succeeded (a failed file has only its error logged), followed by "path: unchanged" for a
  // file the method said it left as it was. Temporary files that an interrupted earlier write
  // left beside the files are removed (not under a dry run) and reported. The progress and
  // the sinks are called on the calling thread only.
  BatchResult run(const std::vector<MidiFileItem*>& items, const PerFileMethod& method, bool destructive,
                  const BatchRun& batchRun = {});

  // The paths without repeats and without those inside a folder also given, in their order;
  // paths are compared after resolving "." , ".." and links.
  static std::vector<std::string> withoutNestedPaths(const std::vector<std::string>& paths);
  // Why results cannot go to the folder for these named paths (it lies inside one of the named
  // folders, or is the folder of a named file), or no error.
  static Error outputFolderRefusal(const std::string& folder, const std::vector<MidiFileItem*>& roots);

 private:
  struct Job;
  bool holdsDamagedFile(const std::vector<MidiFileItem*>& roots);
  // Takes the file up: false when it is skipped or fails before its method runs.
  bool prepare(Job& job);
  // Two files whose results would go to the same path (two named folders holding the same
  // names): the first one found keeps it, the later one fails.
  void claimOutput(Job& job);
  // Takes an output path for a result of this run: false when another result has it.
  bool claim(const std::string& path);
  void execute(Job& job);
  void finish(Job& job);
  void runHere(BatchFileFinder& finder);
  void runOnThreads(BatchFileFinder& finder);
  bool keepGoing();

  BatchLog& log_;
  BatchProgress* progress_;
  BatchConfirmation* confirmation_;
  bool releasesSequences_ = false;
  bool warnsBeforeRewritingDamaged_ = false;
  bool readsGivenFiles_ = false;
  unsigned jobs_ = 1;
  std::string outputFolder_;
  BatchSelection selection_;
  std::atomic<bool> stopRequested_{false};

  // State of one run.
  const PerFileMethod* method_ = nullptr;
  const BatchRun* batchRun_ = nullptr;
  BatchResult result_;
  size_t found_ = 0;
  std::mutex claimedMutex_;        // the walker and the workers claim paths
  std::set<std::string> claimed_;  // output paths taken
};

}  // namespace sw
