// The mutex table: slot hand-out, the full table, ignored handles, the
// permanent handle 0, and concurrent use.  Every test leaves all slots 1 to
// 50 free again, so the tests also pass when run in one process.
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

// True when another thread could take the handle's mutex right now: a probe
// thread enters and leaves it and reports whether it got through in time.
bool enterableByOtherThread(int16_t handle) {
  std::atomic<bool> entered{false};
  std::thread probe([&] {
    ov_syncEnterExcl(handle);
    entered = true;
    ov_syncExitExcl(handle);
  });
  for (int i = 0; i < 200 && !entered; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool result = entered;
  if (!result) {
    ov_syncExitExcl(handle);  // let the probe finish
  }
  probe.join();
  return result;
}

TEST(MutexTable, HandOutFillAndReuse) {
  EXPECT_EQ(ov_syncCreate("iniSem", 1, 0), 1);
  std::vector<int32_t> handles{1};
  for (int expected = 2; expected <= kSlots; ++expected) {
    const int32_t h = ov_syncCreate(nullptr, 0, 0);
    EXPECT_EQ(h, expected);
    handles.push_back(h);
  }

  // Full: -2006, and the table is as it was.
  EXPECT_EQ(ov_syncCreate("x", 0, 0), S_INSUFFNETRES);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), -2006);
  for (int32_t h : handles) {
    ov_syncEnterExcl(static_cast<int16_t>(h));
    ov_syncExitExcl(static_cast<int16_t>(h));
  }

  // The lowest free slot comes back first.
  ov_syncDelete(7);
  ov_syncDelete(30);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 7);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 30);
  EXPECT_EQ(ov_syncCreate("x", 0, 0), S_INSUFFNETRES);

  for (int32_t h : handles) ov_syncDelete(static_cast<int16_t>(h));
  EXPECT_EQ(ov_syncCreate("x", 0, 0), 1);
  ov_syncDelete(1);
}

TEST(MutexTable, BadHandlesAreIgnored) {
  const int32_t h = ov_syncCreate("m", 0, 0);
  ASSERT_GE(h, 1);
  const auto handle = static_cast<int16_t>(h);

  // Out of range and free handles: none of these locks, unlocks or frees.
  for (int16_t bad : {int16_t{51}, int16_t{-1}, int16_t{-32768}, int16_t{32767},
                      static_cast<int16_t>(handle + 1)}) {
    ov_syncEnterExcl(bad);
    ov_syncEnterExcl(bad);  // would deadlock if it locked anything
    ov_syncExitExcl(bad);
    ov_syncDelete(bad);
  }
  EXPECT_TRUE(enterableByOtherThread(handle));
  EXPECT_EQ(ov_syncCreate("m", 0, 0), handle + 1);  // the free slot was not claimed
  ov_syncDelete(static_cast<int16_t>(handle + 1));

  // A held handle blocks others; after exit it does not.
  ov_syncEnterExcl(handle);
  EXPECT_FALSE(enterableByOtherThread(handle));
  EXPECT_TRUE(enterableByOtherThread(handle));

  // A deleted handle is ignored from then on.
  ov_syncDelete(handle);
  ov_syncEnterExcl(handle);
  ov_syncEnterExcl(handle);
  ov_syncExitExcl(handle);
  ov_syncDelete(handle);
  EXPECT_EQ(ov_syncCreate("m", 0, 0), handle);  // deleting twice freed it once
  ov_syncDelete(handle);
}

TEST(MutexTable, HandleZeroIsReadyAndNeverHandedOut) {
  // Ready without any create, and exclusive.
  ov_syncEnterExcl(0);
  EXPECT_FALSE(enterableByOtherThread(0));
  EXPECT_TRUE(enterableByOtherThread(0));

  std::vector<int32_t> handles;
  for (int i = 0; i < kSlots; ++i) handles.push_back(ov_syncCreate("x", 0, 0));
  for (int32_t h : handles) EXPECT_NE(h, 0);
  for (int32_t h : handles) ov_syncDelete(static_cast<int16_t>(h));

  // After deleting handle 0 (in a child process, so this process keeps its
  // slot 0), entering it does nothing and create still never returns 0.
  EXPECT_EXIT(
      {
        ov_syncDelete(0);
        ov_syncEnterExcl(0);
        ov_syncEnterExcl(0);  // would deadlock if it still locked
        ov_syncExitExcl(0);
        int zeroes = 0;
        for (int i = 0; i < kSlots; ++i) zeroes += ov_syncCreate("x", 0, 0) == 0;
        std::exit(zeroes == 0 && ov_syncCreate("x", 0, 0) == S_INSUFFNETRES ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MutexTable, ConcurrentCreateEnterExitDelete) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  constexpr int kHeldPerThread = 7;  // 8 * 7 + 1 > 50: the table runs full

  const int32_t shared = ov_syncCreate("shared", 0, 0);
  ASSERT_GE(shared, 1);
  long counter = 0;  // guarded by `shared` only

  std::array<std::atomic<int>, 51> holders{};  // how many threads hold each slot
  std::atomic<int> duplicates{0};
  std::atomic<int> badResults{0};
  std::atomic<int> fullResults{0};

  auto worker = [&](int seed) {
    std::array<int16_t, kHeldPerThread> mine{};
    int held = 0;
    for (int round = 0; round < kRounds; ++round) {
      ov_syncEnterExcl(static_cast<int16_t>(shared));
      ++counter;
      ov_syncExitExcl(static_cast<int16_t>(shared));

      const bool grow = held == 0 || (held < kHeldPerThread && (round + seed) % 3 != 0);
      if (grow) {
        const int32_t h = ov_syncCreate("w", 0, 0);
        if (h == S_INSUFFNETRES) {
          ++fullResults;
          continue;
        }
        if (h < 1 || h > 50 || h == shared) {
          ++badResults;
          continue;
        }
        if (holders[h].fetch_add(1) != 0) ++duplicates;
        mine[held++] = static_cast<int16_t>(h);
        ov_syncEnterExcl(static_cast<int16_t>(h));
        ov_syncExitExcl(static_cast<int16_t>(h));
      } else {
        const int16_t h = mine[--held];
        ov_syncEnterExcl(h);
        ov_syncExitExcl(h);
        holders[h].fetch_sub(1);
        ov_syncDelete(h);
      }
    }
    while (held > 0) {
      const int16_t h = mine[--held];
      holders[h].fetch_sub(1);
      ov_syncDelete(h);
    }
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (auto &t : threads) t.join();

  EXPECT_EQ(duplicates.load(), 0);
  EXPECT_EQ(badResults.load(), 0);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  ov_syncDelete(static_cast<int16_t>(shared));

  // Everything was given back: the whole table is free again.
  std::vector<int32_t> handles;
  for (int i = 0; i < kSlots; ++i) handles.push_back(ov_syncCreate("x", 0, 0));
  EXPECT_EQ(handles.front(), 1);
  EXPECT_EQ(handles.back(), 50);
  for (int32_t h : handles) ov_syncDelete(static_cast<int16_t>(h));
}

}  // namespace
