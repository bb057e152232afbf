#include "base/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/log.h"
#include "temp_dir.h"

using namespace sw;
using swtest::TempDir;

namespace {

// Collects log lines for the lifetime of the object.
class LogRecorder {
 public:
  LogRecorder() {
    previous_ = setLogSink([this](const std::string& line) { lines.push_back(line); });
  }
  ~LogRecorder() { setLogSink(previous_); }
  std::vector<std::string> lines;

 private:
  LogSink previous_;
};

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(SettingsStore, EveryValueTypeSurvivesTheFile) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingValue::Dictionary nested{{"name", "Untitled"}, {"data", SettingValue::Array{1, "two", 3.5}}};
  {
    SettingsStore store(path);
    EXPECT_EQ(store.setBool("fixExtension", true), noErr);
    EXPECT_EQ(store.setInteger("transposeAmount", -7), noErr);
    EXPECT_EQ(store.setInteger("encoding", int64_t(0x9c000100)), noErr);
    EXPECT_EQ(store.setDouble("ratio", 0.25), noErr);
    EXPECT_EQ(store.setString("currentCreator", "Krl2 – ü"), noErr);
    EXPECT_EQ(store.setObject("Encodings", SettingValue::Array{4, 30, int64_t(0x80000400), 5}), noErr);
    EXPECT_EQ(store.setObject("TSPreset_x", SettingValue::Array{nested}), noErr);
  }
  SettingsStore again(path);
  EXPECT_TRUE(again.boolForKey("fixExtension"));
  EXPECT_EQ(again.integerForKey("transposeAmount"), -7);
  EXPECT_EQ(again.integerForKey("encoding"), 0x9c000100);
  EXPECT_DOUBLE_EQ(again.doubleForKey("ratio"), 0.25);
  EXPECT_EQ(again.stringForKey("currentCreator"), "Krl2 – ü");
  EXPECT_EQ(again.arrayForKey("Encodings"), (SettingValue::Array{4, 30, int64_t(0x80000400), 5}));
  ASSERT_EQ(again.arrayForKey("TSPreset_x").size(), 1u);
  EXPECT_EQ(again.arrayForKey("TSPreset_x")[0].dictionaryValue(), nested);
}

TEST(SettingsStore, DefaultsAnswerOnlyForUnsetKeysAndAreNeverSaved) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingsStore store(path);
  store.registerDefaults({{"useGMInstruments", true}, {"MIDIChannelOld", 1}, {"currentCreator", "Krl2"}});
  EXPECT_TRUE(store.boolForKey("useGMInstruments"));
  EXPECT_EQ(store.integerForKey("MIDIChannelOld"), 1);
  // Missing keys read as nothing.
  EXPECT_FALSE(store.boolForKey("fixSignature"));
  EXPECT_EQ(store.integerForKey("formatChosen"), 0);
  EXPECT_EQ(store.stringForKey("regExp1"), "");
  EXPECT_FALSE(store.objectForKey("regExp1"));

  store.setBool("useGMInstruments", false);
  EXPECT_FALSE(store.boolForKey("useGMInstruments"));
  // Registering again does not overwrite the user's value.
  store.registerDefaults({{"useGMInstruments", true}});
  EXPECT_FALSE(store.boolForKey("useGMInstruments"));
  store.removeObjectForKey("useGMInstruments");
  EXPECT_TRUE(store.boolForKey("useGMInstruments"));

  store.setInteger("MIDIChannelNew", 3);
  SettingsStore fresh(path);
  EXPECT_FALSE(fresh.objectForKey("currentCreator"));
  EXPECT_FALSE(fresh.objectForKey("useGMInstruments"));
  EXPECT_EQ(fresh.integerForKey("MIDIChannelNew"), 3);
}

