// A process-wide notification centre: observers register a callback for a name and every
// post of that name calls them, on the posting thread, with a small map of user information.
// Thread-safe. Once removeObserver has returned, the callback is not called again (a call
// already running on another thread is waited for), so its captures may then be destroyed.
// A callback may add or remove observers, itself included, and post further notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sw {

class NotificationCenter {
 public:
  using UserInfo = std::map<std::string, std::string>;
  using Callback = std::function<void(const std::string& name, const UserInfo& userInfo)>;
  using Token = uint64_t;  // 0 is never a valid token

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  static NotificationCenter& shared();

  Token addObserver(std::string name, Callback callback);
  // Unknown or already removed tokens are ignored.
  void removeObserver(Token token);
  // Calls every observer of the name registered before the post began, in registration order.
  void post(const std::string& name, const UserInfo& userInfo = {});

 private:
  struct Observer;

  std::mutex mutex_;
  Token nextToken_ = 1;
  std::vector<std::shared_ptr<Observer>> observers_;
};

}  // namespace sw
