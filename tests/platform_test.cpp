// OS wrappers (files, sleep, clock, local time, environment, handle limit),
// the compiler text and the alignment tables.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <vector>

#include "ovbase/platform.h"
#include "scratch_dir.h"

// Soft limits above the hard one need privilege that the test machine may
// lack, so the handle-limit boundaries are checked through this stand-in
// for the platform call: while fakeSoftLimit is not 0 it reports it as the
// soft limit, otherwise it passes through.  The library's static twin
// calls this definition, the executable's own.  Sanitizer runtimes call it
// before they are ready, so it is left uninstrumented, asks the kernel
// directly and reads plain variables (set and read by the test's thread).
namespace {
uint64_t fakeSoftLimit = 0;  // 0: pass the real limit through
}  // namespace
extern "C" __attribute__((no_sanitize("thread", "address"))) int getrlimit(
    __rlimit_resource_t resource, rlimit *limit) noexcept {
  const int result = static_cast<int>(syscall(SYS_prlimit64, 0, resource, nullptr, limit));
  if (result == 0 && resource == RLIMIT_NOFILE && fakeSoftLimit != 0)
    limit->rlim_cur = fakeSoftLimit;
  return result;
}

namespace {

using namespace std::chrono_literals;

TEST(PlatformFiles, OpenReadSeekRenameRemove) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.ok());
  const std::string path = scratch.path("a"), moved = scratch.path("b");
  EXPECT_EQ(ov_fileOpen(path.c_str(), O_RDWR, 0, 0, 1), -1);  // no create, no file
  EXPECT_EQ(errno, ENOENT);
  // 0x200 alone creates; mode 0 still gives rw for all (0666), less the umask.
  const mode_t oldMask = umask(027);
  int fd = ov_fileOpen(path.c_str(), O_RDWR | 0x200, 0, 0, 1);
  umask(oldMask);
  ASSERT_GE(fd, 0);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ov_fileWrite(fd, "0123456789", 10), 10);
  // Seeks are absolute; the length is the whole file and leaves the position.
  char buf[4] = {};
  EXPECT_EQ(ov_fileSeek(fd, 2), 2);
  EXPECT_EQ(ov_fileSeek(fd, 2), 2);
  EXPECT_EQ(ov_fileLength(fd), 10);
  EXPECT_EQ(ov_fileRead(fd, buf, 3), 3);
  EXPECT_STREQ(buf, "234");
  EXPECT_EQ(ov_fileSeek(fd, -1), -1);
  EXPECT_EQ(ov_fileClose(fd), 0);
  EXPECT_EQ(ov_fileClose(fd), -1);
  fd = ov_fileOpen(path.c_str(), O_WRONLY | 0x200, 0, 0, 1);  // truncates an existing file
  EXPECT_EQ(ov_fileLength(fd), 0);
  ov_fileClose(fd);

  ASSERT_EQ(chmod(path.c_str(), 0), 0);
  EXPECT_EQ(ov_fileValidate(path.c_str()), 0);  // existence only, not permission
  EXPECT_EQ(ov_fileRename(path.c_str(), moved.c_str()), 0);
  EXPECT_EQ(ov_fileValidate(path.c_str()), -1);
  EXPECT_EQ(ov_fileRemove(moved.c_str()), 0);
  EXPECT_EQ(ov_fileRemove(moved.c_str()), -1);

  int pipeFds[2];  // a handle that cannot seek has no length
  ASSERT_EQ(pipe(pipeFds), 0);
  EXPECT_EQ(ov_fileLength(pipeFds[0]), -1);
  for (int pipeFd : pipeFds) close(pipeFd);
}

std::atomic<int> signalsSeen{0};

