// A batch run through the windows: progress, Stop between files, the log's lines, the rows
// the browser refreshes, the warning before rewriting, bad files left as they were, and an
// event loop that keeps turning while the files are processed.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "base/settings_store.h"
#include "batch/batch_job.h"
#include "batch/batch_sheet.h"
#include "batch/batch_windows.h"
#include "batch/log_window.h"
#include "batch/progress_window.h"
#include "library/batch_defaults.h"
#include "library/factory_defaults.h"
#include "settings/chord_alias_panel.h"
#include "text/xf_chord_manager.h"
#include "temp_dir.h"
#include "test_files.h"

using namespace swapp;

namespace {

sw::SettingsStore& store() { return sw::SettingsStore::shared(); }

// Longer songs so that one file takes a moment to transpose.
swtest::Bytes longSong() {
  swtest::MidiFileBuilder file(1, 480);
  file.track().text(0, 0x03, "Conductor").tempo(0, 500000).timeSignature(0, 4, 2).endOfTrack();
  auto& notes = file.track();
  notes.text(0, 0x03, "Piano");
  for (int i = 0; i < 3000; ++i) notes.noteOn(i ? 10 : 0, i % 16 == 9 ? 0 : i % 16, 40 + i % 40, 90).noteOff(10, i % 16 == 9 ? 0 : i % 16, 40 + i % 40);
  notes.endOfTrack();
  return file.bytes();
}

struct Changes {
  QStringList paths;
  bool allOnMainThread = true;
};

// Waits for the running batch to finish; false on a time-out.
bool waitForBatch(int timeoutMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (batchIsRunning() && timer.elapsed() < timeoutMs) QTest::qWait(10);
  QTest::qWait(20);  // the job's last posted tasks
  return !batchIsRunning();
}

}  // namespace

class BatchRunTest : public QObject {
  Q_OBJECT

  std::unique_ptr<swtest::TempDir> dir_;
  int questions_ = 0;
  bool answer_ = true;

  std::function<void(const QString&)> recorder(Changes& changes) {
    return [&changes](const QString& path) {
      changes.paths << path;
      changes.allOnMainThread = changes.allOnMainThread && QThread::currentThread() == qApp->thread();
    };
  }

 private slots:
  void init() {
    dir_ = std::make_unique<swtest::TempDir>();
    sw::registerFactoryDefaults();
    sw::registerBatchDefaults();
    store().removeObjectForKey("warnBeforeDestructiveProcessing");
    store().setInteger("transposeAmount", 2);
    store().setInteger("compandAction", 1);
    questions_ = 0;
    answer_ = true;
    BatchJob::question() = [this](QWidget*, const QString&, const QString&) {
      ++questions_;
      return answer_;
    };
    LogWindow::shared().clear();
  }
  void cleanup() {
    QVERIFY(waitForBatch());
    store().removeObjectForKey("transposeAmount");
    store().removeObjectForKey("compandAction");
  }

