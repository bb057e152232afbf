#include "batch/settings_form.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <algorithm>

#include "library/factory_defaults.h"

namespace swapp {

SettingsForm::SettingsForm(sw::SettingsStore& store, QObject* parent) : QObject(parent), store_(store) {}

void SettingsForm::noteEdited() {
  if (!showing_) emit edited();
}

void SettingsForm::bind(const std::string& key, QCheckBox* box) {
  connect(box, &QCheckBox::toggled, this, &SettingsForm::noteEdited);
  bind(key, [box] { return sw::SettingValue(box->isChecked()); },
       [box](const sw::SettingValue& value) { box->setChecked(value.boolValue()); });
}

void SettingsForm::bind(const std::string& key, QSpinBox* box) {
  connect(box, &QSpinBox::valueChanged, this, &SettingsForm::noteEdited);
  bind(key, [box] { return sw::SettingValue(int64_t(box->value())); },
       [box](const sw::SettingValue& value) {
         const int64_t number = std::clamp<int64_t>(value.integerValue(), box->minimum(), box->maximum());
         box->setValue(int(number));
       });
}

void SettingsForm::bind(const std::string& key, QComboBox* box) {
  connect(box, &QComboBox::currentIndexChanged, this, &SettingsForm::noteEdited);
  bind(
      key,
      [box] {
        const QVariant data = box->currentData();
        return sw::SettingValue(int64_t(data.isValid() ? data.toLongLong() : box->currentIndex()));
      },
      [box](const sw::SettingValue& value) {
        const int64_t number = value.integerValue();
        int index = -1;
        for (int i = 0; i < box->count() && index < 0; ++i) {
          const QVariant data = box->itemData(i);
          if (data.isValid() ? data.toLongLong() == number : i == number) index = i;
        }
        box->setCurrentIndex(index < 0 ? 0 : index);
      });
}

void SettingsForm::bind(const std::string& key, QLineEdit* field) {
  connect(field, &QLineEdit::textEdited, this, &SettingsForm::noteEdited);
  bind(key, [field] { return sw::SettingValue(field->text().toStdString()); },
       [field](const sw::SettingValue& value) { field->setText(QString::fromStdString(value.stringValue())); });
}

void SettingsForm::bind(const std::string& key, QButtonGroup* group) {
  connect(group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) noteEdited();
  });
  bind(key, [group] { return sw::SettingValue(int64_t(std::max(0, group->checkedId()))); },
       [group](const sw::SettingValue& value) {
         QAbstractButton* button = group->button(int(value.integerValue()));
         if (!button) button = group->buttons().value(0);
         if (button) button->setChecked(true);
       });
}

void SettingsForm::bind(const std::string& key, std::function<sw::SettingValue()> read,
                        std::function<void(const sw::SettingValue&)> show) {
  bindings_.push_back({key, std::move(read), std::move(show)});
}

const SettingsForm::Binding* SettingsForm::find(const std::string& key) const {
  for (const Binding& binding : bindings_)
    if (binding.key == key) return &binding;
  return nullptr;
}

bool SettingsForm::binds(const std::string& key) const { return find(key) != nullptr; }

std::vector<std::string> SettingsForm::keys() const {
  std::vector<std::string> keys;
  for (const Binding& binding : bindings_) keys.push_back(binding.key);
  return keys;
}

sw::SettingValue SettingsForm::value(const std::string& key) const {
  if (const Binding* binding = find(key)) return binding->read();
  return store_.objectForKey(key).value_or(sw::emptySettingValue(key));
}

void SettingsForm::setValue(const std::string& key, const sw::SettingValue& value) {
  const Binding* binding = find(key);
  if (!binding) return;
  showing_ = true;
  binding->show(value);
  showing_ = false;
  emit edited();
}

void SettingsForm::load() {
  showing_ = true;
  for (const Binding& binding : bindings_)
    binding.show(store_.objectForKey(binding.key).value_or(sw::emptySettingValue(binding.key)));
  showing_ = false;
  emit edited();
}

sw::OSStatus SettingsForm::commit() {
  sw::OSStatus result = sw::noErr;
  for (const Binding& binding : bindings_) {
    const sw::SettingValue value = binding.read();
    const std::optional<sw::SettingValue> stored = store_.objectForKey(binding.key);
    if (stored ? *stored == value : value == sw::emptySettingValue(binding.key)) continue;
    sw::OSStatus status = store_.setObject(binding.key, value);
    if (status == sw::noErr) status = sw::settingDidChange(store_, binding.key);
    if (status != sw::noErr && result == sw::noErr) result = status;
  }
  return result;
}

}  // namespace swapp
