#include "base/notification_center.h"

#include <algorithm>

namespace sw {

struct NotificationCenter::Observer {
  Token token;
  std::string name;
  Callback callback;
  // Held while the callback runs; recursive so that the callback may remove itself.
  std::recursive_mutex callMutex;
  bool active = true;
};

NotificationCenter& NotificationCenter::shared() {
  static NotificationCenter center;
  return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Callback callback) {
  auto observer = std::make_shared<Observer>();
  observer->name = std::move(name);
  observer->callback = std::move(callback);
  std::lock_guard lock(mutex_);
  observer->token = nextToken_++;
  observers_.push_back(observer);
  return observer->token;
}

void NotificationCenter::removeObserver(Token token) {
  std::shared_ptr<Observer> removed;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(observers_.begin(), observers_.end(),
                           [token](const auto& observer) { return observer->token == token; });
    if (it == observers_.end()) return;
    removed = *it;
    observers_.erase(it);
  }
  // Waits for a call in progress on another thread; after this the callback never runs again.
  std::lock_guard callLock(removed->callMutex);
  removed->active = false;
}

void NotificationCenter::post(const std::string& name, const UserInfo& userInfo) {
  std::vector<std::shared_ptr<Observer>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const auto& observer : observers_)
      if (observer->name == name) targets.push_back(observer);
  }
  for (const auto& observer : targets) {
    std::lock_guard callLock(observer->callMutex);
    if (observer->active && observer->callback) observer->callback(name, userInfo);
  }
}

}  // namespace sw
