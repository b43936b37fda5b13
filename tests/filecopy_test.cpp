// File copy and move: bytes and permissions of copies of many sizes, moves
// within and across file systems, names resolved against the working
// directory learnt at the first call, every failure status with what it
// leaves behind, and failures midway (exhausted memory, a file size limit).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "platform/testhooks.h"
#include "scratch_dir.h"

namespace {

class FileCopy : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.ok()); }
  std::string file(const std::string &name) const { return scratch_.path(name); }
  ScratchDir scratch_;
};
class FileCopyThreads : public FileCopy {};

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Runs body in a child process: true when it exited normally with none of
// its expectations failed (they print their own messages).  The library
// learns the working directory once per process, so each child starts
// without it.
bool passesInChild(const std::function<void()> &body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = -1;
  return waitpid(pid, &status, 0) == pid && status == 0;
}

// Copies of many sizes hold every byte, replace a longer file and get fresh
// permissions (0666 less the umask, not the source's).  A move within a file
// system renames (the inode stays); one to another file system (a tmpfs, if
// one is mounted) copies and removes the source.
TEST_F(FileCopy, CopiesEveryByteAndMoves) {
  const mode_t oldMask = umask(022);
  const std::string from = file("source.bin"), to = file("target.bin");
  std::mt19937 rng(1);
  std::string bytes;
  for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 3u * 4096u + 7u}) {
    SCOPED_TRACE(size);
    bytes.resize(size);
    for (char &c : bytes) c = static_cast<char>(rng());
    ASSERT_TRUE(writeFile(from, bytes));
    ASSERT_EQ(chmod(from.c_str(), 0600), 0);
    ASSERT_TRUE(writeFile(to, std::string(20000, 'o')));  // longer: must not survive
    ASSERT_EQ(chmod(to.c_str(), 0400), 0);
    EXPECT_EQ(ov_fileCopy(from.c_str(), to.c_str()), S_OKAY);
    EXPECT_EQ(readFile(to), bytes);
    EXPECT_EQ(readFile(from), bytes);
    struct stat st {};
    EXPECT_EQ(stat(to.c_str(), &st) == 0 ? st.st_mode & 07777 : 0, 0644u);  // not 0600
  }
  umask(oldMask);
  struct stat before {}, after {};
  ASSERT_EQ(stat(from.c_str(), &before), 0);
  EXPECT_EQ(ov_fileMove(from.c_str(), to.c_str()), S_OKAY);
  ASSERT_EQ(stat(to.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // renamed, not copied
  EXPECT_FALSE(exists(from));
  struct stat shm {};
  if (stat("/dev/shm", &shm) != 0 || shm.st_dev == after.st_dev)
    GTEST_SKIP() << "no tmpfs at /dev/shm apart from the scratch directory: move across not tried";
  ScratchDir away("/dev/shm");
  ASSERT_TRUE(away.ok());
  const std::string there = away.path("there");
  EXPECT_EQ(ov_fileMove(to.c_str(), there.c_str()), S_OKAY);
  EXPECT_EQ(readFile(there), bytes);
  EXPECT_FALSE(exists(to));
  EXPECT_EQ(ov_fileCopy(there.c_str(), to.c_str()), S_OKAY);
  EXPECT_EQ(readFile(to), bytes);
}

// Bare and dot-relative names resolve against the working directory of the
// first call (each child process learns it afresh), so equal names are
// equal once resolved; other relative names are left to the platform.  No
// lock of the mutex table is taken: a caller holding mutex 0 may copy (a
// hang ends the child through the alarm).  With a working directory deeper
// than 255 characters only the names that need it fail; a move renames the
// names as given, and only its fallback copy needs them resolved.
TEST_F(FileCopy, NamesResolveAgainstTheFirstWorkingDirectory) {
  ScratchDir second;
  ASSERT_TRUE(writeFile(file("data.ini"), "first") && writeFile(second.path("data.ini"), ""));
  ASSERT_EQ(mkdir(second.path("sub").c_str(), 0777), 0);
  ASSERT_TRUE(writeFile(second.path("sub/file"), "relative"));
  const std::string none = file("none");
  EXPECT_TRUE(passesInChild([&] {
    ASSERT_EQ(chdir(scratch_.dir().c_str()), 0);
    alarm(20);
    ov_syncEnterExcl(0);
    EXPECT_EQ(ov_fileCopy("data.ini", "one.ini"), S_OKAY);
    ov_syncExitExcl(0);
    alarm(0);
    EXPECT_EQ(ov_fileCopy("none", none.c_str()), S_OKAY);  // touches nothing
    ASSERT_EQ(chdir(second.dir().c_str()), 0);
    EXPECT_EQ(ov_fileCopy("data.ini", "./two.ini"), S_OKAY);
    EXPECT_EQ(ov_fileCopy("sub/file", "three.ini"), S_OKAY);
  }));
  for (const char *name : {"one.ini", "two.ini"}) EXPECT_EQ(readFile(file(name)), "first") << name;
  EXPECT_EQ(readFile(file("three.ini")), "relative");
  EXPECT_EQ(ov_fileMove(none.c_str(), none.c_str()), S_OKAY);
  EXPECT_FALSE(exists(none));

  std::string deep = scratch_.dir();
  while (deep.size() <= 300) {
    deep += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0777), 0);
  }
  const std::string data = deep + "/data.ini", copy = deep + "/copy.ini";
  ASSERT_TRUE(writeFile(data, "deep") && writeFile(deep + "/old.ini", "old"));
  ASSERT_EQ(mkdir((deep + "/full").c_str(), 0777), 0);
  EXPECT_TRUE(passesInChild([&] {
    ASSERT_EQ(chdir(deep.c_str()), 0);
    EXPECT_EQ(ov_fileCopy("data.ini", copy.c_str()), S_FILEOPERR);
    EXPECT_EQ(ov_fileCopy(data.c_str(), "old.ini"), S_FILEOPERR);
    EXPECT_EQ(ov_fileCopy(data.c_str(), copy.c_str()), S_OKAY);
    EXPECT_EQ(ov_fileMove("copy.ini", "moved.ini"), S_OKAY);
    EXPECT_EQ(ov_fileMove("moved.ini", "full"), S_FILEOPERR);
  }));
  EXPECT_EQ(readFile(deep + "/moved.ini"), "deep");
  EXPECT_EQ(readFile(deep + "/old.ini"), "old");
}

