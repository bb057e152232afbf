// Computes the information records of files on background threads and hands them to the main
// thread in batches: a timer drains what the workers finished, so ten thousand files make a
// few dozen deliveries, not one queued signal per file.
#pragma once

#include <QObject>
#include <QHash>
#include <QSet>
#include <QString>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "library/file_information.h"

namespace swapp {

struct InformationResult {
  QString path;
  std::shared_ptr<const sw::FileInformation> information;
  qint64 size = 0;
  qint64 modified = 0;  // ms since the epoch, when the file was read
};

class InformationLoader : public QObject {
  Q_OBJECT
 public:
  explicit InformationLoader(QObject* parent = nullptr);
  ~InformationLoader() override;  // waits for the workers

  // Queues a file; a path already waiting is not queued twice.
  void request(const QString& path);
  // Forgets the waiting files whose path is `folder` or lies below it.
  void discardBelow(const QString& folder);
  void discardAll();
  // Files queued or being read and not yet delivered.
  int outstanding() const;
  // Delivers what is finished now (the timer does it every `interval` ms).
  void deliverNow();
  void setDeliveryInterval(int milliseconds) { timer_.setInterval(milliseconds); }
  // Blocks until every queued file is read and delivered (tests and benchmarks).
  void waitForAll();

 signals:
  void delivered(const std::vector<swapp::InformationResult>& results);

 private:
  void work();

  QThreadPool pool_;
  QTimer timer_;
  mutable std::mutex mutex_;
  std::deque<QString> queue_;
  // Per path, the number of the latest request: a read that a newer request overtook (a
  // refresh while the file was being read) is not delivered, so old values never win.
  QHash<QString, quint64> latest_;
  quint64 nextRequest_ = 0;
  std::vector<InformationResult> finished_;
  QSet<QString> queued_;
  int running_ = 0;   // workers started and not finished
  int reading_ = 0;   // files taken from the queue and not yet finished
};

}  // namespace swapp
