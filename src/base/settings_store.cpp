#include "base/settings_store.h"

#include <plist/plist.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <algorithm>
#include <string_view>

#include "base/atomic_file.h"
#include "base/log.h"

namespace sw {

// ---- SettingValue ------------------------------------------------------------------------

namespace {

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE) return std::nullopt;
  return value;
}

int64_t clampToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2233720368547758e18) return INT64_MAX;
  if (value <= -9.2233720368547758e18) return INT64_MIN;
  return int64_t(value);
}

bool textIsTrue(const std::string& text) {
  if (text.empty()) return false;
  char c = text[0];
  if (c == 'Y' || c == 'y' || c == 'T' || c == 't') return true;
  auto number = parseNumber(text);
  return number && *number != 0;
}

}  // namespace

bool SettingValue::boolValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(value_);
    case Type::Integer: return std::get<int64_t>(value_) != 0;
    case Type::Real: return std::get<double>(value_) != 0;
    case Type::String: return textIsTrue(std::get<std::string>(value_));
    default: return false;
  }
}

int64_t SettingValue::integerValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(value_) ? 1 : 0;
    case Type::Integer: return std::get<int64_t>(value_);
    case Type::Real: return clampToInteger(std::get<double>(value_));
    case Type::String: {
      const std::string& text = std::get<std::string>(value_);
      int64_t value = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size()) return value;
      auto number = parseNumber(text);
      if (number) return clampToInteger(*number);
      return textIsTrue(text) ? 1 : 0;
    }
    default: return 0;
  }
}

double SettingValue::doubleValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(value_) ? 1.0 : 0.0;
    case Type::Integer: return double(std::get<int64_t>(value_));
    case Type::Real: return std::get<double>(value_);
    case Type::String: {
      auto number = parseNumber(std::get<std::string>(value_));
      if (number) return *number;
      return textIsTrue(std::get<std::string>(value_)) ? 1.0 : 0.0;
    }
    default: return 0;
  }
}

std::string SettingValue::stringValue() const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(value_) ? "1" : "0";
    case Type::Integer: return std::to_string(std::get<int64_t>(value_));
    case Type::Real: {
      char buffer[32];
      auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(value_));
      return error == std::errc() ? std::string(buffer, end) : std::string();
    }
    case Type::String: return std::get<std::string>(value_);
    default: return {};
  }
}

const SettingValue::Array& SettingValue::arrayValue() const {
  static const Array empty;
  return isArray() ? std::get<Array>(value_) : empty;
}

const SettingValue::Dictionary& SettingValue::dictionaryValue() const {
  static const Dictionary empty;
  return isDictionary() ? std::get<Dictionary>(value_) : empty;
}

// ---- property-list form --------------------------------------------------------------------

namespace {

// Nesting kept below this so that neither reading nor writing can exhaust the stack.
constexpr int kMaxDepth = 64;
// A settings file larger than this is not a settings file.
constexpr size_t kMaxFileSize = 64u << 20;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Text that an XML property list can hold and give back unchanged: valid UTF-8 without
// control characters other than tab and line feed, and without the non-characters FFFE/FFFF.
bool isStorableText(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = uint8_t(text[i]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n') return false;
      if (c == 0x7F) return false;
      ++i;
      continue;
    }
    size_t length;
    uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) { length = 2; code = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { length = 3; code = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { length = 4; code = c & 0x07; }
    else return false;
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      unsigned char next = uint8_t(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))) return false;
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    if (code == 0xFFFE || code == 0xFFFF) return false;
    i += length;
  }
  return true;
}

bool isStorable(const SettingValue& value, int depth) {
  if (depth > kMaxDepth) return false;
  switch (value.type()) {
    case SettingValue::Type::Real: return std::isfinite(value.doubleValue());
    case SettingValue::Type::String: return isStorableText(value.stringValue());
    case SettingValue::Type::Array:
      for (const auto& item : value.arrayValue())
        if (!isStorable(item, depth + 1)) return false;
      return true;
    case SettingValue::Type::Dictionary:
      for (const auto& [key, item] : value.dictionaryValue())
        if (key.empty() || !isStorableText(key) || !isStorable(item, depth + 1)) return false;
      return true;
    default: return true;
  }
}

