// Settings values as JSON text and back, for the settings and presets commands.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/settings_store.h"

namespace swcli {

// Compact JSON; reals always carry a decimal point or exponent so they read back as reals.
std::string settingJson(const sw::SettingValue& value);

// Parses JSON text into a value. null is refused (a property list cannot hold it), as are
// nesting deeper than 64 levels, invalid UTF-8 and lone surrogates; `error` says why.
std::optional<sw::SettingValue> parseSettingJson(std::string_view text, std::string& error);

// The type's name as the listings show it: "bool", "integer", "real", "string", "array",
// "dictionary".
const char* settingTypeName(sw::SettingValue::Type type);

}  // namespace swcli
