// The lyrics tab: the file's lyrics decoded in the document's encoding, or the message saying
// they do not decode; prints to a printer or PDF through the print dialog.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPrinter;

namespace swapp {

class EditorDocument;

class LyricsTab : public QWidget {
  Q_OBJECT
 public:
  explicit LyricsTab(EditorDocument& document, QWidget* parent = nullptr);

  // Decodes the lyrics again.
  void loadLyrics();
  QString text() const;
  bool showsMessage() const { return showsMessage_; }
  // Prints the lyrics with 36-point margins, uncentred.
  void print(QPrinter& printer) const;
  void printWithDialog();

 private:
  EditorDocument& document_;
  QPlainTextEdit* view_ = nullptr;
  bool showsMessage_ = false;
};

}  // namespace swapp
