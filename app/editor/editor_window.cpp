#include "editor/editor_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeySequence>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include "adapters/engine_adapters.h"
#include "batch/batch_windows.h"
#include "base/log.h"
#include "base/settings_store.h"
#include "dialogs/edit_dialogs.h"
#include "editing/f_midi_event_pointer.h"
#include "editor/cell_delegate.h"
#include "editor/encoding_combo_box.h"
#include "editor/lyrics_tab.h"
#include "editor/event_table_model.h"
#include "editor/filters_bar.h"
#include "playback/fluidsynth/music_device.h"
#include "smf/flattened_event_list.h"
#include "transport/karaoke_view.h"
#include "transport/transport_bar.h"

namespace swapp {

namespace {

constexpr const char* kRecentKey = "recentDocuments";
constexpr int kMaxRecent = 10;

QString statusLine(const sw::Error& error) {
  return QObject::tr("%1\nStatus: %2").arg(QString::fromStdString(error.message)).arg(error.status);
}

}  // namespace

// ---------------------------------------------------------------- application-wide

sw::Pasteboard& EditorWindow::pasteboard() {
  static ClipboardPasteboard clipboard;
  return clipboard;
}

QStringList EditorWindow::recentFiles() {
  QStringList files;
  for (const sw::SettingValue& value : sw::SettingsStore::shared().arrayForKey(kRecentKey))
    if (value.isString()) files << QString::fromStdString(value.stringValue());
  return files;
}

namespace {
std::function<void()>& browserOpener() {
  static std::function<void()> opener;
  return opener;
}
}  // namespace

void EditorWindow::setBrowserOpener(std::function<void()> opener) { browserOpener() = std::move(opener); }

void EditorWindow::noteRecentFile(const QString& path) {
  QStringList files = recentFiles();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kMaxRecent) files.removeLast();
  sw::SettingValue::Array array;
  for (const QString& file : files) array.push_back(file.toStdString());
  sw::SettingsStore::shared().setObject(kRecentKey, std::move(array));
}

QMessageBox* EditorWindow::openFailureAlert(const QString& path, const sw::Error& error, QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Warning, tr("Scorewell"),
                              tr("The file “%1” could not be opened.").arg(QFileInfo(path).fileName()),
                              QMessageBox::Ok, parent);
  box->setInformativeText(tr("%1\n%2").arg(path, statusLine(error)));
  return box;
}

EditorWindow* EditorWindow::openFile(const QString& path, QWidget* dialogParent) {
  auto document = std::make_unique<EditorDocument>(pasteboard());
  if (sw::Error error = document->open(path.toStdString())) {
    std::unique_ptr<QMessageBox> box(openFailureAlert(path, error, dialogParent));
    box->exec();
    return nullptr;
  }
  noteRecentFile(path);
  auto* window = new EditorWindow(std::move(document));
  window->setAttribute(Qt::WA_DeleteOnClose);
  return window;
}

// ---------------------------------------------------------------- building

EditorWindow::EditorWindow(std::unique_ptr<EditorDocument> document)
    : document_(document ? std::move(document) : std::make_unique<EditorDocument>(pasteboard())) {
  filters_.loadPresets(sw::SettingsStore::shared());
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  filtersBar_ = new FiltersBar(filters_, central);
  filtersBar_->setTrackNamesProvider([this] { return document_->list().numberedTrackNames(); });
  connect(filtersBar_, &FiltersBar::filtersChanged, this, &EditorWindow::applyFilters);
  connect(filtersBar_, &FiltersBar::removeEmptyTracksRequested, this, &EditorWindow::removeEmptyTracks);
  layout->addWidget(filtersBar_);
  buildTable();
  layout->addWidget(table_);
  buildTabs(central);
  countLabel_ = new QLabel(this);
  statusBar()->addPermanentWidget(countLabel_);
  buildMenus();

  document_->setChangeHandler([this] {
    // Deferred: the change may come from inside a cell commit of this very table.
    QMetaObject::invokeMethod(this, &EditorWindow::documentChanged, Qt::QueuedConnection);
  });
  resize(1000, 640);
  if (const auto& frame = document_->savedFrame()) setGeometry(frame->x, frame->y, frame->width, frame->height);
  if (const auto& columns = document_->savedColumns()) setColumnsState(*columns);
  applyFilters();
  textsChanged();
  updateTitle();
}

