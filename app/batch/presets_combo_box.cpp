#include "batch/presets_combo_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "batch/settings_form.h"
#include "library/batch_command_parameters.h"

namespace swapp {

namespace {

// Asks for a preset name; OK is enabled only for a name no preset has.
std::optional<std::string> askPresetName(QWidget* parent, sw::TSPresetManager& manager, const std::string& proposed) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QObject::tr("Preset Name"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QObject::tr("Name of the preset:"), &dialog));
  auto* field = new QLineEdit(QString::fromStdString(proposed), &dialog);
  layout->addWidget(field);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto validate = [&] {
    manager.nameFieldDidChange(field->text().toStdString());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(manager.isUniqueName() && !field->text().trimmed().isEmpty());
  };
  QObject::connect(field, &QLineEdit::textChanged, &dialog, validate);
  validate();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return field->text().toStdString();
}

}  // namespace

std::function<std::optional<std::string>(QWidget*, sw::TSPresetManager&, const std::string&)>&
PresetsComboBox::nameAsker() {
  static std::function<std::optional<std::string>(QWidget*, sw::TSPresetManager&, const std::string&)> asker =
      askPresetName;
  return asker;
}

PresetsComboBox::PresetsComboBox(const std::string& listName, SettingsForm& form, QWidget* parent)
    : QComboBox(parent), listName_(listName), form_(form), manager_(form.store()) {
  setObjectName(QStringLiteral("presets"));
  setSizeAdjustPolicy(QComboBox::AdjustToContents);
  manager_.setDataSource(this);
  model_ = std::make_unique<sw::PresetsPopUpModel>(manager_, listName, sw::NotificationCenter::shared(),
                                                   [this] { rebuild(); });
  rebuild();
  connect(this, &QComboBox::activated, this, &PresetsComboBox::itemActivated);
}

PresetsComboBox::~PresetsComboBox() { model_.reset(); }

sw::SettingValue PresetsComboBox::getDataForPreset() {
  const sw::BatchCommandParameters* command = sw::batchCommandOfPresetList(listName_);
  const std::vector<std::string> fixed = sw::presetKeysOfList(listName_);
  if (!fixed.empty()) {
    sw::SettingValue::Array strings;
    for (const std::string& key : fixed) strings.emplace_back(form_.value(key).stringValue());
    return sw::SettingValue(std::move(strings));
  }
  sw::SettingValue::Dictionary values;
  if (command)
    for (const std::string& key : command->presetKeys) values[key] = form_.value(key);
  return sw::SettingValue(std::move(values));
}

void PresetsComboBox::setDataFromPreset(const std::optional<sw::SettingValue>& data) {
  if (!data) return;
  const auto assignments = sw::presetAssignments(listName_, *data);
  if (!assignments) return;
  for (const auto& [key, value] : *assignments) form_.setValue(key, value);
}

sw::OSStatus PresetsComboBox::perform(sw::TSPresetManager::Command command, std::optional<std::string> name) {
  using Command = sw::TSPresetManager::Command;
  if (!manager_.validateCommand(command)) return sw::paramErr;
  sw::OSStatus status = sw::noErr;
  switch (command) {
    case Command::ChoosePreset: break;
    case Command::SavePreset: status = manager_.savePreset(); break;
    case Command::AddPreset:
    case Command::RenamePreset: {
      if (!name) {
        const std::string proposed = command == Command::AddPreset
                                         ? manager_.uniqueName()
                                         : manager_.presets()[size_t(manager_.presetIndex())].name;
        name = nameAsker()(this, manager_, proposed);
      }
      if (!name || name->empty()) break;
      status = command == Command::AddPreset ? manager_.addPreset(*name) : manager_.renamePreset(*name);
      break;
    }
    case Command::DeletePreset: status = manager_.deletePreset(); break;
  }
  model_->setup();
  return status;
}

void PresetsComboBox::itemActivated(int index) {
  if (rebuilding_ || index < 0 || size_t(index) >= model_->items().size()) return;
  const sw::PresetsPopUpItem item = model_->items()[size_t(index)];
  if (item.kind == sw::PresetsPopUpItem::Kind::Entry) {
    manager_.choosePreset(item.tag);
    model_->setup();
  } else if (item.kind == sw::PresetsPopUpItem::Kind::Command) {
    perform(item.action);
  }
  rebuild();
}

void PresetsComboBox::rebuild() {
  if (!model_) return;  // the model announces its first build before it is stored
  rebuilding_ = true;
  clear();
  auto* items = qobject_cast<QStandardItemModel*>(model());
  for (const sw::PresetsPopUpItem& item : model_->items()) {
    if (item.kind == sw::PresetsPopUpItem::Kind::Separator) {
      insertSeparator(count());
      continue;
    }
    addItem(QString::fromStdString(item.title), item.tag);
    const bool enabled = item.kind == sw::PresetsPopUpItem::Kind::Entry ||
                         manager_.validateCommand(item.action);
    if (items) items->item(count() - 1)->setEnabled(enabled);
  }
  setCurrentIndex(model_->selectedIndex());
  rebuilding_ = false;
}

}  // namespace swapp
