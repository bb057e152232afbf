#include "base/settings_store.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <memory>
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

bool SettingValue::standsFor(Type wanted) const {
  switch (wanted) {
    case Type::Bool:
      if (isString()) {
        std::string word = std::get<std::string>(value_);
        for (char& c : word) c = char(std::tolower(uint8_t(c)));
        return word == "yes" || word == "no" || word == "true" || word == "false" || parseNumber(word).has_value();
      }
      return isNumber();
    case Type::Integer:
    case Type::Real:
      if (isString()) return parseNumber(std::get<std::string>(value_)).has_value();
      return isNumber();
    case Type::String: return isString() || isInteger() || isReal();
    case Type::Array: return isArray();
    case Type::Dictionary: return isDictionary();
  }
  return false;
}

const SettingValue::Array& SettingValue::arrayValue() const {
  static const Array empty;
  return isArray() ? std::get<Array>(value_) : empty;
}

const SettingValue::Dictionary& SettingValue::dictionaryValue() const {
  static const Dictionary empty;
  return isDictionary() ? std::get<Dictionary>(value_) : empty;
}

namespace {

std::string typeDescription(SettingValue::Type type) {
  switch (type) {
    case SettingValue::Type::Bool: return "a switch (yes or no)";
    case SettingValue::Type::Integer: return "a whole number";
    case SettingValue::Type::Real: return "a number";
    case SettingValue::Type::String: return "a text";
    case SettingValue::Type::Array: return "an array";
    case SettingValue::Type::Dictionary: return "a dictionary";
  }
  return "valid";
}

}  // namespace

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

bool isValidUTF8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = uint8_t(text[i]);
    if (c < 0x80) {
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
    i += length;
  }
  return true;
}

// Text that an XML property list can hold and give back unchanged: valid UTF-8 without
// control characters other than tab and line feed, and without the non-characters FFFE/FFFF.
bool isStorableText(std::string_view text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return false;
  if (text.find("\xEF\xBF\xBE") != std::string_view::npos || text.find("\xEF\xBF\xBF") != std::string_view::npos)
    return false;
  return isValidUTF8(text);
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

// Values of types the store does not hold (dates, data) are left out, and so are texts and
// keys that are not UTF-8 (counted in `notUTF8`): nothing could show or save them again.
std::optional<SettingValue> fromPlist(plist_t node, int depth, size_t& notUTF8) {
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
      std::string value = text ? std::string(text, size_t(length)) : std::string();
      if (!isValidUTF8(value)) {
        ++notUTF8;
        return std::nullopt;
      }
      return SettingValue(std::move(value));
    }
    case PLIST_ARRAY: {
      SettingValue::Array array;
      uint32_t count = plist_array_get_size(node);
      for (uint32_t i = 0; i < count; ++i)
        if (auto item = fromPlist(plist_array_get_item(node, i), depth + 1, notUTF8)) array.push_back(std::move(*item));
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
        if (key && !isValidUTF8(key)) ++notUTF8;
        else if (key) {
          if (auto value = fromPlist(item, depth + 1, notUTF8)) dict[key] = std::move(*value);
        }
        std::free(key);
      }
      std::free(iter);
      return SettingValue(std::move(dict));
    }
    default: return std::nullopt;
  }
}

// Whether the elements of an XML text nest at most `limit` deep, found without parsing it: the
// property-list parser recurses per level, so a damaged file nested deep enough would exhaust
// the stack. Every start tag counts whatever its name or spelling ("<array\n>", attributes);
// comments, CDATA sections, declarations and processing instructions are skipped whole. An end
// tag that does not close the innermost open element, or markup left open, fails the check.
bool xmlNestingWithin(std::string_view xml, size_t limit) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  std::vector<std::string_view> open;
  size_t i = 0;
  while ((i = xml.find('<', i)) != std::string_view::npos) {
    std::string_view rest = xml.substr(i);
    std::string_view terminator;
    if (rest.starts_with("<!--")) terminator = "-->";
    else if (rest.starts_with("<![CDATA[")) terminator = "]]>";
    else if (rest.starts_with("<?")) terminator = "?>";
    else if (rest.starts_with("<!")) terminator = ">";
    if (!terminator.empty()) {
      size_t end = xml.find(terminator, i + 2);
      if (end == std::string_view::npos) return false;
      i = end + terminator.size();
      continue;
    }
    // A tag: up to the first '>' outside quotes.
    size_t end = i + 1;
    char quote = 0;
    for (; end < xml.size(); ++end) {
      char c = xml[end];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      }
    }
    if (end >= xml.size()) return false;
    std::string_view tag = xml.substr(i + 1, end - i - 1);
    i = end + 1;
    bool closing = tag.starts_with('/');
    if (closing) tag.remove_prefix(1);
    size_t nameLength = 0;
    while (nameLength < tag.size() && !isSpace(tag[nameLength]) && tag[nameLength] != '/') ++nameLength;
    std::string_view name = tag.substr(0, nameLength);
    if (closing) {
      if (open.empty() || open.back() != name) return false;
      open.pop_back();
    } else if (!tag.ends_with('/')) {
      open.push_back(name);
      if (open.size() > limit) return false;
    }
  }
  return true;
}

