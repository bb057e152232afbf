#include "base/atomic_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
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

TEST(AtomicFile, RefusesFilesTheUserMayNotWrite) {
  TempDir dir;
  const Bytes original(20, 7);
  std::string path = dir.write("locked.mid", original);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(checkReplaceable(path), permErr);
  EXPECT_EQ(writeBytes(path, {1, 2, 3}), permErr);
  EXPECT_EQ(TempDir::read(path), original);
  EXPECT_EQ(modeOf(path), 0444u);
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"locked.mid"}));
  EXPECT_EQ(checkReplaceable(dir.file("new.mid")), noErr);

  // Another user's file that this user may write, in a folder this user may write: replacing
  // it would make it this user's, so it is refused too. Needs a second user: run as root,
  // the writer works in a child that becomes "nobody".
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  std::string shared = dir.write("shared.mid", original);
  ASSERT_EQ(::chmod(shared.c_str(), 0666), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    ::_exit(writeBytes(shared, {1, 2, 3}) == permErr ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(TempDir::read(shared), original);
  struct stat info {};
  ::stat(shared.c_str(), &info);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"locked.mid", "shared.mid"}));
}

TEST(AtomicFile, LeavesAFileChangedOrDeletedSinceItWasRead) {
  TempDir dir;
  std::string path = dir.write("song.mid", Bytes(10, 1));
  std::optional<FileIdentity> read = FileIdentity::of(path);
  ASSERT_TRUE(read);

  // Unchanged: replaced, and the identity follows the new file for a later write.
  FileIdentity identity = *read;
  ASSERT_EQ(writeFileAtomically(path, Bytes{1, 2}, &identity), noErr);
  EXPECT_EQ(identity, *FileIdentity::of(path));
  EXPECT_NE(identity, *read);
  ASSERT_EQ(writeFileAtomically(path, Bytes{3, 4, 5}, &identity), noErr);

  // Another program writes the file (same size, new time): left as that program made it.
  FileIdentity stale = identity;
  dir.write("song.mid", Bytes{9, 9, 9});
  struct timespec later[2] = {{0, UTIME_OMIT}, {0, 0}};
  ::clock_gettime(CLOCK_REALTIME, &later[1]);
  later[1].tv_sec += 5;
  ::utimensat(AT_FDCWD, path.c_str(), later, 0);
  EXPECT_EQ(writeFileAtomically(path, Bytes{1}, &stale), kFileChangedErr);
  EXPECT_EQ(TempDir::read(path), (Bytes{9, 9, 9}));

  // Deleted meanwhile: not recreated.
  FileIdentity gone = *FileIdentity::of(path);
  ::unlink(path.c_str());
  EXPECT_EQ(writeFileAtomically(path, Bytes{1}, &gone), fnfErr);
  EXPECT_TRUE(entries(dir.path()).empty());
}

TEST(AtomicFile, RemovesOnlyStaleTemporaryFilesOfItsOwnNaming) {
  TempDir dir;
  auto old = [](const std::string& path) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 600, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  };
  const std::string stale = dir.write(".song.mid.scorewell-0123456789abcdef", Bytes(3, 0));
  const std::string other = dir.write(".other.mid.scorewell-fedcba9876543210", Bytes(3, 0));
  const std::string fresh = dir.write(".fresh.mid.scorewell-00000000000000aa", Bytes(3, 0));
  const std::string held = dir.write(".held.mid.scorewell-00000000000000bb", Bytes(3, 0));
  const std::string foreign = dir.write(".song.mid.scorewell-backup", Bytes(3, 0));
  dir.write("song.mid", Bytes(3, 0));
  for (const std::string& path : {stale, other, held, foreign}) old(path);
  // A writer still working holds its file locked.
  const int writer = ::open(held.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(writer, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(removeStaleTemporaryFiles(dir.path(), "song.mid"),
            (std::vector<std::string>{".song.mid.scorewell-0123456789abcdef"}));
  EXPECT_EQ(removeStaleTemporaryFiles(dir.path()), (std::vector<std::string>{".other.mid.scorewell-fedcba9876543210"}));
  EXPECT_EQ(entries(dir.path()),
            (std::set<std::string>{".fresh.mid.scorewell-00000000000000aa", ".held.mid.scorewell-00000000000000bb",
                                   ".song.mid.scorewell-backup", "song.mid"}));
  ::close(writer);
}

// A batch flushes each file before its rename but each folder once: counted through the
// disk-wait observer, which also sees every flush a replacement waits for.
TEST(AtomicFile, ADeferredFolderSyncFlushesEachFolderOnceAndEveryFileAtOnce) {
  struct Counter : DiskWaitObserver {
    int begun = 0, ended = 0;
    void waitBegins() override { ++begun; }
    void waitEnds() override { ++ended; }
  } counter;
  TempDir dir;
  std::filesystem::create_directories(dir.file("a"));
  std::filesystem::create_directories(dir.file("b"));
  DiskWaitObserver* previous = observeDiskWaits(&counter);
  ASSERT_EQ(writeBytes(dir.file("single"), {1}), noErr);
  EXPECT_EQ(counter.begun, 2) << "the file, then its folder";
  counter.begun = counter.ended = 0;
  {
    DeferredFolderSync folders;
    for (int i = 0; i < 5; ++i) ASSERT_EQ(writeBytes(dir.file("a/song" + std::to_string(i)), {uint8_t(i)}), noErr);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(writeBytes(dir.file("b/song" + std::to_string(i)), {uint8_t(i)}), noErr);
    EXPECT_EQ(counter.begun, 8) << "each file's content is flushed before its rename";
    {
      DeferredFolderSync inner;  // a nested scope takes the folders of its own writes
      ASSERT_EQ(writeBytes(dir.file("a/inner"), {9}), noErr);
      EXPECT_EQ(counter.begun, 9);
    }
    EXPECT_EQ(counter.begun, 10) << "the inner scope flushed its folder at its end";
    folders.flush();
    EXPECT_EQ(counter.begun, 12) << "then a and b once each";
    folders.flush();
    EXPECT_EQ(counter.begun, 12) << "nothing left to flush";
  }
  EXPECT_EQ(counter.begun, counter.ended);
  ASSERT_EQ(writeBytes(dir.file("after"), {2}), noErr);
  EXPECT_EQ(counter.begun, 14) << "without a scope the folder is flushed with the file again";
  observeDiskWaits(previous);
  EXPECT_EQ(TempDir::read(dir.file("a/song4")), Bytes{4});
}