// A timer cuts the sleep every 40 ms; it still lasts the whole 150 ms.  The
// clock counts whole microseconds since the epoch.
TEST(PlatformTime, SleepClockLocalTimeAndEnvironment) {
  struct sigaction action {}, previous{};
  action.sa_handler = [](int) { signalsSeen.fetch_add(1); };  // no SA_RESTART: sleeps are cut
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  const itimerval every40ms{{0, 40000}, {0, 40000}}, off{};
  ASSERT_EQ(setitimer(ITIMER_REAL, &every40ms, nullptr), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ov_sleep(150), 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_GE(signalsSeen.load(), 1);
  EXPECT_GE(elapsed, 150ms);

  for (int i = 0; i < 100; ++i) EXPECT_EQ(ov_timeHRTimer() % 1000, 0u);
  const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_LT(std::chrono::abs(std::chrono::nanoseconds(ov_timeHRTimer()) - sinceEpoch), 1s);

  setenv("TZ", "UTC", 1);
  tzset();
  const time_t moment = 86400 * 365 + 3723;  // 1971-01-01 01:02:03 UTC
  struct tm fields {};
  EXPECT_EQ(ov_timeLocaltime(&moment, &fields), &fields);
  EXPECT_EQ(fields.tm_year * 10000 + fields.tm_hour * 100 + fields.tm_min, 710102);
  EXPECT_EQ(ov_timeLocaltime(nullptr, &fields), nullptr);

  setenv("OV_PLATFORM_TEST_VAR", "value", 1);
  EXPECT_EQ(ov_OSgetenv("OV_PLATFORM_TEST_VAR"), getenv("OV_PLATFORM_TEST_VAR"));  // not a copy
  EXPECT_EQ(ov_OSgetenv(nullptr), nullptr);
}

// The low 16 bits of the soft limit, read as a signed value: bit 15 makes
// it negative.
TEST(PlatformLimits, HandleLimitIsLow16BitsOfSoftLimit) {
  using Row = std::pair<uint64_t, int16_t>;  // soft limit, handle limit
  for (const auto &[soft, want] :
       {Row{1024, 1024}, Row{32767, 32767}, Row{32768, -32768}, Row{65535, -1}, Row{65536, 0},
        Row{65536 + 300, 300}, Row{(uint64_t{1} << 20) + 0x8001, -32767}, Row{RLIM_INFINITY, -1}}) {
    fakeSoftLimit = soft;
    EXPECT_EQ(ov_getOSHandleLimit(), want) << "soft limit " << soft;
  }
  fakeSoftLimit = 0;
}

// All threads make the process's first call at once; each must see the
// whole text, spelled as the compiler of this test (the library's own)
// spells its release, and the text stays at one address.
TEST(CompilerThreads, EveryThreadSeesTheWholeText) {
#if defined(__clang__)
  const int version[3] = {__clang_major__, __clang_minor__, __clang_patchlevel__};
#else
  const int version[3] = {__GNUC__, __GNUC_MINOR__, __GNUC_PATCHLEVEL__};
#endif
  const std::string want = "GNU C/C++ " + std::to_string(version[0]) + "." +
                           std::to_string(version[1]) + "." + std::to_string(version[2]);
  constexpr int kThreads = 8;
  std::barrier start(kThreads);
  std::vector<std::future<std::string>> seen;
  for (int t = 0; t < kThreads; ++t)
    seen.push_back(std::async(std::launch::async, [&start] {
      start.arrive_and_wait();
      return std::string(ov_compiler());
    }));
  for (std::future<std::string> &text : seen) EXPECT_EQ(text.get(), want);
  EXPECT_EQ(ov_compiler(), ov_compiler());
}

// Type codes past the table have class 0.  ov_align gives the next multiple
// of the class's boundary at or above the offset, near zero and near the
// top; with no multiple left above it, UINT64_MAX.  Unknown classes align
// to bytes.
TEST(PlatformAlign, Tables) {
  const uint32_t classes[15] = {0, 2, 1, 3, 5, 4, 6, 1, 3, 0, 0, 3, 3, 3, 0};
  for (uint32_t code = 0; code <= 65535; ++code)
    EXPECT_EQ(ov_getAlignType(static_cast<uint16_t>(code)), code < 15 ? classes[code] : 0u) << code;
  const uint64_t boundaries[7] = {1, 2, 4, 4, 4, 8, 8};
  for (uint32_t c : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 100u, UINT32_MAX}) {
    const uint64_t b = c < 7 ? boundaries[c] : 1, lastMultiple = UINT64_MAX - UINT64_MAX % b;
    for (uint64_t i = 0; i < 40; ++i)
      for (uint64_t offset : {i, UINT64_MAX - i}) {
        const uint64_t want = offset > lastMultiple ? UINT64_MAX : offset + (b - offset % b) % b;
        EXPECT_EQ(ov_align(offset, c), want) << "class " << c << " offset " << offset;
      }
  }
}

}  // namespace
