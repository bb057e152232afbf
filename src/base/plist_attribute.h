// Extended attributes whose values are property lists (stored in the binary form, read in
// either form), as per-file settings such as "com.tessary.encoding" are kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/status.h"

namespace sw {

// The number the attribute holds; nothing when the file has no such attribute or its value
// is not a property-list number.
std::optional<int64_t> readNumberAttribute(const std::string& path, const std::string& name);
// Stores the number as a binary property list.
OSStatus writeNumberAttribute(const std::string& path, const std::string& name, int64_t value);

}  // namespace sw
