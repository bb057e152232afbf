#include "browser/browser_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "adapters/engine_adapters.h"
#include "base/finder_info.h"
#include "base/four_char_code.h"
#include "base/log.h"
#include "base/settings_store.h"
#include "batch/batch_windows.h"
#include "browser/browser_filter_proxy.h"
#include "browser/browser_model.h"
#include "browser/info_panel.h"
#include "editor/editor_window.h"
#include "transport/transport_bar.h"

namespace swapp {

namespace {

// The order of rows in the outline: the rows of the chain from the top.
std::vector<int> rowPath(QModelIndex index) {
  std::vector<int> rows;
  for (; index.isValid(); index = index.parent()) rows.push_back(index.row());
  std::reverse(rows.begin(), rows.end());
  return rows;
}

QIcon standardIcon(QStyle::StandardPixmap pixmap) { return QApplication::style()->standardIcon(pixmap); }

QIcon toolbarIcon(const QString& identifier) {
  if (identifier == QLatin1String("browse")) return standardIcon(QStyle::SP_DialogOpenButton);
  if (identifier == QLatin1String("info")) return standardIcon(QStyle::SP_MessageBoxInformation);
  if (identifier == QLatin1String("edit")) return standardIcon(QStyle::SP_FileDialogDetailedView);
  if (identifier == QLatin1String("fix")) return standardIcon(QStyle::SP_DialogApplyButton);
  if (identifier == QLatin1String("convert")) return standardIcon(QStyle::SP_BrowserReload);
  if (identifier == QLatin1String("compand")) return standardIcon(QStyle::SP_ArrowDown);
  if (identifier == QLatin1String("showLog")) return standardIcon(QStyle::SP_FileDialogInfoView);
  if (identifier == QLatin1String("showPreferences")) return standardIcon(QStyle::SP_FileDialogListView);
  return standardIcon(QStyle::SP_FileDialogContentsView);
}

QStringList batchNames() {
  QStringList names;
  for (const BatchCommandEntry& entry : batchCommandEntries()) names << QString::fromStdString(entry.name);
  return names;
}

const char* kColumnsStateKey = "browserColumnsState";

}  // namespace

BrowserWindow::BrowserWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("browserWindow"));
  setWindowTitle(tr("Scorewell Browser"));
  model_ = new BrowserModel(this);
  proxy_ = new BrowserFilterProxy(this);
  proxy_->setSourceModel(model_);
  buildCentralWidget();
  buildActions();
  buildMenus();
  rebuildToolbar();

  watcher_ = new QFileSystemWatcher(this);
  changedTimer_ = new QTimer(this);
  changedTimer_->setSingleShot(true);
  changedTimer_->setInterval(300);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
    if (!changedPaths_.contains(path)) changedPaths_ << path;
    changedTimer_->start();
  });
  connect(changedTimer_, &QTimer::timeout, this, [this] {
    const QStringList paths = std::exchange(changedPaths_, {});
    for (const QString& path : paths) model_->refreshPath(path);
  });
  connect(model_, &BrowserModel::foldersChanged, this, &BrowserWindow::syncWatcher);
  connect(model_, &BrowserModel::informationArrived, this, &BrowserWindow::updateStatus);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &BrowserWindow::updateStatus);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &BrowserWindow::updateStatus);
  connect(model_, &BrowserModel::rootsChanged, this, [this] {
    updateStatus();
    expandSingleRoot();
  });
  connect(model_, &BrowserModel::informationArrived, this, [this] {
    // A file shown in the info panel before its record arrived.
    if (infoPanel_ && infoPanel_->isVisible() && !infoPanel_->textField(InfoPanel::kTitle)->isEnabled())
      for (const QModelIndex& index : model_->indexesOfPath(infoPanel_->path()))
        if (const sw::FileInformation* info = model_->information(index)) {
          infoPanel_->showFile(infoPanel_->path(), info);
          break;
        }
  });

  // The editor announces the files it saved.
  bridge_ = new NotificationBridge({"ModifiedFile"}, this);
  connect(bridge_, &NotificationBridge::notified, this,
          [this](const QString&, const QMap<QString, QString>& info) { fileChanged(info.value(QStringLiteral("object"))); });

  const std::string columns = sw::SettingsStore::shared().stringForKey(kColumnsStateKey);
  if (!columns.empty()) restoreColumnsState(QByteArray::fromBase64(QByteArray::fromStdString(columns)));
  resize(1100, 640);
  updateActions();
  updateStatus();
}

