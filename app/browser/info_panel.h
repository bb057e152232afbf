// The information panel of the browser: the record of one file, its four editable texts
// (sequence name, title, author, copyright), Previous / Next, and a transport that plays it.
// The texts are written when the user goes to another file or presses OK; Cancel forgets them.
#pragma once

#include <QDialog>

#include <array>
#include <memory>

#include "base/status.h"
#include "library/file_information.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace swapp {

class TransportBar;

class InfoPanel : public QDialog {
  Q_OBJECT
 public:
  enum TextField { kSequenceName, kTitle, kAuthor, kCopyright, kTextFieldCount };
  // The buttons' tags, as the commit takes them.
  enum Step { kClose = 0, kPrevious = 1, kNext = 2 };

  explicit InfoPanel(QWidget* parent = nullptr);
  ~InfoPanel() override;

  // Shows a file's record and loads it into the transport (stopped); edits not committed are
  // forgotten. A null record shows the path only.
  void showFile(const QString& path, const sw::FileInformation* information);
  QString path() const { return path_; }
  QLineEdit* textField(TextField field) const { return fields_[field]; }
  TransportBar* transport() const { return transport_; }
  // Whether a text differs from the record.
  bool isDirty() const;
  // Writes the edited texts into the file (atomically); an empty Error when nothing was to be
  // written or the write succeeded. On failure the edits stay in the fields.
  sw::Error commitChanges();

  // Whether showing another file should go on playing (the player played at the commit).
  bool wasPlaying() const { return wasPlaying_; }

 public slots:
  // Commits; on success moves by the tag (signal stepRequested) or closes; on failure shows
  // the error and stays on the file.
  void commitAndStep(int step);
  // Forgets the edits, stops the player and closes.
  void discardAndClose();

 signals:
  // Another file should be shown: -1 the previous, +1 the next.
  void stepRequested(int direction);
  // The file was rewritten (the browser reads it again).
  void fileWritten(const QString& path);

 protected:
  void reject() override;

 private:
  void fillRecord(const sw::FileInformation* information);

  QString path_;
  std::array<QString, kTextFieldCount> shownTexts_;
  std::array<QLineEdit*, kTextFieldCount> fields_{};
  QLabel* nameLabel_ = nullptr;
  QLabel* recordLabel_ = nullptr;
  QLabel* diagnosisLabel_ = nullptr;
  TransportBar* transport_ = nullptr;
  QPushButton* previousButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  bool wasPlaying_ = false;
};

}  // namespace swapp
