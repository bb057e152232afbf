// The list of encodings offered in the encoding pop-ups: every available encoding has a check
// box, the checked ones form the enabled list, kept in the settings store under "Encodings";
// the default encoding is kept under "EncodingManagerDefaultEncodingKey". Every change of the
// enabled list posts "EncodingsListChanged" (no user information). Thread-safe; observers are
// called without any lock held, so they may call back into the manager.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/notification_center.h"
#include "base/settings_store.h"
#include "text/string_encoding.h"

namespace sw {

class EncodingManager {
 public:
  static constexpr const char* kEncodingsKey = "Encodings";
  static constexpr const char* kDefaultEncodingKey = "EncodingManagerDefaultEncodingKey";
  static constexpr const char* kEncodingsListChangedNotification = "EncodingsListChanged";
  static constexpr StringEncoding kFactoryDefaultEncoding = kISOLatin1StringEncoding;

  // One check box of the selection window.
  struct CheckBox {
    StringEncoding encoding;
    std::string title;
    bool checked;
  };

  EncodingManager(SettingsStore& store, NotificationCenter& center);
  EncodingManager(const EncodingManager&) = delete;
  EncodingManager& operator=(const EncodingManager&) = delete;

  // The shared manager, over the shared store and notification centre.
  static EncodingManager& sharedInstance();
  // The shared manager's default encoding (stored when absent).
  static StringEncoding defaultStringEncoding();
  // Every supported encoding except the UTF-16 and UTF-32 forms, sorted by name ignoring case.
  static const std::vector<StringEncoding>& allAvailableStringEncodings();
  // UTF-8, Mac Roman, DOS Latin US and ISO Latin 1, as far as they are supported.
  static std::vector<StringEncoding> builtInDefaultEncodings();

  // The stored default encoding; ISO Latin 1 when none (or an unsupported one) is stored,
  // which is then written to the store.
  StringEncoding defaultEncoding();
  // The same without writing anything.
  StringEncoding storedDefaultEncoding() const;
  // Stores a new default encoding (paramErr for an unsupported one). The enabled list always
  // holds the default encoding, so it may grow by it (and then posts).
  OSStatus setDefaultEncoding(StringEncoding encoding);

  // The stored list (the built-in one when none is stored), with the default encoding added,
  // sorted by name ignoring case. Unsupported and repeated numbers in the store are left out.
  std::vector<StringEncoding> enabledEncodings();
  bool isEncodingEnabled(StringEncoding encoding);

  // The check boxes, one per available encoding in allAvailableStringEncodings() order.
  std::vector<CheckBox> encodingMatrix() const;
  // A box was clicked: sets its state, then as encodingListChanged().
  void setEncodingChecked(StringEncoding encoding, bool checked);
  // Checks the box of an available encoding that is unchecked, then as encodingListChanged().
  void enableEncoding(StringEncoding encoding);
  // The enabled list becomes the checked encodings; store and post.
  void encodingListChanged();
  void selectAll();
  void clearAll();
  // Removes the stored list, so that the built-in one answers again; refreshes the boxes, posts.
  void revertToDefault();
  // Stores the enabled list, sets each box to whether its encoding is enabled, posts
  // "EncodingsListChanged", as the three flags ask.
  void noteEncodingListChange(bool writeDefaults, bool updateList, bool postNotification);

 private:
  const std::vector<StringEncoding>& enabledLocked();
  void refreshBoxesLocked();
  OSStatus storeLocked();
  void post();

  SettingsStore& store_;
  NotificationCenter& center_;
  mutable std::mutex mutex_;
  std::optional<std::vector<StringEncoding>> enabled_;  // cached after first use
  std::vector<CheckBox> boxes_;
};

// Sorts encodings by name ignoring case (by number among equal names).
void sortEncodingsByName(std::vector<StringEncoding>& encodings);

}  // namespace sw