BrowserWindow::~BrowserWindow() {
  if (infoPanel_) infoPanel_->transport()->stop();
  // The children go after this part of the window: their last signals must not reach it.
  disconnect(view_->selectionModel(), nullptr, this, nullptr);
  disconnect(model_, nullptr, this, nullptr);
  disconnect(view_, nullptr, this, nullptr);
  disconnect(view_->header(), nullptr, this, nullptr);
}

void BrowserWindow::buildCentralWidget() {
  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 0);
  auto* filterRow = new QHBoxLayout;
  filterField_ = new QLineEdit;
  filterField_->setPlaceholderText(tr("Filter by name, title, author, karaoke type or defect"));
  filterField_->setClearButtonEnabled(true);
  defectsOnly_ = new QCheckBox(tr("Only files with defects"));
  filterRow->addWidget(filterField_, 1);
  filterRow->addWidget(defectsOnly_);
  layout->addLayout(filterRow);
  connect(filterField_, &QLineEdit::textChanged, proxy_, &BrowserFilterProxy::setFilterText);
  connect(defectsOnly_, &QCheckBox::toggled, proxy_, &BrowserFilterProxy::setShowsOnlyDefective);

  view_ = new QTreeView;
  view_->setModel(proxy_);
  view_->setUniformRowHeights(true);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setSortingEnabled(true);
  view_->sortByColumn(kNameColumn, Qt::AscendingOrder);
  view_->setAlternatingRowColors(true);
  view_->setAllColumnsShowFocus(true);
  view_->setExpandsOnDoubleClick(false);  // doubleClicked decides
  view_->setAcceptDrops(true);
  view_->setDragDropMode(QAbstractItemView::DropOnly);
  view_->setDropIndicatorShown(false);
  view_->setAutoExpandDelay(-1);  // folders do not open under a drag
  QHeaderView* header = view_->header();
  header->setSectionsMovable(true);
  header->setStretchLastSection(false);
  header->resizeSection(kNameColumn, 200);
  header->resizeSection(kTitleColumn, 150);
  header->resizeSection(kAuthorColumn, 120);
  header->resizeSection(kFileSizeColumn, 80);
  header->resizeSection(kBuggyColumn, 28);
  for (int column : {kFormatColumn, kTracksColumn, kTempoColumn, kHasChordsColumn}) header->resizeSection(column, 56);
  for (int column : {kDivisionColumn, kDurationColumn, kKarTypeColumn, kResetSysExColumn}) header->resizeSection(column, 66);
  for (int column = 0; column < kColumnCount; ++column)
    header->setSectionHidden(column, !BrowserModel::shownByDefault(column));
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header, &QHeaderView::customContextMenuRequested, this, &BrowserWindow::showColumnMenu);
  connect(view_, &QTreeView::doubleClicked, this, &BrowserWindow::doubleClicked);
  connect(view_, &QTreeView::collapsed, this,
          [this](const QModelIndex& index) { model_->collapse(proxy_->mapToSource(index)); });
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &BrowserWindow::updateActions);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
    QMenu menu;
    for (const char* command : {"showInfo", "edit", "doRevealInFinder", "doLaunch"}) menu.addAction(action(command));
    menu.addSeparator();
    for (const BatchCommandEntry& entry : batchCommandEntries())
      menu.addAction(action(CommandRules::batchMenuCommand(QString::fromStdString(entry.name))));
    updateActions();
    menu.exec(view_->viewport()->mapToGlobal(position));
  });
  layout->addWidget(view_, 1);
  setCentralWidget(central);
  statusLabel_ = new QLabel;
  statusBar()->addWidget(statusLabel_, 1);
}

