#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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
  std::string stem = "." + name.substr(0, kTempNameStem) + ".scorewell-";
  for (int attempt = 0; attempt < kMaxTempAttempts; ++attempt) {
    uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (uint64_t(::getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(seed));
    tempPath = folder + "/" + stem + suffix;
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, restrictive ? 0600 : 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = errno;
  tempPath.clear();
  return -1;
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

}  // namespace

OSStatus writeFileAtomically(const std::string& path, std::span<const unsigned char> bytes) {
  if (path.empty() || path.back() == '/') return paramErr;
  std::string target;
  if (OSStatus status = resolveTarget(path, target); status != noErr) return status;
  if (target.empty()) return paramErr;

  struct stat original {};
  bool existed = ::stat(target.c_str(), &original) == 0;
  // Only a regular file is replaced: renaming over a folder fails anyway, and a device or a
  // pipe must not be swapped for a plain file.
  if (existed && !S_ISREG(original.st_mode)) return paramErr;

  std::string folder = folderOf(target);
  std::string tempPath;
  int error = 0;
  int fd = createTemporary(folder, nameOf(target), existed, tempPath, error);
  if (fd < 0) return statusFromErrno(error);

  OSStatus status = noErr;
  if (existed) {
    // Owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // Not allowed to give the file away: it stays ours, with the original's permissions.
    }
    if (::fchmod(fd, original.st_mode & 07777) != 0) status = statusFromErrno(errno);
    int originalFd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (originalFd >= 0) {
      xattr::copyAll(originalFd, fd);
      ::close(originalFd);
    }
  }
  if (status == noErr) status = writeAll(fd, bytes);
  if (status == noErr && ::fsync(fd) != 0) status = statusFromErrno(errno);
  if (::close(fd) != 0 && status == noErr) status = statusFromErrno(errno);

  if (status == noErr && ::rename(tempPath.c_str(), target.c_str()) != 0) status = statusFromErrno(errno);
  if (status != noErr) {
    ::unlink(tempPath.c_str());
    return status;
  }
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return noErr;
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
