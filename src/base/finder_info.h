// Finder type and creator codes of a file, stored in the 32-byte "com.apple.FinderInfo"
// attribute (type at bytes 0-3, creator at 4-7, big-endian) so that files exchanged with
// the platform that knows these codes keep them. A file without it has type and creator 0.
#pragma once

#include <string>

#include "base/four_char_code.h"
#include "base/status.h"

namespace sw {

struct FinderInfo {
  FourCharCode type = 0;
  FourCharCode creator = 0;

  static FinderInfo read(const std::string& path);
  // Stores both codes, keeping the other bytes of an existing attribute; both 0 removes it.
  // Where given, `error` receives the errno value of a failure (ENOTSUP: no attributes there).
  OSStatus write(const std::string& path, int* error = nullptr) const;
};

inline constexpr const char* kFinderInfoAttribute = "com.apple.FinderInfo";

}  // namespace sw