QAction* BrowserWindow::addCommand(const QString& command, const QString& text, void (BrowserWindow::*slot)()) {
  auto* item = new QAction(text, this);
  item->setObjectName(command);
  if (slot) connect(item, &QAction::triggered, this, slot);
  actions_.insert(command, item);
  return item;
}

void BrowserWindow::buildActions() {
  addCommand(QStringLiteral("browse"), tr("Browse Files…"), &BrowserWindow::browse)->setShortcut(tr("Ctrl+B"));
  addCommand(QStringLiteral("browseFolder"), tr("Browse Folder…"), &BrowserWindow::browseFolder)
      ->setShortcut(tr("Ctrl+Shift+B"));
  addCommand(QStringLiteral("openDocument"), tr("Open in Editor…"), &BrowserWindow::openFiles)
      ->setShortcut(QKeySequence::Open);
  addCommand(QStringLiteral("showInfo"), tr("Info…"), &BrowserWindow::showInfo)->setShortcut(tr("Ctrl+I"));
  addCommand(QStringLiteral("edit"), tr("Edit"), &BrowserWindow::editSelection)->setShortcut(tr("Ctrl+E"));
  addCommand(QStringLiteral("doRevealInFinder"), tr("Reveal in File Manager"), &BrowserWindow::revealSelection)
      ->setShortcut(tr("Ctrl+R"));
  addCommand(QStringLiteral("doLaunch"), tr("Open with Default Application"), &BrowserWindow::launchSelection);
  addCommand(QStringLiteral("refresh"), tr("Refresh"), &BrowserWindow::refresh)->setShortcut(QKeySequence::Refresh);
  addCommand(QStringLiteral("customizeToolbar"), tr("Customize Toolbar…"), &BrowserWindow::customizeToolbar);
  addCommand(QStringLiteral("closeWindow"), tr("Close Window"))->setShortcut(QKeySequence::Close);
  connect(action(QStringLiteral("closeWindow")), &QAction::triggered, this, &QWidget::close);
  QAction* quit = addCommand(QStringLiteral("terminate"), tr("Quit"));
  quit->setShortcut(QKeySequence::Quit);
  quit->setMenuRole(QAction::QuitRole);
  connect(quit, &QAction::triggered, this, &BrowserWindow::quitRequested);
  QAction* focusFilter = addCommand(QStringLiteral("focusFilter"), tr("Filter"));
  focusFilter->setShortcut(QKeySequence::Find);
  connect(focusFilter, &QAction::triggered, this, [this] { filterField_->setFocus(Qt::ShortcutFocusReason); });
  QAction* defects = addCommand(QStringLiteral("showOnlyDefective"), tr("Only Files with Defects"));
  defects->setCheckable(true);
  connect(defects, &QAction::toggled, defectsOnly_, &QCheckBox::setChecked);
  connect(defectsOnly_, &QCheckBox::toggled, defects, &QAction::setChecked);

  for (const BatchCommandEntry& entry : batchCommandEntries()) {
    const std::string name = entry.name;
    QAction* item = addCommand(CommandRules::batchMenuCommand(QString::fromStdString(name)), entry.title);
    item->setToolTip(entry.toolTip);
    connect(item, &QAction::triggered, this, [this, name] {
      runBatchCommandSheet(this, name, selectedPaths(true), [this](const QString& path) { fileChanged(path); });
    });
  }

  connect(addCommand(QStringLiteral("showLog"), tr("Log")), &QAction::triggered, [] { showLogWindow(); });
  QAction* preferences = addCommand(QStringLiteral("showPreferences"), tr("Preferences…"));
  preferences->setMenuRole(QAction::PreferencesRole);
  preferences->setShortcut(QKeySequence::Preferences);
  connect(preferences, &QAction::triggered, this, [this] { showPreferences(this); });
  connect(addCommand(QStringLiteral("showXFChordPanel"), tr("Chord Aliases…")), &QAction::triggered, this,
          [this] { showChordAliasPanel(this); });
  connect(addCommand(QStringLiteral("doMIDISettings"), tr("MIDI Settings…")), &QAction::triggered, this, [this] {
    // The player stops while the output may change, and goes on afterwards.
    const bool playing = infoPanel_ && infoPanel_->transport()->isPlaying();
    if (playing) infoPanel_->transport()->stop();
    showMidiSettings(this);
    if (playing && infoPanel_) infoPanel_->transport()->play();
  });
  connect(addCommand(QStringLiteral("doMusicDeviceSetup"), tr("Synthesizer…")), &QAction::triggered, this,
          [this] { showSynthesizerEditor(this); });
  connect(addCommand(QStringLiteral("doResetMIDIDevice"), tr("Reset MIDI Device")), &QAction::triggered, [] {
    const sw::SettingsStore& store = sw::SettingsStore::shared();
    if (auto output = TransportBar::sharedOutput())
      output->resetDevice(store.boolForKey("GMReset"), store.boolForKey("GSReset"), store.boolForKey("XGReset"));
  });
  QAction* showWindow = addCommand(QStringLiteral("showWindow"), tr("Browser"));
  showWindow->setCheckable(true);
  connect(showWindow, &QAction::triggered, this, [this] {
    show();
    raise();
    activateWindow();
    sw::SettingsStore::shared().setBool("showBrowserWindow", true);
    updateActions();
  });
  QAction* about = addCommand(QStringLiteral("about"), tr("About Scorewell"));
  about->setMenuRole(QAction::AboutRole);
  connect(about, &QAction::triggered, this, [this] {
    QMessageBox::about(this, tr("About Scorewell"),
                       tr("<b>Scorewell</b> %1<p>A toolbox for Standard MIDI Files and MIDI karaoke files: a browser "
                          "with each file's information and defects, batch commands, an event editor and a player.")
                           .arg(QApplication::applicationVersion()));
  });
}

