#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

#include "base/xattr.h"

namespace sw {

namespace {

// Longest piece of the target's name kept in the temporary name, so that the temporary name
// stays within the 255-byte limit of a file name even for the longest target names.
constexpr size_t kTempNameStem = 200;
constexpr int kMaxLinkHops = 40;
constexpr int kMaxTempAttempts = 100;
constexpr const char* kTempMarker = ".scorewell-";
constexpr size_t kTempSuffixDigits = 16;
// A temporary file younger than this may belong to a writer that has created it and not yet
// locked it.
constexpr int64_t kStaleAfterSeconds = 2;
// Folders a DeferredFolderSync holds before it flushes them.
constexpr size_t kDeferredFoldersMax = 64;

FileIdentity identityOf(const struct stat& info) {
  return FileIdentity{info.st_dev, info.st_ino, int64_t(info.st_size),
                      int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// The user's right to change the file: the file system's answer for this user, and for the
// superuser, whom the system lets write anything, the file's own write bits.
OSStatus writePermission(const std::string& target, const struct stat& info) {
  if (::geteuid() == 0) return (info.st_mode & 0222) != 0 ? noErr : permErr;
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return statusFromErrno(errno);
  return noErr;
}

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links, a dangling one included, to the file that is to be replaced: the
// links themselves stay as they are and the new content appears behind them.
OSStatus resolveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return noErr;
    std::vector<char> link(size_t(info.st_size > 0 ? info.st_size : 255) + 1);
    ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return statusFromErrno(errno);
    if (size_t(n) >= link.size()) return ioErr;  // changed while being read
    std::string to(link.data(), size_t(n));
    target = (to.empty() || to[0] == '/') ? to : folderOf(target) + "/" + to;
  }
  return statusFromErrno(ELOOP);
}

// Creates a new file beside the target, readable and writable by its creator only when an
// original's permissions are to be applied, otherwise with the permissions the process's
// mask gives a new file.
int createTemporary(const std::string& folder, const std::string& name, bool restrictive, std::string& tempPath,
                    int& error) {
  static std::atomic<uint64_t> counter{0};
  std::string stem = "." + name.substr(0, kTempNameStem) + kTempMarker;
  for (int attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
    uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (uint64_t(::getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(seed));
    tempPath = folder + "/" + stem + suffix;
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, restrictive ? 0600 : 0666);
    if (fd >= 0) {
      // Held until the file is closed, or the process ends: a lock nobody holds marks a
      // temporary file left by a writer that died.
      ::flock(fd, LOCK_EX | LOCK_NB);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  error = errno;
  tempPath.clear();
  return -1;
}

thread_local DiskWaitObserver* diskWaitObserver = nullptr;
thread_local DeferredFolderSync* currentFolderSync = nullptr;  // the innermost on this thread

// fsync, told to this thread's observer.
int observedSync(int fd) {
  DiskWaitObserver* observer = diskWaitObserver;
  if (observer) observer->waitBegins();
  const int result = ::fsync(fd);
  const int error = errno;
  if (observer) observer->waitEnds();
  errno = error;
  return result;
}

void syncFolder(const std::string& folder) {
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    observedSync(dirFd);
    ::close(dirFd);
  }
}

OSStatus writeAll(int fd, std::span<const unsigned char> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return statusFromErrno(errno);
    }
    done += size_t(n);
  }
  return noErr;
}

// Whether the name is one of this writer's temporary names: ".", a name, the marker and
// sixteen hex digits; `name` limits it to the temporary files of that name.
bool isTemporaryName(const std::string& entry, const std::string& name) {
  const size_t marker = entry.rfind(kTempMarker);
  if (entry.size() < 2 || entry[0] != '.' || marker == std::string::npos || marker < 2) return false;
  const size_t digits = marker + std::char_traits<char>::length(kTempMarker);
  if (entry.size() - digits != kTempSuffixDigits) return false;
  for (size_t i = digits; i < entry.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(entry[i])) || std::isupper(static_cast<unsigned char>(entry[i])))
      return false;
  if (name.empty()) return true;
  return entry.compare(1, marker - 1, name.substr(0, kTempNameStem)) == 0;
}

}  // namespace

std::optional<FileIdentity> FileIdentity::of(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return identityOf(info);
}

OSStatus checkReplaceable(const std::string& path) {
  if (path.empty() || path.back() == '/') return paramErr;
  std::string target;
  if (OSStatus status = resolveTarget(path, target); status != noErr) return status;
  if (target.empty()) return paramErr;
  struct stat original {};
  if (::stat(target.c_str(), &original) != 0) return noErr;
  if (!S_ISREG(original.st_mode)) return paramErr;
  return writePermission(target, original);
}

