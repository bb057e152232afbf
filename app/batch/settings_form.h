// Controls bound to keys of the settings store: each control shows its key's value when the
// form loads, and the values go back to the store together when the form commits (a sheet's
// OK), so Cancel leaves the settings as they were.
#pragma once

#include <QObject>

#include <functional>
#include <string>
#include <vector>

#include "base/settings_store.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace swapp {

class SettingsForm : public QObject {
  Q_OBJECT
 public:
  explicit SettingsForm(sw::SettingsStore& store, QObject* parent = nullptr);

  void bind(const std::string& key, QCheckBox* box);
  void bind(const std::string& key, QSpinBox* box);
  // The item data of the chosen item (an integer), or its index when the items have none.
  void bind(const std::string& key, QComboBox* box);
  void bind(const std::string& key, QLineEdit* field);
  // The id of the checked button.
  void bind(const std::string& key, QButtonGroup* group);
  // A control the form cannot read by itself: `read` gives its value, `show` puts one in it;
  // the control calls noteEdited() when the user changes it.
  void bind(const std::string& key, std::function<sw::SettingValue()> read,
            std::function<void(const sw::SettingValue&)> show);

  bool binds(const std::string& key) const;
  std::vector<std::string> keys() const;
  // The value the control of the key shows now; the store's value for a key it does not bind.
  sw::SettingValue value(const std::string& key) const;
  // Shows a value in the key's control (a preset applied); nothing for a key it does not bind.
  void setValue(const std::string& key, const sw::SettingValue& value);

  // Every control shows its key's value in the store (the key's empty value when unset).
  void load();
  // Writes every value that differs from the store's and keeps the keys that follow others in
  // step; the first failing status, noErr when all went in.
  sw::OSStatus commit();

  sw::SettingsStore& store() const { return store_; }
  void noteEdited();

 signals:
  // The values shown changed: by the user, a load or a preset (controls that depend on others
  // and previews follow it).
  void edited();

 private:
  struct Binding {
    std::string key;
    std::function<sw::SettingValue()> read;
    std::function<void(const sw::SettingValue&)> show;
  };
  const Binding* find(const std::string& key) const;

  sw::SettingsStore& store_;
  std::vector<Binding> bindings_;
  bool showing_ = false;
};

}  // namespace swapp