void BrowserWindow::buildMenus() {
  auto add = [this](QMenu* menu, std::initializer_list<const char*> commands) {
    for (const char* command : commands) {
      if (!*command)
        menu->addSeparator();
      else
        menu->addAction(action(QString::fromLatin1(command)));
    }
    connect(menu, &QMenu::aboutToShow, this, &BrowserWindow::updateActions);
  };
  add(menuBar()->addMenu(tr("&File")), {"browse", "browseFolder", "openDocument", "", "showInfo", "edit",
                                        "doRevealInFinder", "doLaunch", "", "refresh", "", "closeWindow", "terminate"});
  add(menuBar()->addMenu(tr("&Edit")), {"focusFilter", "", "showXFChordPanel", "", "showPreferences"});
  QMenu* view = menuBar()->addMenu(tr("&View"));
  columnsMenu_ = view->addMenu(tr("Columns"));
  connect(columnsMenu_, &QMenu::aboutToShow, this, [this] {
    columnsMenu_->clear();
    for (int column = 0; column < kColumnCount; ++column) {
      if (column == kNameColumn) continue;
      QAction* item = columnsMenu_->addAction(BrowserModel::columnTitle(column) == QLatin1String("!")
                                                  ? tr("Defects")
                                                  : BrowserModel::columnTitle(column));
      item->setCheckable(true);
      item->setChecked(!view_->header()->isSectionHidden(column));
      connect(item, &QAction::toggled, this, [this, column](bool shown) { view_->header()->setSectionHidden(column, !shown); });
    }
  });
  add(view, {"showOnlyDefective", "", "customizeToolbar"});
  QMenu* batch = menuBar()->addMenu(tr("&Batch"));
  for (const BatchCommandEntry& entry : batchCommandEntries())
    batch->addAction(action(CommandRules::batchMenuCommand(QString::fromStdString(entry.name))));
  if (batchCommandEntries().empty()) batch->addAction(tr("No batch commands"))->setEnabled(false);
  connect(batch, &QMenu::aboutToShow, this, &BrowserWindow::updateActions);
  add(menuBar()->addMenu(tr("&MIDI")), {"doMIDISettings", "doMusicDeviceSetup", "doResetMIDIDevice"});
  add(menuBar()->addMenu(tr("&Window")), {"showWindow", "showLog"});
  add(menuBar()->addMenu(tr("&Help")), {"about"});
}