// Each failure status with what it leaves behind; a move whose rename fails
// gives the copy's status and keeps its source.
TEST_F(FileCopy, FailuresSayWhyAndLoseNothing) {
  ASSERT_EQ(chmod(scratch_.dir().c_str(), 0777), 0);
  const std::string source = file("source");
  ASSERT_TRUE(writeFile(source, "source bytes") && writeFile(file("secret"), "secret"));
  ASSERT_EQ(chmod(file("secret").c_str(), 0), 0);
  ASSERT_EQ(mkdir(file("dir").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(file("locked").c_str(), 0555), 0);
  struct Row {
    const char *from, *to;
    OV_STATUS want, moveWant;  // a move renames when it can, whatever the copy would say
    bool toLeft;               // an existing destination is still there after the copy
  };
  const Row rows[] = {
      {"missing", "target", S_FILEOPERR, S_FILEOPERR, true},
      {"source", "no/such/dir/target", S_FILEOPERR, S_FILEOPERR, false},
      {"source", "locked/target", S_FILEWRERR, S_FILEWRERR, false},  // permission refused
      {"dir", "target", S_FILERDERR, S_FILERDERR, true},             // unreadable from the start
      {"secret", "target", S_FILEOPERR, S_OKAY, true},               // unreadable source
  };
  WithoutRoot unprivileged;
  for (const Row &r : rows) {
    SCOPED_TRACE(std::string(r.from) + " -> " + r.to);
    const std::string from = file(r.from), to = file(r.to);
    writeFile(to, "old target");  // fails where the directory is missing or locked
    EXPECT_EQ(ov_fileCopy(from.c_str(), to.c_str()), r.want);
    EXPECT_EQ(readFile(to), r.toLeft ? std::optional<std::string>("old target") : std::nullopt);
    writeFile(to, "old target");
    EXPECT_EQ(ov_fileMove(from.c_str(), to.c_str()), r.moveWant);
    EXPECT_EQ(exists(from), r.moveWant != S_OKAY && r.from != std::string("missing"));
    EXPECT_EQ(readFile(source), "source bytes");
  }
  EXPECT_EQ(ov_fileCopy(nullptr, source.c_str()), S_INVNULL);
  EXPECT_EQ(ov_fileMove(source.c_str(), nullptr), S_INVNULL);
}

// Failures midway leave no short copy: each allocation failing in turn (the
// two names and the buffer) gives S_NOMEMORY with no file touched and no
// block left, and writes past a 5000-byte file size limit (EFBIG) give
// S_FILEWRERR with the partial copy removed.
TEST_F(FileCopy, OutOfMemoryAndAFileSizeLimitLeaveNoShortCopy) {
  const std::string bytes(10000, 'n');
  ASSERT_TRUE(writeFile(file("from"), bytes));
  EXPECT_TRUE(passesInChild([&] {
    ASSERT_EQ(chdir(scratch_.dir().c_str()), 0);
    for (int64_t failAt = 0;; ++failAt) {
      ASSERT_TRUE(writeFile(file("to"), "old bytes"));
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      const OV_STATUS got = ov_fileCopy("from", "to");
      const bool failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << failAt;
      EXPECT_EQ(got, failed ? S_NOMEMORY : S_OKAY) << failAt;
      EXPECT_EQ(readFile(file("to")), failed ? "old bytes" : bytes) << failAt;
      EXPECT_TRUE(failed || failAt >= 3) << "only " << failAt << " allocations";
      if (!failed) break;
    }
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{5000, 5000};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_EQ(ov_fileCopy("from", "copy"), S_FILEWRERR);
  }));
  EXPECT_FALSE(exists(file("copy")));
  EXPECT_EQ(readFile(file("from")), bytes);
}

// Eight threads make the process's first copies at once, then move them.
TEST_F(FileCopyThreads, FirstResolutionFromManyThreadsAtOnce) {
  ASSERT_TRUE(writeFile(file("shared"), "shared bytes"));
  constexpr int kThreads = 8;
  EXPECT_TRUE(passesInChild([&] {
    ASSERT_EQ(chdir(scratch_.dir().c_str()), 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([i] {
        const std::string name = "copy" + std::to_string(i);
        if (ov_fileCopy("shared", name.c_str()) == S_OKAY)
          ov_fileMove(name.c_str(), ("moved" + name).c_str());
      });
    for (std::thread &t : threads) t.join();
  }));
  for (int i = 0; i < kThreads; ++i)
    EXPECT_EQ(readFile(file("movedcopy" + std::to_string(i))), "shared bytes") << i;
}

}  // namespace
