// scorewell-cli settings: list, show, set and reset the user's settings.
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "library/factory_defaults.h"
#include "setting_json.h"

namespace swcli {

namespace {

using sw::SettingValue;

const char* kSettingsHelp =
    "Usage: scorewell-cli settings [--json] [KEY [VALUE]]\n"
    "       scorewell-cli settings --reset KEY\n"
    "\n"
    "Without KEY, lists every setting: key, where its value comes from (user: set by the user,\n"
    "factory: the factory value, unset: neither, so it reads as NO, 0 or empty), type and value.\n"
    "A saved value that does not fit its key's type (\"maybe\" for a bool) is passed over: the\n"
    "row shows the value in force, the saved one is reported (\"rejected\" in JSON).\n"
    "With KEY, shows that setting; with KEY and VALUE, sets it. VALUE is read by the key's type:\n"
    "bool yes/no/true/false/1/0, integer, real, string as it is, array and dictionary as JSON.\n"
    "Write -- before a VALUE that starts with a dash (negative numbers are taken as they are).\n"
    "\n"
    "  --json         JSON instead of a table\n"
    "  --reset KEY    removes the user's value, so that the factory value answers again\n"
    "\n"
    "Settings are kept in $SCOREWELL_CONFIG_DIR/settings.plist, else\n"
    "$XDG_CONFIG_HOME/scorewell/settings.plist, else ~/.config/scorewell/settings.plist.\n";

struct Row {
  std::string key;
  const char* source;  // "user", "factory", "unset"
  SettingValue::Type type;
  SettingValue value;
  // A saved value that does not fit the key's type: the factory value answers instead.
  std::optional<SettingValue> rejected;
};

Row rowOf(const sw::SettingsStore& store, const std::string& key) {
  const sw::SettingKey* known = sw::findSettingKey(key);
  auto value = store.objectForKey(key);
  std::optional<SettingValue> rejected;
  if (auto stored = store.userValueForKey(key)) {
    // The store passes over a misfit for the factory value; without one, the getters read
    // it as NO, 0 or empty.
    const bool fits = stored == value && (!known || stored->standsFor(known->type));
    if (fits) return {key, "user", known ? known->type : value->type(), *value, std::nullopt};
    rejected = std::move(stored);
    if (value == rejected) value.reset();
  }
  if (value) return {key, "factory", known ? known->type : value->type(), *value, rejected};
  SettingValue::Type type = known ? known->type : SettingValue::Type::String;
  return {key, "unset", type, sw::emptySettingValue(type), rejected};
}

std::string rowJson(const Row& row) {
  std::string out = "{\"key\":" + jsonString(row.key) + ",\"source\":\"" + row.source + "\",\"type\":\"" +
                    settingTypeName(row.type) + "\",\"value\":" + settingJson(row.value);
  if (const sw::SettingKey* known = sw::findSettingKey(row.key); known && known->factoryValue)
    out += ",\"factory\":" + settingJson(*known->factoryValue);
  if (row.rejected) out += ",\"rejected\":" + settingJson(*row.rejected);
  return out + "}";
}

// A saved value passed over for the factory value is reported by the store as it reads it;
// one without a factory value to fall back on is reported here.
void reportRejected(const std::vector<Row>& rows, const std::string& path) {
  for (const Row& row : rows)
    if (row.rejected && std::string_view(row.source) == "unset")
      std::fprintf(stderr, "Settings file %s: the value of \"%s\" (%s) is not %s; it reads as unset\n", path.c_str(),
                   row.key.c_str(), settingJson(*row.rejected).c_str(), settingTypeName(row.type));
}

// A listing is a JSON array, one setting a JSON object.
void printRows(const std::vector<Row>& rows, bool json, bool listing) {
  reportRejected(rows, sw::SettingsStore::shared().path());
  if (json) {
    std::string out = listing ? "[" : "";
    for (size_t i = 0; i < rows.size(); ++i) out += (i ? "," : "") + rowJson(rows[i]);
    std::printf("%s%s\n", out.c_str(), listing ? "]" : "");
    return;
  }
  for (const Row& row : rows)
    std::printf("%-34s %-8s %-10s %s\n", row.key.c_str(), row.source, settingTypeName(row.type),
                settingJson(row.value).c_str());
}

std::string lowercase(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The value text read as the given type; nothing with `error` set when it is not one.
std::optional<SettingValue> parseValue(const std::string& text, SettingValue::Type type, std::string& error) {
  switch (type) {
    case SettingValue::Type::Bool: {
      std::string word = lowercase(text);
      if (word == "yes" || word == "true" || word == "1") return SettingValue(true);
      if (word == "no" || word == "false" || word == "0") return SettingValue(false);
      error = "expects yes, no, true, false, 1 or 0, not '" + text + "'";
      return std::nullopt;
    }
    case SettingValue::Type::Integer: {
      int64_t value = 0;
      auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || status != std::errc() || end != text.data() + text.size()) {
        error = "expects a whole number, not '" + text + "'";
        return std::nullopt;
      }
      return SettingValue(value);
    }
    case SettingValue::Type::Real: {
      char* end = nullptr;
      double value = std::strtod(text.c_str(), &end);
      if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
        error = "expects a finite number, not '" + text + "'";
        return std::nullopt;
      }
      return SettingValue(value);
    }
    case SettingValue::Type::String: return SettingValue(text);
    case SettingValue::Type::Array:
    case SettingValue::Type::Dictionary: {
      std::string why;
      auto value = parseSettingJson(text, why);
      if (!value) {
        error = "expects JSON: " + why;
        return std::nullopt;
      }
      if (value->type() != type) {
        error = std::string("expects a JSON ") + (type == SettingValue::Type::Array ? "array" : "object");
        return std::nullopt;
      }
      return value;
    }
  }
  return std::nullopt;
}

bool looksLikeNumber(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' && (std::isdigit(static_cast<unsigned char>(arg[1])) || arg[1] == '.');
}

}  // namespace