void BrowserWindow::showColumnMenu(const QPoint& position) {
  columnsMenu_->popup(view_->header()->viewport()->mapToGlobal(position));
  emit columnsMenu_->aboutToShow();
}

QAction* BrowserWindow::action(const QString& command) const { return actions_.value(command); }
QAction* BrowserWindow::toolbarAction(const QString& identifier) const { return toolbarActions_.value(identifier); }

// ---- Toolbar

void BrowserWindow::rebuildToolbar() {
  if (!toolbar_) {
    toolbar_ = addToolBar(tr("Toolbar"));
    toolbar_->setObjectName(QString::fromLatin1(kToolbarKey));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setMovable(false);
    toolbar_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(toolbar_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
      QMenu menu;
      menu.addAction(action(QStringLiteral("customizeToolbar")));
      menu.exec(toolbar_->mapToGlobal(position));
    });
  }
  toolbar_->clear();
  qDeleteAll(toolbarActions_);
  toolbarActions_.clear();
  const QStringList names = batchNames();
  auto commandOf = [&](const QString& identifier) -> QString {
    if (identifier == QLatin1String("info")) return QStringLiteral("showInfo");
    if (identifier == QLatin1String("browse") || identifier == QLatin1String("edit") ||
        identifier == QLatin1String("showLog") || identifier == QLatin1String("showPreferences"))
      return identifier;
    for (const QString& name : names)
      if (CommandRules::batchToolbarIdentifier(name) == identifier) return CommandRules::batchMenuCommand(name);
    return {};
  };
  for (const QString& identifier : CommandRules::toolbarItems(sw::SettingsStore::shared(), names)) {
    if (identifier == QLatin1String(kSeparatorItem)) {
      toolbar_->addSeparator();
    } else if (identifier == QLatin1String(kSpaceItem) || identifier == QLatin1String(kFlexibleSpaceItem)) {
      auto* space = new QWidget;
      if (identifier == QLatin1String(kSpaceItem))
        space->setFixedWidth(16);
      else
        space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
      toolbar_->addWidget(space);
    } else if (QAction* command = action(commandOf(identifier))) {
      QString label = command->text();
      label.remove(QStringLiteral("…"));
      if (identifier == QLatin1String("browse")) label = tr("Browse");
      auto* item = new QAction(toolbarIcon(identifier), label, this);
      item->setObjectName(identifier);
      item->setToolTip(command->toolTip().isEmpty() ? label : command->toolTip());
      connect(item, &QAction::triggered, command, &QAction::trigger);
      toolbarActions_.insert(identifier, item);
      toolbar_->addAction(item);
    }
  }
  updateActions();
}

