#include "playback/scorewell_player.h"

namespace sw {

ScorewellPlayer::~ScorewellPlayer() {
  // Stops the thread while this object's lock hook still exists.
  cleanup();
  stop();
}

void ScorewellPlayer::processEventsAtTicks(int32_t ticks, uint64_t timeStamp) {
  // One tick's events under one hold of the lock; the base walk re-reads index and count.
  auto guard = guardSequence();
  MidiPlayer::processEventsAtTicks(ticks, timeStamp);
}

std::unique_lock<std::recursive_mutex> ScorewellPlayer::guardSequence() const {
  if (!eventList()) return {};
  return std::unique_lock(eventList()->lock());
}

}  // namespace sw
