#include "browser/information_loader.h"

#include <QFileInfo>

namespace swapp {

InformationLoader::InformationLoader(QObject* parent) : QObject(parent) {
  pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
  timer_.setInterval(50);
  connect(&timer_, &QTimer::timeout, this, &InformationLoader::deliverNow);
}

InformationLoader::~InformationLoader() {
  discardAll();
  pool_.waitForDone();
}

void InformationLoader::request(const QString& path) {
  std::lock_guard lock(mutex_);
  latest_[path] = ++nextRequest_;
  if (queued_.contains(path)) return;
  queued_.insert(path);
  queue_.push_back(path);
  if (running_ < pool_.maxThreadCount()) {
    ++running_;
    pool_.start([this] { work(); });
  }
  if (!timer_.isActive()) timer_.start();
}

void InformationLoader::discardBelow(const QString& folder) {
  const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  std::lock_guard lock(mutex_);
  std::erase_if(queue_, [&](const QString& path) {
    const bool below = path == folder || path.startsWith(prefix);
    if (below) {
      queued_.remove(path);
      latest_.remove(path);
    }
    return below;
  });
}

void InformationLoader::discardAll() {
  std::lock_guard lock(mutex_);
  queue_.clear();
  queued_.clear();
  latest_.clear();
}

int InformationLoader::outstanding() const {
  std::lock_guard lock(mutex_);
  return int(queue_.size() + finished_.size()) + reading_;
}

void InformationLoader::work() {
  for (;;) {
    QString path;
    quint64 request = 0;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) {
        --running_;
        return;
      }
      path = std::move(queue_.front());
      queue_.pop_front();
      queued_.remove(path);
      request = latest_.value(path);
      ++reading_;
    }
    InformationResult result;
    result.path = path;
    const QFileInfo file(path);
    result.size = file.size();
    result.modified = file.lastModified().toMSecsSinceEpoch();
    result.information = std::make_shared<const sw::FileInformation>(sw::fileInformation(path.toStdString()));
    std::lock_guard lock(mutex_);
    --reading_;
    if (latest_.value(path) != request) continue;  // requested again meanwhile: that read decides
    latest_.remove(path);
    finished_.push_back(std::move(result));
  }
}

void InformationLoader::deliverNow() {
  std::vector<InformationResult> results;
  bool idle = false;
  {
    std::lock_guard lock(mutex_);
    results.swap(finished_);
    idle = queue_.empty() && reading_ == 0;
  }
  if (idle) timer_.stop();
  if (!results.empty()) emit delivered(results);
}

void InformationLoader::waitForAll() {
  pool_.waitForDone();
  deliverNow();
}

}  // namespace swapp