EditorWindow::~EditorWindow() {
  // The document's handler points at this window, and the table and model at the document:
  // both go before the document does. The player plays the document's list: it stops first.
  delete transport_;
  transport_ = nullptr;
  document_->setChangeHandler({});
  delete table_;
  delete model_;
}

void EditorWindow::buildTabs(QWidget* events) {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tabs_ = new QTabWidget(central);
  tabs_->setDocumentMode(true);
  tabs_->addTab(events, tr("Events"));
  lyricsTab_ = new LyricsTab(*document_, tabs_);
  tabs_->addTab(lyricsTab_, tr("Lyrics"));
  karaokeView_ = new KaraokeView(tabs_);
  tabs_->addTab(karaokeView_, tr("Karaoke"));
  // The pop-up with its label, at the right of the tabs.
  auto* encodingCorner = new QWidget(tabs_);
  auto* cornerLayout = new QHBoxLayout(encodingCorner);
  cornerLayout->setContentsMargins(0, 0, 0, 0);
  auto* encodingLabel = new QLabel(tr("Encoding:"), encodingCorner);
  encodingPopUp_ = new EncodingComboBox(encodingCorner);
  encodingLabel->setBuddy(encodingPopUp_);
  cornerLayout->addWidget(encodingLabel);
  cornerLayout->addWidget(encodingPopUp_);
  tabs_->setCornerWidget(encodingCorner, Qt::TopRightCorner);
  layout->addWidget(tabs_, 1);
  transport_ = new TransportBar(central);
  layout->addWidget(transport_);
  setCentralWidget(central);

  connect(tabs_, &QTabWidget::currentChanged, this, [this] {
    loadShownTab();
    if (printAction_) printAction_->setEnabled(tabs_->currentWidget() == lyricsTab_);
  });
  connect(encodingPopUp_, &EncodingComboBox::encodingChosen, this,
          [this](sw::StringEncoding encoding) { document_->setEncoding(encoding); });
  connect(encodingPopUp_, &EncodingComboBox::convertToUTF8Requested, this, &EditorWindow::convertToUTF8);
  connect(transport_, &TransportBar::positionChanged, this,
          [this] { karaokeView_->setTicks(transport_->controller().midiPlayer().ticks()); });
  playedList_ = &document_->list();
  transport_->setSequence(std::shared_ptr<sw::MidiSequence>(&document_->list(), [](sw::MidiSequence*) {}));
}

void EditorWindow::textsChanged() {
  // The transport plays the document's list; a revert replaces it.
  if (playedList_ != &document_->list()) {
    playedList_ = &document_->list();
    transport_->setSequence(std::shared_ptr<sw::MidiSequence>(&document_->list(), [](sw::MidiSequence*) {}));
  }
  shownEncoding_ = document_->encoding();
  encodingPopUp_->setEncoding(shownEncoding_);
  // The lyrics are read again when their tab is shown: an edit of a large file in the event
  // table does not pay for them.
  lyricsStale_ = karaokeStale_ = true;
  loadShownTab();
}

void EditorWindow::loadShownTab() {
  if (lyricsStale_ && tabs_->currentWidget() == lyricsTab_) {
    lyricsStale_ = false;
    lyricsTab_->loadLyrics();
  }
  if (karaokeStale_ && tabs_->currentWidget() == karaokeView_) {
    karaokeStale_ = false;
    karaokeView_->setSequence(document_->list(), shownEncoding_);
    karaokeView_->setTicks(transport_->controller().midiPlayer().ticks());
  }
}

