#include "library/batch_roots.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "library/batch_engine.h"

namespace sw {

std::vector<MidiFileItem*> BatchRoots::pointers() const {
  std::vector<MidiFileItem*> result;
  result.reserve(items.size());
  for (const auto& item : items) result.push_back(item.get());
  return result;
}

BatchRoots collectBatchRoots(const std::vector<std::string>& paths, BatchLog& log) {
  BatchRoots roots;
  for (const std::string& path : BatchEngine::withoutNestedPaths(paths)) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      log.logError(Error{fnfErr, path, "does not exist"}, path);
      ++roots.unusable;
      continue;
    }
    std::string itemPath = path;
    struct stat target {};
    if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
      char resolved[PATH_MAX];
      if (::realpath(path.c_str(), resolved)) itemPath = resolved;
    }
    auto item = std::make_unique<MidiFileItem>(itemPath, nullptr);
    if (!item->isDirectory()) {
      OSStatus status = noErr;
      if (!item->isDisplayable(&status)) {
        const std::string why = status != noErr ? "is not a MIDI file: " + statusDescription(status)
                                                : "is hidden or a symbolic link: not processed";
        log.logError(Error{status != noErr ? status : OSStatus(paramErr), path, why}, path);
        ++roots.unusable;
        continue;
      }
    }
    roots.items.push_back(std::move(item));
  }
  return roots;
}

}  // namespace sw
