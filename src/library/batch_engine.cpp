#include "library/batch_engine.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "base/atomic_file.h"
#include "base/settings_store.h"
#include "library/library_strings.h"
#include "library/midi_file_item.h"

namespace sw {

const char* outcomeName(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::Changed: return "changed";
    case BatchOutcome::Unchanged: return "unchanged";
    case BatchOutcome::Failed: return "failed";
    case BatchOutcome::Skipped: return "skipped";
  }
  return "";
}

// One entry of the run: found in order, processed on any thread, finished in order.
struct BatchEngine::Job {
  explicit Job(FoundFile entry) : found(std::move(entry)) {}
  FoundFile found;
  BatchFileReport report;
  bool ran = false;           // the method ran on it
  bool clashes = false;       // its output path is that of a file found before it
  bool toldUnchanged = false;  // the method said it left the file as it was
  MidiFileItem* file = nullptr;           // while it is processed
  std::unique_ptr<MidiFileItem> owned;    // made for the run from a path
  bool done = false;
};

BatchEngine::BatchEngine(BatchLog& log, BatchProgress* progress, BatchConfirmation* confirmation)
    : log_(log), progress_(progress), confirmation_(confirmation) {}

BatchEngine::~BatchEngine() = default;

void BatchEngine::setJobs(unsigned jobs) {
  if (jobs == 0) jobs = std::max(1u, std::thread::hardware_concurrency());
  jobs_ = jobs;
}

bool BatchEngine::keepGoing() {
  if (stopRequested_.load()) return false;
  if (progress_ && !progress_->shouldContinue()) {
    stopRequested_.store(true);
    return false;
  }
  return true;
}

bool BatchEngine::holdsDamagedFile(const std::vector<MidiFileItem*>& roots) {
  BatchFileFinder finder(roots, selection_, false);
  bool damaged = false;
  finder.find([&](FoundFile&& found) {
    if (found.kind != FoundFile::Kind::File || found.skipped) return true;
    std::unique_ptr<MidiFileItem> owned;
    MidiFileItem* file = found.item;
    if (!file) file = (owned = std::make_unique<MidiFileItem>(found.path, nullptr)).get();
    OSStatus status = noErr;
    if ((owned || (found.named && readsGivenFiles_)) && !file->isDisplayable(&status)) return true;
    damaged = !file->damage().empty();
    return !damaged;
  });
  return damaged;
}

bool BatchEngine::claim(const std::string& path) {
  std::lock_guard lock(claimedMutex_);
  return claimed_.insert(path).second;
}

void BatchEngine::claimOutput(Job& job) {
  if (outputFolder_.empty() || job.found.kind != FoundFile::Kind::File || job.found.skipped) return;
  job.clashes = !claim(outputFolder_ + "/" + job.found.relative);
}

bool BatchEngine::prepare(Job& job) {
  const FoundFile& found = job.found;
  BatchFileReport& report = job.report;
  report.path = found.path;
  if (found.kind == FoundFile::Kind::Note) return false;
  if (found.skipped) {
    report.outcome = BatchOutcome::Skipped;
    report.error = *found.skipped;
    return false;
  }
  job.file = found.item;
  if (!job.file) {
    job.file = (job.owned = std::make_unique<MidiFileItem>(found.path, nullptr)).get();
    job.file->setInfoOnDemand(true);  // nobody shows it: what the method asks for is enough
  }
  if (job.owned || (found.named && readsGivenFiles_)) {
    OSStatus status = noErr;
    if (!job.file->isDisplayableLoadingAll(&status)) {
      if (status == noErr) status = paramErr;
      // A file named on purpose fails; one met in a folder is only not taken.
      report.outcome = found.named ? BatchOutcome::Failed : BatchOutcome::Skipped;
      report.error = Error{status, found.path, "is not a MIDI file: " + statusDescription(status)};
      job.owned.reset();
      return false;
    }
  }
  if (job.clashes) {
    report.outcome = BatchOutcome::Failed;
    report.error = Error{dupFNErr, found.path, "has the same output path as a file before it: not processed"};
    job.owned.reset();
    return false;
  }
  if (!outputFolder_.empty()) {
    const std::string target = outputFolder_ + "/" + found.relative;
    struct stat source {}, existing {};
    if (::stat(target.c_str(), &existing) == 0 && ::stat(found.path.c_str(), &source) == 0 &&
        source.st_dev == existing.st_dev && source.st_ino == existing.st_ino) {
      report.outcome = BatchOutcome::Failed;
      report.error = Error{paramErr, found.path, "would be replaced by its own result: not processed"};
      job.owned.reset();
      return false;
    }
    job.file->setWriteTarget(target);
  }
  job.ran = true;
  return true;
}

