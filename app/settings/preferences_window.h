// The preferences: the switches of the application and the default text encoding, applied as
// soon as they change, and every known setting with its value, which can be put back to its
// factory value. The window works on the settings store the command line uses; a change made
// there shows here once the file changes.
#pragma once

#include <QWidget>

class QComboBox;
class QTableWidget;

namespace swapp {

class SettingsForm;

class PreferencesWindow : public QWidget {
  Q_OBJECT
 public:
  explicit PreferencesWindow(QWidget* parent = nullptr);

  SettingsForm& form() const { return *form_; }
  QTableWidget* table() const { return table_; }
  // Shows the store's values again.
  void reload();
  // Removes the user's value of the key at that table row (the factory value answers again).
  void resetRow(int row);

 private:
  void fillTable();
  void fillEncodings();

  SettingsForm* form_;
  QComboBox* encoding_;
  QTableWidget* table_;
};

}  // namespace swapp
