#include "library/presets_pop_up_model.h"

#include "library/library_strings.h"

namespace sw {

PresetsPopUpModel::PresetsPopUpModel(TSPresetManager& manager, std::string_view listName, NotificationCenter& center,
                                     std::function<void()> changed)
    : manager_(manager), center_(center), changed_(std::move(changed)) {
  manager_.loadPresetsWithKey(listName);
  setup();
  token_ = center_.addObserver(std::string(kPresetsListChangedNotification), [this](const std::string&, const auto&) {
    setup();
    if (changed_) changed_();
  });
}

PresetsPopUpModel::~PresetsPopUpModel() { center_.removeObserver(token_); }

void PresetsPopUpModel::setup() {
  using Kind = PresetsPopUpItem::Kind;
  using Command = TSPresetManager::Command;
  items_.clear();
  items_.push_back({Kind::Entry, libraryString("LAST_USED_SETTINGS"), -1, Command::ChoosePreset, true});
  items_.push_back({Kind::Separator, "", 0, Command::ChoosePreset, false});
  const auto& presets = manager_.presets();
  for (size_t i = 0; i < presets.size(); ++i)
    items_.push_back({Kind::Entry, presets[i].name, int(i), Command::ChoosePreset, true});
  if (!presets.empty()) items_.push_back({Kind::Separator, "", 0, Command::ChoosePreset, false});
  const std::pair<const char*, Command> commands[] = {{"SAVE_PRESET", Command::SavePreset},
                                                      {"SAVE_PRESET_AS", Command::AddPreset},
                                                      {"RENAME_PRESET", Command::RenamePreset},
                                                      {"DELETE_PRESET", Command::DeletePreset}};
  for (const auto& [key, command] : commands)
    items_.push_back({Kind::Command, libraryString(key), 0, command, manager_.validateCommand(command)});
  selectedIndex_ = 0;
  selectItemAtIndex(manager_.presetIndex() < 0 ? 0 : manager_.presetIndex() + 2);
}

bool PresetsPopUpModel::selectItemAtIndex(int index) {
  if (index < 0 || size_t(index) + 5 > items_.size()) return false;
  selectedIndex_ = index;
  return true;
}

}  // namespace sw
