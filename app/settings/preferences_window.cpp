#include "settings/preferences_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/settings_store.h"
#include "batch/settings_form.h"
#include "library/factory_defaults.h"
#include "settings/settings_file_watcher.h"
#include "text/encoding_manager.h"
#include "text/string_encoding.h"

namespace swapp {

namespace {

struct Switch {
  const char* key;
  const char* title;
};
constexpr Switch kSwitches[] = {
    {"warnBeforeDestructiveProcessing", "Warn before a command rewrites files"},
    {"showBrowserWindow", "Show the browser window at start"},
    {"saveSelection", "Reopen the last files and folders at start"},
    {"openPanelOnStartup", "Ask for files to open at start"},
    {"tryToDetectTextEncoding", "Guess the text encoding of the files opened"},
    {"allSoundsOffOnStop", "All sounds off when playback stops"},
};

QString describe(const sw::SettingValue& value) {
  switch (value.type()) {
    case sw::SettingValue::Type::Bool: return value.boolValue() ? QStringLiteral("YES") : QStringLiteral("NO");
    case sw::SettingValue::Type::Array: return QObject::tr("(%1 items)").arg(value.arrayValue().size());
    case sw::SettingValue::Type::Dictionary: return QObject::tr("(%1 entries)").arg(value.dictionaryValue().size());
    default: return QString::fromStdString(value.stringValue());
  }
}

}  // namespace

PreferencesWindow::PreferencesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("preferences"));
  setWindowTitle(tr("Preferences"));
  sw::SettingsStore& store = sw::SettingsStore::shared();
  form_ = new SettingsForm(store, this);
  auto* layout = new QVBoxLayout(this);
  auto* tabs = new QTabWidget(this);
  layout->addWidget(tabs);

  auto* general = new QWidget(tabs);
  auto* generalLayout = new QFormLayout(general);
  for (const Switch& entry : kSwitches) {
    auto* box = new QCheckBox(tr(entry.title), general);
    box->setObjectName(QString::fromLatin1(entry.key));
    generalLayout->addRow(box);
    form_->bind(entry.key, box);
  }
  encoding_ = new QComboBox(general);
  encoding_->setObjectName(QStringLiteral("EncodingManagerDefaultEncodingKey"));
  generalLayout->addRow(tr("Text encoding of files that do not tell:"), encoding_);
  auto* where = new QLabel(tr("Kept in %1, with the command line's settings.").arg(QString::fromStdString(store.path())),
                           general);
  where->setWordWrap(true);
  where->setTextInteractionFlags(Qt::TextSelectableByMouse);
  generalLayout->addRow(where);
  tabs->addTab(general, tr("General"));

  auto* all = new QWidget(tabs);
  auto* allLayout = new QVBoxLayout(all);
  table_ = new QTableWidget(all);
  table_->setColumnCount(3);
  table_->setHorizontalHeaderLabels({tr("Key"), tr("Value"), tr("Used by")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  allLayout->addWidget(table_);
  auto* reset = new QPushButton(tr("Back to the Factory Value"), all);
  allLayout->addWidget(reset, 0, Qt::AlignRight);
  tabs->addTab(all, tr("All Settings"));
  connect(reset, &QPushButton::clicked, this, [this] { resetRow(table_->currentRow()); });

  reload();
  // The switches apply at once.
  connect(form_, &SettingsForm::edited, this, [this] {
    form_->commit();
    fillTable();
  });
  connect(encoding_, &QComboBox::activated, this, [this] {
    sw::EncodingManager::sharedInstance().setDefaultEncoding(sw::StringEncoding(encoding_->currentData().toLongLong()));
    fillTable();
  });
  connect(&SettingsFileWatcher::shared(), &SettingsFileWatcher::reloaded, this, &PreferencesWindow::reload);
  resize(560, 420);
}

void PreferencesWindow::reload() {
  form_->load();
  fillEncodings();
  fillTable();
}

void PreferencesWindow::fillEncodings() {
  sw::EncodingManager& manager = sw::EncodingManager::sharedInstance();
  const sw::StringEncoding current = manager.storedDefaultEncoding();
  encoding_->clear();
  for (sw::StringEncoding encoding : manager.enabledEncodings())
    encoding_->addItem(QString::fromStdString(sw::nameOfEncoding(encoding)), qlonglong(encoding));
  const int index = encoding_->findData(qlonglong(current));
  encoding_->setCurrentIndex(std::max(0, index));
}

void PreferencesWindow::fillTable() {
  const sw::SettingsStore& store = sw::SettingsStore::shared();
  const auto keys = sw::knownSettingKeys();
  const int current = table_->currentRow();
  table_->setRowCount(int(keys.size()));
  int row = 0;
  for (const sw::SettingKey& entry : keys) {
    const std::optional<sw::SettingValue> value = store.objectForKey(entry.key);
    QString shown = value ? describe(*value) : tr("(not set)");
    if (!store.hasUserValue(entry.key) && value) shown += tr("  (factory)");
    const QString cells[3] = {QString::fromUtf8(entry.key.data(), int(entry.key.size())), shown,
                              QString::fromUtf8(entry.usedBy.data(), int(entry.usedBy.size()))};
    for (int column = 0; column < 3; ++column) {
      QTableWidgetItem* item = table_->item(row, column);
      if (!item) table_->setItem(row, column, item = new QTableWidgetItem);
      item->setText(cells[column]);
    }
    ++row;
  }
  table_->resizeColumnsToContents();
  if (current >= 0) table_->selectRow(current);
}

void PreferencesWindow::resetRow(int row) {
  const auto keys = sw::knownSettingKeys();
  if (row < 0 || size_t(row) >= keys.size()) return;
  sw::SettingsStore& store = sw::SettingsStore::shared();
  if (store.hasUserValue(keys[size_t(row)].key)) {
    store.removeObjectForKey(keys[size_t(row)].key);
    sw::settingDidChange(store, keys[size_t(row)].key);
  }
  reload();
}

}  // namespace swapp
