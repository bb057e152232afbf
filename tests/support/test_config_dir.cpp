// Every test process gets a configuration folder of its own, made before any test runs and
// removed at exit, so tests running side by side never share (or touch the user's) settings.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

struct PrivateConfigDir {
  std::string path;
  PrivateConfigDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "scorewell-test-config-XXXXXX").string();
    if (::mkdtemp(pattern.data())) {
      path = pattern;
      ::setenv("SCOREWELL_CONFIG_DIR", path.c_str(), 1);
    }
  }
  ~PrivateConfigDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

PrivateConfigDir instance;

}  // namespace