std::vector<std::string> removeStaleTemporaryFiles(const std::string& folder, const std::string& name) {
  std::vector<std::string> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return removed;
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir))
    if (isTemporaryName(entry->d_name, name)) candidates.emplace_back(entry->d_name);
  ::closedir(dir);
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t nowSeconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  for (const std::string& entry : candidates) {
    const std::string path = folder + "/" + entry;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {}, now {};
    const bool stale = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       nowSeconds - int64_t(info.st_mtim.tv_sec) >= kStaleAfterSeconds &&
                       ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // Still the file examined (not renamed into place meanwhile), then gone.
    if (stale && ::lstat(path.c_str(), &now) == 0 && now.st_ino == info.st_ino && now.st_dev == info.st_dev &&
        ::unlink(path.c_str()) == 0)
      removed.push_back(entry);
    ::close(fd);
  }
  return removed;
}

OSStatus writeFileAtomically(const std::string& path, std::span<const unsigned char> bytes, FileIdentity* expected) {
  if (path.empty() || path.back() == '/') return paramErr;
  std::string target;
  if (OSStatus status = resolveTarget(path, target); status != noErr) return status;
  if (target.empty()) return paramErr;

  struct stat original {};
  bool existed = ::stat(target.c_str(), &original) == 0;
  if (expected && !existed) return fnfErr;  // deleted since it was read: not recreated
  if (expected && identityOf(original) != *expected) return kFileChangedErr;
  // Only a regular file is replaced: renaming over a folder fails anyway, and a device or a
  // pipe must not be swapped for a plain file.
  if (existed && !S_ISREG(original.st_mode)) return paramErr;
  if (existed) {
    if (OSStatus status = writePermission(target, original); status != noErr) return status;
  }

  std::string folder = folderOf(target);
  std::string tempPath;
  int error = 0;
  int fd = createTemporary(folder, nameOf(target), existed, tempPath, error);
  if (fd < 0) return statusFromErrno(error);

  OSStatus status = noErr;
  if (existed) {
    // Owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    // A replacement that cannot keep the owner would take another user's file away from them.
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      struct stat made {};
      if (::fstat(fd, &made) != 0 || made.st_uid != original.st_uid) status = permErr;
      // Only the group could not be kept (one the user is not in): the file stays the owner's.
    }
    if (status == noErr && ::fchmod(fd, original.st_mode & 07777) != 0) status = statusFromErrno(errno);
    int originalFd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (originalFd >= 0) {
      xattr::copyAll(originalFd, fd);
      ::close(originalFd);
    }
  }
  if (status == noErr) status = writeAll(fd, bytes);
  if (status == noErr && observedSync(fd) != 0) status = statusFromErrno(errno);
  struct stat written {};
  if (status == noErr && ::fstat(fd, &written) != 0) status = statusFromErrno(errno);

  // The file as read must still be there, unchanged, right before it is replaced.
  if (status == noErr && expected) {
    struct stat now {};
    if (::stat(target.c_str(), &now) != 0) status = fnfErr;
    else if (identityOf(now) != *expected) status = kFileChangedErr;
  }
  if (status == noErr && ::rename(tempPath.c_str(), target.c_str()) != 0) status = statusFromErrno(errno);
  // Closed after the rename: the lock marks the temporary file as in use until it is gone.
  // The content is on disk already (fsync), so a failing close changes nothing.
  ::close(fd);
  if (status != noErr) {
    ::unlink(tempPath.c_str());
    return status;
  }
  if (!DeferredFolderSync::defer(folder)) syncFolder(folder);
  if (expected) *expected = identityOf(written);
  return noErr;
}

DiskWaitObserver* observeDiskWaits(DiskWaitObserver* observer) {
  DiskWaitObserver* previous = diskWaitObserver;
  diskWaitObserver = observer;
  return previous;
}

DeferredFolderSync::DeferredFolderSync() : outer_(currentFolderSync) { currentFolderSync = this; }

DeferredFolderSync::~DeferredFolderSync() {
  flush();
  currentFolderSync = outer_;
}

void DeferredFolderSync::flush() {
  for (const std::string& folder : folders_) syncFolder(folder);
  folders_.clear();
}

bool DeferredFolderSync::defer(const std::string& folder) {
  if (!currentFolderSync) return false;
  std::vector<std::string>& folders = currentFolderSync->folders_;
  // Batches write folder after folder; a long list is flushed before it grows further.
  if (folders.empty() || folders.back() != folder) folders.push_back(folder);
  if (folders.size() >= kDeferredFoldersMax) currentFolderSync->flush();
  return true;
}

OSStatus readWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return statusFromErrno(errno);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return paramErr;
  }
  if (info.st_size > 0) contents.reserve(size_t(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      return statusFromErrno(error);
    }
    if (n == 0) break;
    contents.append(buffer, size_t(n));
  }
  ::close(fd);
  return noErr;
}

}  // namespace sw
