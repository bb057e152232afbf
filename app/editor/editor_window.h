// One editor window: the event table of one document with its filter bar, the File and Edit
// menus, a context menu, and the dialogs of the file and edit operations.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

#include "editor/editor_document.h"
#include "editor/filter_state.h"

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QProgressDialog;
class QTableView;
class QTabWidget;

namespace swapp {

class EncodingComboBox;
class EventTableModel;
class FiltersBar;
class KaraokeView;
class LyricsTab;
class TransportBar;

class EditorWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Opens the file in a new window; on failure shows a dialog naming the file, the failure and
  // its status, and answers nullptr.
  static EditorWindow* openFile(const QString& path, QWidget* dialogParent = nullptr);
  // The alert naming a file that did not open, the failure and its status (not shown yet).
  static QMessageBox* openFailureAlert(const QString& path, const sw::Error& error, QWidget* parent = nullptr);
  // A window on a document (a new untitled one when none is given).
  explicit EditorWindow(std::unique_ptr<EditorDocument> document = {});
  ~EditorWindow() override;

  EditorDocument& document() { return *document_; }
  EventTableModel& model() { return *model_; }
  QTableView* table() { return table_; }
  FilterState& filterState() { return filters_; }
  // The column layout as kept in the file's attribute.
  std::vector<ColumnState> columnsState() const;
  void setColumnsState(const std::vector<ColumnState>& columns);

  // The clipboard shared by every editor window.
  static sw::Pasteboard& pasteboard();
  static QStringList recentFiles();
  static void noteRecentFile(const QString& path);
  // What Window > Browser does: set by the application shell; without one the item is hidden.
  static void setBrowserOpener(std::function<void()> opener);

  QTabWidget* tabs() { return tabs_; }
  LyricsTab* lyricsTab() { return lyricsTab_; }
  KaraokeView* karaokeView() { return karaokeView_; }
  TransportBar* transport() { return transport_; }
  EncodingComboBox* encodingPopUp() { return encodingPopUp_; }

 public slots:
  void applyFilters();
  // Play/stop (space bar): a stopped player starts at the first selected event.
  void togglePlay();
  // Sends the selected row's event (a channel message up to program change) to the output,
  // with the state before it, and the note-off of a note-on 0.1 s later.
  void previewSelectedEvent();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildTable();
  void documentChanged();
  void buildTabs(QWidget* events);
  void textsChanged();
  void loadShownTab();
  void convertToUTF8();
  void printLyrics();
  void selectionFromView();
  void selectionToView();
  void updateActions();
  void updateTitle();
  void showError(const sw::Error& error, const QString& what);
  bool saveDocument();
  bool saveDocumentAs(DocumentType type);
  bool maybeSave();
  void openDialog();
  void revert();
  void pasteWithOptions();
  void shift();
  void editSelection();
  void insertNote();
  void removeEmptyTracks();
  void showValidationMessage(const QModelIndex& index, const QString& message);
  bool showNotesOff() const;
  // The progress of a change to many rows; false when the user stopped it.
  bool reportProgress(int done, int total);

  std::unique_ptr<EditorDocument> document_;
  FilterState filters_;
  EventTableModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  FiltersBar* filtersBar_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QMenu* editMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QAction* saveAction_ = nullptr;
  QAction* revertAction_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  QAction* cutAction_ = nullptr;
  QAction* copyAction_ = nullptr;
  QAction* pasteAction_ = nullptr;
  QAction* pasteOptionsAction_ = nullptr;
  QAction* deleteAction_ = nullptr;
  QAction* duplicateAction_ = nullptr;
  QAction* shiftAction_ = nullptr;
  QAction* editAction_ = nullptr;
  QAction* printAction_ = nullptr;
  QAction* previewOnSelectAction_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  LyricsTab* lyricsTab_ = nullptr;
  KaraokeView* karaokeView_ = nullptr;
  TransportBar* transport_ = nullptr;
  EncodingComboBox* encodingPopUp_ = nullptr;
  const sw::FEventList* playedList_ = nullptr;  // the list the transport was given
  sw::StringEncoding shownEncoding_ = sw::kNoEncoding;
  bool lyricsStale_ = true;
  bool karaokeStale_ = true;
  bool syncingSelection_ = false;
  QProgressDialog* progress_ = nullptr;
  qint64 lastProgressUpdate_ = 0;
};

}  // namespace swapp