void BatchEngine::execute(Job& job) {
  MidiFileItem* file = job.file;
  BatchFileReport& report = job.report;
  const std::string path = file->fullPath();
  BatchRun perFile = *batchRun_;  // the run's values (dry run, force), with its own report
  perFile.report = [&](const std::string& line) { report.changes.push_back(line); };
  perFile.unchanged = [&] { job.toldUnchanged = true; };
  if (!outputFolder_.empty()) perFile.claim = [this](const std::string& target) { return claim(target); };
  perFile.wrote = [&](const std::string& written, const std::string& previous) {
    std::vector<std::string>& list = report.written;
    auto at = std::find(list.begin(), list.end(), previous.empty() ? written : previous);
    if (at == list.end())
      list.push_back(written);
    else
      *at = written;
  };
  Error error;
  try {
    error = (*method_)(*file, perFile);
  } catch (const std::bad_alloc&) {
    error = Error{memFullErr, path, statusDescription(memFullErr)};
  } catch (const std::exception& exception) {
    error = Error{paramErr, path, exception.what()};
  }
  const bool wouldChange = batchRun_->dryRun && !job.toldUnchanged && !report.changes.empty();
  if (error) {
    report.outcome = BatchOutcome::Failed;
    // The error names the file it is about: a side file that could not be written, or the
    // MIDI file itself.
    if (error.path.empty()) error.path = path;
    report.error = std::move(error);
  } else if (!report.written.empty() || wouldChange) {
    report.outcome = BatchOutcome::Changed;
    report.output = batchRun_->dryRun ? std::string() : file->writePath();
  } else {
    report.outcome = BatchOutcome::Unchanged;
  }
  if (job.owned) {
    job.owned.reset();  // frees the sequence on the thread that built it
  } else if (!outputFolder_.empty()) {
    // The file itself is as it was: its item forgets the changed sequence and shows the file.
    file->setWriteTarget("");
    file->releaseEventList();
    file->updateInfo();
  } else if (releasesSequences_) {
    file->releaseEventList();
  }
  job.file = nullptr;
}

void BatchEngine::finish(Job& job) {
  if (job.found.kind == FoundFile::Kind::Note) {
    if (batchRun_->report) batchRun_->report(job.found.note);
    return;
  }
  BatchFileReport& report = job.report;
  report.number = result_.changed + result_.unchanged + result_.failed + result_.skipped + 1;
  if (job.ran) ++result_.processed;
  switch (report.outcome) {
    case BatchOutcome::Skipped:
      ++result_.skipped;
      break;
    case BatchOutcome::Failed:
      ++result_.failed;
      log_.logError(report.error, report.error.path.empty() ? report.path : report.error.path);
      break;
    case BatchOutcome::Changed:
    case BatchOutcome::Unchanged: {
      if (report.outcome == BatchOutcome::Changed)
        ++result_.changed;
      else
        ++result_.unchanged;
      if (!batchRun_->report) break;
      const std::string shown = BatchLog::printable(BatchLog::abbreviatedPath(report.path));
      for (const std::string& line : report.changes) batchRun_->report(shown + ": " + line);
      if (job.toldUnchanged) batchRun_->report(shown + ": unchanged");
      break;
    }
  }
  if (progress_) progress_->fileFinished(report);
}

void BatchEngine::runHere(BatchFileFinder& finder) {
  DeferredFolderSync folderSync;  // each file is flushed before its rename; the folders once
  size_t started = 0;
  const bool complete = finder.find([&](FoundFile&& found) {
    if (!keepGoing()) return false;
    Job job(std::move(found));
    claimOutput(job);
    if (job.found.kind == FoundFile::Kind::File) {
      ++found_;
      if (progress_) progress_->filesFound(found_, false);
    }
    if (prepare(job)) {
      if (progress_) progress_->fileStarted(++started, found_, job.file->name());
      execute(job);
    }
    finish(job);
    return true;
  });
  result_.stopped = !complete;
  if (progress_ && complete) progress_->filesFound(found_, true);
}

