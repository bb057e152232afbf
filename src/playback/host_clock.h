// Host time: the monotonic clock in nanoseconds. Timestamps handed to outputs are host
// times; 0 means "now". The player and the synthesizer read time and sleep through a clock
// object so that tests and offline rendering can run on a clock of their own.
#pragma once

#include <atomic>
#include <cstdint>

namespace sw {

class HostClock {
 public:
  virtual ~HostClock() = default;
  virtual uint64_t now() const = 0;
  virtual void sleepFor(uint64_t nanoseconds) = 0;

  // CLOCK_MONOTONIC.
  static HostClock& system();
};

// A clock that moves only when told to, or by the time a sleeper asks for (sleepFor advances
// it at once and yields), so a playback thread runs as fast as the machine allows.
class ManualClock : public HostClock {
 public:
  explicit ManualClock(uint64_t start = 1'000'000'000) : now_(start) {}
  uint64_t now() const override { return now_.load(); }
  void sleepFor(uint64_t nanoseconds) override;
  void set(uint64_t time) { now_.store(time); }
  void advance(uint64_t nanoseconds) { now_.fetch_add(nanoseconds); }

 private:
  std::atomic<uint64_t> now_;
};

inline constexpr uint64_t kNanosPerMicro = 1000;
inline constexpr uint64_t kNanosPerMilli = 1'000'000;

// The system tick count of 1/60 s used by the level meters.
inline uint32_t systemTicks(const HostClock& clock) { return uint32_t(clock.now() / (1'000'000'000ull / 60)); }

}  // namespace sw
