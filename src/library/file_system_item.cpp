#include "library/file_system_item.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace sw {

FileSystemItem::FileSystemItem(std::string path, FileSystemItem* parent)
    : relativePath_(std::move(path)), parent_(parent) {
  readFileSystemState();
}

std::string FileSystemItem::fullPath() const {
  if (!parent_) return relativePath_;
  std::string base = parent_->fullPath();
  if (!base.empty() && base.back() != '/') base += '/';
  return base + relativePath_;
}

std::string FileSystemItem::name() const {
  if (!name_.empty()) return name_;
  std::string path = relativePath_;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

void FileSystemItem::readFileSystemState() {
  const std::string path = fullPath();
  struct stat info {};
  // A symbolic link is judged by itself: a link is never a folder to descend into.
  if (::lstat(path.c_str(), &info) == 0) {
    isDirectory_ = S_ISDIR(info.st_mode);
    fileSize_ = S_ISREG(info.st_mode) ? uint64_t(info.st_size) : 0;
  }
  const std::string shown = name();
  isInvisible_ = !shown.empty() && shown[0] == '.' && shown != "." && shown != "..";
}

std::optional<uint64_t> FileSystemItem::fileSize() const {
  if (isDirectory_) return std::nullopt;
  return fileSize_;
}

void FileSystemItem::refreshFileSize() { readFileSystemState(); }

bool FileSystemItem::isDisplayable(OSStatus* status) {
  if (status) *status = noErr;
  return !isInvisible_;
}

std::unique_ptr<FileSystemItem> FileSystemItem::makeChild(const std::string& name) {
  return std::make_unique<FileSystemItem>(name, this);
}

std::vector<std::string> sortedFolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void FileSystemItem::loadChildren() {
  std::vector<std::unique_ptr<FileSystemItem>> items;
  if (isDirectory_) {
    for (const std::string& name : sortedFolderNames(fullPath())) {
      std::unique_ptr<FileSystemItem> child = makeChild(name);
      OSStatus status = noErr;
      if (child->isDisplayable(&status)) items.push_back(std::move(child));
    }
  }
  children_ = std::move(items);
}

const std::vector<std::unique_ptr<FileSystemItem>>& FileSystemItem::children() {
  if (!children_) loadChildren();
  return *children_;
}

FileSystemItem* FileSystemItem::childAtIndex(size_t index) {
  const auto& items = children();
  return index < items.size() ? items[index].get() : nullptr;
}

}  // namespace sw