namespace {

// Turns to compute among a pool's workers: a worker takes one before each file and gives it
// up while its thread waits for the disk.
class ComputeSlots : public DiskWaitObserver {
 public:
  explicit ComputeSlots(unsigned count) : free_(count) {}
  void acquire() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return free_ > 0; });
    --free_;
  }
  void release() {
    {
      std::lock_guard lock(mutex_);
      ++free_;
    }
    changed_.notify_one();
  }
  void waitBegins() override { release(); }
  void waitEnds() override { acquire(); }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned free_;
};

}  // namespace

void BatchEngine::runOnThreads(BatchFileFinder& finder) {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::unique_ptr<Job>> pending;  // found and not finished, in order
  size_t first = 0;                          // the number of jobs finished before pending.front()
  size_t nextToTake = 0;
  size_t foundFiles = 0;
  bool walkDone = false, walkComplete = false;

  std::thread walker([&] {
    const bool complete = finder.find([&](FoundFile&& found) {
      if (stopRequested_.load()) return false;
      const bool file = found.kind == FoundFile::Kind::File;
      auto job = std::make_unique<Job>(std::move(found));
      claimOutput(*job);  // in the order found, as a one-job run claims
      {
        std::lock_guard lock(mutex);
        pending.push_back(std::move(job));
        if (file) ++foundFiles;
      }
      changed.notify_all();
      return true;
    });
    {
      std::lock_guard lock(mutex);
      walkDone = true;
      walkComplete = complete;
    }
    changed.notify_all();
  });
  // Twice as many workers as jobs, of which only `jobs_` compute at a time: a worker waiting
  // for the disk to flush a file gives its turn to another.
  ComputeSlots slots(jobs_);
  const unsigned workerCount = jobs_ * 2;
  unsigned activeWorkers = workerCount;  // counted down by the workers as they end
  std::vector<std::thread> workers;
  for (unsigned i = 0; i < workerCount; ++i)
    workers.emplace_back([&] {
      DeferredFolderSync folderSync;
      DiskWaitObserver* const previous = observeDiskWaits(&slots);
      for (;;) {
        // The turn is taken before the job, so that no file starts after a stop: those in
        // progress are the ones computing and the ones waiting for the disk.
        struct Turn {
          ComputeSlots& slots;
          explicit Turn(ComputeSlots& owner) : slots(owner) { slots.acquire(); }
          ~Turn() { slots.release(); }
        } turn(slots);
        Job* job = nullptr;
        {
          std::unique_lock lock(mutex);
          changed.wait(lock, [&] { return stopRequested_.load() || nextToTake < first + pending.size() || walkDone; });
          if (stopRequested_.load()) break;
          if (nextToTake == first + pending.size()) {
            if (walkDone) break;
            continue;
          }
          job = pending[nextToTake - first].get();
          ++nextToTake;
        }
        if (prepare(*job)) execute(*job);
        {
          std::lock_guard lock(mutex);
          job->done = true;
        }
        changed.notify_all();
      }
      observeDiskWaits(previous);
      {
        std::lock_guard lock(mutex);
        --activeWorkers;
      }
      changed.notify_all();
    });

  // This thread finishes the jobs in order and asks whether to go on.
  size_t started = 0, shownFound = 0;
  bool shownComplete = false;
  std::unique_lock lock(mutex);
  for (;;) {
    while (!pending.empty() && pending.front()->done) {
      std::unique_ptr<Job> job = std::move(pending.front());
      pending.pop_front();
      ++first;
      const size_t foundNow = foundFiles;
      lock.unlock();
      if (progress_ && job->ran) {
        const size_t slash = job->found.path.find_last_of('/');
        progress_->fileStarted(++started, foundNow, job->found.path.substr(slash == std::string::npos ? 0 : slash + 1));
      }
      finish(*job);
      lock.lock();
    }
    // Every job taken is finished once no worker is left; those never taken stay undone.
    if (activeWorkers == 0 && walkDone) break;
    const size_t foundNow = foundFiles;
    const bool completeNow = walkDone && walkComplete;
    lock.unlock();
    if (progress_ && (foundNow != shownFound || completeNow != shownComplete)) {
      progress_->filesFound(foundNow, completeNow);
      shownFound = foundNow;
      shownComplete = completeNow;
    }
    if (!keepGoing()) {
      // Taken under the lock, so that no worker misses the stop between its check and its wait.
      { std::lock_guard stopping(mutex); }
      changed.notify_all();
    }
    lock.lock();
    changed.wait_for(lock, std::chrono::milliseconds(100), [&] {
      return (!pending.empty() && pending.front()->done) || (activeWorkers == 0 && walkDone);
    });
  }
  lock.unlock();
  walker.join();
  for (std::thread& worker : workers) worker.join();
  found_ = foundFiles;
  result_.stopped = !walkComplete || !pending.empty();
}