TEST(SettingsStore, ConversionsBetweenTypesFollowTheUserDefaultsRules) {
  EXPECT_EQ(SettingValue("12").integerValue(), 12);
  EXPECT_EQ(SettingValue("2.9").integerValue(), 2);
  EXPECT_TRUE(SettingValue("YES").boolValue());
  EXPECT_FALSE(SettingValue("no").boolValue());
  EXPECT_EQ(SettingValue(true).integerValue(), 1);
  EXPECT_EQ(SettingValue(1e300).integerValue(), INT64_MAX);
  EXPECT_EQ(SettingValue(SettingValue::Array{1}).integerValue(), 0);
  EXPECT_EQ(SettingValue(42).stringValue(), "42");
  EXPECT_TRUE(SettingValue(7).arrayValue().empty());
}

TEST(SettingsStore, RefusesValuesAPropertyListCannotHold) {
  TempDir dir;
  SettingsStore store(dir.file("settings.plist"));
  store.setString("kept", "old");
  EXPECT_EQ(store.setString("", "x"), paramErr);
  EXPECT_EQ(store.setString("kept", std::string("\xC3\x28", 2)), paramErr);   // broken UTF-8
  EXPECT_EQ(store.setString("kept", "\xED\xA0\x80"), paramErr);                // encoded surrogate
  EXPECT_EQ(store.setString("kept", std::string("a\0b", 3)), paramErr);        // NUL
  EXPECT_EQ(store.setDouble("kept", std::nan("")), paramErr);
  EXPECT_EQ(store.setObject("kept", SettingValue::Dictionary{{"", 1}}), paramErr);
  EXPECT_EQ(store.setObject(std::string("k\xFF"), 1), paramErr);
  EXPECT_EQ(store.stringForKey("kept"), "old");
  SettingsStore reread(store.path());
  EXPECT_EQ(reread.stringForKey("kept"), "old");
}

TEST(SettingsStore, DamagedFileFallsBackToDefaultsAndSaysSo) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  const std::vector<std::string> damaged = {
      "",
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><integ",
      "\x01\x02\x03 not a plist at all",
      // A valid property list whose root is not a dictionary.
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>",
      "bplist00\xFF\xFF\xFF\xFF",
      // Nesting far deeper than any settings file (the parser would run out of stack).
      [] {
        std::string s = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
        for (int i = 0; i < 300000; ++i) s += "<array>";
        for (int i = 0; i < 300000; ++i) s += "</array>";
        return s + "</dict></plist>";
      }(),
      // The same in the binary form: each array holds the next one.
      [] {
        const uint32_t count = 300000;
        std::string s = "bplist00";
        std::string offsets;
        auto be32 = [](std::string& out, uint32_t v) {
          for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char(v >> shift));
        };
        for (uint32_t i = 0; i < count; ++i) {
          be32(offsets, uint32_t(s.size()));
          if (i + 1 < count) {
            s.push_back(char(0xA1));
            be32(s, i + 1);
          } else {
            s.push_back(char(0xA0));
          }
        }
        uint32_t tableOffset = uint32_t(s.size());
        s += offsets;
        s += std::string(6, '\0') + "\x04\x04";
        for (uint64_t v : {uint64_t(count), uint64_t(0), uint64_t(tableOffset)})
          for (int shift = 56; shift >= 0; shift -= 8) s.push_back(char(v >> shift));
        return s;
      }(),
  };
  for (const std::string& contents : damaged) {
    SCOPED_TRACE(contents.substr(0, 40));
    writeText(path, contents);
    LogRecorder log;
    SettingsStore store(path);
    store.registerDefaults({{"fixExtension", true}});
    EXPECT_TRUE(store.boolForKey("fixExtension"));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find(path), std::string::npos);
    EXPECT_NE(log.lines[0].find("defaults"), std::string::npos);
    // The store still works and writes a sound file again.
    EXPECT_EQ(store.setInteger("n", 5), noErr);
    EXPECT_EQ(SettingsStore(path).integerForKey("n"), 5);
  }
}

