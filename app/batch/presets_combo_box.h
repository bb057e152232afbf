// The presets pop-up of a batch sheet: "Last Used Settings", the saved presets of the
// command's list, and the commands to save, save as, rename and delete, kept in step with
// every other pop-up of the same list. A preset holds the values of the sheet's controls, and
// choosing one shows its values in them (the settings change when the sheet is confirmed).
#pragma once

#include <QComboBox>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "library/presets_pop_up_model.h"
#include "library/ts_preset_manager.h"

namespace swapp {

class SettingsForm;

class PresetsComboBox : public QComboBox, public sw::TSPresetManagerDataSource {
  Q_OBJECT
 public:
  // The preset list `listName` over the controls of `form`.
  PresetsComboBox(const std::string& listName, SettingsForm& form, QWidget* parent = nullptr);
  ~PresetsComboBox() override;

  sw::SettingValue getDataForPreset() override;
  void setDataFromPreset(const std::optional<sw::SettingValue>& data) override;

  sw::TSPresetManager& manager() { return manager_; }
  // Runs one preset command; Save As and Rename take the name given, or ask for one.
  sw::OSStatus perform(sw::TSPresetManager::Command command, std::optional<std::string> name = std::nullopt);
  // The naming window; replaced by tests. Returns no name when the user cancels.
  static std::function<std::optional<std::string>(QWidget* parent, sw::TSPresetManager& manager,
                                                  const std::string& proposed)>&
  nameAsker();

 private:
  void rebuild();
  void itemActivated(int index);

  std::string listName_;
  SettingsForm& form_;
  sw::TSPresetManager manager_;
  std::unique_ptr<sw::PresetsPopUpModel> model_;
  bool rebuilding_ = false;
};

}  // namespace swapp
