#include "base/xattr.h"

#include <sys/xattr.h>

#include <cerrno>
#include <string_view>

namespace sw::xattr {

namespace {
constexpr std::string_view kPrefix = "user.";

std::string fullName(const std::string& name) { return std::string(kPrefix) + name; }

std::vector<std::string> splitNames(const std::vector<char>& buffer, ssize_t size) {
  std::vector<std::string> names;
  for (ssize_t i = 0; i < size;) {
    std::string_view name(&buffer[i]);
    if (name.substr(0, kPrefix.size()) == kPrefix) names.emplace_back(name.substr(kPrefix.size()));
    i += ssize_t(name.size()) + 1;
  }
  return names;
}
}  // namespace

std::optional<Bytes> get(const std::string& path, const std::string& name, int* error) {
  std::string key = fullName(name);
  if (error) *error = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    ssize_t size = ::lgetxattr(path.c_str(), key.c_str(), nullptr, 0);
    if (size < 0) {
      if (error) *error = errno;
      return std::nullopt;
    }
    Bytes value(static_cast<size_t>(size));
    ssize_t got = ::lgetxattr(path.c_str(), key.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(size_t(got));
      return value;
    }
    if (errno != ERANGE) {  // ERANGE: grew in between, try again
      if (error) *error = errno;
      return std::nullopt;
    }
  }
  if (error) *error = ERANGE;
  return std::nullopt;
}

OSStatus set(const std::string& path, const std::string& name, const Bytes& value, int* error) {
  std::string key = fullName(name);
  if (error) *error = 0;
  if (::lsetxattr(path.c_str(), key.c_str(), value.data(), value.size(), 0) != 0) {
    if (error) *error = errno;
    return statusFromErrno(errno);
  }
  return noErr;
}

OSStatus remove(const std::string& path, const std::string& name, int* error) {
  std::string key = fullName(name);
  if (error) *error = 0;
  if (::lremovexattr(path.c_str(), key.c_str()) != 0 && errno != ENODATA) {
    if (error) *error = errno;
    return statusFromErrno(errno);
  }
  return noErr;
}

std::vector<std::string> list(const std::string& path, int* error) {
  if (error) *error = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
    if (size < 0 && error) *error = errno;
    if (size <= 0) return {};
    std::vector<char> buffer(size_t(size) + 1, 0);
    size = ::llistxattr(path.c_str(), buffer.data(), buffer.size() - 1);
    if (size >= 0) return splitNames(buffer, size);
    if (errno != ERANGE) {
      if (error) *error = errno;
      return {};
    }
  }
  if (error) *error = ERANGE;
  return {};
}

void copyAll(int fromFd, int toFd) {
  ssize_t size = ::flistxattr(fromFd, nullptr, 0);
  if (size <= 0) return;
  std::vector<char> names(size_t(size) + 1, 0);
  size = ::flistxattr(fromFd, names.data(), names.size() - 1);
  if (size <= 0) return;
  for (const std::string& name : splitNames(names, size)) {
    std::string key = fullName(name);
    ssize_t length = ::fgetxattr(fromFd, key.c_str(), nullptr, 0);
    if (length < 0) continue;
    std::vector<char> value(static_cast<size_t>(length));
    length = ::fgetxattr(fromFd, key.c_str(), value.data(), value.size());
    if (length < 0) continue;
    ::fsetxattr(toFd, key.c_str(), value.data(), size_t(length), 0);
  }
}

}  // namespace sw::xattr
