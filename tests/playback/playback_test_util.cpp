#include "playback_test_util.h"

#include <unistd.h>

#include <filesystem>

namespace swtest {

namespace {
std::mutex gLogMutex;
std::vector<std::string> gLog;
}  // namespace

void PlaybackEnvironment::SetUp() {
  // Before anything touches the shared settings store: a folder of our own, unset defaults.
  std::string folder = "/tmp/scorewell-playback-test-" + std::to_string(getpid());
  setenv("SCOREWELL_CONFIG_DIR", folder.c_str(), 1);
  setenv("SCOREWELL_AUDIO_DRIVER", "none", 1);
  sw::setLogSink([](const std::string& line) {
    std::lock_guard lock(gLogMutex);
    gLog.push_back(line);
  });
}

void PlaybackEnvironment::TearDown() {
  std::error_code error;
  std::filesystem::remove_all(std::getenv("SCOREWELL_CONFIG_DIR"), error);
}

std::vector<std::string> PlaybackEnvironment::logLines() {
  std::lock_guard lock(gLogMutex);
  return gLog;
}

void PlaybackEnvironment::clearLog() {
  std::lock_guard lock(gLogMutex);
  gLog.clear();
}

[[maybe_unused]] static ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new PlaybackEnvironment);

}  // namespace swtest
