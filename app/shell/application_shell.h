// The application's start and quit: the factory defaults, the browser window shown or hidden
// as it was left, files handed over opened in editors, the roots of the last run restored when
// "saveSelection" asks; at quit the roots ("lastChoosedFiles"), the window frame
// ("browserWindow"), the print settings ("printInfo") and the columns are kept, and every
// player stops.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include "base/settings_store.h"

namespace swapp {

class BrowserWindow;
class EditorWindow;

struct StartRequest {
  QStringList files;        // opened in editors
  QStringList browsePaths;  // the browser's roots (--browse)
  bool browse = false;      // --browse was given
};

class ApplicationShell : public QObject {
  Q_OBJECT
 public:
  static constexpr const char* kWindowFrameKey = "browserWindow";
  static constexpr const char* kColumnsKey = "browserColumnsState";

  explicit ApplicationShell(QObject* parent = nullptr);
  ~ApplicationShell() override;

  BrowserWindow* browser() const { return browser_; }
  // Starts as the Part orders it; answers the editor windows it opened.
  QList<EditorWindow*> start(const StartRequest& request);
  // Opens each file in an editor window; a file that does not open is logged.
  QList<EditorWindow*> openFiles(const QStringList& paths);
  bool didOpenFiles() const { return didOpenFiles_; }
  // The print settings kept between runs.
  const sw::SettingValue::Dictionary& printInfo() const { return printInfo_; }
  void setPrintInfo(sw::SettingValue::Dictionary info) { printInfo_ = std::move(info); }

  // What quitting keeps, then every player stops. Runs once (later calls do nothing).
  void storeStateAndStopPlayers();

 public slots:
  // Quits, after asking when a batch is running.
  void quit();
  void showBrowser();

 private:
  QPointer<BrowserWindow> browser_;
  bool didOpenFiles_ = false;
  bool stored_ = false;
  sw::SettingValue::Dictionary printInfo_;
};

}  // namespace swapp
