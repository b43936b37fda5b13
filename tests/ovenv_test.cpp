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

// The rows share one overlay, so names differ from row to row.
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
  // Names of 128 characters or more are never found.
  for (std::size_t length : {127u, 128u, 200u}) {
    const std::string name(length, 'N'), value = "v" + std::to_string(length);
    ov_putLocalEnv((name + "=" + value).c_str());
    EXPECT_EQ(show(ov_getLocalEnv(name.c_str())), show(length < 128 ? value.c_str() : nullptr))
        << length;
  }
}

// The overlay comes first; the process environment is searched with the
// name as given.
TEST(LocalEnv, OverlayBeforeProcessEnvironment) {
  ASSERT_EQ(setenv("OVENV_TEST_VAR", "from-process", 1), 0);
  ASSERT_EQ(setenv("ovenv_lower", "lower-process", 1), 0);
  struct Row {
    const char *put;  // null: none
    const char *name, *want;
  };
  for (const Row &r : {Row{nullptr, "OVENV_TEST_VAR", "from-process"},
                       Row{"OVENV_TEST_VAR=", "OVENV_TEST_VAR", ""},  // an empty value hides it
                       Row{"ovenv_test_var", "OVENV_TEST_VAR", "from-process"},  // bare: removed
                       Row{"ovenv_test_var=overlay", "Ovenv_Test_Var", "overlay"},
                       Row{nullptr, "ovenv_lower", "lower-process"},
                       Row{nullptr, "OVENV_LOWER", nullptr}}) {
    ov_putLocalEnv(r.put);
    EXPECT_EQ(show(ov_getenv(r.name)), show(r.want)) << (r.put ? r.put : "") << " " << r.name;
  }
  EXPECT_EQ(show(std::getenv("OVENV_TEST_VAR")), show("from-process"));
  EXPECT_EQ(ov_getenv(nullptr), nullptr);
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
  EXPECT_EQ(show(ov_getLocalEnv("keep")), show("new"));
  ov_putLocalEnv("KEEP=old");
  struct Row {
    const char *put, *name, *value;
  };
  for (const Row &r : {Row{"KEEP=new", "KEEP", "new"}, Row{"FRESH=1", "FRESH", "1"}}) {
    for (int64_t failAt = 0;; ++failAt) {
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      ov_putLocalEnv(r.put);
      const bool failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      if (!failed) break;
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << r.put << " failing " << failAt;
      EXPECT_EQ(show(ov_getLocalEnv("KEEP")), show("old")) << r.put << " failing " << failAt;
      EXPECT_EQ(ov_getLocalEnv("FRESH"), nullptr) << r.put << " failing " << failAt;
    }
    EXPECT_EQ(show(ov_getLocalEnv(r.name)), show(r.value));
    ov_putLocalEnv("KEEP=old");
  }
}

}  // namespace
