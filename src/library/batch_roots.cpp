#include "library/batch_roots.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/atomic_file.h"
#include "library/batch_engine.h"

namespace sw {

namespace {

bool matches(const std::string& pattern, const std::string& relative, const std::string& name) {
  const bool byPath = pattern.find('/') != std::string::npos;
  return ::fnmatch(pattern.c_str(), (byPath ? relative : name).c_str(), 0) == 0;
}

bool anyMatches(const std::vector<std::string>& patterns, const std::string& relative, const std::string& name) {
  return std::any_of(patterns.begin(), patterns.end(),
                     [&](const std::string& pattern) { return matches(pattern, relative, name); });
}

std::string joined(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

bool BatchSelection::takesFile(const std::string& relative, const std::string& name) const {
  if (!includes.empty() && !anyMatches(includes, relative, name)) return false;
  return !anyMatches(excludes, relative, name);
}

bool BatchSelection::entersFolder(const std::string& relative, const std::string& name) const {
  return !anyMatches(excludes, relative, name);
}

std::vector<MidiFileItem*> BatchRoots::pointers() const {
  std::vector<MidiFileItem*> result;
  result.reserve(items.size());
  for (const auto& item : items) result.push_back(item.get());
  return result;
}

BatchRoots collectBatchRoots(const std::vector<std::string>& paths, BatchLog& log, bool followLinks) {
  BatchRoots roots;
  auto refuse = [&](const std::string& path, OSStatus status, const std::string& why) {
    const Error error{status, path, why};
    log.logError(error, path);
    roots.refusals.push_back(error);
    ++roots.unusable;
  };
  for (const std::string& path : BatchEngine::withoutNestedPaths(paths)) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      refuse(path, fnfErr, "does not exist");
      continue;
    }
    std::string itemPath = path;
    struct stat target = info;
    const bool link = S_ISLNK(info.st_mode);
    if (link && ::stat(path.c_str(), &target) != 0) {
      refuse(path, fnfErr, "is a symbolic link to nothing: not processed");
      continue;
    }
    if (link && (S_ISDIR(target.st_mode) || followLinks)) {
      char resolved[PATH_MAX];
      if (::realpath(path.c_str(), resolved)) itemPath = resolved;
    }
    if (!S_ISDIR(target.st_mode) && !S_ISREG(target.st_mode)) {
      // A pipe or a device would block the reader or be swapped for a plain file.
      refuse(path, paramErr, "is not a regular file: not processed");
      continue;
    }
    auto item = std::make_unique<MidiFileItem>(itemPath, nullptr);
    if (!item->isDirectory() && (item->isInvisible() || (link && !followLinks))) {
      refuse(path, paramErr, "is hidden or a symbolic link: not processed");
      continue;
    }
    roots.items.push_back(std::move(item));
  }
  return roots;
}

BatchFileFinder::BatchFileFinder(std::vector<MidiFileItem*> roots, BatchSelection selection, bool removesTemporaries)
    : roots_(std::move(roots)), selection_(std::move(selection)), removesTemporaries_(removesTemporaries) {}

std::optional<Error> BatchFileFinder::metBefore(const struct stat& info, const std::string& path) {
  const auto [at, first] = files_.try_emplace({info.st_dev, info.st_ino}, path);
  if (first) return std::nullopt;
  return Error{paramErr, path, "is the same file as " + BatchLog::abbreviatedPath(at->second) + ": processed once"};
}

bool BatchFileFinder::removeTemporaries(const std::string& folder, const std::string& name,
                                        const std::function<bool(FoundFile&&)>& take) {
  if (!removesTemporaries_) return true;
  for (const std::string& removed : removeStaleTemporaryFiles(folder, name)) {
    FoundFile note;
    note.kind = FoundFile::Kind::Note;
    note.path = joined(folder, removed);
    note.note = BatchLog::printable(BatchLog::abbreviatedPath(note.path)) + ": removed, left by an interrupted write";
    if (!take(std::move(note))) return false;
  }
  return true;
}

bool BatchFileFinder::find(const std::function<bool(FoundFile&&)>& take) {
  for (MidiFileItem* root : roots_) {
    const std::string path = root->fullPath();
    struct stat info {};
    const bool known = ::stat(path.c_str(), &info) == 0;
    if (root->isDirectory()) {
      if (known && !folders_.insert({info.st_dev, info.st_ino}).second) continue;  // named before
      const bool found = root->childrenLoaded() ? walkItem(*root, "", take) : walkPath(path, "", take);
      if (!found) return false;
      continue;
    }
    if (!root->parent()) {
      // A file named on its own: the temporary files of its name only.
      const size_t slash = path.find_last_of('/');
      const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
      if (!removeTemporaries(folder, slash == std::string::npos ? path : path.substr(slash + 1), take)) return false;
    }
    FoundFile file;
    file.item = root;
    file.path = path;
    file.relative = root->name();
    file.named = true;
    if (known) file.skipped = metBefore(info, path);
    if (!take(std::move(file))) return false;
  }
  return true;
}

bool BatchFileFinder::walkItem(FileSystemItem& folder, const std::string& relative,
                               const std::function<bool(FoundFile&&)>& take) {
  if (!removeTemporaries(folder.fullPath(), "", take)) return false;
  for (const auto& child : folder.children()) {
    const std::string path = child->fullPath();
    const std::string below = joined(relative, child->name());
    struct stat info {};
    const bool known = ::stat(path.c_str(), &info) == 0;
    if (child->isDirectory()) {
      if (!selection_.recurse || !selection_.entersFolder(below, child->name())) continue;
      if (known && !folders_.insert({info.st_dev, info.st_ino}).second) continue;
      const bool found = child->childrenLoaded() ? walkItem(*child, below, take) : walkPath(path, below, take);
      if (!found) return false;
      continue;
    }
    auto* file = dynamic_cast<MidiFileItem*>(child.get());
    if (!file || !selection_.takesFile(below, child->name())) continue;
    FoundFile found;
    found.item = file;
    found.path = path;
    found.relative = below;
    if (known) found.skipped = metBefore(info, path);
    if (!take(std::move(found))) return false;
  }
  return true;
}

bool BatchFileFinder::walkPath(const std::string& folder, const std::string& relative,
                               const std::function<bool(FoundFile&&)>& take) {
  if (!removeTemporaries(folder, "", take)) return false;
  for (const std::string& name : sortedFolderNames(folder)) {
    const std::string path = joined(folder, name);
    const std::string below = joined(relative, name);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) continue;  // gone meanwhile
    FoundFile found;
    found.path = path;
    found.relative = below;
    auto skip = [&](OSStatus status, const std::string& why) {
      found.skipped = Error{status, path, why};
      return take(std::move(found));
    };
    if (name[0] == '.') {
      const bool wanted = S_ISDIR(info.st_mode) ? selection_.recurse && selection_.entersFolder(below, name)
                                                : selection_.takesFile(below, name);
      if (wanted && !skip(paramErr, "is hidden: not processed")) return false;
      continue;
    }
    if (S_ISLNK(info.st_mode)) {
      if (!selection_.followLinks) {
        if (!skip(paramErr, "is a symbolic link: not processed (see --follow-links)")) return false;
        continue;
      }
      if (::stat(path.c_str(), &info) != 0) {
        if (!skip(fnfErr, "is a symbolic link to nothing: not processed")) return false;
        continue;
      }
    }
    if (S_ISDIR(info.st_mode)) {
      if (!selection_.recurse || !selection_.entersFolder(below, name)) continue;
      if (!folders_.insert({info.st_dev, info.st_ino}).second) continue;  // a loop, or met before
      if (!walkPath(path, below, take)) return false;
      continue;
    }
    if (!selection_.takesFile(below, name)) continue;
    if (!S_ISREG(info.st_mode)) {
      if (!skip(paramErr, "is not a regular file: not processed")) return false;
      continue;
    }
    found.skipped = metBefore(info, path);
    if (!take(std::move(found))) return false;
  }
  return true;
}

}  // namespace sw
