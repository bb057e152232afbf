#include "batch/log_window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMarginsF>
#include <QPageLayout>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>

#include <ctime>

#include "library/batch_log.h"

namespace swapp {

LogWindow& LogWindow::shared() {
  // Lives until the application ends; top-level, so closing another window never deletes it.
  static LogWindow* window = new LogWindow;
  return *window;
}

LogWindow::LogWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("logWindow"));
  setWindowTitle(tr("Log"));
  auto* layout = new QVBoxLayout(this);
  view_ = new QPlainTextEdit(this);
  view_->setReadOnly(true);
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(10);
  view_->setFont(font);
  layout->addWidget(view_);
  auto* buttons = new QHBoxLayout;
  auto* clearButton = new QPushButton(tr("Clear"), this);
  auto* printButton = new QPushButton(tr("Print…"), this);
  buttons->addWidget(clearButton);
  buttons->addStretch(1);
  buttons->addWidget(printButton);
  layout->addLayout(buttons);
  connect(clearButton, &QPushButton::clicked, this, &LogWindow::clear);
  connect(printButton, &QPushButton::clicked, this, &LogWindow::print);
  resize(720, 320);
}

void LogWindow::appendLine(const QString& line) {
  if (isHidden()) show();
  QString text = line;
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  QScrollBar* bar = view_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  view_->appendPlainText(text);
  if (atEnd) bar->setValue(bar->maximum());
}

void LogWindow::logText(const QString& message) {
  appendLine(QString::fromStdString(
      sw::BatchLog::formatLine(std::time(nullptr), sw::BatchLog::printable(message.toStdString()))));
}

QString LogWindow::text() const { return view_->toPlainText(); }

void LogWindow::clear() { view_->clear(); }

void LogWindow::printTo(QPrinter& printer) const {
  printer.setPageMargins(QMarginsF(36, 36, 36, 36), QPageLayout::Point);
  QTextDocument document;
  document.setDefaultFont(view_->font());
  document.setPlainText(view_->toPlainText());
  document.print(&printer);
}

void LogWindow::print() {
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(tr("Print Log"));
  if (dialog.exec() == QDialog::Accepted) printTo(printer);
}

}  // namespace swapp
