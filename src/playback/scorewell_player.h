// The player the application uses: every walk over the sequence holds the sequence's own
// recursive lock, which its insert and remove operations also take, so the editor can change
// a sequence while it plays.
#pragma once

#include "playback/midi_player.h"

namespace sw {

class ScorewellPlayer : public MidiPlayer {
 public:
  using MidiPlayer::MidiPlayer;
  ~ScorewellPlayer() override;

  void processEventsAtTicks(int32_t ticks, uint64_t timeStamp) override;

 protected:
  std::unique_lock<std::recursive_mutex> guardSequence() const override;
};

}  // namespace sw
