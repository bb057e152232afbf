#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/xattr.h"

namespace sw {

namespace {

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
  // The final target: a symbolic link is followed so that the link itself survives.
  std::string target = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }
  std::string folder = folderOf(target);
  std::string pattern = folder + "/." + nameOf(target) + ".scorewell-XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');

  int fd = ::mkstemp(tempName.data());
  if (fd < 0) return statusFromErrno(errno);

  OSStatus status = writeAll(fd, bytes);

  struct stat original {};
  int originalFd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  bool existed = originalFd >= 0 && ::fstat(originalFd, &original) == 0;
  if (status == noErr) {
    mode_t mode = existed ? (original.st_mode & 07777) : mode_t(0666 & ~[] {
      mode_t mask = ::umask(0);
      ::umask(mask);
      return mask;
    }());
    ::fchmod(fd, mode);
    if (existed) {
      if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
        // Not the owner: keep our own ownership, the content is what matters.
      }
      xattr::copyAll(originalFd, fd);
    }
    if (::fsync(fd) != 0) status = statusFromErrno(errno);
  }
  if (originalFd >= 0) ::close(originalFd);
  if (::close(fd) != 0 && status == noErr) status = statusFromErrno(errno);

  if (status == noErr && ::rename(tempName.data(), target.c_str()) != 0) status = statusFromErrno(errno);
  if (status != noErr) {
    ::unlink(tempName.data());
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
