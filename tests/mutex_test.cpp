// The mutex table: slot hand-out, the full table, ignored handles, the
// permanent handle 0, and concurrent use.  Every test leaves slots 1 to 50
// free again, so the tests also pass when run in one process.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "ovbase/platform.h"
#include "ovbase/status.h"

namespace {

constexpr int kSlots = 50;

using namespace std::chrono_literals;

// True when another thread can take the handle's mutex right now.  When it
// cannot, the caller's hold is released so that the probe can finish (the
// future waits for it when it goes out of scope).
bool enterableByOtherThread(int16_t handle) {
  std::future<void> probe = std::async(std::launch::async, [handle] {
    ov_syncEnterExcl(handle);
    ov_syncExitExcl(handle);
  });
  const bool entered = probe.wait_for(200ms) == std::future_status::ready;
  if (!entered) ov_syncExitExcl(handle);
  return entered;
}

std::vector<int32_t> createMany(int count = kSlots) {
  std::vector<int32_t> handles;
  for (int i = 0; i < count; ++i) handles.push_back(ov_syncCreate("x", 0, 0));
  return handles;
}

void deleteAll(const std::vector<int32_t> &handles) {
  for (int32_t h : handles) ov_syncDelete(static_cast<int16_t>(h));
}

TEST(MutexTable, HandOutReuseIgnoredHandlesAndHandleZero) {
  const std::vector<int32_t> handles = createMany();
  for (int i = 0; i < kSlots; ++i) EXPECT_EQ(handles[i], i + 1);  // lowest first, never 0
  EXPECT_EQ(ov_syncCreate("x", 0, 0), S_INSUFFNETRES);
  for (int32_t h : handles) EXPECT_TRUE(enterableByOtherThread(static_cast<int16_t>(h)));
  ov_syncDelete(30);
  ov_syncDelete(7);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 7);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 30);
  ov_syncEnterExcl(7);
  EXPECT_FALSE(enterableByOtherThread(7));  // held: others wait
  EXPECT_TRUE(enterableByOtherThread(7));   // the probe's timeout released it
  deleteAll(handles);
  // Out of range, free and deleted handles are ignored: entering one twice
  // would deadlock if either call locked anything.
  for (int16_t bad : {int16_t{51}, int16_t{-1}, int16_t{-32768}, int16_t{2}, int16_t{1}}) {
    ov_syncEnterExcl(bad);
    ov_syncEnterExcl(bad);
    ov_syncExitExcl(bad);
    ov_syncDelete(bad);
  }
  // No slot was claimed, and deleting 1 and 2 twice freed each once.
  EXPECT_EQ(createMany(3), (std::vector<int32_t>{1, 2, 3}));
  deleteAll({1, 2, 3});

  // Handle 0 needs no create.  Once deleted (in a child, so this process
  // keeps it), entering it does nothing and create still never returns 0.
  ov_syncEnterExcl(0);
  EXPECT_FALSE(enterableByOtherThread(0));
  EXPECT_EXIT(
      {
        ov_syncDelete(0);
        ov_syncEnterExcl(0);
        ov_syncEnterExcl(0);
        std::exit(createMany().front() == 1 && ov_syncCreate("x", 0, 0) == S_INSUFFNETRES ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Threads create, use and delete handles while all count under one shared
// handle; 45 slots stay taken, so the table runs full now and then.
TEST(MutexThreads, ConcurrentCreateEnterExitDelete) {
  constexpr int kThreads = 8, kRounds = 3000;
  std::array<std::atomic<int>, 51> holders{};  // users of each slot
  const std::vector<int32_t> taken = createMany(45);
  for (int32_t h : taken) holders.at(h) = 1;  // at(): an error code would be out of range
  const auto shared = static_cast<int16_t>(taken[0]);
  long counter = 0;  // guarded by `shared` only
  std::atomic<int> faults{0};
  auto worker = [&] {
    for (int round = 0; round < kRounds; ++round) {
      ov_syncEnterExcl(shared);
      ++counter;
      ov_syncExitExcl(shared);
      const int32_t h = ov_syncCreate("w", 0, 0);
      if (h == S_INSUFFNETRES) continue;
      if (h < 1 || h > 50 || holders[h].fetch_add(1) != 0) {
        ++faults;  // out of range, or handed out twice
        continue;
      }
      ov_syncEnterExcl(static_cast<int16_t>(h));
      ov_syncExitExcl(static_cast<int16_t>(h));
      holders[h].fetch_sub(1);
      ov_syncDelete(static_cast<int16_t>(h));
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker);
  for (auto &t : threads) t.join();
  EXPECT_EQ(faults.load(), 0);
  EXPECT_EQ(counter, long{kThreads} * kRounds);
  deleteAll(taken);
  const std::vector<int32_t> handles = createMany();  // all given back
  EXPECT_EQ(handles.back(), 50);
  deleteAll(handles);
}

}  // namespace