void BrowserWindow::customizeToolbar() {
  QDialog dialog(this);
  dialog.setWindowTitle(tr("Customize Toolbar"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(tr("Check the items to show; drag them to change their order.")));
  auto* list = new QListWidget;
  list->setDragDropMode(QAbstractItemView::InternalMove);
  const QStringList names = batchNames();
  auto titleOf = [this](const QString& identifier) {
    if (identifier == QLatin1String(kSeparatorItem)) return tr("— Separator —");
    if (identifier == QLatin1String(kSpaceItem)) return tr("Space");
    if (identifier == QLatin1String(kFlexibleSpaceItem)) return tr("Flexible Space");
    return identifier;
  };
  auto addItem = [&](const QString& identifier, bool checked) {
    auto* item = new QListWidgetItem(toolbarIcon(identifier), titleOf(identifier), list);
    item->setData(Qt::UserRole, identifier);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  };
  auto fill = [&](const QStringList& shown) {
    list->clear();
    for (const QString& identifier : shown) addItem(identifier, true);
    for (const QString& identifier : CommandRules::allowedToolbarItems(names))
      if (!shown.contains(identifier)) addItem(identifier, false);
  };
  fill(CommandRules::toolbarItems(sw::SettingsStore::shared(), names));
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults);
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, &dialog,
          [&] { fill(CommandRules::defaultToolbarItems(names)); });
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return;
  QStringList items;
  for (int row = 0; row < list->count(); ++row)
    if (list->item(row)->checkState() == Qt::Checked) items << list->item(row)->data(Qt::UserRole).toString();
  CommandRules::saveToolbarItems(sw::SettingsStore::shared(), items);
  rebuildToolbar();
}

// ---- Validation

CommandState BrowserWindow::commandState() const {
  CommandState state;
  state.browserIsKey = isActiveWindow();
  const QModelIndexList rows = selectedSourceRows();
  state.selectedItems = int(rows.size());
  state.selectedFiles = int(std::count_if(rows.begin(), rows.end(), [this](const QModelIndex& index) {
    return !model_->isDirectory(index);
  }));
  state.synthesizerPlays = sw::SettingsStore::shared().integerForKey("MIDIDevice") == 0;
  state.browserShown = sw::SettingsStore::shared().boolForKey("showBrowserWindow");
  return state;
}

void BrowserWindow::updateActions() {
  const CommandState state = commandState();
  for (auto it = actions_.begin(); it != actions_.end(); ++it)
    it.value()->setEnabled(CommandRules::menuCommandEnabled(it.key(), state));
  for (auto it = toolbarActions_.begin(); it != toolbarActions_.end(); ++it)
    it.value()->setEnabled(CommandRules::toolbarItemEnabled(it.key(), state));
  if (QAction* shown = action(QStringLiteral("showWindow"))) shown->setChecked(state.browserShown);
}

void BrowserWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange) updateActions();
}

void BrowserWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  emit visibilityChanged(true);
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
  // Closing the window hides it; the next start does without it.
  sw::SettingsStore::shared().setBool("showBrowserWindow", false);
  if (infoPanel_) infoPanel_->discardAndClose();
  event->accept();
  updateActions();
  emit visibilityChanged(false);
}

// ---- Selection

QModelIndexList BrowserWindow::selectedSourceRows() const {
  QModelIndexList rows = view_->selectionModel()->selectedRows(0);
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return rowPath(a) < rowPath(b); });
  QModelIndexList source;
  for (const QModelIndex& index : rows) source << proxy_->mapToSource(index);
  return source;
}

QStringList BrowserWindow::selectedPaths(bool removingChildren) const {
  return model_->selectedPaths(selectedSourceRows(), removingChildren);
}

QStringList BrowserWindow::selectedFilePaths() const {
  QStringList paths;
  for (const QModelIndex& index : selectedSourceRows())
    if (!model_->isDirectory(index)) paths << model_->path(index);
  return paths;
}

bool BrowserWindow::selectPath(const QString& pathOrName) {
  QModelIndex found;
  const QModelIndexList byPath = model_->indexesOfPath(QDir::cleanPath(QFileInfo(pathOrName).absoluteFilePath()));
  if (!byPath.isEmpty()) found = byPath.first();
  if (!found.isValid()) {
    const QModelIndexList byName =
        model_->match(model_->index(0, 0), Qt::DisplayRole, pathOrName, 1, Qt::MatchExactly | Qt::MatchRecursive);
    if (!byName.isEmpty()) found = byName.first();
  }
  const QModelIndex shown = proxy_->mapFromSource(found);
  if (!shown.isValid()) return false;
  view_->expand(shown.parent());
  view_->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(shown);
  return true;
}

