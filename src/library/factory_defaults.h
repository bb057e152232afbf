// Every key the application keeps in the user-defaults store, with its type, and the factory
// values registered at start. Keys without a factory value read as NO, 0 or "" until set.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "base/settings_store.h"

namespace sw {

struct SettingKey {
  std::string_view key;
  SettingValue::Type type;
  std::optional<SettingValue> factoryValue;  // registered at start; none: not registered
  std::string_view usedBy;                   // what reads it, for listings
};

// All known keys, factory ones first, in a fixed order.
std::span<const SettingKey> knownSettingKeys();
// The entry of a key, or null for a key the application does not know.
const SettingKey* findSettingKey(std::string_view key);
// The registered factory values (the entries that have one).
SettingValue::Dictionary factoryDefaults();

// The value a key reads as when nothing is stored: NO, 0, 0.0, "", an empty array or
// dictionary, by the key's type (a string for an unknown key).
SettingValue emptySettingValue(std::string_view key);
SettingValue emptySettingValue(SettingValue::Type type);

// Keeps the settings that follow others in step after `key` changed in the store's user
// values: "enableFixButton" is the OR of "fixExtension", "fixSignature", "fixBadDeltaTime"
// and "fixMissingResetMessage". The status of writing a follower, noErr when none changed.
OSStatus settingDidChange(SettingsStore& store, std::string_view key);

// Registers the factory values in the shared store, once per process.
void registerFactoryDefaults();
// Registers them in the given store (a test's or a tool's own store).
void registerFactoryDefaults(SettingsStore& store);

}  // namespace sw
