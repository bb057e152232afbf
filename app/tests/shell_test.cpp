// The shell: the rules that enable commands and toolbar items, the toolbar's saved
// arrangement, start and quit with the state kept, files handed to a running instance, and the
// browser window's commands (the info panel's commit and discard, quitting while playing).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <filesystem>
#include <future>

#include "base/settings_store.h"
#include "browser/browser_filter_proxy.h"
#include "browser/browser_model.h"
#include "browser/browser_window.h"
#include "browser/info_panel.h"
#include "editor/editor_window.h"
#include "library/file_information.h"
#include "midi_builder.h"
#include "recording_output.h"
#include "shell/application_shell.h"
#include "shell/command_rules.h"
#include "shell/instance_channel.h"
#include "temp_dir.h"
#include "test_files.h"
#include "transport/transport_bar.h"

using namespace swapp;

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

// Presses the default button of the next modal box (an alert) shown within 2 s.
void acceptNextAlert(int* shown, int triesLeft = 40) {
  QTimer::singleShot(50, [shown, triesLeft] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ++*shown;
      box->accept();
    } else if (triesLeft > 0) {
      acceptNextAlert(shown, triesLeft - 1);
    }
  });
}

void resetShellSettings() {
  sw::SettingsStore& store = sw::SettingsStore::shared();
  for (const char* key : {"showBrowserWindow", "saveSelection", "lastChoosedFiles", "printInfo", "browserWindow",
                          "browser_toolbar", "openPanelOnStartup", "browserColumnsState"})
    store.removeObjectForKey(key);
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

  std::unique_ptr<swtest::TempDir> dir_;

  QString write(const std::string& name, const swtest::Bytes& bytes) { return q(dir_->write(name, bytes)); }

  static bool selectFile(BrowserWindow& window, const QString& path) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
      if (window.model().pendingCount() == 0 && window.selectPath(path)) return true;
      QTest::qWait(20);
    }
    return false;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<swtest::TempDir>();
    resetShellSettings();
    apptest::recording()->clear();
  }
  void cleanup() {
    dir_.reset();
    resetShellSettings();
  }

  void commandsFollowTheSelectionAndTheActiveWindow() {
    CommandState none;
    none.browserIsKey = true;
    CommandState folder = none;
    folder.selectedItems = 1;
    CommandState file = folder;
    file.selectedFiles = 1;
    QVERIFY(!CommandRules::toolbarItemEnabled("info", folder));
    QVERIFY(CommandRules::toolbarItemEnabled("info", file));
    QVERIFY(CommandRules::toolbarItemEnabled("edit", file));
    QVERIFY(!CommandRules::toolbarItemEnabled("fix", none));
    QVERIFY(CommandRules::toolbarItemEnabled("fix", folder));
    QVERIFY(CommandRules::toolbarItemEnabled("browse", none));
    QVERIFY(CommandRules::toolbarItemEnabled("showLog", none));
    for (const char* command : {"showInfo", "edit", "doRevealInFinder", "doLaunch", "askFix", "askTranspose"}) {
      QVERIFY(!CommandRules::menuCommandEnabled(command, none));
      QVERIFY(CommandRules::menuCommandEnabled(command, folder));
      CommandState inactive = folder;
      inactive.browserIsKey = false;
      QVERIFY(!CommandRules::menuCommandEnabled(command, inactive));
    }
    QVERIFY(CommandRules::menuCommandEnabled("showLog", none));
    CommandState synthesizer = none;
    QVERIFY(!CommandRules::menuCommandEnabled("doMusicDeviceSetup", none));
    synthesizer.synthesizerPlays = true;
    QVERIFY(CommandRules::menuCommandEnabled("doMusicDeviceSetup", synthesizer));
  }

  void theToolbarKeepsTheUsersArrangement() {
    const QStringList batch = {"Fix", "Convert", "Compand", "ConvertKaraoke"};
    QCOMPARE(CommandRules::defaultToolbarItems(batch),
             (QStringList{"browse", "flexibleSpace", "info", "edit", "separator", "fix", "convert", "compand"}));
    QCOMPARE(CommandRules::defaultToolbarItems({}), (QStringList{"browse", "flexibleSpace", "info", "edit", "separator"}));
    QVERIFY(CommandRules::allowedToolbarItems(batch).contains("convertKaraoke"));
    sw::SettingsStore& store = sw::SettingsStore::shared();
    QCOMPARE(CommandRules::toolbarItems(store, batch), CommandRules::defaultToolbarItems(batch));
    // Unknown and repeated items of a saved arrangement are left out; separators may repeat.
    CommandRules::saveToolbarItems(store, {"edit", "separator", "gone", "edit", "separator", "convertKaraoke"});
    QCOMPARE(CommandRules::toolbarItems(store, batch), (QStringList{"edit", "separator", "separator", "convertKaraoke"}));
    QCOMPARE(CommandRules::toolbarItems(store, {}), (QStringList{"edit", "separator", "separator"}));

    BrowserWindow window;
    QVERIFY(window.toolbarAction("edit"));
    QVERIFY(!window.toolbarAction("browse"));
    CommandRules::saveToolbarItems(store, {"browse", "info"});
    window.rebuildToolbar();
    QVERIFY(window.toolbarAction("browse"));
    QVERIFY(!window.toolbarAction("edit"));
  }

  void theWindowEnablesItsCommandsByTheSelection() {
    const QString file = write("one.mid", apptest::song());
    std::filesystem::create_directories(dir_->path() + "/folder");
    BrowserWindow window;
    QVERIFY(window.chooseRoots({q(dir_->path() + "/folder"), file}));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.updateActions();
    QVERIFY(!window.toolbarAction("info")->isEnabled());
    QVERIFY(!window.action("edit")->isEnabled());
    QVERIFY(window.action("browse")->isEnabled());
    window.selectPath(q(dir_->path() + "/folder"));
    QVERIFY(!window.toolbarAction("info")->isEnabled());  // a folder is not a file
    QVERIFY(window.action("doRevealInFinder")->isEnabled());
    QVERIFY(selectFile(window, file));
    QVERIFY(window.toolbarAction("info")->isEnabled());
    QVERIFY(window.action("showInfo")->isEnabled());
    QCOMPARE(window.selectedFilePaths(), QStringList{file});
    // One unreadable path: an alert, and the roots stay.
    int alerts = 0;
    acceptNextAlert(&alerts);
    QVERIFY(!window.chooseRoots({write("text.mid", {'x'})}));
    QTRY_COMPARE(alerts, 1);
    QCOMPARE(window.model().rootPaths().size(), 2);
    // Several with unreadable ones: no alert, the readable ones become the roots.
    QVERIFY(window.chooseRoots({q(dir_->path() + "/text.mid"), file}, false));
    QCOMPARE(window.model().rootPaths(), QStringList{file});
  }

  void expandedFoldersFollowTheFileSystem() {
    std::filesystem::create_directories(dir_->path() + "/watched/inner");
    write("watched/old.mid", apptest::song());
    BrowserWindow window;
    QVERIFY(window.chooseRoots({q(dir_->path() + "/watched")}));
    window.show();
    BrowserModel& model = window.model();
    QTRY_COMPARE(model.listedFileCount(), 1);
    const QString added = write("watched/added.mid", apptest::song());
    QTRY_VERIFY_WITH_TIMEOUT(!model.indexesOfPath(added).isEmpty(), 5000);
    std::filesystem::remove(dir_->path() + "/watched/old.mid");
    QTRY_VERIFY_WITH_TIMEOUT(model.indexesOfPath(q(dir_->path() + "/watched/old.mid")).isEmpty(), 5000);
    // An expanded folder that goes away leaves without an error.
    const QModelIndex inner = window.proxy().mapFromSource(model.indexesOfPath(q(dir_->path() + "/watched/inner")).first());
    window.view()->expand(inner);
    QTRY_VERIFY(model.loadedFolders().contains(q(dir_->path() + "/watched/inner")));
    std::filesystem::remove_all(dir_->path() + "/watched/inner");
    QTRY_VERIFY_WITH_TIMEOUT(model.indexesOfPath(q(dir_->path() + "/watched/inner")).isEmpty(), 5000);
    QCOMPARE(model.listedFileCount(), 1);
  }

  void doubleClicksOpenFoldersAndFiles() {
    std::filesystem::create_directories(dir_->path() + "/folder");
    const QString file = write("folder/song.mid", apptest::song());
    BrowserWindow window;
    window.chooseRoots({q(dir_->path())});
    window.show();
    QTRY_VERIFY(!window.model().indexesOfPath(q(dir_->path() + "/folder")).isEmpty());
    const QModelIndex folder = window.proxy().mapFromSource(window.model().indexesOfPath(q(dir_->path() + "/folder")).first());
    emit window.view()->doubleClicked(folder);
    QVERIFY(window.view()->isExpanded(folder));
    QVERIFY(selectFile(window, file));
    emit window.view()->doubleClicked(window.view()->currentIndex());
    EditorWindow* editor = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* opened = qobject_cast<EditorWindow*>(widget); opened && opened->isVisible()) editor = opened;
    QVERIFY(editor);
    QCOMPARE(q(editor->document().path()), file);
    delete editor;
    emit window.view()->doubleClicked(folder);
    QVERIFY(!window.view()->isExpanded(folder));
    QCOMPARE(window.model().listedFileCount(), 0);  // a closed folder forgets its files
  }

  void theInfoPanelFillsInWhenTheRecordArrives() {
    const QString file = write("late.mid", apptest::song());
    BrowserWindow window;
    window.model().loader().setDeliveryInterval(400);
    window.chooseRoots({file});
    window.view()->setCurrentIndex(window.proxy().index(0, 0));
    window.showInfo();  // before the record is there
    InfoPanel* panel = window.infoPanel();
    QCOMPARE(panel->path(), file);
    QVERIFY(!panel->textField(InfoPanel::kSequenceName)->isEnabled());
    QVERIFY(!panel->isDirty());
    QTRY_VERIFY(panel->textField(InfoPanel::kSequenceName)->isEnabled());
    QCOMPARE(panel->textField(InfoPanel::kSequenceName)->text(), QStringLiteral("Conductor"));
    panel->discardAndClose();
  }

  void theInfoPanelCommitsOrDiscardsTheTexts() {
    const QString first = write("first.mid", apptest::song());
    const QString second = write("second.mid", apptest::song());
    BrowserWindow window;
    window.chooseRoots({q(dir_->path())});
    window.show();
    QTRY_COMPARE(window.model().pendingCount(), 0);
    QVERIFY(selectFile(window, first));
    window.showInfo();
    InfoPanel* panel = window.infoPanel();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->path(), first);
    QVERIFY(panel->textField(InfoPanel::kTitle)->isEnabled());

    // Cancel forgets the edit and writes nothing.
    const auto before = swtest::TempDir::read(first.toStdString());
    panel->textField(InfoPanel::kTitle)->setText("Discarded");
    QVERIFY(panel->isDirty());
    panel->discardAndClose();
    QVERIFY(!panel->isVisible());
    QCOMPARE(swtest::TempDir::read(first.toStdString()), before);

    // Next writes the edit and moves on; the row shows the new title once read again.
    window.showInfo();
    panel->textField(InfoPanel::kTitle)->setText("Committed");
    panel->textField(InfoPanel::kAuthor)->setText("Somebody");
    panel->commitAndStep(InfoPanel::kNext);
    QCOMPARE(panel->path(), second);
    QCOMPARE(sw::fileInformation(first.toStdString()).title, std::string("Committed"));
    QCOMPARE(sw::fileInformation(first.toStdString()).author, std::string("Somebody"));
    QTRY_COMPARE(window.model().indexesOfPath(first).first().siblingAtColumn(kTitleColumn).data().toString(),
                 QStringLiteral("Committed"));
    // Unchanged texts leave the file alone.
    const auto secondBefore = swtest::TempDir::read(second.toStdString());
    panel->commitAndStep(InfoPanel::kPrevious);
    QCOMPARE(panel->path(), first);
    QCOMPARE(swtest::TempDir::read(second.toStdString()), secondBefore);

    // A failed write: an alert, the panel stays on the file with the edit.
    std::filesystem::remove(first.toStdString());
    panel->textField(InfoPanel::kTitle)->setText("Lost?");
    int alerts = 0;
    acceptNextAlert(&alerts);
    panel->commitAndStep(InfoPanel::kClose);
    QCOMPARE(alerts, 1);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->path(), first);
    QCOMPARE(panel->textField(InfoPanel::kTitle)->text(), QStringLiteral("Lost?"));
    panel->discardAndClose();
  }

  void startAndQuitKeepTheState() {
    const QString file = write("kept.mid", apptest::song());
    sw::SettingsStore& store = sw::SettingsStore::shared();
    {
      ApplicationShell shell;
      StartRequest request;
      request.browse = true;
      request.browsePaths = {file};
      shell.start(request);
      QVERIFY(shell.browser()->isVisible());
      QVERIFY(store.boolForKey("showBrowserWindow"));
      shell.browser()->setGeometry(40, 50, 900, 500);
      shell.setPrintInfo({{"orientation", sw::SettingValue(1)}});
      shell.browser()->close();  // closing hides it for the next start
      QVERIFY(!store.boolForKey("showBrowserWindow"));
      QVERIFY(!shell.browser()->action("showWindow")->isChecked());
      shell.storeStateAndStopPlayers();
    }
    // The roots are kept even though "saveSelection" is off, and not restored.
    QCOMPARE(store.arrayForKey("lastChoosedFiles").size(), size_t(1));
    QCOMPARE(q(store.arrayForKey("lastChoosedFiles")[0].stringValue()), file);
    QVERIFY(!store.stringForKey("browserWindow").empty());
    store.setBool("saveSelection", true);
    {
      ApplicationShell shell;
      const QString editorFile = write("editor.mid", apptest::song());
      StartRequest request;
      request.files = {editorFile};
      const QList<EditorWindow*> editors = shell.start(request);
      QCOMPARE(editors.size(), 1);
      QVERIFY(shell.didOpenFiles());
      QVERIFY(!shell.browser()->isVisible());  // it was closed last time
      QCOMPARE(shell.browser()->model().rootPaths(), QStringList{file});
      QCOMPARE(shell.printInfo().at("orientation").integerValue(), 1);
      QCOMPARE(shell.browser()->geometry().size(), QSize(900, 500));
      // The editor's Window menu brings the hidden browser back.
      QAction* showBrowser = nullptr;
      for (QAction* action : editors.first()->findChildren<QAction*>())
        if (action->text() == QStringLiteral("&Browser")) showBrowser = action;
      QVERIFY(showBrowser);
      showBrowser->trigger();
      QVERIFY(shell.browser()->isVisible());
      delete editors.first();
      // A file that does not open opens no editor; an alert names it, the failure and its status.
      QVERIFY(shell.openFiles({write("broken.mid", {'M', 'T'})}).isEmpty());
      QMessageBox* alert = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QStringLiteral("openFailure") && widget->isVisible())
          alert = qobject_cast<QMessageBox*>(widget);
      QVERIFY(alert);
      QVERIFY(alert->text().contains(QStringLiteral("broken.mid")));
      QVERIFY(alert->informativeText().contains(QStringLiteral("Status: -")));
      alert->close();
    }
    store.setBool("saveSelection", false);
    {
      ApplicationShell shell;
      shell.start({});
      QVERIFY(shell.browser()->isVisible());  // nothing else to show
      QCOMPARE(shell.browser()->model().rootPaths(), QStringList{});
    }
    QCOMPARE(store.arrayForKey("lastChoosedFiles").size(), size_t(0));  // what the last run had
  }

  void quittingStopsEveryPlayer() {
    const QString file = write("playing.mid", apptest::song());
    ApplicationShell shell;
    StartRequest request;
    request.browse = true;
    request.browsePaths = {q(dir_->path())};
    shell.start(request);
    QVERIFY(selectFile(*shell.browser(), file));
    shell.browser()->showInfo();
    TransportBar* transport = shell.browser()->infoPanel()->transport();
    transport->play();
    QVERIFY(transport->isPlaying());
    shell.storeStateAndStopPlayers();
    QVERIFY(!transport->isPlaying());
    shell.storeStateAndStopPlayers();  // a second call does nothing
  }

  void aSecondInstanceHandsItsFilesOver() {
    const QString name = QStringLiteral("scorewell-test-%1").arg(QCoreApplication::applicationPid());
    InstanceChannel running(name);
    QVERIFY(running.listen());
    QStringList received;
    connect(&running, &InstanceChannel::filesReceived, this, [&received](const QStringList& paths) { received = paths; });
    const QString odd = q(dir_->path() + "/line\nfeed 100%.mid");
    auto handed = std::async(std::launch::async, [&] { return InstanceChannel(name).handOver({odd, "/tmp/b.kar"}); });
    QTRY_COMPARE(received, (QStringList{odd, "/tmp/b.kar"}));
    QTRY_VERIFY(handed.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QVERIFY(handed.get());
    // No instance: nothing answers.
    QVERIFY(!InstanceChannel(name + "-none").handOver({"/tmp/x.mid"}, 200));
    // A second listener on the same name refuses.
    InstanceChannel second(name);
    QVERIFY(!second.listen());
  }
};

int runShellTests(int argc, char** argv) {
  ShellTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
