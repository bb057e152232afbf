// Any bytes as the settings file: loaded, read through every getter, and saved again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/log.h"
#include "base/settings_store.h"

namespace {

// One file in a private folder, reused for every input.
const std::string& settingsPath() {
  static const std::string path = [] {
    char folder[] = "/tmp/scorewell-fuzz-XXXXXX";
    if (!::mkdtemp(folder)) std::abort();
    sw::setLogSink([](const std::string&) {});
    static std::string made = folder;
    std::atexit([] { std::filesystem::remove_all(made); });
    return made + "/settings.plist";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = settingsPath();
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  sw::SettingsStore store(path);
  store.registerDefaults({{"warnBeforeDestructiveProcessing", true}, {"transposeChannelMask", 65023},
                          {"currentCreator", "Krl2"}});
  for (const auto& [key, value] : store.dictionaryRepresentation()) {
    (void)store.boolForKey(key);
    (void)store.integerForKey(key);
    (void)store.doubleForKey(key);
    (void)store.stringForKey(key);
    (void)store.arrayForKey(key);
  }
  store.save();
  return 0;
}