// ---- Roots

bool BrowserWindow::chooseRoots(const QStringList& paths, bool quiet) {
  QStringList refused;
  const QStringList roots = BrowserModel::rootCandidates(paths, &refused);
  if (paths.size() == 1 && !refused.isEmpty() && !quiet) {
    // Not a nested event loop: the start and a screenshot run go on underneath.
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Scorewell"), tr("“%1” cannot be browsed.").arg(paths.first()),
                                QMessageBox::Ok, this);
    box->setInformativeText(refused.first());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  } else {
    for (const QString& line : refused) sw::logMessage(line.toStdString());
  }
  if (roots.isEmpty()) return false;
  model_->setRoots(roots);
  return true;
}

void BrowserWindow::expandSingleRoot() {
  if (model_->rowCount() != 1 || !model_->isDirectory(model_->index(0, 0))) return;
  const QModelIndex root = proxy_->mapFromSource(model_->index(0, 0));
  proxy_->fetchMore(root);  // listed now, not at the view's next layout
  view_->expand(root);
}

void BrowserWindow::browse() {
  show();
  const QStringList paths = QFileDialog::getOpenFileNames(
      this, tr("Browse"), QString(), tr("MIDI files (*.mid *.midi *.kar *.smf *.MID *.KAR);;All files (*)"));
  if (!paths.isEmpty()) chooseRoots(paths);
}

void BrowserWindow::browseFolder() {
  show();
  const QString folder = QFileDialog::getExistingDirectory(this, tr("Browse Folder"));
  if (!folder.isEmpty()) chooseRoots({folder});
}

void BrowserWindow::openFiles() {
  const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Open"), QString(),
                                                          tr("MIDI files (*.mid *.midi *.kar *.smf);;All files (*)"));
  for (const QString& path : paths)
    if (EditorWindow* window = EditorWindow::openFile(path, this)) window->show();
}

// ---- Commands

void BrowserWindow::doubleClicked(const QModelIndex& proxyIndex) {
  if (!proxyIndex.isValid()) return;
  const QModelIndex index = proxy_->mapToSource(proxyIndex);
  if (model_->isDirectory(index)) {
    view_->setExpanded(proxyIndex.siblingAtColumn(0), !view_->isExpanded(proxyIndex.siblingAtColumn(0)));
    return;
  }
  if (QApplication::keyboardModifiers() & Qt::AltModifier)
    launchSelection();
  else
    editSelection();
}

void BrowserWindow::editSelection() {
  for (const QString& path : selectedFilePaths()) {
    const QFileInfo file(path);
    if (!file.exists()) {
      QMessageBox::warning(this, tr("Scorewell"), tr("“%1” could not be opened.").arg(path),
                           QMessageBox::Ok);
      continue;
    }
    const QString suffix = file.suffix().toLower();
    sw::FinderInfo codes = sw::FinderInfo::read(path.toStdString());
    if (codes.type != sw::fourCC("Midi") && suffix != QLatin1String("mid") && suffix != QLatin1String("kar")) {
      codes.type = sw::fourCC("Midi");
      codes.write(path.toStdString());  // failures are of no consequence here
    }
    if (EditorWindow* window = EditorWindow::openFile(path, this)) {
      window->show();
      window->raise();
    }
  }
}

