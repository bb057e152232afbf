// The list of sound banks the synthesizer can use, kept up to date: every change the watcher
// reports below a banks folder rebuilds it, on the run loop that started watching.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/pw_events.h"
#include "playback/fluidsynth/sound_bank.h"

namespace sw {

class SoundBankList : public PWEventListener {
 public:
  // The standard sound-font folders unless others are given.
  explicit SoundBankList(std::vector<std::string> folders = soundBankFolders());
  ~SoundBankList() override;

  const std::vector<SoundBankEntry>& banks() const { return banks_; }
  const std::vector<std::string>& folders() const { return folders_; }
  void rebuild();
  // Watches the folders that exist, delivering on `runLoop` (the current one when null).
  bool startWatching(std::shared_ptr<RunLoop> runLoop = nullptr, double latencySeconds = 1.0);
  void stopWatching() { watcher_.stopWatchingPaths(); }
  PWEvents& watcher() { return watcher_; }
  // Called after each rebuild.
  void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

  void pathWatcherEventOccurred(PWEvents& watcher, const PWEvent& event) override;

 private:
  std::vector<std::string> folders_;
  std::vector<SoundBankEntry> banks_;
  PWEvents watcher_;
  std::function<void()> changed_;
  bool rebuildQueued_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // lets queued rebuilds see we are gone
};

}  // namespace sw