  void runLogsBadFilesAndRefreshesTheChangedOnes() {
    const std::string good = dir_->write("good.mid", apptest::song());
    const std::string locked = dir_->write("locked.mid", apptest::song());
    ::chmod(locked.c_str(), 0444);
    swtest::Bytes damagedBytes = apptest::song();
    damagedBytes.resize(damagedBytes.size() - 9);  // the last track runs past the end
    const std::string damaged = dir_->write("damaged.mid", damagedBytes);
    const std::string vanished = dir_->write("vanished.mid", apptest::song());
    const QStringList paths{QString::fromStdString(good), QString::fromStdString(locked),
                            QString::fromStdString(damaged), QString::fromStdString(vanished)};
    ::unlink(vanished.c_str());

    // Confirming Transpose leaves channel 10 out for this run only.
    store().setInteger("transposeChannelMask", 0xFFFF);
    Changes changes;
    QVERIFY(startBatchCommand(nullptr, "Transpose", paths, recorder(changes)));
    QCOMPARE(store().integerForKey("transposeChannelMask"), 65023);
    QVERIFY(batchIsRunning());
    QVERIFY(!startBatchCommand(nullptr, "Compand", paths, {}));  // one batch at a time
    QVERIFY(waitForBatch());
    QCOMPARE(questions_, 1);  // the warning before rewriting

    QVERIFY(swtest::TempDir::read(good) != apptest::song());
    QVERIFY(swtest::TempDir::read(locked) == apptest::song());
    QVERIFY(swtest::TempDir::read(damaged) == damagedBytes);
    QVERIFY(changes.allOnMainThread);
    QVERIFY(changes.paths.contains(QString::fromStdString(good)));

    // One line per bad file, "date time<TAB>path description [code]", and the summary.
    const QStringList lines = LogWindow::shared().text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression form(QStringLiteral("^\\S+ \\S+\\t.+ \\[-?\\d+\\]$"));
    for (const char* name : {"locked.mid", "damaged.mid", "vanished.mid"}) {
      const QStringList about = lines.filter(QString::fromLatin1(name));
      QCOMPARE(about.size(), 1);
      QVERIFY2(form.match(about.first()).hasMatch(), qPrintable(about.first()));
    }
    QVERIFY(lines.last().contains(QStringLiteral("Transpose: 4 files, 1 succeeded, 3 failed")));
    QVERIFY(LogWindow::shared().isVisible());
    // The log prints, here into a PDF file.
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir_->file("log.pdf")));
    LogWindow::shared().printTo(printer);
    QVERIFY(swtest::TempDir::read(dir_->file("log.pdf")).size() > 500);
    QCOMPARE(store().integerForKey("transposeChannelMask"), 0xFFFF);
    store().removeObjectForKey("transposeChannelMask");
  }

  void resultsWrittenElsewhereKeepTheOriginals() {
    std::filesystem::create_directories(dir_->file("in/deep"));
    const std::string first = dir_->write("in/first.mid", apptest::song());
    const std::string second = dir_->write("in/deep/second.mid", apptest::song());
    const std::string output = dir_->file("out");
    // The sheet refuses the choice without a folder.
    std::unique_ptr<BatchSheet> sheet(BatchSheet::create("Transpose", {}, nullptr));
    auto* elsewhere = sheet->findChild<QCheckBox*>(QString::fromLatin1(BatchSheet::kWritesElsewhereKey));
    QVERIFY(elsewhere);
    sheet->show();
    elsewhere->setChecked(true);
    sheet->accept();
    QVERIFY(!sheet->problem().isEmpty());
    store().setString(BatchSheet::kOutputFolderKey, output);
    QCOMPARE(BatchSheet::outputFolder(), output);

    Changes changes;
    QVERIFY(startBatchCommand(nullptr, "Transpose", {QString::fromStdString(dir_->file("in"))}, recorder(changes)));
    QVERIFY(waitForBatch());
    store().removeObjectForKey(BatchSheet::kWritesElsewhereKey);
    store().removeObjectForKey(BatchSheet::kOutputFolderKey);
    QCOMPARE(questions_, 0);  // nothing is rewritten: no warning
    QVERIFY(swtest::TempDir::read(first) == apptest::song());
    QVERIFY(swtest::TempDir::read(second) == apptest::song());
    const std::vector<uint8_t> written = swtest::TempDir::read(output + "/deep/second.mid");
    QVERIFY(!written.empty() && written != apptest::song());
    QVERIFY(!swtest::TempDir::read(output + "/first.mid").empty());
  }

  void refusedWarningTouchesNothing() {
    const std::string path = dir_->write("song.mid", apptest::song());
    answer_ = false;
    Changes changes;
    QVERIFY(startBatchCommand(nullptr, "Transpose", {QString::fromStdString(path)}, recorder(changes)));
    QVERIFY(waitForBatch());
    QCOMPARE(questions_, 1);
    QVERIFY(swtest::TempDir::read(path) == apptest::song());
    QVERIFY(changes.paths.isEmpty());
    QVERIFY(LogWindow::shared().text().isEmpty());

    // Without the warning switch nobody is asked; a run that never rewrites never asks.
    store().setBool("warnBeforeDestructiveProcessing", false);
    QVERIFY(startBatchCommand(nullptr, "Transpose", {QString::fromStdString(path)}, recorder(changes)));
    QVERIFY(waitForBatch());
    store().removeObjectForKey("warnBeforeDestructiveProcessing");
    QVERIFY(startBatchCommand(nullptr, "Compand", {QString::fromStdString(path)}, {}));
    QVERIFY(waitForBatch());
    QCOMPARE(questions_, 1);
    QVERIFY(swtest::TempDir::read(path) != apptest::song());
  }

  void extractLyricsReportsTheSideFilesItWrites() {
    const std::string withLyrics = dir_->write("words.mid", apptest::song());
    swtest::MidiFileBuilder plain(1, 480);
    plain.track().tempo(0, 500000).endOfTrack();
    const std::string withoutLyrics = dir_->write("plain.mid", plain.bytes());
    store().setInteger("extractLyricsFormat", 0);
    Changes changes;
    QVERIFY(startBatchCommand(nullptr, "ExtractLyrics",
                              {QString::fromStdString(withLyrics), QString::fromStdString(withoutLyrics)},
                              recorder(changes)));
    QVERIFY(waitForBatch());
    QCOMPARE(questions_, 0);  // nothing is rewritten
    QCOMPARE(changes.paths, QStringList{QString::fromStdString(dir_->file("words.txt"))});
    QVERIFY(swtest::TempDir::read(withLyrics) == apptest::song());
    store().removeObjectForKey("extractLyricsFormat");
    QVERIFY(!startBatchCommand(nullptr, "ExtractLyrics", {}, {}));  // nothing to run over
  }

  void stopEndsTheRunBetweenFilesAndTheLoopKeepsTurning() {
    const swtest::Bytes bytes = longSong();
    QStringList paths;
    for (int i = 0; i < 40; ++i) paths << QString::fromStdString(dir_->write("song" + std::to_string(i) + ".mid", bytes));

    // The event loop's longest pause while the batch runs.
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed(), longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      longest = std::max(longest, clock.elapsed() - last);
      last = clock.elapsed();
    });
    ticker.start(5);

    // Stop is clicked when the first file is reported done: however fast the files go, the run
    // then has files left, and the window says it is stopping.
    Changes changes;
    ProgressWindow* progress = nullptr;
    QString shownMessage;
    bool clicked = false, stopDisabled = false;
    const auto record = recorder(changes);
    QVERIFY(startBatchCommand(nullptr, "Transpose", paths, [&](const QString& path) {
      record(path);
      if (clicked || !progress) return;
      clicked = true;
      progress->stopButton()->click();
      shownMessage = progress->message();
      stopDisabled = !progress->stopButton()->isEnabled();
    }));
    progress = BatchJob::current()->progressWindow();
    QVERIFY(progress->isVisible());
    QPointer<BatchJob> job(BatchJob::current());
    sw::BatchResult result;
    QObject::connect(job, &BatchJob::finished, [&] { result = job->result(); });
    QVERIFY(waitForBatch());
    ticker.stop();
    QVERIFY2(shownMessage.startsWith(QStringLiteral("Stopping")), qPrintable(shownMessage));
    QVERIFY(stopDisabled);
    QVERIFY(result.stopped);
    QVERIFY(result.processed < 40);
    QCOMPARE(result.total, size_t(40));
    // The files after the stop are as they were.
    int untouched = 0;
    for (const QString& path : paths) untouched += swtest::TempDir::read(path.toStdString()) == bytes;
    QCOMPARE(untouched, 40 - int(result.processed));
    QCOMPARE(changes.paths.size(), int(result.processed));
    qInfo("longest pause of the event loop during the batch: %lld ms", longest);
    QVERIFY2(longest < 100, qPrintable(QStringLiteral("the event loop stood still for %1 ms").arg(longest)));
    QVERIFY(LogWindow::shared().text().contains(QStringLiteral("not processed (stopped)")));
  }

  void closingWindowsDuringABatchIsSafe() {
    const swtest::Bytes bytes = longSong();
    QStringList paths;
    for (int i = 0; i < 20; ++i) paths << QString::fromStdString(dir_->write("song" + std::to_string(i) + ".mid", bytes));
    auto* browser = new QWidget;
    browser->show();
    QVERIFY(startBatchCommand(browser, "Compand", paths, [browser](const QString&) { browser->update(); }));
    {
      // The chord aliases a batch may be using cannot change under it.
      sw::XFChordManager manager(dir_->file("aliases.plist"));
      ChordAliasPanel panel(manager);
      QVERIFY(!panel.revert());
      QVERIFY(panel.message()->text().contains(QStringLiteral("batch is running")));
    }
    QTest::qWait(30);
    delete browser;  // the browser closes while the files are processed
    QTest::qWait(30);
    if (BatchJob::current() && BatchJob::current()->progressWindow())
      BatchJob::current()->progressWindow()->close();  // closing the progress window stops the batch
    QVERIFY(waitForBatch());
    QVERIFY(!batchIsRunning());

    // The application quitting mid-batch waits for the current file and answers questions no.
    answer_ = true;
    BatchJob::question() = [](QWidget*, const QString&, const QString&) {
      stopBatchAndWait();
      return true;
    };
    QVERIFY(startBatchCommand(nullptr, "Transpose", paths, {}));
    QVERIFY(waitForBatch());
  }
};

int runBatchRunTests(int argc, char** argv) {
  BatchRunTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "batch_run_test.moc"
