// Host and system description: the distribution named by every kind of
// release file (laid out in a scratch folder that the lookup is pointed
// at), the order in which the files decide, the whole one-line text, and
// out-of-memory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ovbase/platform.h"
#include "platform/releasedir_hook.h"
#include "platform/testhooks.h"
#include "scratch_dir.h"

namespace {

using Files = std::vector<std::pair<const char *, std::string>>;

struct DistroRow {
  Files files;       // release files and their contents
  std::string want;  // the distribution part of the description
};

const DistroRow kRows[] = {
    {{}, "Unknown Linux distro"},
    {{{"redhat-release", "Fedora release 39 (Thirty Nine)\r\n"}}, "Fedora 39"},
    {{{"redhat-release", "CentOS Stream release 9\n"}}, "CentOS Stream 9\n"},  // line end kept
    {{{"redhat-release", "CentOS Stream 9 (x)\n"}}, "CentOS Stream 9 (x)\n"},  // no word: uncut
    {{{"redhat-release", "Odd release"}}, "Odd "},  // the version would start past the end
    // Only the first 255 bytes of the line are read.
    {{{"redhat-release", std::string(300, 'A') + " release 5\n"}}, std::string(255, 'A')},
    {{{"redhat-release", "X release ("}}, "X ("},
    {{{"SuSE-release", "SUSE LINUX Server 9 (x86_64)\nVERSION = 9\n"}}, "SUSE LINUX Server 9"},
    {{{"SuSE-release", "openSUSE 10.2\n"}}, "openSUSE 10.2\n"},  // no parenthesis: uncut
    {{{"SuSE-release", "SUSE 9 (a)\n"}, {"redhat-release", "Fedora release 6 (Zod)\n"}}, "SUSE 9"},
    {{{"vine-release", ""}, {"SuSE-release", "SUSE 9 (a)\n"}}, ""},  // empty file, empty name
    {{{"vine-release", "\n"}}, "Linux"},
    {{{"turbolinux-release", "Turbolinux 10 (x)\n"}, {"SuSE-release", "SUSE\n"}}, "Turbolinux 10"},
    {{{"mvl-release", "Embedded Linux Pro Version 3.1 Release 2005\n"}}, "Embedded Linux Pro 3.1"},
    // The character after the word is skipped.
    {{{"mvl-release", "MVL Version:4.0\n"}}, "MVL 4.0\n"},
    // The end word right after the skipped character is cut off before the
    // version, which then runs to the end of the line.
    {{{"mvl-release", "X Version Release 3\n"}}, "X Release 3\n"},
    {{{"mvl-release", "M Version 1 Release 2\n"}, {"redhat-release", "R release 7 (a)\n"}}, "M 1"},
    {{{"mandrake-release", ""}, {"debian_release", ""}}, "Debian Linux"},
    {{{"mandrake-release", "ignored"}}, "Mandrake Linux"},
    {{{"debian_release", ""}, {"redhat-release", "R release 7 (a)\n"}}, "R 7"},
};

// What follows the distribution: " (RELEASE) [MACHINE X PROCESSORS]".
std::string hostPart() {
  struct utsname host {};
  if (uname(&host) != 0) return "";
  return std::string(" (") + host.release + ") [" + host.machine + " X " +
         std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + "]";
}

std::string takeText(char *text) {
  std::string copy = text != nullptr ? text : "(null)";
  ov_freeMemory(text, nullptr);
  return copy;
}

// Lays out the release files in a fresh folder and points the lookup at it.
struct ReleaseDir {
  ScratchDir etc;
  const std::string shown;  // the files, for failure messages
  explicit ReleaseDir(const Files &files) : shown(testing::PrintToString(files)) {
    for (const auto &[name, content] : files) EXPECT_TRUE(writeFile(etc.path(name), content));
    ov_testSetReleaseDir(etc.dir().c_str());
  }
};

// Every row's distribution, also with each allocation failed in turn:
// null (at least for the name and the text) or, for the stream of a missing
// file, the same text, never another name, and no block left behind.  The
// last round fails none and must give the whole text.
TEST(Sysinfo, NamesTheDistributionEvenOutOfMemory) {
  for (const DistroRow &row : kRows) {
    ReleaseDir dir(row.files);
    const std::string want = row.want + hostPart();
    int nulls = 0;
    for (int64_t failAt = 0, failed = 1; failed; ++failAt) {
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      const std::string got = takeText(ov_sysinfo());
      failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << dir.shown << failAt;
      EXPECT_TRUE(got == want || (failed && got == "(null)")) << dir.shown << failAt << ": " << got;
      nulls += got == "(null)";
    }
    EXPECT_GE(nulls, 2) << dir.shown;
  }
}

// An unreadable release file is skipped.  The host name is uname's, or
// null when its copy cannot be allocated.
TEST(Sysinfo, UnreadableFileAndHostName) {
  ReleaseDir dir({{"vine-release", "Vine 1 (a)\n"}, {"redhat-release", "R release 7 (a)\n"}});
  ASSERT_EQ(chmod(dir.etc.dir().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.etc.path("vine-release").c_str(), 0), 0);
  WithoutRoot unprivileged;  // given back before the folder is removed
  EXPECT_EQ(takeText(ov_sysinfo()), "R 7" + hostPart());
  struct utsname host {};
  ASSERT_EQ(uname(&host), 0);
  EXPECT_EQ(takeText(ov_hostname()), host.nodename);
  ov_testFailAllocation(0);
  EXPECT_EQ(ov_hostname(), nullptr);
  ov_testFailAllocation(-1);
}

}  // namespace