enum class SettingsFileRead { Read, Missing, NotRegular, TooLarge, Failed };

// Reads the settings file whole, when it is a regular file within kMaxFileSize: the size is
// checked before reading, and a FIFO or a device (opened without blocking) is never read, so
// neither can hang or exhaust memory. On Failed, `error` holds the errno value.
SettingsFileRead readSettingsFile(const std::string& path, std::string& contents, int& error) {
  contents.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = errno;
    return statusFromErrno(error) == fnfErr ? SettingsFileRead::Missing : SettingsFileRead::Failed;
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = errno;
    return SettingsFileRead::Failed;
  }
  if (!S_ISREG(info.st_mode)) return SettingsFileRead::NotRegular;
  if (uint64_t(info.st_size) > kMaxFileSize) return SettingsFileRead::TooLarge;
  contents.reserve(size_t(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      return SettingsFileRead::Failed;
    }
    if (n == 0) return SettingsFileRead::Read;
    if (contents.size() + size_t(n) > kMaxFileSize) return SettingsFileRead::TooLarge;  // grew meanwhile
    contents.append(buffer, size_t(n));
  }
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
  reportedKeys_.clear();
  std::string contents;
  auto fallBack = [this](const std::string& why) {
    logMessage("Settings file " + path_ + " " + why + "; starting from the defaults");
  };
  int error = 0;
  switch (readSettingsFile(path_, contents, error)) {
    case SettingsFileRead::Missing: return;
    case SettingsFileRead::NotRegular: return fallBack("is not a regular file");
    case SettingsFileRead::TooLarge: return fallBack("is larger than " + std::to_string(kMaxFileSize) + " bytes");
    case SettingsFileRead::Failed:
      return fallBack("could not be read (" + statusDescription(statusFromErrno(error)) + ")");
    case SettingsFileRead::Read: break;
  }
  // Only the XML form is read: it is the form written here, and binary property lists cannot be
  // checked for nesting before the parser recurses through them.
  if (contents.empty() || !xmlNestingWithin(contents, kMaxDepth + 2)) return fallBack("is damaged");
  plist_t root = nullptr;
  plist_from_xml(contents.data(), uint32_t(contents.size()), &root);
  PlistPtr owner(root);
  if (!root || plist_get_node_type(root) != PLIST_DICT) return fallBack("is damaged");
  size_t notUTF8 = 0;
  if (auto value = fromPlist(root, 0, notUTF8)) values_ = value->dictionaryValue();
  if (notUTF8 > 0)
    logMessage("Settings file " + path_ + ": " + std::to_string(notUTF8) +
               " value(s) whose key or text is not UTF-8 left out");
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
  auto defaultValue = defaults_.find(key);
  for (const SettingValue::Dictionary* source : {&runValues_, &values_}) {
    auto it = source->find(key);
    if (it == source->end()) continue;
    if (defaultValue == defaults_.end() || fitsTypeLocked(it->first, it->second, defaultValue->second.type()))
      return it->second;
    return defaultValue->second;
  }
  if (defaultValue != defaults_.end()) return defaultValue->second;
  return std::nullopt;
}

void SettingsStore::forgetReportLocked(std::string_view key) {
  if (auto it = reportedKeys_.find(key); it != reportedKeys_.end()) reportedKeys_.erase(it);
}

bool SettingsStore::fitsTypeLocked(const std::string& key, const SettingValue& value, SettingValue::Type type) const {
  if (value.standsFor(type)) return true;
  if (reportedKeys_.insert(key).second)
    logMessage("Settings file " + path_ + ": the value of \"" + key + "\" is not " + typeDescription(type) +
               "; using the factory value");
  return false;
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
  for (const SettingValue::Dictionary* source : {&values_, &runValues_})
    for (const auto& [key, value] : *source) {
      auto defaultValue = defaults_.find(key);
      if (defaultValue == defaults_.end() || fitsTypeLocked(key, value, defaultValue->second.type()))
        merged[key] = value;
    }
  return merged;
}

bool SettingsStore::hasUserValue(std::string_view key) const {
  std::lock_guard lock(mutex_);
  return values_.find(key) != values_.end();
}

std::optional<SettingValue> SettingsStore::userValueForKey(std::string_view key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

OSStatus SettingsStore::setRunValue(std::string_view key, SettingValue value) {
  if (key.empty() || !isStorableText(key) || !isStorable(value, 1)) return paramErr;
  std::lock_guard lock(mutex_);
  runValues_[std::string(key)] = std::move(value);
  forgetReportLocked(key);
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
  forgetReportLocked(key);
  return saveLocked();
}

OSStatus SettingsStore::removeObjectForKey(std::string_view key) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return noErr;
  values_.erase(it);
  forgetReportLocked(key);
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
