#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <string>

#include "base/finder_info.h"
#include "base/xattr.h"
#include "temp_dir.h"

using namespace sw;
using swtest::TempDir;

namespace {

using Bytes = std::vector<uint8_t>;

OSStatus writeBytes(const std::string& path, const Bytes& bytes) { return writeFileAtomically(path, bytes); }

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::set<std::string> entries(const std::string& folder) {
  std::set<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

}  // namespace

TEST(AtomicFile, ReplacesContentKeepingModeAndAttributes) {
  TempDir dir;
  std::string path = dir.write("song.mid", Bytes(50, 1));
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_EQ((FinderInfo{fourCC("Midi"), fourCC("TSMF")}.write(path)), noErr);
  ASSERT_EQ(xattr::set(path, "com.tessary.encoding", {'4'}), noErr);
  struct stat before {};
  ::stat(path.c_str(), &before);

  Bytes content = {1, 2, 3, 4, 5};
  ASSERT_EQ(writeBytes(path, content), noErr);
  EXPECT_EQ(TempDir::read(path), content);
  EXPECT_EQ(modeOf(path), 0604u);
  FinderInfo info = FinderInfo::read(path);
  EXPECT_EQ(info.type, fourCC("Midi"));
  EXPECT_EQ(info.creator, fourCC("TSMF"));
  EXPECT_EQ(xattr::get(path, "com.tessary.encoding"), (xattr::Bytes{'4'}));
  struct stat after {};
  ::stat(path.c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed into place, not rewritten
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"song.mid"}));

  // A read-only file is replaced all the same and stays read-only.
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(writeBytes(path, {9}), noErr);
  EXPECT_EQ(TempDir::read(path), Bytes{9});
  EXPECT_EQ(modeOf(path), 0444u);

  // A file its owner may write but not read keeps that mode too.
  std::string writeOnly = dir.write("private.mid", {1});
  ASSERT_EQ(::chmod(writeOnly.c_str(), 0200), 0);
  ASSERT_EQ(writeBytes(writeOnly, {2}), noErr);
  EXPECT_EQ(modeOf(writeOnly), 0200u);
  std::filesystem::remove(writeOnly);

  // A new file gets what the mask allows, not the private mode of a temporary file.
  mode_t mask = ::umask(027);
  OSStatus status = writeBytes(dir.file("new.mid"), {7});
  ::umask(mask);
  ASSERT_EQ(status, noErr);
  EXPECT_EQ(modeOf(dir.file("new.mid")), 0640u);

  // An empty content and a name as long as a name may be.
  std::string longName(250, 'x');
  longName += ".mid";
  ASSERT_EQ(writeBytes(dir.file(longName), {}), noErr);
  EXPECT_TRUE(TempDir::read(dir.file(longName)).empty());
  EXPECT_EQ(entries(dir.path()).size(), 3u);
}

TEST(AtomicFile, FollowsSymbolicLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("store"));
  std::filesystem::create_directory(dir.file("links"));
  std::string real = dir.write("store/real.mid", Bytes(10, 1));
  ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
  ASSERT_EQ(xattr::set(real, "com.tessary.encoding", {'5'}), noErr);
  std::string link = dir.file("links/song.mid");
  std::filesystem::create_symlink("../store/real.mid", link);
  std::string linkToLink = dir.file("links/again.mid");
  std::filesystem::create_symlink("song.mid", linkToLink);

  ASSERT_EQ(writeBytes(linkToLink, {4, 5, 6}), noErr);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_symlink(linkToLink));
  EXPECT_EQ(std::filesystem::read_symlink(link), "../store/real.mid");
  EXPECT_EQ(TempDir::read(real), (Bytes{4, 5, 6}));
  EXPECT_EQ(modeOf(real), 0600u);
  EXPECT_EQ(xattr::get(real, "com.tessary.encoding"), (xattr::Bytes{'5'}));
  // The temporary file was made beside the target, and is gone.
  EXPECT_EQ(entries(dir.file("store")), (std::set<std::string>{"real.mid"}));
  EXPECT_EQ(entries(dir.file("links")), (std::set<std::string>{"again.mid", "song.mid"}));

  // A dangling link gets its target created.
  std::string dangling = dir.file("links/later.mid");
  std::filesystem::create_symlink("../store/later.mid", dangling);
  ASSERT_EQ(writeBytes(dangling, {8}), noErr);
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(TempDir::read(dir.file("store/later.mid")), Bytes{8});

  // A loop of links is an error, not an endless walk.
  std::filesystem::create_symlink("loop2", dir.file("links/loop1"));
  std::filesystem::create_symlink("loop1", dir.file("links/loop2"));
  EXPECT_NE(writeBytes(dir.file("links/loop1"), {1}), noErr);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("links/loop1")));
}

TEST(AtomicFile, FailuresLeaveOriginalAndNoTemporary) {
  TempDir dir;
  Bytes original(200, 0x42);
  std::string path = dir.write("song.mid", original);
  auto untouched = [&](const std::set<std::string>& expected) {
    EXPECT_EQ(TempDir::read(path), original);
    EXPECT_EQ(entries(dir.path()), expected);
  };

  EXPECT_EQ(writeBytes(dir.file("missing/song.mid"), {1}), fnfErr);
  EXPECT_EQ(writeBytes(path + "/inside.mid", {1}), dirNFErr);  // a file used as a folder
  EXPECT_EQ(writeBytes("", {1}), paramErr);
  std::filesystem::create_directory(dir.file("folder.mid"));
  EXPECT_NE(writeBytes(dir.file("folder.mid"), {1}), noErr);
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("folder.mid")));
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  EXPECT_EQ(writeBytes(dir.file("pipe"), {1}), paramErr);  // neither blocks nor replaces the pipe
  EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe")));
  std::filesystem::remove(dir.file("pipe"));
  untouched({"song.mid", "folder.mid"});

  // A write that fails half-way, also for the super-user: a file size limit.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  struct rlimit limit {}, saved {};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = 100;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  OSStatus status = writeBytes(path, Bytes(1000, 0x11));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_NE(status, noErr);
  untouched({"song.mid", "folder.mid"});

  // A folder the user may not write to (permissions do not stop the super-user).
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    status = writeBytes(path, {1, 2});
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(status, permErr);
    untouched({"song.mid", "folder.mid"});
  }
}
