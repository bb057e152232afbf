#include "editor/lyrics_tab.h"

#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QVBoxLayout>

#include <memory>

#include "editor/editor_document.h"

namespace swapp {

LyricsTab::LyricsTab(EditorDocument& document, QWidget* parent) : QWidget(parent), document_(document) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new QPlainTextEdit(this);
  view_->setReadOnly(true);
  QFont font = view_->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  view_->setFont(font);
  layout->addWidget(view_);
}

void LyricsTab::loadLyrics() {
  const EditorDocument::LyricsText lyrics = document_.lyricsText();
  showsMessage_ = !lyrics.decoded;
  view_->setPlainText(QString::fromStdString(lyrics.text));
}

QString LyricsTab::text() const { return view_->toPlainText(); }

void LyricsTab::print(QPrinter& printer) const {
  printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
  std::unique_ptr<QTextDocument> copy(view_->document()->clone());
  copy->setDefaultFont(view_->font());
  copy->print(&printer);
}

void LyricsTab::printWithDialog() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QString::fromStdString(document_.displayName()));
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(tr("Print Lyrics"));
  if (dialog.exec() == QDialog::Accepted) print(printer);
}

}  // namespace swapp
