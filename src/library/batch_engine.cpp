#include "library/batch_engine.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <exception>
#include <new>
#include <set>

#include "base/atomic_file.h"
#include "base/settings_store.h"
#include "library/library_strings.h"
#include "library/midi_file_item.h"

namespace sw {

BatchEngine::BatchEngine(BatchLog& log, BatchProgress* progress, BatchConfirmation* confirmation)
    : log_(log), progress_(progress), confirmation_(confirmation) {}

bool BatchEngine::keepGoing() {
  if (stopRequested_.load()) return false;
  if (progress_ && !progress_->shouldContinue()) {
    stopRequested_.store(true);
    return false;
  }
  return true;
}

size_t BatchEngine::countFiles(FileSystemItem& item) {
  if (!item.isDirectory()) return 1;
  if (!item.childrenLoaded()) {
    item.loadChildren();
    loadedForRun_.insert(&item);
  }
  size_t count = 0;
  for (const auto& child : item.children()) count += countFiles(*child);
  return count;
}

bool BatchEngine::holdsDamagedFile(FileSystemItem& item) {
  if (item.isDirectory())
    return std::any_of(item.children().begin(), item.children().end(),
                       [](const auto& child) { return holdsDamagedFile(*child); });
  const auto* file = dynamic_cast<const MidiFileItem*>(&item);
  return file && !file->damage().empty();
}

void BatchEngine::freeLoaded(FileSystemItem& item) {
  if (!item.isDirectory() || !item.childrenLoaded()) return;
  for (const auto& child : item.children()) freeLoaded(*child);
  if (loadedForRun_.count(&item)) item.freeChildren();
}

void BatchEngine::process(FileSystemItem& item) {
  if (!keepGoing()) {
    result_.stopped = true;
    return;
  }
  if (item.isDirectory()) {
    removeStaleTemporaries(item.fullPath(), "");
    for (const auto& child : item.children()) {
      process(*child);
      if (result_.stopped) break;
    }
    return;
  }
  auto* file = dynamic_cast<MidiFileItem*>(&item);
  if (!file) return;
  const std::string path = file->fullPath();
  const std::string shown = BatchLog::abbreviatedPath(path);
  ++result_.processed;
  if (progress_) progress_->fileStarted(result_.processed, result_.total, file->name());
  // A file named on its own: the temporary files of its name only.
  if (!file->parent()) {
    const size_t slash = path.find_last_of('/');
    removeStaleTemporaries(slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash),
                           slash == std::string::npos ? path : path.substr(slash + 1));
  }
  // Lines are held until the outcome is known, so a file that fails is not reported as
  // changed first.
  std::vector<std::string> lines;
  bool unchanged = false;
  BatchRun perFile = *batchRun_;  // the run's values (dry run, force), with its own report
  perFile.report = [&](const std::string& line) { lines.push_back(line); };
  perFile.unchanged = [&] { unchanged = true; };
  Error error;
  try {
    error = (*method_)(*file, perFile);
  } catch (const std::bad_alloc&) {
    error = Error{memFullErr, path, statusDescription(memFullErr)};
  } catch (const std::exception& exception) {
    error = Error{paramErr, path, exception.what()};
  }
  if (releasesSequences_) file->releaseEventList();
  if (error) {
    ++result_.failed;
    // The error names the file it is about: a side file that could not be written, or the
    // MIDI file itself.
    log_.logError(error, error.path.empty() ? path : error.path);
    return;
  }
  if (unchanged) {
    ++result_.unchanged;
    lines.push_back("unchanged");
  }
  if (batchRun_->report)
    for (const std::string& line : lines) batchRun_->report(BatchLog::printable(shown) + ": " + line);
}

void BatchEngine::removeStaleTemporaries(const std::string& folder, const std::string& name) {
  if (batchRun_->dryRun) return;
  for (const std::string& removed : removeStaleTemporaryFiles(folder, name))
    if (batchRun_->report)
      batchRun_->report(BatchLog::printable(BatchLog::abbreviatedPath(folder + "/" + removed)) +
                        ": removed, left by an interrupted write");
}

BatchResult BatchEngine::run(const std::vector<MidiFileItem*>& items, const PerFileMethod& method, bool destructive,
                             const BatchRun& batchRun) {
  result_ = {};
  stopRequested_.store(false);
  loadedForRun_.clear();
  // An item below another selected one is processed with its ancestor only.
  std::set<const FileSystemItem*> selected(items.begin(), items.end());
  std::vector<MidiFileItem*> roots;
  for (MidiFileItem* item : items) {
    if (!item || std::find(roots.begin(), roots.end(), item) != roots.end()) continue;
    bool nested = false;
    for (const FileSystemItem* up = item->parent(); up && !nested; up = up->parent()) nested = selected.count(up) > 0;
    if (!nested) roots.push_back(item);
  }
  method_ = &method;
  batchRun_ = &batchRun;
  for (MidiFileItem* root : roots) result_.total += countFiles(*root);
  if (!destructive && warnsBeforeRewritingDamaged_ && !batchRun.dryRun)
    destructive = std::any_of(roots.begin(), roots.end(), [](MidiFileItem* root) { return holdsDamagedFile(*root); });
  if (destructive && SettingsStore::shared().boolForKey("warnBeforeDestructiveProcessing")) {
    const bool confirmed = confirmation_ && confirmation_->confirmDestructive(
                                                libraryString("WARN_BEFORE_PROCESSING_TITLE"),
                                                libraryString("WARN_BEFORE_PROCESSING_MESSAGE"));
    if (!confirmed) {
      for (MidiFileItem* root : roots) freeLoaded(*root);
      result_ = {};
      result_.cancelled = true;
      return result_;
    }
  }
  if (progress_) progress_->begin(result_.total);
  for (MidiFileItem* root : roots) {
    process(*root);
    freeLoaded(*root);
    if (result_.stopped) break;
  }
  for (MidiFileItem* root : roots) freeLoaded(*root);  // those not reached after a stop
  loadedForRun_.clear();
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
  for (const std::string& path : paths) real.push_back(resolved(path));
  auto inside = [](const std::string& path, const std::string& folder) {
    if (path == folder) return true;
    const std::string prefix = folder == "/" ? folder : folder + "/";
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
  };
  std::vector<std::string> kept;
  for (size_t i = 0; i < paths.size(); ++i) {
    bool drop = false;
    for (size_t j = 0; j < paths.size() && !drop; ++j) {
      if (i == j) continue;
      if (real[i] == real[j])
        drop = j < i;  // a repeat: the first one stays
      else
        drop = inside(real[i], real[j]);
    }
    if (!drop) kept.push_back(paths[i]);
  }
  return kept;
}

}  // namespace sw
