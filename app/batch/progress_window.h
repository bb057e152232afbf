// The progress window of a batch: the name of the file being processed, a bar (indeterminate
// until the files are counted) and Stop, which ends the batch before the next file. Closing
// the window stops the batch too.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace swapp {

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressWindow(const QString& title, QWidget* parent = nullptr);

  void setMessage(const QString& message);  // shown as plain text
  // Maximum 0: an indeterminate bar.
  void setValue(int value, int maximum);
  void setCanStop(bool canStop);

  QString message() const;
  QProgressBar* bar() const { return bar_; }
  QPushButton* stopButton() const { return stop_; }

 signals:
  void stopRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape

 private:
  QLabel* message_;
  QProgressBar* bar_;
  QPushButton* stop_;
};

}  // namespace swapp