int settingsCommand(int argc, char** argv) {
  bool json = false, reset = false, help = false;
  std::vector<std::string> positional;
  bool onlyPositional = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (onlyPositional || arg.size() < 2 || arg[0] != '-' || looksLikeNumber(arg)) positional.push_back(arg);
    else if (arg == "--") onlyPositional = true;
    else if (arg == "--json") json = true;
    else if (arg == "--reset") reset = true;
    else if (arg == "--help" || arg == "-h") help = true;
    else {
      reportUsage("settings", "unknown option " + arg);
      return kExitUsage;
    }
  }
  if (help) {
    std::fputs(kSettingsHelp, stdout);
    return kExitOK;
  }
  if (positional.size() > 2 || (reset && positional.size() != 1)) {
    reportUsage("settings", reset ? "--reset takes one KEY" : "too many arguments");
    return kExitUsage;
  }

  sw::SettingsStore& store = sw::SettingsStore::shared();
  sw::registerFactoryDefaults();

  if (reset) {
    sw::OSStatus status = store.removeObjectForKey(positional[0]);
    if (status == sw::noErr) status = sw::settingDidChange(store, positional[0]);
    if (status != sw::noErr) {
      reportError(store.path(), status, "could not be saved");
      return kExitFailed;
    }
    printRows({rowOf(store, positional[0])}, json, false);
    return kExitOK;
  }

  if (positional.empty()) {
    std::vector<Row> rows;
    for (const sw::SettingKey& entry : sw::knownSettingKeys()) rows.push_back(rowOf(store, std::string(entry.key)));
    for (const auto& [key, value] : store.dictionaryRepresentation())
      if (!sw::findSettingKey(key)) rows.push_back(rowOf(store, key));
    printRows(rows, json, true);
    return kExitOK;
  }

  const std::string& key = positional[0];
  const sw::SettingKey* known = sw::findSettingKey(key);
  if (positional.size() == 1) {
    if (!known && !store.objectForKey(key)) {
      reportUsage("settings", "unknown key '" + key + "'");
      return kExitUsage;
    }
    printRows({rowOf(store, key)}, json, false);
    return kExitOK;
  }

  // Setting: the type comes from the key's table entry, else from the value stored already.
  std::optional<SettingValue::Type> type;
  if (known) type = known->type;
  else if (auto stored = store.objectForKey(key)) type = stored->type();
  if (!type) {
    reportUsage("settings", "unknown key '" + key + "' (only known or already stored keys can be set)");
    return kExitUsage;
  }
  std::string error;
  auto value = parseValue(positional[1], *type, error);
  if (!value) {
    reportUsage("settings", key + " is " + settingTypeName(*type) + " and " + error);
    return kExitUsage;
  }
  sw::OSStatus status = store.setObject(key, *value);
  if (status == sw::noErr) status = sw::settingDidChange(store, key);  // followers such as "enableFixButton"
  if (status == sw::paramErr) {
    reportUsage("settings", "the value of " + key + " cannot be stored (invalid UTF-8 or control characters)");
    return kExitUsage;
  }
  if (status != sw::noErr) {
    reportError(store.path(), status, "could not be saved");
    return kExitFailed;
  }
  printRows({rowOf(store, key)}, json, false);
  return kExitOK;
}

}  // namespace swcli
