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

std::string show(const char *value) { return value ? "'" + std::string(value) + "'" : "null"; }

// What a lookup must give: a value, or none (null).
struct Lookup {
  const char *name;
  const char *want;      // null: no value
  bool process = false;  // through ov_getenv, which falls back to the process environment
};

struct PutRow {
  std::vector<const char *> puts;
  std::vector<Lookup> lookups;
};

// The rows share one overlay, so names differ from row to row.  The process
// environment holds OVENV_TEST_VAR and ovenv_lower, searched with the name as given.
const PutRow kRows[] = {
    {{"Path1=/opt/x"}, {{"PATH1", "/opt/x"}, {"path1", "/opt/x"}, {"PATH", nullptr}}},
    {{"AB2=2", "A2=1"}, {{"AB2", "2"}, {"A2", "1"}, {"a2", "1"}, {"B2", nullptr}}},
    {{"X3=1", "X3=1", "x3=2"}, {{"X3", "2"}}},
    {{"X4=1", "X4"}, {{"X4", nullptr}, {"x4", nullptr}}},
    {{"X5=1", "X5", "x5=again"}, {{"X5", "again"}}},
    {{"E6="}, {{"E6", ""}}},
    {{"V7=MiXeD=Case"}, {{"v7", "MiXeD=Case"}, {"V7=MIXED", nullptr}}},
    {{"bare8"}, {{"BARE8", nullptr}}},
    {{"K9=a", "K9b=b", "k9=c"}, {{"K9", "c"}, {"K9B", "b"}, {"K9BX", nullptr}}},
    {{}, {{"OVENV_TEST_VAR", "from-process", true}, {"OVENV_TEST_VAR", nullptr}}},
    {{"OVENV_TEST_VAR="}, {{"OVENV_TEST_VAR", "", true}}},  // an empty value hides it
    {{"ovenv_test_var"}, {{"OVENV_TEST_VAR", "from-process", true}}},  // bare: removed
    {{"ovenv_test_var=overlay"}, {{"Ovenv_Test_Var", "overlay", true}}},
    {{}, {{"ovenv_lower", "lower-process", true}, {"OVENV_LOWER", nullptr, true}}},
    {{nullptr}, {{nullptr, nullptr}, {nullptr, nullptr, true}, {"AB2", "2"}}},  // null: nothing
};

TEST(LocalEnv, PutSequencesAndLookups) {
  ASSERT_EQ(setenv("OVENV_TEST_VAR", "from-process", 1), 0);
  ASSERT_EQ(setenv("ovenv_lower", "lower-process", 1), 0);
  for (const PutRow &row : kRows) {
    for (const char *put : row.puts) ov_putLocalEnv(put);
    for (const Lookup &l : row.lookups)
      EXPECT_EQ(show(l.process ? ov_getenv(l.name) : ov_getLocalEnv(l.name)), show(l.want))
          << "row " << &row - kRows << ": lookup " << show(l.name) << (l.process ? " (env)" : "");
  }
  EXPECT_EQ(show(std::getenv("OVENV_TEST_VAR")), show("from-process"));  // never changed
  // Names of 128 characters or more are never found.
  for (std::size_t length : {127u, 128u, 200u}) {
    const std::string name(length, 'N'), value = "v" + std::to_string(length);
    ov_putLocalEnv((name + "=" + value).c_str());
    EXPECT_EQ(show(ov_getLocalEnv(name.c_str())), show(length < 128 ? value.c_str() : nullptr))
        << length;
  }
}

TEST(LocalEnv, ReplacingReleasesAndOutOfMemoryLeavesTheOverlayAsItWas) {
  ov_putLocalEnv("KEEP=old");  // the array exists from here on
  const int64_t before = ov_testOutstandingBlocks();
  ov_putLocalEnv("SECOND=2");
  const char *kept = ov_getLocalEnv("KEEP");
  ov_putLocalEnv("keep=old");  // identical after folding: nothing changes
  EXPECT_EQ(ov_getLocalEnv("KEEP"), kept);
  ov_putLocalEnv("Keep=new");  // replaced, old entry released
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);  // one entry more; a grown array counts once
  // A replacement and a new name, each with every allocation failing in
  // turn: the overlay and its blocks stay as they were until the put succeeds.
  auto overlay = [] { return show(ov_getLocalEnv("KEEP")) + " " + show(ov_getLocalEnv("FRESH")); };
  for (const char *put : {"KEEP=old", "FRESH=1"}) {
    const std::string was = overlay();
    for (int64_t failAt = 0;; ++failAt) {
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      ov_putLocalEnv(put);
      const bool failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      if (!failed) break;
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << put << " failing " << failAt;
      EXPECT_EQ(overlay(), was) << put << " failing " << failAt;
    }
  }
  EXPECT_EQ(overlay(), "'old' '1'");
}

}  // namespace
