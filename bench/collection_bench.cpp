// Whole collections as a user converts them: N generated karaoke files of about 50 KB (a
// hundred per folder) converted to format 0 in place by scorewell-cli, with --jobs 1 and with
// --jobs 2 on a fresh copy, each a separate process timed on the wall clock; then the same run
// again, which reads every file and writes none; then info --json over the converted files.
// Prints files per second for each and the ratios, so that runs over 1,000, 10,000 and
// 100,000 files show whether the cost per file stays the same.
//
//   collection_bench [N...] [--only-parallel N...] [--dir FOLDER] [--best-of R]
//   collection_bench --make N FOLDER      (only makes the files)
//
// Defaults: 1000 and 10000 files under /tmp, each run once. With --best-of R every size is
// run R times, one job and two jobs taking turns, and the best rate of each kind is shown:
// this machine's speed (its disk's most of all) changes from one minute to the next. Sizes
// after --only-parallel run with --jobs 2 only (100,000 files take 5 GB and minutes per run).
// Note the machine's load (uptime) with the figures: other work on it slows the runs.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "karaoke_generator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

void makeCollection(const fs::path& root, size_t files) {
  const auto languages = swtest::languages();
  for (size_t i = 0; i < files; ++i) {
    const fs::path folder = root / ("folder" + std::to_string(i / 100));
    if (i % 100 == 0) fs::create_directories(folder);
    // A few distinct songs, repeated: generating is not what is measured.
    static std::vector<swtest::Bytes> songs;
    if (songs.empty())
      for (uint32_t seed = 0; seed < 16; ++seed) songs.push_back(swtest::makeKaraokeFile(languages[seed % 4], seed));
    const swtest::Bytes& bytes = songs[i % songs.size()];
    std::ofstream(folder / ("song" + std::to_string(i) + ".kar"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
}

// Runs the command line; the wall time in seconds, or a negative number when it failed.
double timedRun(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

struct Rates {
  double written = 0;    // files per second converting every file (each rewritten, with fsync)
  double unchanged = 0;  // files per second of the same run again: every file read, none written
  double info = 0;       // files per second of info --json over the converted files

  void keepBest(const Rates& other) {
    written = std::max(written, other.written);
    unchanged = std::max(unchanged, other.unchanged);
    info = std::max(info, other.info);
  }
};

Rates filesPerSecond(const fs::path& root, size_t files, unsigned jobs) {
  makeCollection(root, files);
  ::sync();
  auto rate = [&] {
    const double seconds = timedRun({SCOREWELL_CLI, "convert", "--format", "0", "-y", "--jobs", std::to_string(jobs),
                                     root.string()});
    return seconds > 0 ? double(files) / seconds : 0;
  };
  Rates rates;
  rates.written = rate();
  rates.unchanged = rate();
  const double listing = timedRun({SCOREWELL_CLI, "info", "--json", "--jobs", std::to_string(jobs), root.string()});
  rates.info = listing > 0 ? double(files) / listing : 0;
  fs::remove_all(root);
  return rates;
}

// A positive count, or nothing for anything else.
std::optional<size_t> countOf(std::string_view text) {
  size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
  return value;
}

int usage() {
  std::fprintf(stderr,
               "usage: collection_bench [N...] [--only-parallel N...] [--dir FOLDER] [--best-of R]\n"
               "       collection_bench --make N FOLDER\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> both, parallelOnly;
  fs::path base = fs::temp_directory_path();
  bool onlyParallel = false;
  int rounds = 1;
  if (argc == 4 && std::string(argv[1]) == "--make") {
    const std::optional<size_t> files = countOf(argv[2]);
    if (!files) return usage();
    makeCollection(argv[3], *files);  // only the files, to time other runs by hand
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--only-parallel") {
      onlyParallel = true;
    } else if (argument == "--best-of" && i + 1 < argc) {
      const std::optional<size_t> count = countOf(argv[++i]);
      if (!count) return usage();
      rounds = int(std::min<size_t>(*count, 100));
    } else if (argument == "--dir" && i + 1 < argc) {
      base = argv[++i];
    } else if (const std::optional<size_t> files = countOf(argument)) {
      (onlyParallel ? parallelOnly : both).push_back(*files);
    } else {
      return usage();
    }
  }
  if (both.empty() && parallelOnly.empty()) both = {1000, 10000};
  const fs::path root = base / ("scorewell-collection-bench-" + std::to_string(::getpid()));
  // The settings of the run are its own: no question before rewriting.
  ::setenv("SCOREWELL_CONFIG_DIR", (root.string() + "-config").c_str(), 1);
  std::printf("%10s | %-27s | %-27s | %-27s\n", "", "files/s converting (written)", "files/s again (unchanged)",
              "files/s info --json");
  std::printf("%10s | %8s %8s %8s | %8s %8s %8s | %8s %8s %8s\n", "files", "jobs 1", "jobs 2", "ratio", "jobs 1",
              "jobs 2", "ratio", "jobs 1", "jobs 2", "ratio");
  for (size_t files : both) {
    Rates one, two;
    for (int round = 0; round < rounds; ++round) {
      one.keepBest(filesPerSecond(root, files, 1));
      two.keepBest(filesPerSecond(root, files, 2));
    }
    std::printf("%10zu | %8.0f %8.0f %8.2f | %8.0f %8.0f %8.2f | %8.0f %8.0f %8.2f\n", files, one.written,
                two.written, one.written > 0 ? two.written / one.written : 0.0, one.unchanged, two.unchanged,
                one.unchanged > 0 ? two.unchanged / one.unchanged : 0.0, one.info, two.info,
                one.info > 0 ? two.info / one.info : 0.0);
    std::fflush(stdout);
  }
  for (size_t files : parallelOnly) {
    Rates two;
    for (int round = 0; round < rounds; ++round) two.keepBest(filesPerSecond(root, files, 2));
    std::printf("%10zu | %8s %8.0f %8s | %8s %8.0f %8s | %8s %8.0f %8s\n", files, "-", two.written, "", "-",
                two.unchanged, "", "-", two.info, "");
    std::fflush(stdout);
  }
  fs::remove_all(root.string() + "-config");
  return 0;
}