BatchResult BatchEngine::run(const std::vector<MidiFileItem*>& items, const PerFileMethod& method, bool destructive,
                             const BatchRun& batchRun) {
  result_ = {};
  found_ = 0;
  claimed_.clear();
  stopRequested_.store(false);
  // An item below another selected one is processed with its ancestor only.
  std::set<const FileSystemItem*> selected(items.begin(), items.end());
  std::vector<MidiFileItem*> roots;
  for (MidiFileItem* item : items) {
    if (!item || std::find(roots.begin(), roots.end(), item) != roots.end()) continue;
    bool nested = false;
    for (const FileSystemItem* up = item->parent(); up && !nested; up = up->parent()) nested = selected.count(up) > 0;
    if (!nested) roots.push_back(item);
  }
  if (!outputFolder_.empty()) {
    if (Error refusal = outputFolderRefusal(outputFolder_, roots)) {
      log_.logError(refusal, refusal.path);
      result_.refusal = std::move(refusal);
      return result_;
    }
  }
  const bool asks = SettingsStore::shared().boolForKey("warnBeforeDestructiveProcessing");
  if (asks && !destructive && warnsBeforeRewritingDamaged_ && !batchRun.dryRun) destructive = holdsDamagedFile(roots);
  if (destructive && asks) {
    const bool confirmed = confirmation_ && confirmation_->confirmDestructive(
                                                libraryString("WARN_BEFORE_PROCESSING_TITLE"),
                                                libraryString("WARN_BEFORE_PROCESSING_MESSAGE"));
    if (!confirmed) {
      result_.cancelled = true;
      return result_;
    }
  }
  method_ = &method;
  batchRun_ = &batchRun;
  const auto start = std::chrono::steady_clock::now();
  if (progress_) progress_->begin(0);
  // Written copies elsewhere leave no temporary files beside the originals.
  BatchFileFinder finder(roots, selection_, !batchRun.dryRun && outputFolder_.empty());
  if (jobs_ <= 1)
    runHere(finder);
  else
    runOnThreads(finder);
  result_.total = found_;
  result_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  method_ = nullptr;
  batchRun_ = nullptr;
  if (progress_) progress_->end(result_);
  return result_;
}

std::vector<std::string> BatchEngine::withoutNestedPaths(const std::vector<std::string>& paths) {
  auto resolved = [](const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer)) return std::string(buffer);
    return path;
  };
  std::vector<std::string> real;
  real.reserve(paths.size());
  for (const std::string& path : paths) real.push_back(resolved(path));
  // A path is dropped when it was given before, or when a folder above it was given.
  const std::set<std::string> given(real.begin(), real.end());
  std::set<std::string> seen;
  std::vector<std::string> kept;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!seen.insert(real[i]).second) continue;
    bool inside = false;
    for (size_t slash = real[i].find_last_of('/'); slash != std::string::npos && slash > 0 && !inside;
         slash = real[i].find_last_of('/', slash - 1))
      inside = given.count(real[i].substr(0, slash)) > 0;
    if (!inside && real[i].size() > 1 && real[i][0] == '/' && given.count("/")) inside = true;
    if (!inside) kept.push_back(paths[i]);
  }
  return kept;
}

Error BatchEngine::outputFolderRefusal(const std::string& folder, const std::vector<MidiFileItem*>& roots) {
  namespace fs = std::filesystem;
  std::error_code failure;
  const fs::path output = fs::weakly_canonical(fs::absolute(folder, failure), failure);
  if (failure) return Error{paramErr, folder, "cannot be used as the output folder: " + failure.message()};
  for (const MidiFileItem* root : roots) {
    std::error_code rootFailure;
    const fs::path input = fs::canonical(root->fullPath(), rootFailure);
    if (rootFailure) continue;
    if (root->isDirectory()) {
      auto [end, unused] = std::mismatch(input.begin(), input.end(), output.begin(), output.end());
      if (end == input.end())
        return Error{paramErr, folder,
                     "lies inside " + root->fullPath() + ", which is processed: results would mix with the originals"};
    } else if (input.parent_path() == output) {
      return Error{paramErr, folder,
                   "holds " + root->fullPath() + " itself: the result would replace the original"};
    }
  }
  return {};
}

}  // namespace sw
