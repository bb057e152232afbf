#include "playback/host_clock.h"

#include <ctime>
#include <thread>

namespace sw {

namespace {

class SystemClock : public HostClock {
 public:
  uint64_t now() const override {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1'000'000'000ull + uint64_t(ts.tv_nsec);
  }
  void sleepFor(uint64_t nanoseconds) override {
    if (nanoseconds == 0) return;
    timespec ts{time_t(nanoseconds / 1'000'000'000ull), long(nanoseconds % 1'000'000'000ull)};
    while (nanosleep(&ts, &ts) != 0) {
    }
  }
};

}  // namespace

HostClock& HostClock::system() {
  static SystemClock clock;
  return clock;
}

void ManualClock::sleepFor(uint64_t nanoseconds) {
  now_.fetch_add(nanoseconds);
  std::this_thread::yield();
}

}  // namespace sw
