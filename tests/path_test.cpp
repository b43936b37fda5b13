// Path composition: makeAllocPath and makePath over a table of pieces, the
// cut of a short buffer at every size, pathBaseExt, and out-of-memory.
#include <gtest/gtest.h>

#include <string>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"
#include "platform/testhooks.h"

namespace {

struct PathRow {
  const char *dir, *name, *ext;
  const char *allocated;  // makeAllocPath
  const char *composed;   // makePath with room to spare
};

constexpr PathRow kPaths[] = {
    {"/usr/lib", "libx", "so", "/usr/lib/libx.so", "/usr/lib/libx.so"},
    {"/usr/lib/", "libx", nullptr, "/usr/lib/libx", "/usr/lib/libx"},
    {"", "file", "txt", "file.txt", "file.txt"},
    {"/a", "sub/file", "txt", "sub/file", "/a/sub/file.txt"},  // a path already
    {"/a", "./file", nullptr, "/a/./file", "/a/./file"},
    {"/a", "file", "", "/a/file.", "/a/file."},
    {"./rel", "file", nullptr, "file", "file"},
    {"../up", "file", "c", "file.c", "file.c"},
    {"/a", nullptr, nullptr, "/a/", "/a/"},
    {"/a", nullptr, "ext", "/a/.ext", "/a/.ext"},
    {nullptr, "file", "txt", "file.txt", "file.txt"},  // a null directory is the empty one
    {"/", "etc", nullptr, "/etc", "/etc"},
    {"/a", "/abs/file", "x", "/abs/file", "/a//abs/file.x"},
    {"/a", "../file", nullptr, "/a/../file", "/a/../file"},
};

std::string show(const char *piece) { return piece ? testing::PrintToString(piece) : "(null)"; }

// Each row composed into a new block, and into a buffer of every size: a
// short one cut at size - 1 characters, nothing written past it.  The
// block's allocation failed once: null, nothing outstanding.
TEST(Path, ComposesTheTableAtEverySize) {
  for (const PathRow &r : kPaths) {
    const std::string row = show(r.dir) + " " + show(r.name) + " " + show(r.ext);
    const int64_t outstanding = ov_testOutstandingBlocks();
    char *path = makeAllocPath(r.dir, r.name, r.ext, nullptr);
    EXPECT_STREQ(path, r.allocated) << row;
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding + 1) << row;
    ov_freeMemory(path, nullptr);
    ov_testFailAllocation(0);
    EXPECT_EQ(makeAllocPath(r.dir, r.name, r.ext, nullptr), nullptr) << row;
    EXPECT_EQ(ov_testAllocationCount(), 1) << row;
    ov_testFailAllocation(-1);
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << row;
    const std::string whole = r.composed;
    for (uint64_t size = 0; size <= whole.size() + 2; ++size) {
      const std::string at = row + " size " + std::to_string(size);
      std::string buffer(whole.size() + 4, 'x');
      const int want = size > whole.size() ? 0 : -1;
      EXPECT_EQ(makePath(buffer.data(), size, r.dir, r.name, r.ext), want) << at;
      const std::string cut = size == 0 ? buffer : whole.substr(0, size - 1);  // size 0: untouched
      EXPECT_EQ(std::string(buffer.c_str()), cut) << at;
      EXPECT_EQ(buffer.substr(size), std::string(buffer.size() - size, 'x')) << at;
    }
  }
}

TEST(Path, BaseName) {
  using Row = std::pair<const char *, std::size_t>;  // a path, the offset of its base name
  for (const auto &[path, offset] : {Row{"/a/b/name.txt", 5}, Row{"name.txt", 0}, Row{"/a/b/", 5},
                                     Row{"", 0}, Row{"/", 1}, Row{"a//b", 3}})
    EXPECT_EQ(pathBaseExt(path), path + offset) << path;
  EXPECT_EQ(pathBaseExt(nullptr), nullptr);
  EXPECT_EQ(ov_catpath(), nullptr);
}

}  // namespace
