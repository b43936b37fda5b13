// The mutex table: slot hand-out, the full table, ignored handles, the
// permanent handle 0, and concurrent use.  Every test leaves slots 1 to 50
// free again, so the tests also pass when run in one process.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ovbase/platform.h"
#include "ovbase/status.h"

namespace {

constexpr int kSlots = 50;

// True when another thread can take the handle's mutex right now.
bool enterableByOtherThread(int16_t handle) {
  std::atomic<bool> entered{false};
  std::thread probe([&] {
    ov_syncEnterExcl(handle);
    entered = true;
    ov_syncExitExcl(handle);
  });
  for (int i = 0; i < 200 && !entered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool result = entered;
  if (!result) ov_syncExitExcl(handle);  // let the probe finish
  probe.join();
  return result;
}

std::vector<int32_t> createAll() {
  std::vector<int32_t> handles;
  for (int i = 0; i < kSlots; ++i) handles.push_back(ov_syncCreate("x", 0, 0));
  return handles;
}

void deleteAll(const std::vector<int32_t> &handles) {
  for (int32_t h : handles) ov_syncDelete(static_cast<int16_t>(h));
}

TEST(MutexTable, HandOutFillAndReuse) {
  const std::vector<int32_t> handles = createAll();
  for (int i = 0; i < kSlots; ++i) EXPECT_EQ(handles[i], i + 1);  // lowest first, never 0
  EXPECT_EQ(ov_syncCreate("x", 0, 0), S_INSUFFNETRES);
  for (int32_t h : handles) EXPECT_TRUE(enterableByOtherThread(static_cast<int16_t>(h)));

  ov_syncDelete(30);
  ov_syncDelete(7);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 7);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 30);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), S_INSUFFNETRES);
  deleteAll(handles);
  EXPECT_EQ(ov_syncCreate("iniSem", 1, 0), 1);
  ov_syncDelete(1);
}

TEST(MutexTable, BadHandlesAreIgnored) {
  const auto handle = static_cast<int16_t>(ov_syncCreate("m", 0, 0));
  ASSERT_GE(handle, 1);
  // Out of range and free handles: entering twice would deadlock if either
  // call locked anything.
  for (int16_t bad : {int16_t{51}, int16_t{-1}, int16_t{-32768}, static_cast<int16_t>(handle + 1)}) {
    ov_syncEnterExcl(bad);
    ov_syncEnterExcl(bad);
    ov_syncExitExcl(bad);
    ov_syncDelete(bad);
  }
  EXPECT_EQ(ov_syncCreate("m", 0, 0), handle + 1);  // the free slot was not claimed
  ov_syncDelete(static_cast<int16_t>(handle + 1));

  ov_syncEnterExcl(handle);
  EXPECT_FALSE(enterableByOtherThread(handle));  // held: others wait
  EXPECT_TRUE(enterableByOtherThread(handle));   // the probe's timeout released it

  ov_syncDelete(handle);
  ov_syncEnterExcl(handle);
  ov_syncEnterExcl(handle);
  ov_syncDelete(handle);
  EXPECT_EQ(ov_syncCreate("m", 0, 0), handle);  // deleting twice freed it once
  ov_syncDelete(handle);
}

TEST(MutexTable, HandleZeroIsReadyAndNeverHandedOut) {
  ov_syncEnterExcl(0);  // no create needed
  EXPECT_FALSE(enterableByOtherThread(0));
  // After deleting handle 0 (in a child, so this process keeps it), entering
  // it does nothing and create still never returns 0.
  EXPECT_EXIT(
      {
        ov_syncDelete(0);
        ov_syncEnterExcl(0);
        ov_syncEnterExcl(0);
        const std::vector<int32_t> handles = createAll();
        std::exit(handles.front() == 1 && ov_syncCreate("x", 0, 0) == S_INSUFFNETRES ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MutexThreads, ConcurrentCreateEnterExitDelete) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  constexpr int kHeldPerThread = 7;  // 8 * 7 + 1 > 50: the table runs full
  const auto shared = static_cast<int16_t>(ov_syncCreate("shared", 0, 0));
  ASSERT_GE(shared, 1);
  long counter = 0;                             // guarded by `shared` only
  std::array<std::atomic<int>, 51> holders{};  // threads holding each slot
  std::atomic<int> faults{0};

  auto worker = [&](int seed) {
    std::array<int16_t, kHeldPerThread> mine{};
    int held = 0;
    for (int round = 0; round < kRounds; ++round) {
      ov_syncEnterExcl(shared);
      ++counter;
      ov_syncExitExcl(shared);
      if (held == 0 || (held < kHeldPerThread && (round + seed) % 3 != 0)) {
        const int32_t h = ov_syncCreate("w", 0, 0);
        if (h == S_INSUFFNETRES) continue;
        if (h < 1 || h > 50 || h == shared) {
          ++faults;
          continue;
        }
        if (holders[h].fetch_add(1) != 0) ++faults;
        mine[held++] = static_cast<int16_t>(h);
        ov_syncEnterExcl(static_cast<int16_t>(h));
        ov_syncExitExcl(static_cast<int16_t>(h));
      } else {
        const int16_t h = mine[--held];
        holders[h].fetch_sub(1);
        ov_syncDelete(h);
      }
    }
    while (held > 0) {
      holders[mine[--held]].fetch_sub(1);
      ov_syncDelete(mine[held]);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (auto &t : threads) t.join();

  EXPECT_EQ(faults.load(), 0);  // no handle handed out twice or out of range
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  ov_syncDelete(shared);
  const std::vector<int32_t> handles = createAll();  // all given back
  EXPECT_EQ(handles.back(), 50);
  deleteAll(handles);
}

}  // namespace
