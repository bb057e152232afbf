// Extended attributes of files, kept in the Linux "user." namespace; a symbolic link at the end
// of a path is not followed. Names are given without
// the prefix ("com.tessary.encoding" is stored as "user.com.tessary.encoding").
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/status.h"

namespace sw::xattr {

using Bytes = std::vector<unsigned char>;

// The value, or nothing when the file has no such attribute or the file system has none.
std::optional<Bytes> get(const std::string& path, const std::string& name);
OSStatus set(const std::string& path, const std::string& name, const Bytes& value);
OSStatus remove(const std::string& path, const std::string& name);
// Every attribute of the file under "user." (names without the prefix).
std::vector<std::string> list(const std::string& path);
// Copies every "user." attribute of one open file onto another; failures are ignored.
void copyAll(int fromFd, int toFd);

}  // namespace sw::xattr
