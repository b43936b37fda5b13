// File copy and move: bytes and permissions of copies of many sizes, names
// resolved against the working directory learnt at the first call, every
// failure status with what it leaves behind, a write cut short by a file
// size limit, moves within and across file systems, and out-of-memory.
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
#include "ovbase/status.h"
#include "platform/testhooks.h"
#include "scratch_dir.h"

namespace {

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char &c : bytes) c = static_cast<char>(rng());
  return bytes;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Runs body in a child process and returns its exit status: 0 when none of
// its expectations failed.  The library learns the working directory once
// per process, so each child starts without it.
int inChild(const std::function<void()> &body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    std::fflush(nullptr);
    _exit(testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(FileCopy, CopiesEveryByteWithFreshPermissions) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  const mode_t oldMask = umask(022);
  const std::string from = scratch.path("source.bin"), to = scratch.path("target.bin");
  for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 3u * 4096u + 7u}) {
    const std::string bytes = randomBytes(size, static_cast<unsigned>(size));
    ASSERT_TRUE(writeFile(from, bytes));
    ASSERT_EQ(chmod(from.c_str(), 0600), 0);
    ASSERT_TRUE(writeFile(to, std::string(20000, 'o')));  // longer: must not survive
    ASSERT_EQ(chmod(to.c_str(), 0400), 0);
    EXPECT_EQ(ov_fileCopy(from.c_str(), to.c_str()), S_OKAY) << size;
    EXPECT_EQ(readFile(to), bytes) << size;
    EXPECT_EQ(readFile(from), bytes) << size;
    struct stat st {};
    EXPECT_EQ(stat(to.c_str(), &st) == 0 ? st.st_mode & 07777 : 0, 0644u) << size;  // not 0600
  }
  umask(oldMask);
}

// Bare names resolve against the working directory of the first call (each
// child process learns it afresh); one deeper than 255 characters cannot be
// learnt, and then only names that need it fail.
TEST(FileCopy, NamesResolveAgainstTheFirstWorkingDirectory) {
  ScratchDir first, second;
  ASSERT_TRUE(first.ok() && second.ok());
  ASSERT_TRUE(writeFile(first.path("data.ini"), "first") && writeFile(second.path("data.ini"), ""));
  ASSERT_EQ(mkdir(second.path("sub").c_str(), 0777), 0);
  ASSERT_TRUE(writeFile(second.path("sub/file"), "relative"));
  const std::string firstData = first.path("data.ini");
  EXPECT_EQ(inChild([&] {
              ASSERT_EQ(chdir(first.dir().c_str()), 0);
              // No lock of the mutex table is taken: a caller holding mutex 0
              // may copy (a hang here ends the child through the alarm).
              alarm(20);
              ov_syncEnterExcl(0);
              EXPECT_EQ(ov_fileCopy("data.ini", "one.ini"), S_OKAY);
              ov_syncExitExcl(0);
              alarm(0);
              EXPECT_EQ(ov_fileCopy("data.ini", firstData.c_str()), S_OKAY);  // equal names
              ASSERT_EQ(chdir(second.dir().c_str()), 0);
              EXPECT_EQ(ov_fileCopy("data.ini", "./two.ini"), S_OKAY);
              EXPECT_EQ(ov_fileCopy("sub/file", "three.ini"), S_OKAY);  // left to the platform
            }),
            0);
  EXPECT_EQ(readFile(firstData), "first");
  EXPECT_EQ(readFile(first.path("one.ini")), "first");
  EXPECT_EQ(readFile(first.path("two.ini")), "first");
  EXPECT_EQ(readFile(first.path("three.ini")), "relative");
  EXPECT_FALSE(exists(second.path("two.ini")));

  std::string deep = first.dir();
  while (deep.size() <= 300) {
    deep += "/" + std::string(60, 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0777), 0);
  }
  const std::string data = deep + "/data.ini", copy = deep + "/copy.ini";
  ASSERT_TRUE(writeFile(data, "deep") && writeFile(deep + "/old.ini", "old"));
  ASSERT_EQ(mkdir((deep + "/full").c_str(), 0777), 0);
  EXPECT_EQ(inChild([&] {
              ASSERT_EQ(chdir(deep.c_str()), 0);
              EXPECT_EQ(ov_fileCopy("data.ini", copy.c_str()), S_FILEOPERR);
              EXPECT_EQ(ov_fileCopy(data.c_str(), "old.ini"), S_FILEOPERR);
              EXPECT_EQ(ov_fileCopy(data.c_str(), copy.c_str()), S_OKAY);
              // A move renames the names as given; only its fallback copy
              // needs them resolved.
              EXPECT_EQ(ov_fileMove("copy.ini", "moved.ini"), S_OKAY);
              EXPECT_EQ(ov_fileMove("moved.ini", "full"), S_FILEOPERR);
            }),
            0);
  EXPECT_EQ(readFile(deep + "/moved.ini"), "deep");
  EXPECT_EQ(readFile(deep + "/old.ini"), "old");
  EXPECT_FALSE(exists(copy));
  // Equal names touch nothing, even a missing file.
  const std::string none = second.path("none");
  EXPECT_EQ(ov_fileCopy(none.c_str(), none.c_str()), S_OKAY);
  EXPECT_EQ(ov_fileMove(none.c_str(), none.c_str()), S_OKAY);
  EXPECT_FALSE(exists(none));
}