plist_t toPlist(const SettingValue& value) {
  switch (value.type()) {
    case SettingValue::Type::Bool: return plist_new_bool(value.boolValue() ? 1 : 0);
    // The property list keeps 64 bits; negative numbers are written and read back signed.
    case SettingValue::Type::Integer: return plist_new_uint(uint64_t(value.integerValue()));
    case SettingValue::Type::Real: return plist_new_real(value.doubleValue());
    case SettingValue::Type::String: return plist_new_string(value.stringValue().c_str());
    case SettingValue::Type::Array: {
      plist_t array = plist_new_array();
      for (const auto& item : value.arrayValue()) plist_array_append_item(array, toPlist(item));
      return array;
    }
    case SettingValue::Type::Dictionary: {
      plist_t dict = plist_new_dict();
      for (const auto& [key, item] : value.dictionaryValue()) plist_dict_set_item(dict, key.c_str(), toPlist(item));
      return dict;
    }
  }
  return plist_new_bool(0);
}

// Values of types the store does not hold (dates, data) are left out.
std::optional<SettingValue> fromPlist(plist_t node, int depth) {
  if (!node || depth > kMaxDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return SettingValue(value != 0);
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return SettingValue(int64_t(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return SettingValue(value);
    }
    case PLIST_STRING: {
      // Not plist_get_string_val: it aborts on a damaged string that holds a NUL.
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return SettingValue(text ? std::string(text, size_t(length)) : std::string());
    }
    case PLIST_ARRAY: {
      SettingValue::Array array;
      uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i)
        if (auto item = fromPlist(plist_array_get_item(node, i), depth + 1)) array.push_back(std::move(*item));
      return SettingValue(std::move(array));
    }
    case PLIST_DICT: {
      SettingValue::Dictionary dict;
      plist_dict_iter iter = nullptr;
      plist_dict_new_iter(node, &iter);
      if (!iter) return SettingValue(std::move(dict));
      for (;;) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &key, &item);
        if (!item) {
          std::free(key);
          break;
        }
        if (key) {
          if (auto value = fromPlist(item, depth + 1)) dict[key] = std::move(*value);
        }
        std::free(key);
      }
      std::free(iter);
      return SettingValue(std::move(dict));
    }
    default: return std::nullopt;
  }
}

// The nesting depth of the arrays and dictionaries of an XML property list, found without
// parsing it: the parser and the node tree recurse per level, so a damaged file nested deep
// enough would exhaust the stack. Text in values cannot hold '<' (it is escaped), so every '<'
// starts markup; comments and the like only ever make the count higher.
int xmlNestingDepth(std::string_view xml) {
  int depth = 0;
  int deepest = 0;
  for (size_t i = xml.find('<'); i != std::string_view::npos; i = xml.find('<', i + 1)) {
    std::string_view rest = xml.substr(i + 1);
    bool closing = !rest.empty() && rest[0] == '/';
    if (closing) rest.remove_prefix(1);
    size_t nameLength = 0;
    if (rest.starts_with("array")) nameLength = 5;
    else if (rest.starts_with("dict")) nameLength = 4;
    else continue;
    size_t end = rest.find('>', nameLength);
    if (end == std::string_view::npos) break;
    if (end != nameLength && rest[nameLength] != ' ' && rest[nameLength] != '/') continue;  // <arrayX>
    bool selfClosing = rest[end - 1] == '/';
    if (closing) --depth;
    else if (!selfClosing) deepest = std::max(deepest, ++depth);
  }
  return deepest;
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir) return entry->pw_dir;
  return ".";
}

// Creates the folder and its missing parents, readable by the user only (as the XDG rules ask).
OSStatus makeFolders(const std::string& folder) {
  struct stat info {};
  if (folder.empty() || ::stat(folder.c_str(), &info) == 0) {
    return folder.empty() || S_ISDIR(info.st_mode) ? noErr : dirNFErr;
  }
  auto slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (OSStatus status = makeFolders(folder.substr(0, slash)); status != noErr) return status;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return statusFromErrno(errno);
  return noErr;
}

}  // namespace

// ---- SettingsStore -------------------------------------------------------------------------

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {
  std::lock_guard lock(mutex_);
  loadLocked();
}

SettingsStore& SettingsStore::shared() {
  static SettingsStore store(defaultPath());
  return store;
}

std::string SettingsStore::configDirectory() {
  if (const char* dir = std::getenv("SCOREWELL_CONFIG_DIR"); dir && *dir) return dir;
  // Relative values of XDG_CONFIG_HOME are invalid and ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return std::string(xdg) + "/scorewell";
  return homeDirectory() + "/.config/scorewell";
}

std::string SettingsStore::defaultPath() { return configDirectory() + "/settings.plist"; }

