// The files and folders a user names for a batch, turned into the items the engine runs over,
// and the walk that finds the files below them. What cannot be processed (missing, not a
// regular file, hidden, a link to a file) is logged with its reason and counted, so every
// front end reports it alike.
#pragma once

#include <sys/types.h>

#include <sys/stat.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "library/batch_log.h"
#include "library/midi_file_item.h"

namespace sw {

// Which files below the named folders a batch takes.
struct BatchSelection {
  // Shell patterns: one without "/" is matched against the name, one with "/" against the path
  // below the named folder. A file is taken when it matches some include (or there is none) and
  // no exclude; an excluded folder is not entered.
  std::vector<std::string> includes;
  std::vector<std::string> excludes;
  bool recurse = true;       // descend into folders below the named ones
  bool followLinks = false;  // take the files and folders that symbolic links point to

  bool takesFile(const std::string& relative, const std::string& name) const;
  bool entersFolder(const std::string& relative, const std::string& name) const;
};

struct BatchRoots {
  std::vector<std::unique_ptr<MidiFileItem>> items;
  size_t unusable = 0;           // named paths logged as not processed
  std::vector<Error> refusals;   // why each of them was not (path and message)

  std::vector<MidiFileItem*> pointers() const;
};

// Nested paths are dropped (a file inside a named folder is processed once). A link to a folder
// given by name is followed; a link to a file only with `followLinks` (then the file it points
// to is processed, and renamed where it lies). The files are not read here: the engine reads
// each when it comes to it (BatchEngine::setReadsGivenFiles).
BatchRoots collectBatchRoots(const std::vector<std::string>& paths, BatchLog& log, bool followLinks = false);

// One entry of a batch, in the order a one-job run takes them.
struct FoundFile {
  enum class Kind { File, Note };
  Kind kind = Kind::File;
  // An item of the caller's tree (or a named root), or null: `path` is made into an item
  // when the file is processed.
  MidiFileItem* item = nullptr;
  std::string path;      // the full path
  std::string relative;  // below the named folder; the name for a named file
  bool named = false;    // named by the caller itself
  // Not processed, and why: hidden, a link not followed, the same file met before.
  std::optional<Error> skipped;
  std::string note;  // Kind::Note: a line for the report (a temporary file removed)
};

// Walks the roots in order: a named file, then each folder's entries sorted by name, files
// and folders alike, depth first. Folders of the caller's tree whose children are loaded are
// walked through those items (their cached sequences stay); the others through the file
// system. A file met twice (a hard link, a link followed, a folder named twice) is skipped
// the second time; a folder met twice is not entered again.
class BatchFileFinder {
 public:
  BatchFileFinder(std::vector<MidiFileItem*> roots, BatchSelection selection, bool removesTemporaries);
  // Hands each entry over in order until `take` answers false; answers whether all were found.
  bool find(const std::function<bool(FoundFile&&)>& take);

 private:
  bool walkItem(FileSystemItem& folder, const std::string& relative, const std::function<bool(FoundFile&&)>& take);
  bool walkPath(const std::string& folder, const std::string& relative, const std::function<bool(FoundFile&&)>& take);
  bool removeTemporaries(const std::string& folder, const std::string& name,
                         const std::function<bool(FoundFile&&)>& take);
  // Nothing when the file is met for the first time, else why it is skipped.
  std::optional<Error> metBefore(const struct stat& info, const std::string& path);

  std::vector<MidiFileItem*> roots_;
  BatchSelection selection_;
  bool removesTemporaries_;
  // The files met, with the path they were met at first, and the folders entered.
  std::map<std::pair<dev_t, ino_t>, std::string> files_;
  std::set<std::pair<dev_t, ino_t>> folders_;
};

}  // namespace sw