TEST(SettingsStore, MissingFileIsAnEmptyStoreWithoutComplaint) {
  TempDir dir;
  LogRecorder log;
  SettingsStore store(dir.file("deeper/still/settings.plist"));
  EXPECT_TRUE(store.dictionaryRepresentation().empty());
  EXPECT_TRUE(log.lines.empty());
  // Saving creates the missing folders.
  EXPECT_EQ(store.setBool("saveSelection", true), noErr);
  EXPECT_TRUE(std::filesystem::exists(dir.file("deeper/still/settings.plist")));
}

TEST(SettingsStore, WritesLeaveNoTemporaryFilesBehind) {
  TempDir dir;
  SettingsStore store(dir.file("settings.plist"));
  for (int i = 0; i < 20; ++i) store.setInteger("n", i);
  std::vector<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"settings.plist"});
}

// A writer killed at any moment leaves either the previous or the next complete file.
TEST(SettingsStore, KilledWriterNeverLeavesADamagedFile) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  std::string padding(20000, 'x');  // large enough that a write takes a while
  for (int round = 0; round < 8; ++round) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SettingsStore store(path);
      for (int i = 0;; ++i) {
        store.setString("padding", padding);
        store.setInteger("n", i);
      }
    }
    ::usleep(20000 + round * 7000);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!std::filesystem::exists(path)) continue;  // killed before the first write
    LogRecorder log;
    SettingsStore store(path);
    EXPECT_TRUE(log.lines.empty()) << log.lines[0];
    EXPECT_EQ(store.stringForKey("padding"), padding);
  }
}

TEST(SettingsStore, ConfigDirectoryFollowsTheEnvironment) {
  {
    ScopedEnv config("SCOREWELL_CONFIG_DIR", "/tmp/sw-config");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EXPECT_EQ(SettingsStore::configDirectory(), "/tmp/sw-config");
    EXPECT_EQ(SettingsStore::defaultPath(), "/tmp/sw-config/settings.plist");
  }
  {
    ScopedEnv config("SCOREWELL_CONFIG_DIR", "");
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg");
    EXPECT_EQ(SettingsStore::configDirectory(), "/tmp/xdg/scorewell");
  }
  {
    ScopedEnv config("SCOREWELL_CONFIG_DIR", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/dir");  // invalid, ignored
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(SettingsStore::configDirectory(), "/home/someone/.config/scorewell");
  }
}

TEST(SettingsStore, ReloadDropsValuesWrittenOnlyInMemory) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingsStore store(path);
  store.setInteger("n", 1);
  SettingsStore other(path);
  other.setInteger("n", 2);
  EXPECT_EQ(store.integerForKey("n"), 1);
  store.reload();
  EXPECT_EQ(store.integerForKey("n"), 2);
}

TEST(SettingsStore, StringWithNulCharacterDoesNotAbort) {
  swtest::TempDir dir;
  const std::string path = dir.file("settings.plist");
  std::ofstream(path) << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                         "<string>a&#0;b</string></dict></plist>";
  SettingsStore store(path);
  EXPECT_LE(store.stringForKey("k").size(), 3u);
}

// A write that fails part-way (here: the file-size limit, as a full disk would) keeps the
// previous file whole and leaves no temporary file behind.
TEST(SettingsStore, FailedSaveKeepsThePreviousFile) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingsStore store(path);
  ASSERT_EQ(store.setInteger("n", 1), noErr);
  const auto before = swtest::TempDir::read(path);

  rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 512;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  OSStatus status;
  {
    LogRecorder log;
    status = store.setString("padding", std::string(4096, 'x'));
    EXPECT_FALSE(log.lines.empty());
  }
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_NE(status, noErr);
  EXPECT_EQ(store.stringForKey("padding").size(), 4096u);  // kept in memory all the same
  EXPECT_EQ(swtest::TempDir::read(path), before);
  SettingsStore reread(path);
  EXPECT_EQ(reread.integerForKey("n"), 1);
  EXPECT_FALSE(reread.objectForKey("padding"));
  std::vector<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"settings.plist"});
}

