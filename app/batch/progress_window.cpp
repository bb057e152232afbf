#include "batch/progress_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace swapp {

ProgressWindow::ProgressWindow(const QString& title, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("progressWindow"));
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  message_ = new QLabel(this);
  message_->setTextFormat(Qt::PlainText);
  message_->setMinimumWidth(380);
  layout->addWidget(message_);
  auto* row = new QHBoxLayout;
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 0);
  row->addWidget(bar_, 1);
  stop_ = new QPushButton(tr("Stop"), this);
  stop_->setAutoDefault(false);
  row->addWidget(stop_);
  layout->addLayout(row);
  connect(stop_, &QPushButton::clicked, this, [this] {
    stop_->setEnabled(false);
    message_->setText(tr("Stopping after this file…"));
    emit stopRequested();
  });
}

void ProgressWindow::setMessage(const QString& message) {
  if (stop_->isEnabled()) message_->setText(message);
}

void ProgressWindow::setValue(int value, int maximum) {
  if (bar_->maximum() != maximum) bar_->setRange(0, maximum);
  bar_->setValue(value);
}

void ProgressWindow::setCanStop(bool canStop) { stop_->setEnabled(canStop); }

QString ProgressWindow::message() const { return message_->text(); }

void ProgressWindow::closeEvent(QCloseEvent* event) {
  if (stop_->isEnabled()) stop_->click();
  QDialog::closeEvent(event);
}

void ProgressWindow::reject() {
  if (stop_->isEnabled()) stop_->click();
  QDialog::reject();
}

}  // namespace swapp
