// The sheets of the edit operations, as dialogs: paste options, shift, and the editor that
// changes several selected events at once. Each checks its input before it lets OK close.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

#include "editing/edit_operations.h"
#include "editing/f_midi_event_pointer.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace swapp {

// Turns a position text ("001:01:000") into ticks; nothing and a message when it is none.
using PositionParser = std::function<std::optional<int32_t>(const std::string& text, std::string* error)>;

class PasteOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  PasteOptionsDialog(sw::PastePlan plan, int numTracks, const std::string& positionText, PositionParser parser,
                     QWidget* parent = nullptr);
  // The plan with the chosen position, track and timing (after OK).
  const sw::PastePlan& plan() const { return plan_; }
  void accept() override;

 private:
  sw::PastePlan plan_;
  PositionParser parser_;
  QLineEdit* position_;
  QSpinBox* track_;
  QCheckBox* samePosition_;
  QLabel* message_;
};

class ShiftDialog : public QDialog {
  Q_OBJECT
 public:
  ShiftDialog(const std::string& positionText, PositionParser parser, QWidget* parent = nullptr);
  int32_t newTicks() const { return ticks_; }
  sw::ShiftRange range() const;
  void accept() override;

 private:
  PositionParser parser_;
  QLineEdit* position_;
  QButtonGroup* range_;
  QLabel* message_;
  int32_t ticks_ = 0;
};

// Edits a detached copy of the first selected event; the checked fields go to every selected
// event (the second and third only to events of the copy's kind).
class MultipleSelectionDialog : public QDialog {
  Q_OBJECT
 public:
  MultipleSelectionDialog(const sw::FMidiEventPointer& first, int selectedCount, bool secondIsTyped,
                          QWidget* parent = nullptr);
  const sw::FMidiEventCopy& model() const { return copy_; }
  sw::BulkChange change() const;
  void accept() override;

 private:
  sw::FMidiEventCopy copy_;
  QCheckBox* checks_[4];
  QLineEdit* fields_[4];
  QLabel* message_;
};

}  // namespace swapp
