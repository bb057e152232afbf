#include "shell/application_shell.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include "base/log.h"
#include "base/notification_center.h"
#include "batch/batch_windows.h"
#include "browser/browser_model.h"
#include "browser/browser_window.h"
#include "editor/editor_window.h"
#include "editor/window_state_store.h"
#include "library/batch_log.h"
#include "library/factory_defaults.h"
#include "playback/midi_player_controller.h"

namespace swapp {

ApplicationShell::ApplicationShell(QObject* parent) : QObject(parent) {
  sw::registerFactoryDefaults();
  browser_ = new BrowserWindow;
  browser_->setAttribute(Qt::WA_QuitOnClose, true);
  connect(browser_, &BrowserWindow::quitRequested, this, &ApplicationShell::quit);
  EditorWindow::setBrowserOpener([this] { showBrowser(); });
}

ApplicationShell::~ApplicationShell() {
  EditorWindow::setBrowserOpener({});
  storeStateAndStopPlayers();
  delete browser_.data();
}

QList<EditorWindow*> ApplicationShell::start(const StartRequest& request) {
  sw::SettingsStore& store = sw::SettingsStore::shared();
  // The window frame of the last run.
  if (const auto frame = WindowStateStore::parseFrame(store.stringForKey(kWindowFrameKey)))
    browser_->setGeometry(frame->x, frame->y, frame->width, frame->height);
  // Shown when it was open last time; always when asked for, or when there is nothing else.
  if (store.boolForKey("showBrowserWindow") || request.browse || request.files.isEmpty()) showBrowser();

  const QList<EditorWindow*> editors = openFiles(request.files);
  if (editors.isEmpty() && !browser_->isVisible()) showBrowser();  // never a run without a window

  if (!didOpenFiles_ && store.boolForKey("openPanelOnStartup"))
    QTimer::singleShot(0, browser_, [browser = browser_] {
      if (browser) browser->action(QStringLiteral("openDocument"))->trigger();
    });
  if (request.browse) {
    browser_->chooseRoots(request.browsePaths);
  } else if (store.boolForKey("saveSelection")) {
    QStringList roots;
    for (const sw::SettingValue& value : store.arrayForKey("lastChoosedFiles"))
      if (value.isString()) roots << QString::fromStdString(value.stringValue());
    // Roots that have gone since are left out without a word.
    if (!roots.isEmpty()) browser_->chooseRoots(roots, true);
  }
  if (const std::optional<sw::SettingValue> print = store.objectForKey("printInfo"); print && print->isDictionary())
    printInfo_ = print->dictionaryValue();
  return editors;
}

QList<EditorWindow*> ApplicationShell::openFiles(const QStringList& paths) {
  QList<EditorWindow*> windows;
  for (const QString& path : paths) {
    didOpenFiles_ = true;
    std::unique_ptr<EditorDocument> document = std::make_unique<EditorDocument>(EditorWindow::pasteboard());
    if (const sw::Error error = document->open(path.toStdString())) {
      sw::logMessage(sw::BatchLog::abbreviatedPath(path.toStdString()) + " " + error.message + " [" +
                     std::to_string(error.status) + "]");
      // Said in a window too; not modal, so a start with several files goes on.
      QMessageBox* alert = EditorWindow::openFailureAlert(path, error, nullptr);
      alert->setAttribute(Qt::WA_DeleteOnClose);
      alert->setObjectName(QStringLiteral("openFailure"));
      alert->show();
      continue;
    }
    EditorWindow::noteRecentFile(path);
    auto* window = new EditorWindow(std::move(document));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    windows << window;
  }
  return windows;
}

void ApplicationShell::showBrowser() {
  browser_->show();
  browser_->raise();
  browser_->activateWindow();
  sw::SettingsStore::shared().setBool("showBrowserWindow", true);
  browser_->updateActions();
}

void ApplicationShell::storeStateAndStopPlayers() {
  if (stored_ || !browser_) return;
  stored_ = true;
  sw::SettingsStore& store = sw::SettingsStore::shared();
  // The roots are kept whatever "saveSelection" says; it decides only about restoring them.
  sw::SettingValue::Array roots;
  for (const QString& path : browser_->model().rootPaths()) roots.emplace_back(path.toStdString());
  store.setObject("lastChoosedFiles", std::move(roots));
  const QRect frame = browser_->geometry();
  store.setString(kWindowFrameKey, WindowStateStore::frameString({frame.x(), frame.y(), frame.width(), frame.height()}));
  if (!printInfo_.empty()) store.setObject("printInfo", printInfo_);
  store.setString(kColumnsKey, browser_->columnsState().toBase64().toStdString());
  // Every player stops, as when another one starts.
  sw::NotificationCenter::shared().post(sw::MidiPlayerController::kPlayerNotification,
                                        {{sw::MidiPlayerController::kStateKey, sw::MidiPlayerController::kWillStart},
                                         {sw::MidiPlayerController::kSenderKey, "shell"}});
}

void ApplicationShell::quit() {
  if (batchIsRunning() &&
      QMessageBox::question(browser_, tr("Scorewell"), tr("A batch is running. Quit anyway?")) != QMessageBox::Yes)
    return;
  storeStateAndStopPlayers();
  QApplication::quit();
}

}  // namespace swapp
