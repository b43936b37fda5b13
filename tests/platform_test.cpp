// OS wrappers (files, sleep, clock, local time, environment, handle limit)
// and the alignment tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ovbase/platform.h"

namespace {

// A fresh directory for one test, removed with its files afterwards.
class TempDir {
 public:
  TempDir() {
    const char *base = std::getenv("OV_TEST_TMP");
    if (base == nullptr) base = "/tmp";
    mkdir(base, 0777);
    std::string pattern = std::string(base) + "/platXXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  std::string file(const char *name) const { return path_ + "/" + name; }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

void writeFile(const std::string &path, const char *text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text, std::strlen(text)), static_cast<ssize_t>(std::strlen(text)));
  close(fd);
}

off_t sizeOf(const std::string &path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

TEST(PlatformFiles, TruncateImpliesCreateAndModeIsWidened) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string missing = dir.file("new.dat");

  // Without create or truncate, a missing file stays missing.
  EXPECT_EQ(ov_fileOpen(missing.c_str(), O_RDWR, 0, 0, 1), -1);
  EXPECT_EQ(errno, ENOENT);

  // 0x200 alone creates it; mode 0 still gives rw for all, less the umask.
  const mode_t oldMask = umask(027);
  int fd = ov_fileOpen(missing.c_str(), O_RDWR | 0x200, 0, 0, 1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(ov_fileWrite(fd, "hello", 5), 5);
  EXPECT_EQ(ov_fileClose(fd), 0);
  struct stat st {};
  ASSERT_EQ(stat(missing.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // The caller's bits are added to 0666 (execute for the owner here).
  umask(0);
  const std::string exec = dir.file("exec.dat");
  fd = ov_fileOpen(exec.c_str(), O_WRONLY | O_CREAT, 0100, 123, 0);
  ASSERT_GE(fd, 0);
  ov_fileClose(fd);
  ASSERT_EQ(stat(exec.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0766u);
  umask(oldMask);

  // 0x200 on an existing file truncates it.
  fd = ov_fileOpen(missing.c_str(), O_WRONLY | 0x200, 0, 0, 1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(sizeOf(missing), 0);
  EXPECT_EQ(ov_fileClose(fd), 0);
  EXPECT_EQ(ov_fileClose(fd), -1);  // already closed
}

TEST(PlatformFiles, ReadSeekAndLength) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string path = dir.file("data");
  writeFile(path, "0123456789");

  int fd = ov_fileOpen(path.c_str(), O_RDONLY, 0, 0, 1);
  ASSERT_GE(fd, 0);
  char buf[16] = {};

  // Seeks are absolute: seeking to 2 twice lands on 2, not 4.
  EXPECT_EQ(ov_fileSeek(fd, 2), 2);
  EXPECT_EQ(ov_fileSeek(fd, 2), 2);
  EXPECT_EQ(ov_fileRead(fd, buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "234");

  // The length is the whole file and the position stays at 5.
  EXPECT_EQ(ov_fileLength(fd), 10);
  EXPECT_EQ(ov_fileRead(fd, buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "56");

  // Reading past the end gives what is left, then 0.
  EXPECT_EQ(ov_fileRead(fd, buf, sizeof buf), 3);
  EXPECT_EQ(ov_fileRead(fd, buf, sizeof buf), 0);
  EXPECT_EQ(ov_fileSeek(fd, -1), -1);
  ov_fileClose(fd);

  // A handle that cannot seek has no length; a closed one cannot be read.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  EXPECT_EQ(ov_fileLength(pipeFds[0]), -1);
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_EQ(ov_fileRead(pipeFds[0], buf, 1), -1);
  EXPECT_EQ(ov_fileWrite(pipeFds[1], buf, 1), -1);
}

TEST(PlatformFiles, ValidateRenameRemove) {
  TempDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string a = dir.file("a");
  const std::string b = dir.file("b");
  writeFile(a, "x");

  // Existence only: a file nobody may read still validates.
  ASSERT_EQ(chmod(a.c_str(), 0), 0);
  EXPECT_EQ(ov_fileValidate(a.c_str()), 0);
  EXPECT_EQ(ov_fileValidate(b.c_str()), -1);

  EXPECT_EQ(ov_fileRename(a.c_str(), b.c_str()), 0);
  EXPECT_EQ(ov_fileValidate(a.c_str()), -1);
  EXPECT_EQ(ov_fileValidate(b.c_str()), 0);
  EXPECT_EQ(ov_fileRename(a.c_str(), b.c_str()), -1);

  EXPECT_EQ(ov_fileRemove(b.c_str()), 0);
  EXPECT_EQ(ov_fileValidate(b.c_str()), -1);
  EXPECT_EQ(ov_fileRemove(b.c_str()), -1);
}

std::atomic<int> signalsSeen{0};
extern "C" void countSignal(int) { signalsSeen.fetch_add(1); }

TEST(PlatformTime, SleepResumesAfterSignals) {
  struct sigaction action {};
  struct sigaction previous {};
  action.sa_handler = countSignal;  // no SA_RESTART: nanosleep is cut short
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  const pthread_t sleeper = pthread_self();
  std::thread interrupter([sleeper] {
    for (int i = 0; i < 2; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      pthread_kill(sleeper, SIGUSR1);
    }
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ov_sleep(150), 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  interrupter.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(signalsSeen.load(), 2);
  EXPECT_GE(elapsed, std::chrono::milliseconds(150));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1000));

}

TEST(PlatformTime, ClockLocalTimeAndEnvironment) {
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ov_timeHRTimer() % 1000, 0u);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const uint64_t reference = static_cast<uint64_t>(now.tv_sec) * 1000000000u + now.tv_nsec;
  const uint64_t hr = ov_timeHRTimer();
  EXPECT_LT(hr > reference ? hr - reference : reference - hr, 1000000000u);

  setenv("TZ", "UTC", 1);
  tzset();
  const time_t moment = 86400 * 365 + 3723;  // 1971-01-01 01:02:03 UTC
  struct tm fields {};
  EXPECT_EQ(ov_timeLocaltime(&moment, &fields), &fields);
  EXPECT_EQ(fields.tm_year, 71);
  EXPECT_EQ(fields.tm_hour, 1);
  EXPECT_EQ(fields.tm_min, 2);
  EXPECT_EQ(fields.tm_sec, 3);
  const time_t outOfRange = std::numeric_limits<time_t>::max();
  EXPECT_EQ(ov_timeLocaltime(&outOfRange, &fields), nullptr);
  EXPECT_EQ(ov_timeLocaltime(nullptr, &fields), nullptr);

  setenv("OV_PLATFORM_TEST_VAR", "value", 1);
  EXPECT_EQ(ov_OSgetenv("OV_PLATFORM_TEST_VAR"), getenv("OV_PLATFORM_TEST_VAR"));
  EXPECT_STREQ(ov_OSgetenv("OV_PLATFORM_TEST_VAR"), "value");
  unsetenv("OV_PLATFORM_TEST_VAR");
  EXPECT_EQ(ov_OSgetenv("OV_PLATFORM_TEST_VAR"), nullptr);
  EXPECT_EQ(ov_OSgetenv(nullptr), nullptr);
}

TEST(PlatformLimits, HandleLimitIsLow16BitsOfSoftLimit) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(ov_getOSHandleLimit(), static_cast<int16_t>(saved.rlim_cur & 0xFFFF));

  // Limits above 16 bits need a hard limit that high; raising it takes
  // privilege, so those cases run only where it is allowed.
  rlimit high{saved.rlim_max, std::max<rlim_t>(saved.rlim_max, 65536 + 300)};
  const rlim_t hard = setrlimit(RLIMIT_NOFILE, &high) == 0 ? high.rlim_max : saved.rlim_max;
  auto withSoftLimit = [&](rlim_t soft) -> int {
    rlimit changed{soft, hard};
    if (setrlimit(RLIMIT_NOFILE, &changed) != 0) return INT_MIN;
    return ov_getOSHandleLimit();
  };
  EXPECT_EQ(withSoftLimit(517), 517);
  if (hard >= 65536 + 300) {
    EXPECT_EQ(withSoftLimit(65536 + 300), 300);
    EXPECT_EQ(withSoftLimit(65536), 0);
    EXPECT_EQ(withSoftLimit(40000), 40000 - 65536);  // sign bit set
  }
  setrlimit(RLIMIT_NOFILE, &saved);
}

TEST(PlatformAlign, Tables) {
  const uint32_t classes[15] = {0, 2, 1, 3, 5, 4, 6, 1, 3, 0, 0, 3, 3, 3, 0};
  for (uint16_t code = 0; code < 15; ++code) EXPECT_EQ(ov_getAlignType(code), classes[code]);
  for (uint16_t code : {15, 16, 1000, 65535}) EXPECT_EQ(ov_getAlignType(code), 0u);

  const uint64_t boundaries[7] = {1, 2, 4, 4, 4, 8, 8};
  for (uint32_t c = 0; c < 7; ++c)
    for (uint64_t offset = 0; offset < 40; ++offset) {
      const uint64_t aligned = ov_align(offset, c);  // the next multiple at or above
      EXPECT_EQ(aligned % boundaries[c], 0u);
      EXPECT_LT(aligned - offset, boundaries[c]);
    }
  EXPECT_EQ(ov_align(UINT64_MAX - 7, 6), UINT64_MAX - 7);

  // A class beyond the table is byte alignment.
  for (uint32_t c : {7u, 100u, UINT32_MAX}) EXPECT_EQ(ov_align(13, c), 13u);
}

}  // namespace