void EditorWindow::convertToUTF8() {
  if (sw::Error error = document_->convertToUTF8()) {
    QMessageBox box(QMessageBox::Warning, tr("Scorewell"), tr(EditorDocument::kConvertFailed), QMessageBox::Ok, this);
    box.setInformativeText(tr(EditorDocument::kConvertFailedSuggestion));
    box.exec();
    encodingPopUp_->setEncoding(document_->encoding());
  }
}

void EditorWindow::printLyrics() {
  if (tabs_->currentWidget() != lyricsTab_) return;
  lyricsTab_->loadLyrics();
  lyricsTab_->printWithDialog();
}

void EditorWindow::togglePlay() {
  std::optional<uint32_t> from;
  const sw::IndexSet& rows = document_->operations().selection();
  sw::FEventList& list = document_->list();
  if (!transport_->isPlaying() && !rows.empty() && *rows.begin() < list.filteredCount())
    from = list.eventAtIndex(list.wholeIndexAtIndex(*rows.begin()))->ticks();
  transport_->togglePlay(from);
}

void EditorWindow::previewSelectedEvent() {
  const sw::IndexSet& rows = document_->operations().selection();
  sw::FEventList& list = document_->list();
  if (rows.empty() || *rows.begin() >= list.filteredCount()) return;
  const sw::MidiEvent* event = list.eventAtIndex(list.wholeIndexAtIndex(*rows.begin()));
  const uint8_t status = event->status();
  if (status < 0x80 || status >= 0xD0) return;  // note-off to program change only
  const std::vector<uint8_t> bytes(event->data(), event->data() + event->length());
  std::shared_ptr<sw::MIDIFilter> output = TransportBar::sharedOutput();
  sw::MusicDevice* device = output->musicDevice();
  if (device) device->startAUGraph();
  if (!transport_->isPlaying()) {
    std::lock_guard guard(list.lock());
    transport_->controller().midiPlayer().chaseEventsBeforeTicks(event->ticks());
  }
  output->sendBytes(bytes.data(), int32_t(bytes.size()));
  if ((status & 0xF0) == 0x90 && bytes.size() >= 3 && bytes[2] > 0) {
    const std::vector<uint8_t> off{uint8_t(0x80 | (status & 0x0F)), bytes[1], event->offVelocity()};
    QTimer::singleShot(100, [output, off] { output->sendBytes(off.data(), int32_t(off.size())); });
  }
  if (device && sw::MidiPlayerController::playingCount() == 0) device->stopAUGraph(sw::MidiPlayerController::kSynthesizerIdleStop);
}