TEST(SettingsStore, RunValuesAnswerFirstAndAreNeverSaved) {
  TempDir dir;
  std::string path = dir.file("settings.plist");
  SettingsStore store(path);
  store.registerDefaults({{"transposeAmount", SettingValue(0)}});
  store.setInteger("transposeAmount", 2);
  EXPECT_EQ(store.setRunValue("transposeAmount", 7), noErr);
  EXPECT_EQ(store.setRunValue("", 7), paramErr);
  EXPECT_EQ(store.integerForKey("transposeAmount"), 7);
  EXPECT_EQ(store.dictionaryRepresentation().at("transposeAmount"), SettingValue(7));
  EXPECT_TRUE(store.hasUserValue("transposeAmount"));
  store.setInteger("other", 1);  // a later save must not carry the run value
  EXPECT_EQ(SettingsStore(path).integerForKey("transposeAmount"), 2);
  store.removeRunValue("transposeAmount");
  EXPECT_EQ(store.integerForKey("transposeAmount"), 2);
  store.removeObjectForKey("transposeAmount");
  EXPECT_FALSE(store.hasUserValue("transposeAmount"));
  EXPECT_EQ(store.integerForKey("transposeAmount"), 0);
}

namespace {

// Runs `body` in a child process killed after `seconds`; true when it returned true in time
// (a hang, a crash or a false result are all failures).
bool passesInChild(int seconds, const std::function<bool()>& body) {
  pid_t child = ::fork();
  if (child == 0) {
    ::alarm(unsigned(seconds));
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The store reads `path` and answers with the defaults, logging why.
bool fallsBackToDefaults(const std::string& path, const std::string& why) {
  LogRecorder log;
  SettingsStore store(path);
  store.registerDefaults({{"fixExtension", true}});
  return store.boolForKey("fixExtension") && log.lines.size() == 1 &&
         log.lines[0].find(why) != std::string::npos;
}

}  // namespace

// A FIFO, a device or a huge file in the settings file's place is refused without reading it:
// no hang, no exhausted memory.
TEST(SettingsStore, ReadsOnlyRegularFilesWithinTheSizeCap) {
  TempDir dir;
  const std::string fifo = dir.file("fifo.plist");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(passesInChild(10, [&] { return fallsBackToDefaults(fifo, "not a regular file"); }));

  const std::string zero = dir.file("zero.plist");
  std::filesystem::create_symlink("/dev/zero", zero);
  EXPECT_TRUE(passesInChild(10, [&] { return fallsBackToDefaults(zero, "not a regular file"); }));

  const std::string huge = dir.file("huge.plist");  // sparse: takes no room on disk
  writeText(huge, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>");
  std::filesystem::resize_file(huge, uintmax_t(1) << 36);
  EXPECT_TRUE(passesInChild(10, [&] { return fallsBackToDefaults(huge, "larger than"); }));

  // A link to a regular file is read as usual.
  SettingsStore(dir.file("real.plist")).setInteger("n", 4);
  std::filesystem::create_symlink(dir.file("real.plist"), dir.file("link.plist"));
  EXPECT_EQ(SettingsStore(dir.file("link.plist")).integerForKey("n"), 4);
}

// Nesting is bounded however the tags are spelt, and the deepest file the store writes itself
// still reads back.
TEST(SettingsStore, NestingIsBoundedWhateverTheTagSpelling) {
  TempDir dir;
  const std::string path = dir.file("settings.plist");
  for (std::string open : {"<array\n>", "<array\t>", "<array\r\n>", "<array >", "<dict\n>"}) {
    SCOPED_TRACE(open);
    std::string close = open.starts_with("<dict") ? "</dict>" : "</array>";
    std::string text = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
    for (int i = 0; i < 200000; ++i) text += open;
    for (int i = 0; i < 200000; ++i) text += close;
    writeText(path, text + "</dict></plist>");
    EXPECT_TRUE(fallsBackToDefaults(path, "damaged"));
  }
  // End tags hidden in a comment or a CDATA section do not lower the count.
  std::string text = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>";
  for (int i = 0; i < 200000; ++i) text += "<array><!-- </array> --><![CDATA[</array>]]>";
  writeText(path, text);
  EXPECT_TRUE(fallsBackToDefaults(path, "damaged"));

  SettingValue deepest = SettingValue::Array{};
  for (int depth = 0; depth < 63; ++depth) deepest = SettingValue::Array{deepest, "leaf"};
  {
    SettingsStore store(path);
    ASSERT_EQ(store.setObject("deep", deepest), noErr);
  }
  LogRecorder log;
  EXPECT_EQ(SettingsStore(path).arrayForKey("deep"), deepest.arrayValue());
  EXPECT_TRUE(log.lines.empty());
}

// A stored value of the wrong type for a setting with a factory value answers with the factory
// value, and says so once; values that convert cleanly are taken as they are.
TEST(SettingsStore, ValueOfTheWrongTypeFallsBackToTheFactoryValue) {
  TempDir dir;
  const std::string path = dir.file("settings.plist");
  writeText(path,
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
            "<key>warnBeforeDestructiveProcessing</key><string>maybe</string>"
            "<key>transposeChannelMask</key><array/>"
            "<key>currentCreator</key><dict/>"
            "<key>Encodings</key><string>4</string>"
            "<key>fixExtension</key><string>NO</string>"
            "<key>MIDIChannelOld</key><string>5</string>"
            "<key>transposeAmount</key><true/>"
            "</dict></plist>");
  LogRecorder log;
  SettingsStore store(path);
  store.registerDefaults({{"warnBeforeDestructiveProcessing", true},
                          {"transposeChannelMask", 65023},
                          {"currentCreator", "Krl2"},
                          {"Encodings", SettingValue::Array{4}},
                          {"fixExtension", true},
                          {"MIDIChannelOld", 1},
                          {"transposeAmount", 0}});
  EXPECT_TRUE(store.boolForKey("warnBeforeDestructiveProcessing"));
  EXPECT_TRUE(store.boolForKey("warnBeforeDestructiveProcessing"));
  EXPECT_EQ(store.integerForKey("transposeChannelMask"), 65023);
  EXPECT_EQ(store.stringForKey("currentCreator"), "Krl2");
  EXPECT_EQ(store.arrayForKey("Encodings"), SettingValue::Array{4});
  EXPECT_FALSE(store.boolForKey("fixExtension"));
  EXPECT_EQ(store.integerForKey("MIDIChannelOld"), 5);
  EXPECT_EQ(store.integerForKey("transposeAmount"), 1);
  EXPECT_EQ(store.dictionaryRepresentation().at("warnBeforeDestructiveProcessing"), SettingValue(true));
  ASSERT_EQ(log.lines.size(), 4u);
  EXPECT_NE(log.lines[0].find("\"warnBeforeDestructiveProcessing\""), std::string::npos);
  EXPECT_NE(log.lines[0].find("factory value"), std::string::npos);
  // A value of the right type set later is taken.
  store.setBool("warnBeforeDestructiveProcessing", false);
  EXPECT_FALSE(store.boolForKey("warnBeforeDestructiveProcessing"));
}

// Keys and texts that are not UTF-8 are left out when the file is read, so that every key
// and text of the store is UTF-8 (as JSON output needs).
TEST(SettingsStore, KeysAndTextsThatAreNotUTF8AreLeftOut) {
  TempDir dir;
  const std::string path = dir.file("settings.plist");
  writeText(path,
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
            "<key>bad\xFFkey</key><integer>1</integer>"
            "<key>badText</key><string>caf\xE9</string>"
            "<key>nested</key><dict><key>\xC3\x28</key><true/><key>ok</key><string>\xC3\xA9</string></dict>"
            "<key>good</key><integer>2</integer>"
            "</dict></plist>");
  LogRecorder log;
  SettingsStore store(path);
  SettingValue::Dictionary expected{{"good", 2}, {"nested", SettingValue::Dictionary{{"ok", "\xC3\xA9"}}}};
  EXPECT_EQ(store.dictionaryRepresentation(), expected);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("3 value(s)"), std::string::npos);
}
