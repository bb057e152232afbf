#include "playback/sound_bank_list.h"

#include <filesystem>

namespace sw {

SoundBankList::SoundBankList(std::vector<std::string> folders) : folders_(std::move(folders)) {
  watcher_.setDelegate(this);
  rebuild();
}

SoundBankList::~SoundBankList() {
  watcher_.setDelegate(nullptr);
  watcher_.stopWatchingPaths();
}

void SoundBankList::rebuild() {
  banks_ = findSoundBanks(folders_);
  if (changed_) changed_();
}

bool SoundBankList::startWatching(std::shared_ptr<RunLoop> runLoop, double latencySeconds) {
  std::vector<std::string> existing;
  for (const std::string& folder : folders_) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) existing.push_back(folder);
  }
  watcher_.setNotificationLatency(latencySeconds);
  return watcher_.startWatchingPaths(existing, runLoop ? runLoop : RunLoop::current());
}

void SoundBankList::pathWatcherEventOccurred(PWEvents&, const PWEvent&) {
  // One rebuild for a whole batch: queued behind it on the same run loop.
  if (rebuildQueued_) return;
  rebuildQueued_ = true;
  std::weak_ptr<bool> alive = alive_;
  RunLoop::current()->post([this, alive] {
    if (alive.expired()) return;
    rebuildQueued_ = false;
    rebuild();
  });
}

}  // namespace sw