void EditorWindow::buildTable() {
  table_ = new QTableView(this);
  model_ = new EventTableModel(*document_, this);
  table_->setModel(model_);
  table_->setItemDelegate(new CellDelegate(table_));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::SelectedClicked);
  table_->setAlternatingRowColors(true);
  table_->setWordWrap(false);
  table_->setShowGrid(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionsMovable(true);
  header->setStretchLastSection(true);
  header->setHighlightSections(false);
  const auto& columns = EventTableModel::columns();
  for (size_t c = 0; c < columns.size(); ++c) {
    header->resizeSection(int(c), columns[c].width);
    header->setSectionHidden(int(c), columns[c].hiddenByDefault);
  }
  // The header's context menu switches columns on and off.
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](const QPoint& at) {
    QMenu menu;
    const auto& columns = EventTableModel::columns();
    for (size_t c = 0; c < columns.size(); ++c) {
      QAction* action = menu.addAction(tr(columns[c].title));
      action->setCheckable(true);
      action->setChecked(!header->isSectionHidden(int(c)));
      // The measure column always stays.
      action->setEnabled(columns[c].key != sw::FieldKey::Measure);
      connect(action, &QAction::toggled, header, [header, c](bool shown) { header->setSectionHidden(int(c), !shown); });
    }
    menu.exec(header->mapToGlobal(at));
  });
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &EditorWindow::selectionFromView);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    // A reset model gets a new selection model state: keep listening.
    updateActions();
  });
  connect(model_, &EventTableModel::validationFailed, this, &EditorWindow::showValidationMessage);
  model_->setProgressHandler([this](int done, int total) { return reportProgress(done, total); });
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void EditorWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(tr("&New"), QKeySequence::New, [] {
    auto* window = new EditorWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
  });
  file->addAction(tr("&Open…"), QKeySequence::Open, this, &EditorWindow::openDialog);
  recentMenu_ = file->addMenu(tr("Open &Recent"));
  connect(recentMenu_, &QMenu::aboutToShow, this, [this] {
    recentMenu_->clear();
    const QStringList files = recentFiles();
    for (const QString& path : files) {
      recentMenu_->addAction(QFileInfo(path).fileName(), this, [path] {
        if (EditorWindow* window = openFile(path)) window->show();
      })->setToolTip(path);
    }
    if (files.isEmpty()) recentMenu_->addAction(tr("No Recent Files"))->setEnabled(false);
    recentMenu_->addSeparator();
    recentMenu_->addAction(tr("Clear Menu"), [] { sw::SettingsStore::shared().removeObjectForKey(kRecentKey); });
  });
  file->addSeparator();
  file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
  saveAction_ = file->addAction(tr("&Save"), QKeySequence::Save, this, [this] { saveDocument(); });
  file->addAction(tr("Save &As…"), QKeySequence::SaveAs, this, [this] { saveDocumentAs(DocumentType::MidiFile); });
  file->addAction(tr("Save &Lyrics As Text…"), this, [this] { saveDocumentAs(DocumentType::TextFile); });
  revertAction_ = file->addAction(tr("Re&vert to Saved"), this, &EditorWindow::revert);
  file->addSeparator();
  printAction_ = file->addAction(tr("&Print Lyrics…"), QKeySequence::Print, this, &EditorWindow::printLyrics);
  printAction_->setEnabled(tabs_->currentWidget() == lyricsTab_);
  file->addSeparator();
  file->addAction(tr("&Quit"), QKeySequence::Quit, qApp, &QApplication::closeAllWindows);

  editMenu_ = menuBar()->addMenu(tr("&Edit"));
  undoAction_ = editMenu_->addAction(tr("&Undo"), QKeySequence::Undo, this, [this] {
    if (document_->undoManager().canUndo()) document_->undoManager().undo();
  });
  redoAction_ = editMenu_->addAction(tr("&Redo"), QKeySequence::Redo, this, [this] {
    if (document_->undoManager().canRedo()) document_->undoManager().redo();
  });
  editMenu_->addSeparator();
  cutAction_ = editMenu_->addAction(tr("Cu&t"), QKeySequence::Cut, this, [this] { document_->operations().cut(); });
  copyAction_ = editMenu_->addAction(tr("&Copy"), QKeySequence::Copy, this, [this] {
    document_->operations().copy();
    updateActions();
  });
  pasteAction_ = editMenu_->addAction(tr("&Paste"), QKeySequence::Paste, this, [this] { document_->operations().paste(); });
  pasteOptionsAction_ = editMenu_->addAction(tr("Paste With &Options…"), QKeySequence(tr("Ctrl+Shift+V")), this,
                                             &EditorWindow::pasteWithOptions);
  deleteAction_ = editMenu_->addAction(tr("&Delete"), QKeySequence::Delete, this, [this] { document_->operations().clear(); });
  editMenu_->addSeparator();
  duplicateAction_ = editMenu_->addAction(tr("D&uplicate"), QKeySequence(tr("Ctrl+D")), this,
                                          [this] { document_->operations().duplicate(); });
  editMenu_->addAction(tr("&Insert Note"), QKeySequence(tr("Ctrl+I")), this, &EditorWindow::insertNote);
  shiftAction_ = editMenu_->addAction(tr("S&hift…"), QKeySequence(tr("Ctrl+T")), this, &EditorWindow::shift);
  editAction_ = editMenu_->addAction(tr("Change &Selected Events…"), QKeySequence(tr("Ctrl+E")), this,
                                     &EditorWindow::editSelection);
  editMenu_->addSeparator();
  editMenu_->addAction(tr("Select &All"), QKeySequence::SelectAll, table_, &QTableView::selectAll);
  editMenu_->addAction(tr("&Find"), QKeySequence::Find, this, [this] { filtersBar_->searchField()->setFocus(); });
  connect(editMenu_, &QMenu::aboutToShow, this, &EditorWindow::updateActions);
  for (QAction* action : {cutAction_, copyAction_, pasteAction_, pasteOptionsAction_, deleteAction_, duplicateAction_,
                          shiftAction_, editAction_})
    table_->addAction(action);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  QAction* notesOff = view->addAction(tr("Show Note-Off Events"));
  notesOff->setCheckable(true);
  notesOff->setChecked(showNotesOff());
  connect(notesOff, &QAction::toggled, this, [this](bool on) {
    sw::SettingsStore::shared().setBool("showNotesOff", on);
    applyFilters();
  });
  view->addSeparator();
  view->addAction(tr("&Events"), QKeySequence(tr("Ctrl+1")), this, [this] { tabs_->setCurrentIndex(0); });
  view->addAction(tr("&Lyrics"), QKeySequence(tr("Ctrl+2")), this, [this] { tabs_->setCurrentWidget(lyricsTab_); });
  view->addAction(tr("&Karaoke"), QKeySequence(tr("Ctrl+3")), this, [this] { tabs_->setCurrentWidget(karaokeView_); });
  view->addSeparator();
  view->addAction(tr("Load Filter Presets"), this, [this] {
    filters_.loadPresets(sw::SettingsStore::shared());
    filtersBar_->syncFromState();
    applyFilters();
  });
  view->addAction(tr("Save Filter Presets"), this, [this] { filters_.savePresets(sw::SettingsStore::shared()); });

  QMenu* play = menuBar()->addMenu(tr("&Play"));
  play->addAction(tr("Play / Stop"), QKeySequence(Qt::Key_Space), this, &EditorWindow::togglePlay);
  play->addAction(tr("Play Selected Event"), QKeySequence(tr("Ctrl+Return")), this, &EditorWindow::previewSelectedEvent);
  previewOnSelectAction_ = play->addAction(tr("Play Events When Selected"));
  previewOnSelectAction_->setCheckable(true);
  previewOnSelectAction_->setChecked(sw::SettingsStore::shared().boolForKey("previewSelectedEvent"));
  connect(previewOnSelectAction_, &QAction::toggled, this,
          [](bool on) { sw::SettingsStore::shared().setBool("previewSelectedEvent", on); });

  QMenu* window = menuBar()->addMenu(tr("&Window"));
  QAction* browser = window->addAction(tr("&Browser"), QKeySequence(tr("Ctrl+0")), this, [] {
    if (browserOpener()) browserOpener()();
  });
  connect(window, &QMenu::aboutToShow, this, [browser] { browser->setVisible(bool(browserOpener())); });
  window->addAction(tr("&Log"), this, [] { showLogWindow(); });
}