// Each failure status with what it leaves behind, a move that falls back to
// a failing copy, and a write cut short by a file size limit.
TEST(FileCopy, FailuresSayWhyAndLoseNothing) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  ASSERT_EQ(chmod(scratch.dir().c_str(), 0777), 0);
  const std::string source = scratch.path("source");
  ASSERT_TRUE(writeFile(source, "source bytes") && writeFile(scratch.path("secret"), "secret"));
  ASSERT_EQ(chmod(scratch.path("secret").c_str(), 0), 0);
  ASSERT_EQ(mkdir(scratch.path("dir").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(scratch.path("locked").c_str(), 0555), 0);
  struct Row {
    const char *from, *to;
    OV_STATUS want;
    bool toLeft;         // an existing destination is still there afterwards
    OV_STATUS moveWant;  // a move renames when it can, whatever the copy would say
  };
  const Row rows[] = {
      {"missing", "target", S_FILEOPERR, true, S_FILEOPERR},
      {"source", "no/such/dir/target", S_FILEOPERR, false, S_FILEOPERR},
      {"source", "locked/target", S_FILEWRERR, false, S_FILEWRERR},  // permission refused
      {"dir", "target", S_FILERDERR, true, S_FILERDERR},             // unreadable from the start
      {"secret", "target", S_FILEOPERR, true, S_OKAY},               // unreadable source
  };
  WithoutRoot unprivileged;
  for (const Row &r : rows) {
    SCOPED_TRACE(std::string(r.from) + " -> " + r.to);
    const std::string from = scratch.path(r.from), to = scratch.path(r.to);
    writeFile(to, "old target");  // fails where the directory is missing or locked
    EXPECT_EQ(ov_fileCopy(from.c_str(), to.c_str()), r.want);
    EXPECT_EQ(readFile(to), r.toLeft ? std::optional<std::string>("old target") : std::nullopt);
    // A move whose rename fails gives the copy's status and keeps its source.
    writeFile(to, "old target");
    EXPECT_EQ(ov_fileMove(from.c_str(), to.c_str()), r.moveWant);
    EXPECT_EQ(exists(from), r.moveWant != S_OKAY && r.from != std::string("missing"));
    EXPECT_EQ(readFile(source), "source bytes");
  }
  EXPECT_EQ(ov_fileCopy(nullptr, source.c_str()), S_INVNULL);
  EXPECT_EQ(ov_fileMove(source.c_str(), nullptr), S_INVNULL);
  // Writes past 5000 bytes fail with EFBIG: no short copy stays behind.
  const std::string bytes = randomBytes(10000, 7), big = scratch.path("big");
  ASSERT_TRUE(writeFile(big, bytes));
  EXPECT_EQ(inChild([&] {
              signal(SIGXFSZ, SIG_IGN);
              const rlimit limit{5000, 5000};
              ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
              EXPECT_EQ(ov_fileCopy(big.c_str(), scratch.path("copy").c_str()), S_FILEWRERR);
            }),
            0);
  EXPECT_FALSE(exists(scratch.path("copy")));
  EXPECT_EQ(readFile(big), bytes);
}

