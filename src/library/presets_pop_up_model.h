// The items of a preset pop-up: the last-used entry, the presets and the four preset commands,
// rebuilt whenever "PresetsListChanged" is posted. The interface layer draws the items and sends
// the chosen one back through perform().
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/notification_center.h"
#include "library/ts_preset_manager.h"

namespace sw {

struct PresetsPopUpItem {
  enum class Kind { Entry, Separator, Command };
  Kind kind = Kind::Entry;
  std::string title;
  int tag = 0;  // the preset's index, -1 for the last-used entry
  TSPresetManager::Command action = TSPresetManager::Command::ChoosePreset;
  bool enabled = true;
};

class PresetsPopUpModel {
 public:
  // Loads the list into the manager, builds the items and observes "PresetsListChanged";
  // `changed` (optional) runs after every rebuild.
  PresetsPopUpModel(TSPresetManager& manager, std::string_view listName,
                    NotificationCenter& center = NotificationCenter::shared(), std::function<void()> changed = {});
  ~PresetsPopUpModel();
  PresetsPopUpModel(const PresetsPopUpModel&) = delete;
  PresetsPopUpModel& operator=(const PresetsPopUpModel&) = delete;

  const std::vector<PresetsPopUpItem>& items() const { return items_; }
  int selectedIndex() const { return selectedIndex_; }
  // Selects an item unless it is one of the four commands (or out of range); true when it did.
  bool selectItemAtIndex(int index);
  // Rebuilds the items from the manager's presets and selects the chosen preset.
  void setup();

 private:
  TSPresetManager& manager_;
  NotificationCenter& center_;
  std::function<void()> changed_;
  NotificationCenter::Token token_ = 0;
  std::vector<PresetsPopUpItem> items_;
  int selectedIndex_ = 0;
};

}  // namespace sw