// ---------------------------------------------------------------- state

bool EditorWindow::showNotesOff() const { return sw::SettingsStore::shared().boolForKey("showNotesOff"); }

void EditorWindow::applyFilters() {
  if (QWidget* editor = table_->indexWidget(table_->currentIndex())) editor->clearFocus();
  table_->setFocus();
  filters_.applyTo(document_->list(), showNotesOff());
  // Solo: the player mutes the channels filtered out.
  transport_->controller().setFilterChannelMask(filters_.mutedChannels());
  filtersBar_->setNotesOffAvailable(showNotesOff());
  document_->operations().setSelection({});
  model_->reload();
  table_->clearSelection();
  updateActions();
}

void EditorWindow::documentChanged() {
  textsChanged();
  model_->reload();
  selectionToView();
  updateActions();
  updateTitle();
}

void EditorWindow::selectionFromView() {
  if (syncingSelection_) return;
  sw::IndexSet rows;
  for (const QItemSelectionRange& range : table_->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom(); ++row) rows.insert(row);
  document_->operations().setSelection(rows);
  updateActions();
  if (rows.size() == 1 && previewOnSelectAction_ && previewOnSelectAction_->isChecked()) previewSelectedEvent();
}

void EditorWindow::selectionToView() {
  const sw::IndexSet& rows = document_->operations().selection();
  QItemSelection selection;
  const int lastColumn = model_->columnCount() - 1;
  for (auto it = rows.begin(); it != rows.end();) {
    const int first = *it;
    int last = first;
    for (++it; it != rows.end() && *it == last + 1; ++it) last = *it;
    if (last < model_->rowCount()) selection.select(model_->index(first, 0), model_->index(last, lastColumn));
  }
  syncingSelection_ = true;
  table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (!rows.empty() && *rows.begin() < model_->rowCount()) {
    const QModelIndex first = model_->index(*rows.begin(), 0);
    table_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    table_->scrollTo(first);
  }
  syncingSelection_ = false;
}