void BrowserWindow::revealSelection() {
  const QStringList paths = selectedPaths();
  if (paths.isEmpty()) return;
  // The desktop's file manager shows the items selected when it offers that; else their folders.
  QStringList uris;
  for (const QString& path : paths) uris << QUrl::fromLocalFile(path).toString();
  const QString dbusSend = QStandardPaths::findExecutable(QStringLiteral("dbus-send"));
  if (!dbusSend.isEmpty() && qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") &&
      QProcess::startDetached(dbusSend, {QStringLiteral("--session"), QStringLiteral("--type=method_call"),
                                         QStringLiteral("--dest=org.freedesktop.FileManager1"),
                                         QStringLiteral("/org/freedesktop/FileManager1"),
                                         QStringLiteral("org.freedesktop.FileManager1.ShowItems"),
                                         QStringLiteral("array:string:") + uris.join(QLatin1Char(',')),
                                         QStringLiteral("string:")}))
    return;
  QStringList folders;
  for (const QString& path : paths)
    if (const QString folder = QFileInfo(path).absolutePath(); !folders.contains(folder)) folders << folder;
  for (const QString& folder : folders) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void BrowserWindow::launchSelection() {
  for (const QString& path : selectedFilePaths()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void BrowserWindow::refresh() { model_->refreshAll(); }

void BrowserWindow::fileChanged(const QString& path) {
  if (path.isEmpty()) return;
  if (!model_->indexesOfPath(QDir::cleanPath(path)).isEmpty())
    model_->refreshPath(path);
  else
    model_->refreshPath(QFileInfo(path).absolutePath());  // a new file beside listed ones
}

// ---- Info panel

InfoPanel* BrowserWindow::infoPanel() {
  if (!infoPanel_) {
    infoPanel_ = new InfoPanel(this);
    connect(infoPanel_, &InfoPanel::stepRequested, this, &BrowserWindow::stepInfo);
    connect(infoPanel_, &InfoPanel::fileWritten, this, &BrowserWindow::fileChanged);
  }
  return infoPanel_;
}

void BrowserWindow::showInfo() {
  const QStringList files = selectedFilePaths();
  if (files.isEmpty()) return;
  const QModelIndex current = proxy_->mapToSource(view_->currentIndex());
  const QString path = current.isValid() && !model_->isDirectory(current) ? model_->path(current) : files.first();
  const QModelIndexList rows = model_->indexesOfPath(path);
  InfoPanel* panel = infoPanel();
  panel->showFile(path, rows.isEmpty() ? nullptr : model_->information(rows.first()));
  panel->open();
}

void BrowserWindow::stepInfo(int direction) {
  QModelIndex index = view_->currentIndex().siblingAtColumn(0);
  // The next or previous file row, as shown.
  do {
    index = direction > 0 ? view_->indexBelow(index) : view_->indexAbove(index);
  } while (index.isValid() && proxy_->data(index, BrowserModel::kDirectoryRole).toBool());
  if (!index.isValid()) return;  // no file further: the panel stays
  view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(index);
  const QModelIndex source = proxy_->mapToSource(index);
  infoPanel()->showFile(model_->path(source), model_->information(source));
}

// ---- Status and watching

void BrowserWindow::updateStatus() {
  const int pending = model_->pendingCount();
  const int files = model_->listedFileCount();
  QString text = files == 1 ? tr("1 file listed") : tr("%1 files listed").arg(files);
  if (pending > 0) text += tr(" · %1 being read").arg(pending);
  statusLabel_->setText(text);
}

void BrowserWindow::syncWatcher() {
  const QStringList folders = model_->loadedFolders();
  const QStringList watched = watcher_->directories();
  QStringList gone, added;
  for (const QString& folder : watched)
    if (!folders.contains(folder)) gone << folder;
  for (const QString& folder : folders)
    if (!watched.contains(folder)) added << folder;
  if (!gone.isEmpty()) watcher_->removePaths(gone);
  if (!added.isEmpty()) watcher_->addPaths(added);
  // The roots' own folders report files that vanish or appear among the roots.
}

QByteArray BrowserWindow::columnsState() const { return view_->header()->saveState(); }

void BrowserWindow::restoreColumnsState(const QByteArray& state) {
  if (!state.isEmpty()) view_->header()->restoreState(state);
}

}  // namespace swapp