void SettingsStore::loadLocked() {
  values_.clear();
  std::string contents;
  OSStatus status = readWholeFile(path_, contents);
  if (status == fnfErr) return;
  if (status != noErr) {
    logMessage("Settings file " + path_ + " could not be read (" + statusDescription(status) +
               "); starting from the defaults");
    return;
  }
  if (contents.empty() || contents.size() > kMaxFileSize) {
    logMessage("Settings file " + path_ + " is damaged; starting from the defaults");
    return;
  }
  // Only the XML form is read: it is the form written here, and binary property lists cannot be
  // checked for nesting before the parser recurses through them.
  if (xmlNestingDepth(contents) > kMaxDepth + 1) {
    logMessage("Settings file " + path_ + " is damaged; starting from the defaults");
    return;
  }
  plist_t root = nullptr;
  plist_from_xml(contents.data(), uint32_t(contents.size()), &root);
  PlistPtr owner(root);
  if (!root || plist_get_node_type(root) != PLIST_DICT) {
    logMessage("Settings file " + path_ + " is damaged; starting from the defaults");
    return;
  }
  if (auto value = fromPlist(root, 0)) values_ = value->dictionaryValue();
}

void SettingsStore::reload() {
  std::lock_guard lock(mutex_);
  loadLocked();
}

void SettingsStore::registerDefaults(const SettingValue::Dictionary& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [key, value] : defaults) defaults_[key] = value;
}

std::optional<SettingValue> SettingsStore::objectForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  if (auto it = runValues_.find(key); it != runValues_.end()) return it->second;
  if (auto it = values_.find(key); it != values_.end()) return it->second;
  if (auto it = defaults_.find(key); it != defaults_.end()) return it->second;
  return std::nullopt;
}

bool SettingsStore::boolForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value && value->boolValue();
}

int64_t SettingsStore::integerForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->integerValue() : 0;
}

double SettingsStore::doubleForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->doubleValue() : 0.0;
}

std::string SettingsStore::stringForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->stringValue() : std::string();
}

SettingValue::Array SettingsStore::arrayForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->arrayValue() : SettingValue::Array();
}

SettingValue::Dictionary SettingsStore::dictionaryForKey(std::string_view key) const {
  auto value = objectForKey(key);
  return value ? value->dictionaryValue() : SettingValue::Dictionary();
}

SettingValue::Dictionary SettingsStore::dictionaryRepresentation() const {
  std::lock_guard lock(mutex_);
  SettingValue::Dictionary merged = defaults_;
  for (const auto& [key, value] : values_) merged[key] = value;
  for (const auto& [key, value] : runValues_) merged[key] = value;
  return merged;
}

bool SettingsStore::hasUserValue(std::string_view key) const {
  std::lock_guard lock(mutex_);
  return values_.find(key) != values_.end();
}

OSStatus SettingsStore::setRunValue(std::string_view key, SettingValue value) {
  if (key.empty() || !isStorableText(key) || !isStorable(value, 1)) return paramErr;
  std::lock_guard lock(mutex_);
  runValues_[std::string(key)] = std::move(value);
  return noErr;
}

void SettingsStore::removeRunValue(std::string_view key) {
  std::lock_guard lock(mutex_);
  if (auto it = runValues_.find(key); it != runValues_.end()) runValues_.erase(it);
}

OSStatus SettingsStore::setObject(std::string_view key, SettingValue value) {
  if (key.empty() || !isStorableText(key) || !isStorable(value, 1)) return paramErr;
  std::lock_guard lock(mutex_);
  values_[std::string(key)] = std::move(value);
  return saveLocked();
}

OSStatus SettingsStore::removeObjectForKey(std::string_view key) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return noErr;
  values_.erase(it);
  return saveLocked();
}

OSStatus SettingsStore::save() {
  std::lock_guard lock(mutex_);
  return saveLocked();
}

OSStatus SettingsStore::saveLocked() {
  auto slash = path_.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (OSStatus status = makeFolders(path_.substr(0, slash)); status != noErr) {
      logMessage("Settings file " + path_ + " could not be saved (" + statusDescription(status) + ")");
      return status;
    }
  }
  PlistPtr root(toPlist(SettingValue(values_)));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  if (!xml) return memFullErr;
  std::span<const unsigned char> bytes(reinterpret_cast<const unsigned char*>(xml), length);
  OSStatus status = writeFileAtomically(path_, bytes);
  plist_to_xml_free(xml);
  if (status != noErr) logMessage("Settings file " + path_ + " could not be saved (" + statusDescription(status) + ")");
  return status;
}

}  // namespace sw