void EditorWindow::updateActions() {
  const bool selected = !document_->operations().selection().empty();
  const sw::UndoManager& undo = document_->undoManager();
  undoAction_->setEnabled(undo.canUndo());
  undoAction_->setText(undo.canUndo() ? tr("&Undo %1").arg(QString::fromStdString(undo.undoActionName())) : tr("&Undo"));
  redoAction_->setEnabled(undo.canRedo());
  redoAction_->setText(undo.canRedo() ? tr("&Redo %1").arg(QString::fromStdString(undo.redoActionName())) : tr("&Redo"));
  for (QAction* action : {cutAction_, copyAction_, deleteAction_, shiftAction_, editAction_}) action->setEnabled(selected);
  const bool canPaste = pasteboard().hasType(sw::Pasteboard::kEventCollectionType);
  pasteAction_->setEnabled(canPaste);
  pasteOptionsAction_->setEnabled(canPaste);
  saveAction_->setEnabled(document_->isModified() || document_->isUntitled());
  revertAction_->setEnabled(document_->isModified() && !document_->isUntitled());
  const int shown = document_->list().filteredCount();
  countLabel_->setText(tr("%1 of %2 events shown, %3 selected")
                           .arg(shown)
                           .arg(document_->list().count())
                           .arg(document_->operations().selection().size()));
  setWindowModified(document_->isModified());
}

void EditorWindow::updateTitle() {
  setWindowFilePath(QString::fromStdString(document_->path()));
  setWindowTitle(QString::fromStdString(document_->displayName()) + QStringLiteral("[*] — Scorewell"));
  setWindowModified(document_->isModified());
}

std::vector<ColumnState> EditorWindow::columnsState() const {
  const QHeaderView* header = table_->horizontalHeader();
  const auto& columns = EventTableModel::columns();
  std::vector<ColumnState> shown, hidden;
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(visual);
    const ColumnInfo& info = columns[size_t(logical)];
    ColumnState state{info.id, info.title, header->sectionSize(logical), header->isSectionHidden(logical)};
    if (state.hidden) state.width = info.width;
    (state.hidden ? hidden : shown).push_back(state);
  }
  shown.insert(shown.end(), hidden.begin(), hidden.end());
  return shown;
}

void EditorWindow::setColumnsState(const std::vector<ColumnState>& states) {
  QHeaderView* header = table_->horizontalHeader();
  int visual = 0;
  for (const ColumnState& state : states) {
    int logical = -1;
    const auto& columns = EventTableModel::columns();
    for (size_t c = 0; c < columns.size(); ++c)
      if (state.id == columns[c].id) logical = int(c);
    if (logical < 0) {
      sw::logMessage("setColumnsState: Missing column with ID: " + state.id);
      continue;
    }
    const bool measure = columns[size_t(logical)].key == sw::FieldKey::Measure;
    header->setSectionHidden(logical, state.hidden && !measure);
    if (state.width > 0) header->resizeSection(logical, state.width);
    if (!state.hidden) header->moveSection(header->visualIndex(logical), visual++);
  }
}

