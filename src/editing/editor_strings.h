// The event editor's user-visible texts, looked up by key. Unknown keys come back as they are.
#pragma once

#include <string>
#include <string_view>

namespace sw {

std::string localizedString(std::string_view key);

}  // namespace sw
