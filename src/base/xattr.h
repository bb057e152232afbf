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
// Where given, `error` receives the errno value of a failure (ENODATA for a missing one).
std::optional<Bytes> get(const std::string& path, const std::string& name, int* error = nullptr);
OSStatus set(const std::string& path, const std::string& name, const Bytes& value, int* error = nullptr);
// Removing an attribute the file does not have succeeds.
OSStatus remove(const std::string& path, const std::string& name, int* error = nullptr);
// Every attribute of the file under "user." (names without the prefix).
std::vector<std::string> list(const std::string& path, int* error = nullptr);
// Copies every "user." attribute of one open file onto another; failures are ignored.
void copyAll(int fromFd, int toFd);

}  // namespace sw::xattr