// ---------------------------------------------------------------- messages

void EditorWindow::showError(const sw::Error& error, const QString& what) {
  QMessageBox box(QMessageBox::Warning, tr("Scorewell"), what, QMessageBox::Ok, this);
  box.setInformativeText(tr("%1\n%2").arg(QString::fromStdString(error.path), statusLine(error)));
  box.exec();
}

void EditorWindow::showValidationMessage(const QModelIndex& index, const QString& message) {
  const QRect cell = table_->visualRect(index);
  QToolTip::showText(table_->viewport()->mapToGlobal(cell.bottomLeft()), message, table_->viewport(), cell, 5000);
  statusBar()->showMessage(message, 5000);
  // A typed value that was refused: editing goes on, with the old value.
  if (CellKind(index.data(EventTableModel::CellKindRole).toInt()) == CellKind::Text)
    QTimer::singleShot(0, table_, [this, index] {
      if (index.isValid()) table_->edit(index);
    });
}

// ---------------------------------------------------------------- file operations

void EditorWindow::openDialog() {
  const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Open"), QString(),
                                                          tr("MIDI Files (*.mid *.midi *.kar *.smf);;All Files (*)"));
  for (const QString& path : paths)
    if (EditorWindow* window = openFile(path, this)) window->show();
}

bool EditorWindow::saveDocument() {
  if (document_->isUntitled()) return saveDocumentAs(DocumentType::MidiFile);
  if (sw::Error error = document_->save()) {
    showError(error, tr("The document “%1” could not be saved.").arg(QString::fromStdString(document_->displayName())));
    return false;
  }
  updateActions();
  updateTitle();
  return true;
}

bool EditorWindow::saveDocumentAs(DocumentType type) {
  const bool text = type == DocumentType::TextFile;
  QString suggested = QString::fromStdString(document_->path());
  if (text && !suggested.isEmpty()) suggested = QFileInfo(suggested).path() + "/" + QFileInfo(suggested).completeBaseName() + ".txt";
  QString path = QFileDialog::getSaveFileName(this, text ? tr("Save Lyrics As Text") : tr("Save As"), suggested,
                                              text ? tr("Text Files (*.txt)") : tr("MIDI Files (*.mid *.midi *.kar *.smf)"));
  if (path.isEmpty()) return false;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (text && suffix.isEmpty()) path += ".txt";
  if (!text && !QStringList{"mid", "midi", "kar", "smf"}.contains(suffix)) path += ".mid";
  if (sw::Error error = document_->saveAs(path.toStdString(), type)) {
    showError(error, tr("“%1” could not be saved.").arg(QFileInfo(path).fileName()));
    return false;
  }
  if (!text) noteRecentFile(path);
  updateActions();
  updateTitle();
  return true;
}

bool EditorWindow::maybeSave() {
  if (!document_->isModified()) return true;
  const auto answer = QMessageBox::question(
      this, tr("Scorewell"),
      tr("Do you want to save the changes made to the document “%1”?").arg(QString::fromStdString(document_->displayName())),
      QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Discard) return true;
  return saveDocument();
}

