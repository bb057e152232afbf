// One batch command run by the desktop: the engine runs on a worker thread over the named
// files and folders, while the progress window (message, bar, Stop), the log window and the
// browser's rows are updated on the main thread. Questions (the warning before rewriting
// files) are asked on the main thread while the worker waits. One batch at a time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "library/batch_engine.h"

class QWidget;

namespace swapp {

class ProgressWindow;

class BatchJob : public QObject {
  Q_OBJECT
 public:
  // Called on the main thread with each file rewritten, renamed (old and new path) or created
  // (the side files of Extract lyrics).
  using FileChanged = std::function<void(const QString& path)>;
  // Asks before files are rewritten: true to go on. Replaced by tests.
  using Question = std::function<bool(QWidget* parent, const QString& title, const QString& message)>;
  static Question& question();

  // Starts command `name` (its parameters already in the settings) over `paths`; null when
  // another batch is running, there is no such command or no path. The job deletes itself when done.
  static BatchJob* start(QWidget* parent, const std::string& name, const QStringList& paths,
                         FileChanged fileChanged = {});
  // The running batch, or null.
  static BatchJob* current();
  // Stops the running batch after its current file and waits for it, answering "no" to a
  // question it still waits for (the application is quitting).
  static void finishNow();

  ~BatchJob() override;

  const std::string& commandName() const { return name_; }
  ProgressWindow* progressWindow() const { return progress_; }
  // Stops before the next file (the Stop button).
  void stop();
  // Valid once finished() was sent.
  const sw::BatchResult& result() const { return result_; }
  size_t unusablePaths() const { return unusable_; }
  // What the log got for the summary: "Convert: 3 files, 2 succeeded, 1 failed".
  QString summary() const;

 signals:
  void finished();

 private:
  class Progress;
  class Confirmation;

  BatchJob(QWidget* parent, const std::string& name, const QStringList& paths, FileChanged fileChanged);
  void work(std::vector<std::string> paths);
  void workDone(sw::BatchResult result, size_t unusable);
  bool askOnMainThread(const std::string& title, const std::string& message);
  void post(std::function<void()> task);

  std::string name_;
  QPointer<QWidget> parent_;
  FileChanged fileChanged_;
  QPointer<ProgressWindow> progress_;
  std::unique_ptr<Progress> progressSink_;
  std::unique_ptr<Confirmation> confirmation_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> abandoned_{false};
  std::mutex engineMutex_;
  sw::BatchEngine* engine_ = nullptr;  // while the worker runs it
  std::thread worker_;
  sw::BatchResult result_;
  size_t unusable_ = 0;
  bool done_ = false;
};

}  // namespace swapp
