// The sheet of one batch command, as a dialog: its controls bound to the command's settings
// keys (each control's object name is its key), the presets pop-up of the command's list, and
// OK and Cancel. OK writes the values to the settings and closes the sheet unless the values
// make the run pointless (Change MIDI channel to the same channel), which is said in the sheet.
// Markers to lyrics and Lyrics to markers have no parameters: their sheet only asks.
#pragma once

#include <QDialog>
#include <QStringList>

#include <string>

class QLabel;
class QLayout;
class QPushButton;

namespace swapp {

class PresetsComboBox;
class SettingsForm;

class BatchSheet : public QDialog {
  Q_OBJECT
 public:
  // Null for an unknown command name. `paths` feed the preview of Set meta-event text.
  static BatchSheet* create(const std::string& command, const QStringList& paths, QWidget* parent = nullptr);

  const std::string& command() const { return command_; }
  SettingsForm& form() const { return *form_; }
  PresetsComboBox* presets() const { return presets_; }  // null for a command without a list
  QPushButton* okButton() const { return ok_; }
  // The problem shown in the sheet after a refused OK; empty when none.
  QString problem() const;

  void accept() override;

  // The settings of "Write results to…": whether results go to another folder, and which.
  static constexpr const char* kWritesElsewhereKey = "batchWritesElsewhere";
  static constexpr const char* kOutputFolderKey = "batchOutputFolder";
  // The folder the next run writes its results to; empty to rewrite the files in place.
  static std::string outputFolder();

 private:
  BatchSheet(const std::string& command, const QStringList& paths, QWidget* parent);
  QLayout* buildOutputFolderRow();
  void buildFix();
  void buildConvert();
  void buildConvertKaraoke();
  void buildConvertToUTF8();
  void buildExtractLyrics();
  void buildQuestion(const QString& message);
  void buildSetMetaEventText();
  void buildChangeMIDIChannel();
  void buildTranspose();
  void buildRemoveTrack();
  void buildCompand();

  std::string command_;
  QStringList paths_;
  SettingsForm* form_;
  PresetsComboBox* presets_ = nullptr;
  QWidget* body_;
  QLabel* problem_;
  QPushButton* ok_;
};

// The Transpose sheet's mask rules: bit i for channel i + 1; channel 10 (bit 9) only when it
// is enabled.
int transposeMaskAllChannels(bool channel10Enabled);

}  // namespace swapp