void EditorWindow::revert() {
  if (!document_->isModified() || document_->isUntitled()) return;
  const auto answer = QMessageBox::question(
      this, tr("Scorewell"),
      tr("Do you want to revert to the most recently saved version of “%1”? Your current changes will be lost.")
          .arg(QString::fromStdString(document_->displayName())),
      QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
  if (answer != QMessageBox::Yes) return;
  transport_->stop();  // the player plays the list the revert replaces
  if (sw::Error error = document_->revert()) {
    showError(error, tr("The document “%1” could not be reverted.").arg(QString::fromStdString(document_->displayName())));
    return;
  }
  textsChanged();
  applyFilters();
  updateTitle();
}

void EditorWindow::closeEvent(QCloseEvent* event) {
  if (!maybeSave()) {
    event->ignore();
    return;
  }
  const QRect frame = geometry();
  document_->saveWindowState({frame.x(), frame.y(), frame.width(), frame.height()}, columnsState());
  transport_->stop();
  event->accept();
}

// ---------------------------------------------------------------- edit operations

void EditorWindow::pasteWithOptions() {
  sw::EditOperations& operations = document_->operations();
  std::optional<sw::PastePlan> plan = operations.pastePlan();
  if (!plan) return;
  PasteOptionsDialog dialog(*plan, document_->list().numTracks(), operations.measureText(plan->position),
                            [&operations](const std::string& text, std::string* error) {
                              return operations.ticksForNewTime(text, error);
                            },
                            this);
  if (dialog.exec() != QDialog::Accepted) return;
  operations.paste(dialog.plan());
}

void EditorWindow::shift() {
  sw::EditOperations& operations = document_->operations();
  if (operations.selection().empty()) return;
  const int first = *operations.selection().begin();
  const uint32_t ticks = document_->list().objectAtFilteredIndex(first).midiEvent()->ticks();
  ShiftDialog dialog(operations.measureText(ticks),
                     [&operations](const std::string& text, std::string* error) {
                       return operations.ticksForNewTime(text, error);
                     },
                     this);
  if (dialog.exec() != QDialog::Accepted) return;
  operations.shift(dialog.newTicks(), dialog.range());
}

void EditorWindow::editSelection() {
  sw::EditOperations& operations = document_->operations();
  if (operations.selection().empty()) return;
  const int first = *operations.selection().begin();
  const bool secondIsTyped = model_->cellKind(first, EventTableModel::columnOf(sw::FieldKey::Second)) == CellKind::Text;
  MultipleSelectionDialog dialog(document_->list().objectAtFilteredIndex(first), int(operations.selection().size()),
                                 secondIsTyped, this);
  if (dialog.exec() != QDialog::Accepted) return;
  operations.applyChanges(dialog.model(), dialog.change(), [this](int done, int total) {
    const bool goOn = reportProgress(done, total);
    if (done + 1 >= total) reportProgress(total, total);
    return goOn;
  });
}

void EditorWindow::insertNote() {
  // A middle C quarter note at the first selected event's time and track, else at tick 0.
  sw::FEventList& list = document_->list();
  sw::FlattenedRecord record;
  const uint8_t bytes[] = {0x90, 60, 64};
  record.data = bytes;
  record.duration = uint32_t(std::max<int>(1, list.division()));
  record.offVelocity = 64;
  const sw::IndexSet& selection = document_->operations().selection();
  if (!selection.empty()) {
    const int whole = list.wholeIndexAtIndex(*selection.begin());
    record.ticks = list.eventAtIndex(whole)->ticks();
    record.track = list.eventAtIndex(whole)->track();
    record.proposedIndex = whole;
  }
  sw::FlattenedEventList events;
  events.add(record);
  document_->operations().insertEvents(events);
}

bool EditorWindow::reportProgress(int done, int total) {
  constexpr int kSmallChange = 500;
  if (total < kSmallChange) return true;
  if (done >= total) {
    delete progress_;
    progress_ = nullptr;
    return true;
  }
  if (!progress_) {
    progress_ = new QProgressDialog(tr("Changing the selected events…"), tr("Stop"), 0, total, this);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(300);
    lastProgressUpdate_ = 0;
  }
  // At most about six updates a second (every 11 ticks of 1/60 s).
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  if (clock.elapsed() - lastProgressUpdate_ >= 183 || done == 0) {
    lastProgressUpdate_ = clock.elapsed();
    progress_->setValue(done);  // runs the event loop of the modal dialog
  }
  return !progress_->wasCanceled();
}

void EditorWindow::removeEmptyTracks() {
  if (!document_->removeEmptyTracks()) statusBar()->showMessage(tr("No track is empty."), 4000);
}

}  // namespace swapp
