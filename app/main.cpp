// scorewell FILE...: opens each MIDI file in an editor window.
//   --screenshot FILE   grabs the first window into a PNG once it is shown, then quits.
//   --tab NAME          shows the "events", "lyrics" or "karaoke" tab first.
//   --play-for MS       plays the first window's file; with --screenshot the grab comes MS later.
//   --show-window NAME  shows one batch or settings window alone (see swapp::showWindowNamed).
#include <QApplication>
#include <QCommandLineParser>
#include <QPointer>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

#include "adapters/engine_adapters.h"
#include "batch/batch_windows.h"
#include "editor/editor_window.h"
#include "editor/event_table_model.h"
#include "editor/lyrics_tab.h"
#include "playback/midi_client.h"
#include "transport/karaoke_view.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Scorewell"));
  QApplication::setApplicationVersion(QStringLiteral("0.1"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Event-list editor for Standard MIDI Files and karaoke files."));
  parser.addHelpOption();
  parser.addVersionOption();
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
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("MIDI files to open."), QStringLiteral("[FILE...]"));
  parser.process(app);

  swapp::installEditorFeedback();
  // Setters announce changes of other rows (tempo, signatures); every window reloads.
  swapp::NotificationBridge bridge({"ReloadData"});
  QObject::connect(&bridge, &swapp::NotificationBridge::notified, [] {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<swapp::EditorWindow*>(widget)) window->model().reload();
  });

  const QStringList files = parser.positionalArguments();
  if (parser.isSet(showWindow)) {
    QWidget* shown = swapp::showWindowNamed(parser.value(showWindow), files);
    if (!shown) return 1;
    if (parser.isSet(screenshot))
      QTimer::singleShot(1500, [shown = QPointer<QWidget>(shown), target = parser.value(screenshot)] {
        QApplication::exit(shown && shown->grab().save(target, "PNG") ? 0 : 2);
      });
    const int result = app.exec();
    swapp::stopBatchAndWait();
    return result;
  }
  QList<swapp::EditorWindow*> windows;
  for (const QString& path : files)
    if (swapp::EditorWindow* window = swapp::EditorWindow::openFile(path)) windows << window;
  if (files.isEmpty()) {
    auto* window = new swapp::EditorWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    windows << window;
  }
  if (windows.isEmpty()) return 1;
  for (swapp::EditorWindow* window : windows) window->show();
  if (parser.isSet(tab)) {
    const QString name = parser.value(tab);
    swapp::EditorWindow* window = windows.first();
    if (name == QLatin1String("lyrics")) window->tabs()->setCurrentWidget(window->lyricsTab());
    if (name == QLatin1String("karaoke")) window->tabs()->setCurrentWidget(window->karaokeView());
  }
  int delay = 1000;
  if (parser.isSet(playFor)) {
    delay += std::max(0, parser.value(playFor).toInt());
    QTimer::singleShot(500, windows.first(), &swapp::EditorWindow::togglePlay);
  }

  if (parser.isSet(screenshot)) {
    const QString target = parser.value(screenshot);
    QTimer::singleShot(delay, [window = windows.first(), target] {
      const bool saved = window->grab().save(target, "PNG");
      QApplication::exit(saved ? 0 : 2);
    });
  }
  const int result = app.exec();
  // The players stop before the shared MIDI output goes: windows still open are deleted here.
  QList<QPointer<swapp::EditorWindow>> open;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<swapp::EditorWindow*>(widget)) open << window;
  for (const QPointer<swapp::EditorWindow>& window : open) delete window.data();
  sw::MIDIClient::sharedMIDIClient().dispose();
  return result;
}
