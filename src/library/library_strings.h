// The English texts the browser shows (a file's defects, the preset pop-up), under their keys.
#pragma once

#include <string>
#include <string_view>

namespace sw {

// The text of a key, or "" for a key without one.
std::string libraryString(std::string_view key);

}  // namespace sw
