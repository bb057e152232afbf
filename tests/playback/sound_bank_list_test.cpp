// The sound-bank list follows a banks folder through the file-system watcher.
#include "playback/sound_bank_list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "base/run_loop.h"
#include "temp_dir.h"

namespace {

// Drains the current run loop until `done` or the guard time has passed.
template <class Done>
bool pumpUntil(Done done) {
  const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < guard) sw::RunLoop::current()->runFor(std::chrono::milliseconds(20));
  return done();
}

TEST(SoundBankListTest, SeesANewSoundFont) {
  swtest::TempDir dir;
  sw::SoundBankList list({dir.path()});
  EXPECT_TRUE(list.banks().empty());
  int rebuilds = 0;
  list.setChangeHandler([&] { ++rebuilds; });
  ASSERT_TRUE(list.startWatching(nullptr, 0.05));
  dir.write("Piano.sf2", {'R', 'I', 'F', 'F'});
  ASSERT_TRUE(pumpUntil([&] { return list.banks().size() == 1; }));
  EXPECT_EQ(list.banks()[0].name, "Piano");
  EXPECT_EQ(list.banks()[0].path, dir.file("Piano.sf2"));
  EXPECT_GE(rebuilds, 1);
  std::filesystem::remove(dir.file("Piano.sf2"));
  ASSERT_TRUE(pumpUntil([&] { return list.banks().empty(); }));
}

}  // namespace
