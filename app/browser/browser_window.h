// The browser window: the outline of the chosen roots with its columns, the filter field and
// the defects switch, the toolbar and the menus of the application, the info panel, and the
// commands on the selection (open in the editor, reveal, open with the default application,
// the batch commands).
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QAbstractItemModel>
#include <QPointer>

#include "shell/command_rules.h"

class QAction;
class QCheckBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QToolBar;
class QTreeView;

namespace swapp {

class BrowserFilterProxy;
class BrowserModel;
class InfoPanel;
class NotificationBridge;

class BrowserWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit BrowserWindow(QWidget* parent = nullptr);
  ~BrowserWindow() override;

  BrowserModel& model() { return *model_; }
  BrowserFilterProxy& proxy() { return *proxy_; }
  QTreeView* view() { return view_; }
  InfoPanel* infoPanel();
  QToolBar* toolbar() { return toolbar_; }

  // Checks the paths and makes the acceptable ones the roots. With one path that cannot be
  // a root an alert says why (unless `quiet`); with several, the refused ones are logged.
  // False (roots unchanged) when none can be a root.
  bool chooseRoots(const QStringList& paths, bool quiet = false);

  // The selection: every selected row in row order, or without the rows below a selected
  // folder (what a batch gets); the selected files.
  QStringList selectedPaths(bool removingChildren = false) const;
  QStringList selectedFilePaths() const;
  // Selects the first row showing this path or, failing that, this name (searching the
  // listed rows); true when found.
  bool selectPath(const QString& pathOrName);

  // The action of a command ("browse", "showInfo", "edit", "askFix"...), or null.
  QAction* action(const QString& command) const;
  QAction* toolbarAction(const QString& identifier) const;
  CommandState commandState() const;
  // Enables the actions by the rules of CommandRules.
  void updateActions();
  // Rebuilds the toolbar from the saved arrangement.
  void rebuildToolbar();

  // The column layout (order, widths, shown, sort) as kept between runs.
  QByteArray columnsState() const;
  void restoreColumnsState(const QByteArray& state);

 public slots:
  void browse();
  void browseFolder();
  void showInfo();
  void editSelection();
  void revealSelection();
  void launchSelection();
  void refresh();
  void customizeToolbar();
  // Reads a file again after another part of the application wrote it.
  void fileChanged(const QString& path);

 signals:
  // The user asked to open files in editors, show the browser, quit, or the About box.
  void quitRequested();
  void visibilityChanged(bool shown);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void buildActions();
  void buildMenus();
  void buildCentralWidget();
  QAction* addCommand(const QString& command, const QString& text, void (BrowserWindow::*slot)() = nullptr);
  void doubleClicked(const QModelIndex& proxyIndex);
  void stepInfo(int direction);
  void updateStatus();
  void syncWatcher();
  void expandSingleRoot();
  QModelIndexList selectedSourceRows() const;
  void showColumnMenu(const QPoint& position);
  void openFiles();

  BrowserModel* model_ = nullptr;
  BrowserFilterProxy* proxy_ = nullptr;
  QTreeView* view_ = nullptr;
  QLineEdit* filterField_ = nullptr;
  QCheckBox* defectsOnly_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QMenu* columnsMenu_ = nullptr;
  QHash<QString, QAction*> actions_;        // by command
  QHash<QString, QAction*> toolbarActions_; // by toolbar identifier
  QPointer<InfoPanel> infoPanel_;
  QFileSystemWatcher* watcher_ = nullptr;
  QTimer* changedTimer_ = nullptr;
  QStringList changedPaths_;
  NotificationBridge* bridge_ = nullptr;
};

}  // namespace swapp
