// The commands a user feels, timed as a user runs them: scorewell-cli on a generated file of
// about a million events with 29,411 tempo changes. Each run is a separate process; the time
// shown is its CPU time (user + system, steadier than the wall time on a shared machine), with
// its wall time and peak memory as counters.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "song_generator.h"
#include "smf/midi_sequence.h"

extern char** environ;

namespace {

std::string tempPath(const char* name) { return "/tmp/scorewell-cli-bench-" + std::to_string(::getpid()) + "-" + name; }

struct Files {
  std::string song = tempPath("tempo.mid");
  std::string out = tempPath("out.mid");
  std::string script = tempPath("script.txt");
  int events = 0;
  int firstChannelMessage = 0;
  Files() {
    sw::setLogSink([](const std::string&) {});
    const swtest::Bytes bytes = swtest::makeSongWithTempoChanges(16, 29000, 29411, 7);
    std::ofstream(song, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    sw::OSStatus status;
    const sw::MidiSequence sequence(song, sw::kSMFLoadFull, &status);
    events = sequence.count();
    while (firstChannelMessage < events && !sequence.eventAtIndex(firstChannelMessage)->isChannelMessage())
      ++firstChannelMessage;
  }
  ~Files() {
    std::remove(song.c_str());
    std::remove(out.c_str());
    std::remove(script.c_str());
  }
};

Files& files() {
  static Files instance;
  return instance;
}

struct RunResult {
  double seconds = 0;
  double cpuSeconds = 0;
  double peakMiB = 0;
  int exitStatus = -1;
};

// The program timed: the one built here, or SCOREWELL_CLI_PATH (to time an older build).
std::string cliPath() {
  const char* chosen = std::getenv("SCOREWELL_CLI_PATH");
  return chosen && *chosen ? chosen : SCOREWELL_CLI;
}

// Runs scorewell-cli with the arguments, its standard output going to /dev/null.
RunResult runCli(const std::vector<std::string>& arguments) {
  std::vector<std::string> words{cliPath()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  RunResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.peakMiB = double(usage.ru_maxrss) / 1024;
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  return result;
}

void timeCli(benchmark::State& state, const std::vector<std::string>& arguments) {
  RunResult last;
  for (auto _ : state) {
    last = runCli(arguments);
    if (last.exitStatus != 0) {
      state.SkipWithError("scorewell-cli failed");
      return;
    }
    state.SetIterationTime(last.cpuSeconds);
  }
  state.counters["wall_s"] = last.seconds;
  state.counters["peak_MiB"] = last.peakMiB;
  state.counters["events"] = files().events;
}

void runScript(benchmark::State& state, const std::string& script) {
  const Files& f = files();
  std::ofstream(f.script) << script << "\n";
  timeCli(state, {"edit", f.song, "-o", f.out, f.script});
}

std::string allEvents() { return "0-" + std::to_string(files().events - 1); }

void BM_Dump(benchmark::State& state) { timeCli(state, {"dump", files().song}); }
BENCHMARK(BM_Dump)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DumpChannel(benchmark::State& state) { timeCli(state, {"dump", "--channel", "1,2,3,4", files().song}); }
BENCHMARK(BM_DumpChannel)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LyricsEnhancedLRC(benchmark::State& state) {
  timeCli(state, {"lyrics", "--format", "lrc-enhanced", files().song});
}
BENCHMARK(BM_LyricsEnhancedLRC)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state) { timeCli(state, {"write", files().song, "-o", files().out}); }
BENCHMARK(BM_Write)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_EditShiftAll(benchmark::State& state) { runScript(state, "shift 0 +240 all"); }
BENCHMARK(BM_EditShiftAll)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EditDuplicateAll(benchmark::State& state) { runScript(state, "duplicate " + allEvents()); }
BENCHMARK(BM_EditDuplicateAll)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Every channel message moves to channel 2: one undo record holding all of them.
void BM_EditChangeAll(benchmark::State& state) {
  runScript(state, "change " + std::to_string(files().firstChannelMessage) + "-" + std::to_string(files().events - 1) +
                       " channelPlusOne 2");
}
BENCHMARK(BM_EditChangeAll)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Every event moves to the second track, note-offs with their notes: one undo record.
void BM_EditChangeTrackAll(benchmark::State& state) { runScript(state, "change " + allEvents() + " trackPlusOne 2"); }
BENCHMARK(BM_EditChangeTrackAll)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The same file read and written back: the floor an edit cannot go below.
void BM_EditNothing(benchmark::State& state) { runScript(state, "# nothing"); }
BENCHMARK(BM_EditNothing)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
