#include "base/trash.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace sw {

namespace {

namespace fs = std::filesystem;

fs::path trashFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return fs::path(data) / "Trash";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".local/share/Trash";
}

// Path= of a trash record: the absolute path with everything but unreserved characters and
// "/" percent-encoded.
std::string encodedPath(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out.push_back(char(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

OSStatus moveFileToTrash(const std::string& path) {
  std::error_code error;
  fs::path source = fs::absolute(path, error);
  if (error) return statusFromErrno(error.value());
  if (!fs::exists(fs::symlink_status(source, error))) return fnfErr;

  fs::path trash = trashFolder();
  fs::create_directories(trash / "files", error);
  if (!error) fs::create_directories(trash / "info", error);
  if (error) return statusFromErrno(error.value());

  char date[32];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  std::string record = "[Trash Info]\nPath=" + encodedPath(source.string()) + "\nDeletionDate=" + date + "\n";

  // The record is created first, exclusively, which reserves the name in files/.
  std::string base = source.filename().string();
  for (int attempt = 1; attempt < 10000; ++attempt) {
    std::string name = attempt == 1 ? base : base + "." + std::to_string(attempt);
    fs::path info = trash / "info" / (name + ".trashinfo");
    fs::path target = trash / "files" / name;
    int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return statusFromErrno(errno);
    }
    bool written = writeAll(fd, record);
    ::close(fd);
    if (!written || fs::exists(fs::symlink_status(target, error))) {
      ::unlink(info.c_str());
      if (!written) return ioErr;
      continue;
    }
    fs::rename(source, target, error);
    if (error == std::errc::cross_device_link) {
      error.clear();
      fs::copy(source, target, fs::copy_options::copy_symlinks, error);
      if (!error) fs::remove(source, error);
    }
    if (error) {
      ::unlink(info.c_str());
      return statusFromErrno(error.value());
    }
    return noErr;
  }
  return ioErr;
}

}  // namespace sw
