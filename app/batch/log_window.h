// The log window: one line per message, "date time<TAB>message", in a fixed-pitch font of
// size 10; it shows itself when a line arrives, and prints its text.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPrinter;

namespace swapp {

class LogWindow : public QWidget {
  Q_OBJECT
 public:
  static LogWindow& shared();

  // Appends a line as the batch log formats it (ending in a line feed or not), showing the
  // window when it is hidden.
  void appendLine(const QString& line);
  // Logs a message now, stamped as the batch log stamps its lines.
  void logText(const QString& message);
  QString text() const;
  QPlainTextEdit* view() const { return view_; }

  // The log's text fitted to the page width, with margins of 36 points on every side.
  void printTo(QPrinter& printer) const;
  void print();
  void clear();

 private:
  explicit LogWindow(QWidget* parent = nullptr);
  QPlainTextEdit* view_;
};

}  // namespace swapp
