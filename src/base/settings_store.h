// The user-defaults store: typed values by key, kept in one XML property list in the user's
// configuration folder, with factory defaults that answer for keys the user never set.
//
// The file is $SCOREWELL_CONFIG_DIR/settings.plist when that variable is set, otherwise
// $XDG_CONFIG_HOME/scorewell/settings.plist, otherwise ~/.config/scorewell/settings.plist.
// Every change is written at once, through a temporary file renamed over the old one, so the
// file on disk is always either the previous or the new complete content. A missing file is an
// empty store; a damaged or unreadable one is logged and the store starts from the defaults.
// Only a regular file is read, and only up to 64 MiB (checked before reading); its elements may
// nest 66 deep; keys and texts that are not UTF-8 are left out (logged).
// All operations are thread-safe.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/status.h"

namespace sw {

// One property-list value: bool, integer, real, string, array or dictionary.
class SettingValue {
 public:
  using Array = std::vector<SettingValue>;
  using Dictionary = std::map<std::string, SettingValue, std::less<>>;
  enum class Type { Bool, Integer, Real, String, Array, Dictionary };

  SettingValue() : value_(int64_t(0)) {}
  SettingValue(bool value) : value_(value) {}
  template <std::integral T>
    requires(!std::same_as<T, bool>)
  SettingValue(T value) : value_(int64_t(value)) {}
  SettingValue(double value) : value_(value) {}
  SettingValue(const char* value) : value_(std::string(value)) {}
  SettingValue(std::string value) : value_(std::move(value)) {}
  SettingValue(std::string_view value) : value_(std::string(value)) {}
  SettingValue(Array value) : value_(std::move(value)) {}
  SettingValue(Dictionary value) : value_(std::move(value)) {}

  Type type() const { return Type(value_.index()); }
  bool isBool() const { return type() == Type::Bool; }
  bool isInteger() const { return type() == Type::Integer; }
  bool isReal() const { return type() == Type::Real; }
  bool isNumber() const { return isBool() || isInteger() || isReal(); }
  bool isString() const { return type() == Type::String; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }

  // Conversions in the manner of the user-defaults getters: numbers convert among themselves,
  // a string holding a number or "YES"/"true" converts to it, anything else gives 0 / false.
  bool boolValue() const;
  int64_t integerValue() const;
  double doubleValue() const;
  // A string as it is, a number as its decimal text, anything else "".
  std::string stringValue() const;
  // Whether the value can stand for a setting of the given type: numbers and switches for one
  // another, a text for a switch when it reads yes/no/true/false or a number, for a number when
  // it is one; any text, number for a text; containers only for their own type.
  bool standsFor(Type type) const;
  // The array or dictionary itself; an empty one for every other type.
  const Array& arrayValue() const;
  const Dictionary& dictionaryValue() const;

  bool operator==(const SettingValue& other) const = default;

 private:
  std::variant<bool, int64_t, double, std::string, Array, Dictionary> value_;
};

class SettingsStore {
 public:
  // A store kept in the given file, read now.
  explicit SettingsStore(std::string path);
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // The process-wide store, in defaultPath(), created on first use.
  static SettingsStore& shared();
  // The folder of the configuration files, as described above (not created here).
  static std::string configDirectory();
  static std::string defaultPath();  // configDirectory() + "/settings.plist"

  const std::string& path() const { return path_; }

  // Adds factory defaults; they answer only for keys without a user value and are never saved.
  void registerDefaults(const SettingValue::Dictionary& defaults);

  // The run value, else the user's value, else the registered default, else nothing. A run or
  // user value that cannot stand for its registered default's type ("maybe" for a switch) is
  // passed over for the default, and logged once per key.
  std::optional<SettingValue> objectForKey(std::string_view key) const;
  // Missing values read as false, 0, 0.0, "" and empty containers.
  bool boolForKey(std::string_view key) const;
  int64_t integerForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  std::string stringForKey(std::string_view key) const;
  SettingValue::Array arrayForKey(std::string_view key) const;
  SettingValue::Dictionary dictionaryForKey(std::string_view key) const;
  // The run values and the user's values merged over the defaults.
  SettingValue::Dictionary dictionaryRepresentation() const;

  // Sets a value and writes the file. paramErr (nothing changed) for an empty key, for text
  // that a property list cannot hold (invalid UTF-8, control characters) and for a real that
  // is not finite; otherwise the status of the write (the value is kept in memory even when
  // the write fails).
  OSStatus setObject(std::string_view key, SettingValue value);
  OSStatus setBool(std::string_view key, bool value) { return setObject(key, value); }
  OSStatus setInteger(std::string_view key, int64_t value) { return setObject(key, value); }
  OSStatus setDouble(std::string_view key, double value) { return setObject(key, value); }
  OSStatus setString(std::string_view key, std::string value) { return setObject(key, std::move(value)); }
  // Removes the user's value (the default answers again) and writes the file.
  OSStatus removeObjectForKey(std::string_view key);
  // True when the user has a saved value for the key (not only a default or a run value).
  bool hasUserValue(std::string_view key) const;
  // The user's saved value as it is stored, whether or not objectForKey takes it.
  std::optional<SettingValue> userValueForKey(std::string_view key) const;

  // Values for this process only (the parameters of one command-line run): they answer before
  // the user's values and defaults and are never written. paramErr as for setObject.
  OSStatus setRunValue(std::string_view key, SettingValue value);
  void removeRunValue(std::string_view key);

  // Writes the user's values now, creating the folder when needed.
  OSStatus save();
  // Reads the file again, dropping unsaved values.
  void reload();

 private:
  OSStatus saveLocked();
  void loadLocked();
  // Whether the value fits the type; logs the first misfit of each key.
  bool fitsTypeLocked(const std::string& key, const SettingValue& value, SettingValue::Type type) const;
  void forgetReportLocked(std::string_view key);

  std::string path_;
  mutable std::mutex mutex_;
  SettingValue::Dictionary values_;
  SettingValue::Dictionary defaults_;
  SettingValue::Dictionary runValues_;
  mutable std::set<std::string, std::less<>> reportedKeys_;
};

}  // namespace sw
