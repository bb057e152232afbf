#include "text/encoding_manager.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace sw {

namespace {

bool nameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(uint8_t(x)) < std::tolower(uint8_t(y));
  });
}

// A stored number as an encoding: nothing for values that are not numbers, out of range,
// the no-encoding value or not supported here.
std::optional<StringEncoding> encodingFromValue(const SettingValue& value) {
  if (!value.isInteger() && !value.isReal()) return std::nullopt;
  int64_t number = value.integerValue();
  if (number < 0 || number >= int64_t(kNoEncoding)) return std::nullopt;
  auto encoding = StringEncoding(number);
  if (!isSupportedEncoding(encoding)) return std::nullopt;
  return encoding;
}

}  // namespace

void sortEncodingsByName(std::vector<StringEncoding>& encodings) {
  std::vector<std::pair<std::string, StringEncoding>> named;
  named.reserve(encodings.size());
  for (StringEncoding encoding : encodings) named.emplace_back(nameOfEncoding(encoding), encoding);
  std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
    if (nameLess(a.first, b.first)) return true;
    if (nameLess(b.first, a.first)) return false;
    return a.second < b.second;
  });
  for (size_t i = 0; i < named.size(); ++i) encodings[i] = named[i].second;
}

EncodingManager::EncodingManager(SettingsStore& store, NotificationCenter& center) : store_(store), center_(center) {
  for (StringEncoding encoding : allAvailableStringEncodings())
    boxes_.push_back({encoding, nameOfEncoding(encoding), false});
  std::lock_guard lock(mutex_);
  enabledLocked();
  refreshBoxesLocked();
}

EncodingManager& EncodingManager::sharedInstance() {
  static EncodingManager manager(SettingsStore::shared(), NotificationCenter::shared());
  return manager;
}

StringEncoding EncodingManager::defaultStringEncoding() { return sharedInstance().defaultEncoding(); }

const std::vector<StringEncoding>& EncodingManager::allAvailableStringEncodings() {
  static const std::vector<StringEncoding> available = [] {
    std::vector<StringEncoding> result;
    for (const EncodingInfo& info : supportedEncodings()) {
      if (isUnicodeEncoding(info.encoding) || nameOfEncoding(info.encoding).empty()) continue;
      result.push_back(info.encoding);
    }
    sortEncodingsByName(result);
    return result;
  }();
  return available;
}

std::vector<StringEncoding> EncodingManager::builtInDefaultEncodings() {
  std::vector<StringEncoding> result;
  for (uint32_t codePage : {0x08000100u /* UTF-8 */, 0x0000u /* Mac Roman */, 0x0400u /* DOS Latin US */,
                            0x0201u /* ISO Latin 1 */}) {
    StringEncoding encoding = encodingFromCodePage(codePage);
    if (isSupportedEncoding(encoding)) result.push_back(encoding);
  }
  return result;
}

StringEncoding EncodingManager::storedDefaultEncoding() const {
  std::optional<SettingValue> value = store_.objectForKey(kDefaultEncodingKey);
  if (value) {
    if (auto encoding = encodingFromValue(*value)) return *encoding;
  }
  return kFactoryDefaultEncoding;
}

StringEncoding EncodingManager::defaultEncoding() {
  std::optional<SettingValue> value = store_.objectForKey(kDefaultEncodingKey);
  if (value) {
    if (auto encoding = encodingFromValue(*value)) return *encoding;
  }
  store_.setInteger(kDefaultEncodingKey, kFactoryDefaultEncoding);
  return kFactoryDefaultEncoding;
}

OSStatus EncodingManager::setDefaultEncoding(StringEncoding encoding) {
  if (!isSupportedEncoding(encoding)) return paramErr;
  OSStatus status = store_.setInteger(kDefaultEncodingKey, encoding);
  bool grew = false;
  {
    std::lock_guard lock(mutex_);
    const auto& list = enabledLocked();
    if (std::find(list.begin(), list.end(), encoding) == list.end()) {
      enabled_.reset();
      enabledLocked();
      refreshBoxesLocked();
      grew = true;
    }
  }
  if (grew) post();
  return status;
}

