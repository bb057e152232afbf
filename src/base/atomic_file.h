// Safe replacement of a file's content: the bytes go to a temporary file in the same folder,
// which is given the original's owner, permissions and extended attributes, flushed to disk
// and renamed over the original in one step. On any failure the original is left untouched
// and the temporary file is removed. A symbolic link is followed: the file it points to is
// replaced and the link stays. A new file gets the permissions the process's mask allows.
// Only regular files are replaced (paramErr otherwise); hard links to the original keep the
// old content, as with any replacement by renaming.
//
// A file the user may not write (its own permission bits, or its owner when the replacement
// could not keep it) is refused with permErr and left alone. Given the identity the file had
// when it was read, a file changed or deleted since is left alone too.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

// What tells one state of a file from another: device, inode, size and modification time.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t size = 0;
  int64_t modifiedNanoseconds = 0;

  // The identity of the file at the path (links followed); nothing when there is none.
  static std::optional<FileIdentity> of(const std::string& path);
  bool operator==(const FileIdentity&) const = default;
};

// Replaces the file's content. With `expected`, the file must still have that identity just
// before the replacement (fnfErr when it is gone, kFileChangedErr when it differs); on success
// `expected` becomes the identity of the new file.
OSStatus writeFileAtomically(const std::string& path, std::span<const unsigned char> bytes,
                             FileIdentity* expected = nullptr);

// While one lives on a thread, the replacements that thread makes flush each file's content
// before its rename as always, but leave flushing the folders (which makes the renames last
// through a power loss) to the scope: once for each run of writes into one folder, at flush(),
// at its end, and whenever 64 folders wait. Until then a power loss can only bring back a
// file's previous content, complete. For batches, where a folder flush per file would double
// the waits on the disk.
class DeferredFolderSync {
 public:
  DeferredFolderSync();
  ~DeferredFolderSync();
  DeferredFolderSync(const DeferredFolderSync&) = delete;
  DeferredFolderSync& operator=(const DeferredFolderSync&) = delete;
  // Flushes the folders written to so far.
  void flush();
  // Takes a folder to flush later: false when no scope lives on this thread.
  static bool defer(const std::string& folder);

 private:
  DeferredFolderSync* outer_;
  std::vector<std::string> folders_;
};

// Told when a thread starts and ends waiting for the disk to flush a replacement, so that a
// pool of threads can let another one compute meanwhile.
class DiskWaitObserver {
 public:
  virtual ~DiskWaitObserver() = default;
  virtual void waitBegins() = 0;
  virtual void waitEnds() = 0;
};
// Sets the observer of this thread's disk waits (null for none); returns the previous one.
DiskWaitObserver* observeDiskWaits(DiskWaitObserver* observer);

// Whether writeFileAtomically could replace the file: noErr, or the status it would refuse
// with (permErr for a file the user may not write, paramErr for one that is not a regular
// file). A missing file counts as replaceable.
OSStatus checkReplaceable(const std::string& path);

// Removes, in the folder, the temporary files this writer leaves behind when a process dies
// in the middle of a write: hidden files named ".NAME.scorewell-" and sixteen hex digits
// that no writer holds any longer. With `name`, only those of that file. Returns the names
// removed.
std::vector<std::string> removeStaleTemporaryFiles(const std::string& folder, const std::string& name = "");

// Reads a whole file; the status is fnfErr for a missing file, else what the system said.
OSStatus readWholeFile(const std::string& path, std::string& contents);

}  // namespace sw
