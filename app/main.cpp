// scorewell FILE...: opens each MIDI file in an editor window.
//   --screenshot FILE   grabs the first window into a PNG once it is shown, then quits.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "adapters/engine_adapters.h"
#include "editor/editor_window.h"
#include "editor/event_table_model.h"

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
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("MIDI files to open."), QStringLiteral("[FILE...]"));
  parser.process(app);

  swapp::installEditorFeedback();
  // Setters announce changes of other rows (tempo, signatures); every window reloads.
  swapp::NotificationBridge bridge({"ReloadData"});
  QObject::connect(&bridge, &swapp::NotificationBridge::notified, [] {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<swapp::EditorWindow*>(widget)) window->model().reload();
  });

  QList<swapp::EditorWindow*> windows;
  const QStringList files = parser.positionalArguments();
  for (const QString& path : files)
    if (swapp::EditorWindow* window = swapp::EditorWindow::openFile(path)) windows << window;
  if (files.isEmpty()) {
    auto* window = new swapp::EditorWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    windows << window;
  }
  if (windows.isEmpty()) return 1;
  for (swapp::EditorWindow* window : windows) window->show();

  if (parser.isSet(screenshot)) {
    const QString target = parser.value(screenshot);
    QTimer::singleShot(1000, [window = windows.first(), target] {
      const bool saved = window->grab().save(target, "PNG");
      QApplication::exit(saved ? 0 : 2);
    });
  }
  return app.exec();
}
