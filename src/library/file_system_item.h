// One entry of the browser's file tree: a root the user chose, or an entry of a folder below
// it. Folders read their entries lazily and keep only those that are displayable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw {

class FileSystemItem {
 public:
  // A root when `parent` is null (the path is then kept whole), else an entry named `path`
  // within the parent's folder.
  FileSystemItem(std::string path, FileSystemItem* parent);
  virtual ~FileSystemItem() = default;
  FileSystemItem(const FileSystemItem&) = delete;
  FileSystemItem& operator=(const FileSystemItem&) = delete;

  const std::string& relativePath() const { return relativePath_; }
  void setRelativePath(std::string path) { relativePath_ = std::move(path); }
  std::string fullPath() const;
  // The name shown: the one set with setName, else the last component of the path.
  std::string name() const;
  void setName(std::string name) { name_ = std::move(name); }
  FileSystemItem* parent() const { return parent_; }

  bool isDirectory() const { return isDirectory_; }
  bool isLeafKey() const { return !isDirectory_; }
  // The name begins with ".".
  bool isInvisible() const { return isInvisible_; }
  // The size last read from the file system; nothing for a folder.
  std::optional<uint64_t> fileSize() const;
  // Reads the size again.
  void refreshFileSize();

  // The displayable entries of a folder, sorted by name, read on first use; empty for a file.
  const std::vector<std::unique_ptr<FileSystemItem>>& children();
  FileSystemItem* childAtIndex(size_t index);
  void loadChildren();
  void freeChildren() { children_.reset(); }
  bool childrenLoaded() const { return children_.has_value(); }

  // Whether the browser lists the item; `status` receives why a file is left out.
  virtual bool isDisplayable(OSStatus* status);

 protected:
  // Makes the item for one entry of this folder; subclasses make their own kind.
  virtual std::unique_ptr<FileSystemItem> makeChild(const std::string& name);
  void readFileSystemState();

 private:
  std::string relativePath_;
  std::string name_;
  FileSystemItem* parent_;
  bool isDirectory_ = false;
  bool isInvisible_ = false;
  uint64_t fileSize_ = 0;
  std::optional<std::vector<std::unique_ptr<FileSystemItem>>> children_;
};

// The names in a folder, sorted, without "." and ".."; none when it cannot be read.
std::vector<std::string> sortedFolderNames(const std::string& folder);

}  // namespace sw
