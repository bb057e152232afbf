#include "dialogs/edit_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "editing/editor_strings.h"

namespace swapp {

namespace {

QLabel* messageLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setStyleSheet(QStringLiteral("color: #b00020;"));
  label->setWordWrap(true);
  label->hide();
  return label;
}

void showMessage(QLabel* label, const std::string& text) {
  label->setText(QString::fromStdString(text.empty() ? sw::localizedString("INCORRECT_VALUE") : text));
  label->show();
}

QDialogButtonBox* okCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

// ---------------------------------------------------------------- paste options

PasteOptionsDialog::PasteOptionsDialog(sw::PastePlan plan, int numTracks, const std::string& positionText,
                                       PositionParser parser, QWidget* parent)
    : QDialog(parent), plan_(std::move(plan)), parser_(std::move(parser)) {
  setWindowTitle(tr("Paste With Options"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  position_ = new QLineEdit(QString::fromStdString(positionText), this);
  position_->setToolTip(tr("Measure:beat:tick of the first pasted event"));
  form->addRow(tr("Paste at (measure:beat:tick):"), position_);
  track_ = new QSpinBox(this);
  track_->setRange(1, std::max(1, numTracks));
  track_->setValue(std::clamp(int(plan_.track) + 1, 1, std::max(1, numTracks)));
  form->addRow(tr("Into track:"), track_);
  layout->addLayout(form);
  samePosition_ = new QCheckBox(tr("Put every pasted event at this position"), this);
  samePosition_->setChecked(!plan_.keepTiming);
  layout->addWidget(samePosition_);
  message_ = messageLabel(this);
  layout->addWidget(message_);
  layout->addWidget(okCancel(this));
}

void PasteOptionsDialog::accept() {
  std::string error;
  const auto ticks = parser_(position_->text().toStdString(), &error);
  if (!ticks) return showMessage(message_, error);
  plan_.position = *ticks;
  plan_.track = uint8_t(track_->value() - 1);
  plan_.keepTiming = !samePosition_->isChecked();
  // The chosen position replaces the reference row: the suggestion no longer applies.
  plan_.suggestedWholeIndex = -1;
  QDialog::accept();
}

// ---------------------------------------------------------------- shift

ShiftDialog::ShiftDialog(const std::string& positionText, PositionParser parser, QWidget* parent)
    : QDialog(parent), parser_(std::move(parser)) {
  setWindowTitle(tr("Shift Events"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  position_ = new QLineEdit(QString::fromStdString(positionText), this);
  form->addRow(tr("Move the first selected event to (measure:beat:tick):"), position_);
  layout->addLayout(form);
  range_ = new QButtonGroup(this);
  const QString titles[] = {tr("The selected events"), tr("Every event from the first selected one to the end"),
                            tr("Every event from the first selected one to the end, on its channel"),
                            tr("Every event from the first selected one to the end, on its track")};
  for (int i = 0; i < 4; ++i) {
    auto* radio = new QRadioButton(titles[i], this);
    range_->addButton(radio, i);
    layout->addWidget(radio);
  }
  range_->button(0)->setChecked(true);
  message_ = messageLabel(this);
  layout->addWidget(message_);
  layout->addWidget(okCancel(this));
}

sw::ShiftRange ShiftDialog::range() const { return sw::ShiftRange(std::clamp(range_->checkedId(), 0, 3)); }

void ShiftDialog::accept() {
  std::string error;
  const auto ticks = parser_(position_->text().toStdString(), &error);
  if (!ticks) return showMessage(message_, error);
  ticks_ = *ticks;
  QDialog::accept();
}

// ---------------------------------------------------------------- several events at once

MultipleSelectionDialog::MultipleSelectionDialog(const sw::FMidiEventPointer& first, int selectedCount,
                                                 bool secondIsTyped, QWidget* parent)
    : QDialog(parent), copy_(first.copy()) {
  setWindowTitle(tr("Change Selected Events"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("Apply the checked fields to the %n selected event(s).", "", selectedCount), this));
  auto* grid = new QGridLayout;
  const QString titles[] = {tr("Track"), tr("Channel"), tr("Second"), tr("Third")};
  const sw::FieldKey keys[] = {sw::FieldKey::TrackPlusOne, sw::FieldKey::ChannelPlusOne, sw::FieldKey::Second,
                               sw::FieldKey::Third};
  const bool usable[] = {true, copy_.isEditableKey(sw::FieldKey::ChannelOrIcon),
                         copy_.isEditableKey(sw::FieldKey::Second) && secondIsTyped,
                         copy_.isEditableKey(sw::FieldKey::Third)};
  for (int i = 0; i < 4; ++i) {
    checks_[i] = new QCheckBox(titles[i], this);
    fields_[i] = new QLineEdit(QString::fromStdString(sw::fieldText(copy_.valueForKey(keys[i]))), this);
    checks_[i]->setEnabled(usable[i]);
    fields_[i]->setEnabled(false);
    connect(checks_[i], &QCheckBox::toggled, fields_[i], &QLineEdit::setEnabled);
    grid->addWidget(checks_[i], i, 0);
    grid->addWidget(fields_[i], i, 1);
  }
  layout->addLayout(grid);
  layout->addWidget(new QLabel(tr("Second and third change only events of the same kind as the first."), this));
  message_ = messageLabel(this);
  layout->addWidget(message_);
  layout->addWidget(okCancel(this));
}

sw::BulkChange MultipleSelectionDialog::change() const {
  sw::BulkChange change;
  change.track = checks_[0]->isChecked();
  change.channel = checks_[1]->isChecked();
  change.second = checks_[2]->isChecked();
  change.third = checks_[3]->isChecked();
  return change;
}

void MultipleSelectionDialog::accept() {
  const sw::FieldKey keys[] = {sw::FieldKey::TrackPlusOne, sw::FieldKey::ChannelPlusOne, sw::FieldKey::Second,
                               sw::FieldKey::Third};
  // Every checked field is validated and set on the copy first; a refused one keeps the
  // dialog open.
  for (int i = 0; i < 4; ++i) {
    if (!checks_[i]->isChecked()) continue;
    sw::FieldValue value = fields_[i]->text().toStdString();
    std::string error;
    if (!copy_.validateValue(keys[i], value, &error)) {
      fields_[i]->setText(QString::fromStdString(sw::fieldText(value)));
      fields_[i]->setFocus();
      return showMessage(message_, checks_[i]->text().toStdString() + ": " + error);
    }
    try {
      copy_.setValueForKey(keys[i], value);
    } catch (const std::exception& e) {
      return showMessage(message_, checks_[i]->text().toStdString() + ": " + e.what());
    }
  }
  if (!change().any()) return showMessage(message_, tr("Check at least one field to change.").toStdString());
  QDialog::accept();
}

}  // namespace swapp
