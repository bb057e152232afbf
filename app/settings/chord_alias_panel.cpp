#include "settings/chord_alias_panel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "batch/batch_windows.h"
#include "text/xf_chord_manager.h"

namespace swapp {

ChordAliasPanel::ChordAliasPanel(QWidget* parent) : ChordAliasPanel(sw::XFChordManager::sharedInstance(), parent) {}

ChordAliasPanel::ChordAliasPanel(sw::XFChordManager& manager, QWidget* parent)
    : QWidget(parent, Qt::Window), manager_(manager) {
  setObjectName(QStringLiteral("chordAliases"));
  setWindowTitle(tr("Chord Aliases"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("The spellings of each XF chord type, separated by spaces:"), this));
  table_ = new QTableWidget(this);
  table_->setColumnCount(2);
  table_->setHorizontalHeaderLabels({tr("XF chord type"), tr("Aliases")});
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_);
  message_ = new QLabel(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setWordWrap(true);
  message_->setTextFormat(Qt::PlainText);
  layout->addWidget(message_);
  auto* buttons = new QHBoxLayout;
  auto* importButton = new QPushButton(tr("Import…"), this);
  auto* exportButton = new QPushButton(tr("Export…"), this);
  auto* revertButton = new QPushButton(tr("Revert to Defaults…"), this);
  buttons->addWidget(importButton);
  buttons->addWidget(exportButton);
  buttons->addStretch(1);
  buttons->addWidget(revertButton);
  layout->addLayout(buttons);

  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (refreshing_ || item->column() != 1) return;
    if (refuseWhileBatchRuns()) return refresh();
    if (manager_.setAliases(size_t(item->row()), item->text().toStdString()) != sw::noErr) {
      QApplication::beep();
      showProblem(tr("These aliases cannot be kept (control characters?)."));
      refresh();
      return;
    }
    showDuplicates();
  });
  connect(importButton, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Choose the XG chords definition file (.xgdef) to import:"), QDir::homePath(),
        tr("XG chord definitions (*.xgdef)"));
    if (!path.isEmpty()) importFrom(path);
  });
  connect(exportButton, &QPushButton::clicked, this, [this] {
    QFileDialog dialog(this, tr("Export definitions into XG definition file (.xgdef):"), QDir::homePath(),
                       tr("XG chord definitions (*.xgdef)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("xgdef"));
    dialog.selectFile(QStringLiteral("XG chords definitions.xgdef"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) exportTo(dialog.selectedFiles().first());
  });
  connect(revertButton, &QPushButton::clicked, this, [this] {
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, tr("Chord Aliases"), tr("Do you want to revert to default aliases definitions?"),
                    QMessageBox::NoButton, this);
    box.setInformativeText(tr("This action cannot be undone."));
    QPushButton* revertChoice = box.addButton(tr("Revert"), QMessageBox::DestructiveRole);
    box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() == revertChoice) revert();
  });
  refresh();
  resize(520, 560);
}

void ChordAliasPanel::refresh() {
  refreshing_ = true;
  const auto& types = manager_.types();
  table_->setRowCount(int(types.size()));
  // The items are kept and only their texts change: refresh may run while an item reports an edit.
  for (size_t row = 0; row < types.size(); ++row) {
    QTableWidgetItem* type = table_->item(int(row), 0);
    if (!type) {
      table_->setItem(int(row), 0, type = new QTableWidgetItem);
      type->setFlags(type->flags() & ~Qt::ItemIsEditable);
    }
    type->setText(QString::fromStdString(types[row].XF.empty() ? "Maj" : types[row].XF));
    QTableWidgetItem* aliases = table_->item(int(row), 1);
    if (!aliases) table_->setItem(int(row), 1, aliases = new QTableWidgetItem);
    aliases->setText(QString::fromStdString(types[row].aliases));
  }
  table_->resizeColumnToContents(0);
  refreshing_ = false;
  showDuplicates();
}

void ChordAliasPanel::showProblem(const QString& text) {
  message_->setStyleSheet(QStringLiteral("color: #b00020;"));
  message_->setText(text);
}

void ChordAliasPanel::showDuplicates() {
  QStringList repeated;
  for (const std::string& alias : manager_.duplicateAliases()) repeated << QString::fromStdString(alias);
  message_->setStyleSheet(QString());
  message_->setText(repeated.isEmpty() ? QString()
                                       : tr("Listed more than once (the later type wins): %1").arg(repeated.join(QLatin1Char(' '))));
}

bool ChordAliasPanel::refuseWhileBatchRuns() {
  // A running batch may be writing chords with these aliases on its own thread.
  if (!batchIsRunning()) return false;
  QApplication::beep();
  showProblem(tr("A batch is running: the aliases can be changed once it has ended."));
  return true;
}

bool ChordAliasPanel::importFrom(const QString& path) {
  if (refuseWhileBatchRuns()) return false;
  const sw::Error error = manager_.importDefinitions(path.toStdString());
  refresh();
  if (error) showProblem(tr("%1 could not be imported: %2").arg(path, QString::fromStdString(error.message)));
  return !error;
}

bool ChordAliasPanel::exportTo(const QString& path) {
  const sw::Error error = manager_.exportDefinitions(path.toStdString());
  if (error) showProblem(QString::fromStdString(error.message));
  return !error;
}

bool ChordAliasPanel::revert() {
  if (refuseWhileBatchRuns()) return false;
  const sw::Error error = manager_.revertToDefaults();
  refresh();
  if (error) showProblem(QString::fromStdString(error.message));
  return !error;
}

bool ChordAliasPanel::save() {
  const sw::Error error = manager_.windowWillClose();
  if (error) showProblem(QString::fromStdString(error.message));
  return !error;
}

void ChordAliasPanel::closeEvent(QCloseEvent* event) {
  if (!save()) QMessageBox::warning(this, tr("Chord Aliases"), message_->text());
  QWidget::closeEvent(event);
}

}  // namespace swapp