TEST(FileMove, RenamesWithinAndCopiesAcrossFileSystems) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  const std::string bytes = randomBytes(9000, 3);
  const std::string from = scratch.path("from"), to = scratch.path("to");
  ASSERT_TRUE(writeFile(from, bytes) && writeFile(to, "replaced"));
  struct stat before {}, after {};
  ASSERT_EQ(stat(from.c_str(), &before), 0);
  EXPECT_EQ(ov_fileMove(from.c_str(), to.c_str()), S_OKAY);
  ASSERT_EQ(stat(to.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);  // renamed, not copied
  EXPECT_FALSE(exists(from));
  EXPECT_EQ(readFile(to), bytes);
  // A writable tmpfs on another device than the scratch directory, if any.
  std::string other;
  for (const char *candidate : {"/dev/shm", "/run/shm", "/tmp"}) {
    struct stat there {};
    if (other.empty() && stat(candidate, &there) == 0 && there.st_dev != after.st_dev &&
        access(candidate, W_OK) == 0)
      other = candidate;
  }
  if (other.empty()) GTEST_SKIP() << "no second file system (tmpfs) mounted: move across not tried";
  ScratchDir away(other);
  ASSERT_TRUE(away.ok());
  const std::string there = away.path("there");
  EXPECT_EQ(ov_fileMove(to.c_str(), there.c_str()), S_OKAY);
  EXPECT_EQ(readFile(there), bytes);
  EXPECT_FALSE(exists(to));
  EXPECT_EQ(ov_fileCopy(there.c_str(), to.c_str()), S_OKAY);
  EXPECT_EQ(readFile(to), bytes);
}

TEST(FileCopy, OutOfMemoryTouchesNothing) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  ASSERT_TRUE(writeFile(scratch.path("from"), "new bytes"));
  EXPECT_EQ(inChild([&] {
              ASSERT_EQ(chdir(scratch.dir().c_str()), 0);
              for (int64_t failAt = 0;; ++failAt) {
                ASSERT_TRUE(writeFile(scratch.path("to"), "old bytes"));
                const int64_t outstanding = ov_testOutstandingBlocks();
                ov_testFailAllocation(failAt);
                const OV_STATUS got = ov_fileCopy("from", "to");
                const bool failed = ov_testAllocationCount() > failAt;
                ov_testFailAllocation(-1);
                EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << failAt;
                if (!failed) {
                  EXPECT_EQ(got, S_OKAY);
                  EXPECT_EQ(readFile(scratch.path("to")), "new bytes");
                  EXPECT_GE(failAt, 3);  // two names and the buffer
                  break;
                }
                EXPECT_EQ(got, S_NOMEMORY) << failAt;
                EXPECT_EQ(readFile(scratch.path("to")), "old bytes") << failAt;
              }
            }),
            0);
}

// Eight threads make the process's first copies at once, then move them.
TEST(FileCopyThreads, FirstResolutionFromManyThreadsAtOnce) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  ASSERT_TRUE(writeFile(scratch.path("shared"), "shared bytes"));
  constexpr int kThreads = 8;
  EXPECT_EQ(inChild([&] {
              ASSERT_EQ(chdir(scratch.dir().c_str()), 0);
              std::vector<std::thread> threads;
              for (int i = 0; i < kThreads; ++i)
                threads.emplace_back([i] {
                  const std::string name = "copy" + std::to_string(i);
                  if (ov_fileCopy("shared", name.c_str()) == S_OKAY)
                    ov_fileMove(name.c_str(), ("moved" + name).c_str());
                });
              for (std::thread &t : threads) t.join();
            }),
            0);
  for (int i = 0; i < kThreads; ++i)
    EXPECT_EQ(readFile(scratch.path("movedcopy" + std::to_string(i))), "shared bytes") << i;
}

}  // namespace
