// The process-local environment overlay: sequences of puts checked through
// lookups in every case of letters, the fall-back to the process
// environment, long names, and out-of-memory during a put.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "platform/testhooks.h"

namespace {

// What a lookup must give: a value, or none (null).
struct Lookup {
  const char *name;
  const char *want;  // null: no value
};

std::string show(const char *value) { return value ? "'" + std::string(value) + "'" : "null"; }

struct PutRow {
  std::vector<const char *> puts;
  std::vector<Lookup> lookups;
};

// Each row runs in a fresh overlay (its own process is not available within
// one test, so names differ from row to row).
const PutRow kRows[] = {
    {{"Path1=/opt/x"}, {{"PATH1", "/opt/x"}, {"path1", "/opt/x"}, {"Path1", "/opt/x"}, {"PATH", nullptr}}},
    {{"AB2=2", "A2=1"}, {{"AB2", "2"}, {"A2", "1"}, {"a2", "1"}, {"B2", nullptr}}},
    {{"X3=1", "X3=1", "x3=2"}, {{"X3", "2"}}},
    {{"X4=1", "X4"}, {{"X4", nullptr}, {"x4", nullptr}}},
    {{"X5=1", "X5", "x5=again"}, {{"X5", "again"}}},
    {{"E6="}, {{"E6", ""}}},
    {{"V7=MiXeD=Case"}, {{"v7", "MiXeD=Case"}, {"V7=MIXED", nullptr}}},
    {{"bare8"}, {{"BARE8", nullptr}}},
    {{"K9=a", "K9b=b", "k9=c"}, {{"K9", "c"}, {"K9B", "b"}, {"K9BX", nullptr}}},
};

TEST(LocalEnv, PutSequencesAndLookups) {
  for (const PutRow &row : kRows) {
    for (const char *put : row.puts) ov_putLocalEnv(put);
    for (const Lookup &l : row.lookups)
      EXPECT_EQ(show(ov_getLocalEnv(l.name)), show(l.want)) << "after " << row.puts.back()
                                                            << ": lookup " << l.name;
  }
  EXPECT_EQ(ov_getLocalEnv(nullptr), nullptr);
  ov_putLocalEnv(nullptr);  // does nothing
  EXPECT_EQ(show(ov_getLocalEnv("AB2")), show("2"));
}

TEST(LocalEnv, ReplacingKeepsTheSlotAndReleasesTheOldEntry) {
  ov_putLocalEnv("WARM=1");  // the array exists from here on
  const int64_t before = ov_testOutstandingBlocks();
  ov_putLocalEnv("FIRST=1");
  ov_putLocalEnv("SECOND=2");
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 2);  // two entries; a grown array counts once
  ov_putLocalEnv("first=1");  // identical after folding: nothing changes
  const char *kept = ov_getLocalEnv("FIRST");
  ov_putLocalEnv("FIRST=1");
  EXPECT_EQ(ov_getLocalEnv("FIRST"), kept);
  ov_putLocalEnv("First=one");  // replaced, old entry released
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 2);
  EXPECT_EQ(show(ov_getLocalEnv("first")), show("one"));
  EXPECT_EQ(show(ov_getLocalEnv("second")), show("2"));
}

TEST(LocalEnv, OverlayBeforeProcessEnvironment) {
  ASSERT_EQ(setenv("OVENV_TEST_VAR", "from-process", 1), 0);
  ASSERT_EQ(setenv("ovenv_lower", "lower-process", 1), 0);
  EXPECT_EQ(show(ov_getenv("OVENV_TEST_VAR")), show("from-process"));
  ov_putLocalEnv("OVENV_TEST_VAR=");
  EXPECT_EQ(show(ov_getenv("OVENV_TEST_VAR")), show(""));  // an empty value hides it
  EXPECT_EQ(show(std::getenv("OVENV_TEST_VAR")), show("from-process"));
  ov_putLocalEnv("ovenv_test_var");  // bare name: back to the process environment
  EXPECT_EQ(show(ov_getenv("OVENV_TEST_VAR")), show("from-process"));
  ov_putLocalEnv("ovenv_test_var=overlay");
  EXPECT_EQ(show(ov_getenv("Ovenv_Test_Var")), show("overlay"));
  // The process environment is searched with the name as given.
  EXPECT_EQ(show(ov_getenv("ovenv_lower")), show("lower-process"));
  EXPECT_EQ(show(ov_getenv("OVENV_LOWER")), show(nullptr));
  EXPECT_EQ(ov_getenv(nullptr), nullptr);
}

TEST(LocalEnv, NamesOf128CharactersOrMoreAreNeverFound) {
  for (std::size_t length : {126u, 127u, 128u, 200u}) {
    const std::string name(length, 'N'), value = "v" + std::to_string(length);
    ov_putLocalEnv((name + "=" + value).c_str());
    EXPECT_EQ(show(ov_getLocalEnv(name.c_str())), show(length < 128 ? value.c_str() : nullptr))
        << length;
  }
}

TEST(LocalEnv, OutOfMemoryLeavesTheOverlayAsItWas) {
  ov_putLocalEnv("KEEP=old");
  for (const char *put : {"KEEP=new", "FRESH=1"}) {
    for (int64_t failAt = 0;; ++failAt) {
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      ov_putLocalEnv(put);
      const bool failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      if (!failed) break;
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << put << " failing " << failAt;
      EXPECT_EQ(show(ov_getLocalEnv("KEEP")), show("old")) << put << " failing " << failAt;
      EXPECT_EQ(ov_getLocalEnv("FRESH"), nullptr) << put << " failing " << failAt;
    }
    if (std::string(put) == "KEEP=new") {
      EXPECT_EQ(show(ov_getLocalEnv("KEEP")), show("new"));
      ov_putLocalEnv("KEEP=old");
    }
  }
  EXPECT_EQ(show(ov_getLocalEnv("FRESH")), show("1"));
}

}  // namespace
