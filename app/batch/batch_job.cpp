#include "batch/batch_job.h"
#include "batch/batch_sheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QWidget>


#include <chrono>
#include <climits>
#include <exception>
#include <future>

#include "batch/batch_windows.h"
#include "batch/log_window.h"
#include "batch/progress_window.h"
#include "library/batch_command_parameters.h"
#include "library/batch_commands.h"
#include "library/batch_roots.h"
#include "library/midi_file_item.h"

namespace swapp {

namespace {

BatchJob*& runningJob() {
  static BatchJob* job = nullptr;
  return job;
}

bool askWithMessageBox(QWidget* parent, const QString& title, const QString& message) {
  QApplication::beep();
  QMessageBox box(QMessageBox::Critical, title, title, QMessageBox::Ok | QMessageBox::Cancel, parent);
  box.setInformativeText(message);
  box.button(QMessageBox::Ok)->setText(QObject::tr("Continue"));
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace

// Progress reports from the worker, shown by the window on the main thread.
class BatchJob::Progress : public sw::BatchProgress {
 public:
  explicit Progress(BatchJob& job) : job_(job) {}
  void begin(size_t total) override {
    job_.post([&job = job_, total] {
      if (job.progress_) job.progress_->setValue(0, int(std::min<size_t>(total, INT_MAX)));
    });
  }
  void fileStarted(size_t number, size_t total, const std::string& name) override {
    job_.post([&job = job_, number, total, text = QString::fromStdString(name)] {
      if (!job.progress_) return;
      job.progress_->setMessage(text);
      job.progress_->setValue(int(std::min<size_t>(number - 1, INT_MAX)), int(std::min<size_t>(total, INT_MAX)));
    });
  }
  // The browser's rows follow every file written (side files too) and the old name of a
  // renamed one, as the engine reports them.
  void fileFinished(const sw::BatchFileReport& report) override {
    if (report.outcome != sw::BatchOutcome::Changed || !job_.fileChanged_) return;
    QStringList changed;
    if (!report.output.empty() && report.output != report.path) changed << QString::fromStdString(report.path);
    for (const std::string& written : report.written) changed << QString::fromStdString(written);
    if (!changed.isEmpty())
      job_.post([&job = job_, changed] {
        for (const QString& path : changed) job.fileChanged_(path);
      });
  }
  bool shouldContinue() override { return !job_.stopRequested_.load() && !job_.abandoned_.load(); }

 private:
  BatchJob& job_;
};

class BatchJob::Confirmation : public sw::BatchConfirmation {
 public:
  explicit Confirmation(BatchJob& job) : job_(job) {}
  bool confirmDestructive(const std::string& title, const std::string& message) override {
    return job_.askOnMainThread(title, message);
  }

 private:
  BatchJob& job_;
};

BatchJob::Question& BatchJob::question() {
  static Question question = askWithMessageBox;
  return question;
}

BatchJob* BatchJob::current() { return runningJob(); }

BatchJob* BatchJob::start(QWidget* parent, const std::string& name, const QStringList& paths,
                          FileChanged fileChanged) {
  if (runningJob() || !sw::batchCommand(name) || paths.isEmpty()) return nullptr;
  // Quitting mid-batch waits for the file being processed: files are never left half written.
  static const bool quitHook = [] {
    if (QCoreApplication* application = QCoreApplication::instance())
      QObject::connect(application, &QCoreApplication::aboutToQuit, [] { finishNow(); });
    return true;
  }();
  (void)quitHook;
  auto* job = new BatchJob(parent, name, paths, std::move(fileChanged));
  runningJob() = job;
  return job;
}

BatchJob::BatchJob(QWidget* parent, const std::string& name, const QStringList& paths, FileChanged fileChanged)
    : name_(name), parent_(parent), fileChanged_(std::move(fileChanged)) {
  progressSink_ = std::make_unique<Progress>(*this);
  confirmation_ = std::make_unique<Confirmation>(*this);
  progress_ = new ProgressWindow(tr("Processing Files"), parent);
  progress_->setAttribute(Qt::WA_DeleteOnClose, false);
  if (parent) progress_->setWindowModality(Qt::WindowModal);
  connect(progress_, &ProgressWindow::stopRequested, this, &BatchJob::stop);
  progress_->show();
  std::vector<std::string> list;
  for (const QString& path : paths) list.push_back(path.toStdString());
  worker_ = std::thread(&BatchJob::work, this, std::move(list));
}

BatchJob::~BatchJob() {
  abandoned_.store(true);
  if (worker_.joinable()) worker_.join();
  if (runningJob() == this) runningJob() = nullptr;
  delete progress_.data();
}

void BatchJob::stop() {
  stopRequested_.store(true);
  std::lock_guard<std::mutex> lock(engineMutex_);
  if (engine_) engine_->requestStop();
}

void BatchJob::finishNow() {
  BatchJob* job = runningJob();
  if (!job) return;
  job->abandoned_.store(true);
  job->stop();
  if (job->worker_.joinable()) job->worker_.join();
}

void BatchJob::post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

bool BatchJob::askOnMainThread(const std::string& title, const std::string& message) {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> future = answer->get_future();
  // The task finds the window on the main thread and keeps nothing of the job after the
  // question: the job may be gone by then.
  post([answer, abandoned = abandoned_.load(), title = QString::fromStdString(title),
        message = QString::fromStdString(message)] {
    BatchJob* job = runningJob();
    QWidget* parent = job ? (job->progress_ ? static_cast<QWidget*>(job->progress_.data()) : job->parent_.data())
                          : nullptr;
    answer->set_value(!abandoned && question()(parent, title, message));
  });
  while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
    if (abandoned_.load()) return false;
  return future.get();
}

void BatchJob::work(std::vector<std::string> paths) {
  sw::BatchResult result;
  size_t unusable = 0;
  sw::BatchLog log;
  log.addSink([this](const std::string& line) {
    post([text = QString::fromStdString(line)] { LogWindow::shared().appendLine(text); });
  });
  try {
    const sw::BatchCommand& command = *sw::batchCommand(name_);
    const sw::BatchRoots roots = sw::collectBatchRoots(paths, log);
    unusable = roots.unusable;
    // Results written elsewhere leave the originals as they are: nothing to warn about.
    const std::string outputFolder = BatchSheet::outputFolder();
    sw::BatchEngine engine(log, progressSink_.get(), confirmation_.get());
    engine.setReleasesSequences(true);
    engine.setReadsGivenFiles(true);
    engine.setJobs(0);
    engine.setOutputFolder(outputFolder);
    engine.setWarnsBeforeRewritingDamaged(command.rewritesDamagedFiles && outputFolder.empty());
    {
      std::lock_guard<std::mutex> lock(engineMutex_);
      engine_ = &engine;
    }
    const bool destructive = outputFolder.empty() && command.destructive && command.destructive();
    result = engine.run(roots.pointers(), command.method, destructive, sw::BatchRun{});
    std::lock_guard<std::mutex> lock(engineMutex_);
    engine_ = nullptr;
  } catch (const std::exception& exception) {
    std::lock_guard<std::mutex> lock(engineMutex_);
    engine_ = nullptr;
    log.logText(name_ + ": stopped by an internal error: " + exception.what());
    result.stopped = true;
  }
  post([this, result, unusable] { workDone(result, unusable); });
}

void BatchJob::workDone(sw::BatchResult result, size_t unusable) {
  if (worker_.joinable()) worker_.join();
  result_ = result;
  unusable_ = unusable;
  done_ = true;
  // What confirming the command set for this run only must not outlive it.
  if (const sw::BatchCommandParameters* parameters = sw::batchCommandParameters(name_))
    for (const std::string& key : parameters->keys) sw::SettingsStore::shared().removeRunValue(key);
  if (progress_) progress_->hide();
  if (!result.cancelled && (result.failed > 0 || result.stopped || unusable > 0)) LogWindow::shared().logText(summary());
  if (runningJob() == this) runningJob() = nullptr;
  emit finished();
  deleteLater();
}

QString BatchJob::summary() const {
  const size_t total = result_.total + unusable_;
  const size_t failed = result_.failed + unusable_;
  const size_t succeeded = result_.processed - result_.failed;
  QString title = QString::fromStdString(name_);
  for (const BatchCommandEntry& entry : batchCommandEntries())
    if (entry.name == name_) title = QString(entry.title).remove(QChar(0x2026));
  QString text = title + QStringLiteral(": ") +
                 (total == 1 ? tr("1 file") : tr("%1 files").arg(total)) + tr(", %1 succeeded").arg(succeeded);
  if (result_.unchanged > 0) text += tr(" (%1 unchanged)").arg(result_.unchanged);
  text += tr(", %1 failed").arg(failed);
  if (result_.stopped) text += tr(", %1 not processed (stopped)").arg(result_.total - result_.processed);
  return text;
}

}  // namespace swapp