const std::vector<StringEncoding>& EncodingManager::enabledLocked() {
  if (enabled_) return *enabled_;
  std::vector<StringEncoding> list;
  std::optional<SettingValue> stored = store_.objectForKey(kEncodingsKey);
  if (stored && stored->isArray()) {
    for (const SettingValue& item : stored->arrayValue()) {
      auto encoding = encodingFromValue(item);
      if (encoding && std::find(list.begin(), list.end(), *encoding) == list.end()) list.push_back(*encoding);
    }
  } else {
    list = builtInDefaultEncodings();
  }
  StringEncoding defaultEncoding = storedDefaultEncoding();
  if (std::find(list.begin(), list.end(), defaultEncoding) == list.end()) list.push_back(defaultEncoding);
  sortEncodingsByName(list);
  enabled_ = std::move(list);
  return *enabled_;
}

std::vector<StringEncoding> EncodingManager::enabledEncodings() {
  std::lock_guard lock(mutex_);
  return enabledLocked();
}

bool EncodingManager::isEncodingEnabled(StringEncoding encoding) {
  std::lock_guard lock(mutex_);
  const auto& list = enabledLocked();
  return std::find(list.begin(), list.end(), encoding) != list.end();
}

std::vector<EncodingManager::CheckBox> EncodingManager::encodingMatrix() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

void EncodingManager::refreshBoxesLocked() {
  const auto& list = enabledLocked();
  for (CheckBox& box : boxes_) box.checked = std::find(list.begin(), list.end(), box.encoding) != list.end();
}

OSStatus EncodingManager::storeLocked() {
  SettingValue::Array array;
  for (StringEncoding encoding : enabledLocked()) array.emplace_back(int64_t(encoding));
  return store_.setObject(kEncodingsKey, std::move(array));
}

void EncodingManager::post() { center_.post(kEncodingsListChangedNotification); }

void EncodingManager::setEncodingChecked(StringEncoding encoding, bool checked) {
  {
    std::lock_guard lock(mutex_);
    for (CheckBox& box : boxes_)
      if (box.encoding == encoding) box.checked = checked;
  }
  encodingListChanged();
}

void EncodingManager::enableEncoding(StringEncoding encoding) {
  {
    std::lock_guard lock(mutex_);
    auto box = std::find_if(boxes_.begin(), boxes_.end(), [&](const CheckBox& b) { return b.encoding == encoding; });
    if (box == boxes_.end() || box->checked) return;
    box->checked = true;
  }
  encodingListChanged();
}

void EncodingManager::encodingListChanged() {
  {
    std::lock_guard lock(mutex_);
    std::vector<StringEncoding> list;
    for (const CheckBox& box : boxes_)
      if (box.checked && box.encoding != kNoEncoding) list.push_back(box.encoding);
    // The default encoding stays in the list, so every pop-up can show it.
    StringEncoding defaultEncoding = storedDefaultEncoding();
    if (std::find(list.begin(), list.end(), defaultEncoding) == list.end()) list.push_back(defaultEncoding);
    sortEncodingsByName(list);
    enabled_ = std::move(list);
    refreshBoxesLocked();
  }
  noteEncodingListChange(true, false, true);
}

void EncodingManager::selectAll() {
  {
    std::lock_guard lock(mutex_);
    std::vector<StringEncoding> list = allAvailableStringEncodings();
    StringEncoding defaultEncoding = storedDefaultEncoding();
    if (std::find(list.begin(), list.end(), defaultEncoding) == list.end()) {
      list.push_back(defaultEncoding);
      sortEncodingsByName(list);
    }
    enabled_ = std::move(list);
  }
  noteEncodingListChange(true, true, true);
}

void EncodingManager::clearAll() {
  {
    std::lock_guard lock(mutex_);
    enabled_ = std::vector<StringEncoding>{storedDefaultEncoding()};
  }
  noteEncodingListChange(true, true, true);
}

void EncodingManager::revertToDefault() {
  store_.removeObjectForKey(kEncodingsKey);
  {
    std::lock_guard lock(mutex_);
    enabled_.reset();
    enabledLocked();
  }
  noteEncodingListChange(false, true, true);
}

void EncodingManager::noteEncodingListChange(bool writeDefaults, bool updateList, bool postNotification) {
  {
    std::lock_guard lock(mutex_);
    if (writeDefaults) storeLocked();
    if (updateList) refreshBoxesLocked();
  }
  if (postNotification) post();
}

}  // namespace sw
