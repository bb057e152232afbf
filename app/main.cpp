// scorewell [FILE...]: the browser, and each MIDI file given in an editor window. A second
// `scorewell FILE...` hands its files to the instance already running.
//   --browse PATH...    opens the browser on these files and folders.
//   --select NAME       selects the browser's row of this path or name (with --browse).
//   --info              shows the info panel of the selected file.
//   --screenshot FILE   grabs the first editor window (the browser, or the info panel with
//                       --info, when no file is given) into a PNG once it is shown, then quits.
//   --tab NAME          shows the "events", "lyrics" or "karaoke" tab first.
//   --play-for MS       plays the first window's file; with --screenshot the grab comes MS later.
//   --show-window NAME  shows one batch or settings window alone (see swapp::showWindowNamed).
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "adapters/engine_adapters.h"
#include "batch/batch_windows.h"
#include "browser/browser_model.h"
#include "browser/browser_window.h"
#include "browser/info_panel.h"
#include "editor/editor_window.h"
#include "editor/event_table_model.h"
#include "editor/lyrics_tab.h"
#include "playback/midi_client.h"
#include "shell/application_shell.h"
#include "shell/instance_channel.h"
#include "transport/karaoke_view.h"
#include "transport/transport_bar.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Scorewell"));
  QApplication::setApplicationVersion(QStringLiteral("0.1"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Browser, event-list editor and player for Standard MIDI Files and karaoke files."));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption browse(QStringLiteral("browse"), QStringLiteral("Open the browser on the files and folders given."));
  parser.addOption(browse);
  QCommandLineOption select(QStringLiteral("select"), QStringLiteral("Select this file in the browser."),
                            QStringLiteral("NAME"));
  parser.addOption(select);
  QCommandLineOption info(QStringLiteral("info"), QStringLiteral("Show the info panel of the selected file."));
  parser.addOption(info);
  QCommandLineOption screenshot(QStringLiteral("screenshot"), QStringLiteral("Save the first window as a PNG and quit."),
                                QStringLiteral("FILE"));
  parser.addOption(screenshot);
  QCommandLineOption tab(QStringLiteral("tab"), QStringLiteral("The tab shown first: events, lyrics or karaoke."),
                         QStringLiteral("NAME"));
  parser.addOption(tab);
  QCommandLineOption playFor(QStringLiteral("play-for"),
                             QStringLiteral("Play the first file; a screenshot is taken this many ms later."),
                             QStringLiteral("MS"));
  parser.addOption(playFor);
  QCommandLineOption showWindow(QStringLiteral("show-window"),
                                QStringLiteral("Show one window alone: fix-sheet, progress, log, preferences..."),
                                QStringLiteral("NAME"));
  parser.addOption(showWindow);
  parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("MIDI files to open (folders with --browse)."),
                               QStringLiteral("[PATH...]"));
  parser.process(app);

  const QStringList paths = parser.positionalArguments();
  const bool browsing = parser.isSet(browse);
  const bool grabbing = parser.isSet(screenshot);

  // Files for an editor go to the instance already running, when there is one.
  swapp::InstanceChannel channel;
  if (!browsing && !grabbing && !paths.isEmpty() && channel.handOver(paths)) return 0;
  if (!grabbing) channel.listen();

  swapp::installEditorFeedback();
  // Setters announce changes of other rows (tempo, signatures); every window reloads.
  swapp::NotificationBridge bridge({"ReloadData"});
  QObject::connect(&bridge, &swapp::NotificationBridge::notified, [] {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<swapp::EditorWindow*>(widget)) window->model().reload();
  });

  if (parser.isSet(showWindow)) {
    QWidget* shown = swapp::showWindowNamed(parser.value(showWindow), paths);
    if (!shown) return 1;
    if (grabbing)
      QTimer::singleShot(1500, [shown = QPointer<QWidget>(shown), target = parser.value(screenshot)] {
        QApplication::exit(shown && shown->grab().save(target, "PNG") ? 0 : 2);
      });
    const int result = app.exec();
    swapp::stopBatchAndWait();
    return result;
  }

  auto shell = std::make_unique<swapp::ApplicationShell>();
  QObject::connect(&app, &QCoreApplication::aboutToQuit, shell.get(), &swapp::ApplicationShell::storeStateAndStopPlayers);
  QObject::connect(&channel, &swapp::InstanceChannel::filesReceived, shell.get(), [&shell](const QStringList& files) {
    const QList<swapp::EditorWindow*> windows = shell->openFiles(files);
    if (!windows.isEmpty()) windows.first()->activateWindow();
  });

  swapp::StartRequest request;
  request.browse = browsing;
  (browsing ? request.browsePaths : request.files) = paths;
  const QList<swapp::EditorWindow*> windows = shell->start(request);
  swapp::BrowserWindow* browser = shell->browser();

  if (parser.isSet(tab) && !windows.isEmpty()) {
    const QString name = parser.value(tab);
    swapp::EditorWindow* window = windows.first();
    if (name == QLatin1String("lyrics")) window->tabs()->setCurrentWidget(window->lyricsTab());
    if (name == QLatin1String("karaoke")) window->tabs()->setCurrentWidget(window->karaokeView());
  }
  if (parser.isSet(select) || parser.isSet(info)) {
    // The row exists once its folder is listed; the panel waits for the file's record.
    const QString name = parser.value(select);
    const bool showInfo = parser.isSet(info);
    QTimer::singleShot(300, browser, [browser, name, showInfo] {
      if (!name.isEmpty()) browser->selectPath(name);
      if (showInfo) browser->showInfo();
    });
  }
  int delay = 1000;
  if (parser.isSet(playFor)) {
    delay += std::max(0, parser.value(playFor).toInt());
    if (!windows.isEmpty())
      QTimer::singleShot(500, windows.first(), &swapp::EditorWindow::togglePlay);
    else if (parser.isSet(info))
      QTimer::singleShot(700, browser, [browser] { browser->infoPanel()->transport()->play(); });
  }

  if (grabbing) {
    const QString target = parser.value(screenshot);
    QWidget* editor = windows.isEmpty() ? nullptr : windows.first();
    const bool grabInfo = parser.isSet(info);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    // The browser is grabbed once every record has arrived (at most 10 s later).
    auto* poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, [=] {
      if (started->elapsed() < delay) return;
      if (!editor && browser->model().pendingCount() > 0 && started->elapsed() < 10000) return;
      poll->stop();
      QWidget* shown = editor ? editor : grabInfo ? static_cast<QWidget*>(browser->infoPanel()) : browser;
      const bool saved = shown->grab().save(target, "PNG");
      QApplication::exit(saved ? 0 : 2);
    });
    poll->start(100);
  }
  const int result = app.exec();
  swapp::stopBatchAndWait();  // the file being written is finished first
  shell->storeStateAndStopPlayers();
  // The players stop before the shared MIDI output goes: windows still open are deleted here.
  QList<QPointer<swapp::EditorWindow>> open;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<swapp::EditorWindow*>(widget)) open << window;
  for (const QPointer<swapp::EditorWindow>& window : open) delete window.data();
  shell.reset();
  sw::MIDIClient::sharedMIDIClient().dispose();
  return result;
}
