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

const std::string kLong(300, 'A');

const DistroRow kRows[] = {
    {{}, "Unknown Linux distro"},
    {{{"redhat-release", "Fedora release 39 (Thirty Nine)\r\n"}}, "Fedora 39"},
    {{{"redhat-release", "CentOS Stream release 9\n"}}, "CentOS Stream 9\n"},  // line end kept
    {{{"redhat-release", "CentOS Stream 9 (x)\n"}}, "CentOS Stream 9 (x)\n"},  // no word: uncut
    {{{"redhat-release", "Odd release"}}, "Odd "},  // the version would start past the end
    {{{"redhat-release", kLong + " release 5\n"}}, std::string(255, 'A')},  // 255 bytes read
    {{{"redhat-release", "X release ("}}, "X ("},
    {{{"SuSE-release", "SUSE LINUX Enterprise Server 9 (x86_64)\nVERSION = 9\n"}},
     "SUSE LINUX Enterprise Server 9"},
    {{{"SuSE-release", "openSUSE 10.2\n"}}, "openSUSE 10.2\n"},  // no parenthesis: uncut
    {{{"SuSE-release", "SUSE 9 (a)\n"}, {"redhat-release", "Fedora Core release 6 (Zod)\n"}},
     "SUSE 9"},
    {{{"vine-release", ""}, {"SuSE-release", "SUSE 9 (a)\n"}}, ""},  // empty file, empty name
    {{{"vine-release", "\n"}}, "Linux"},
    {{{"turbolinux-release", "Turbolinux 10 (x)\n"}, {"SuSE-release", "SUSE\n"}}, "Turbolinux 10"},
    {{{"mvl-release", "Embedded Linux Professional Edition Version 3.1 Release 2005\n"}},
     "Embedded Linux Professional Edition 3.1"},
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
  std::string shown;  // the files, for failure messages
  explicit ReleaseDir(const Files &files) {
    for (const auto &[name, content] : files) {
      EXPECT_TRUE(writeFile(etc.path(name), content)) << name;
      shown += std::string(name) + "=" + testing::PrintToString(content) + " ";
    }
    ov_testSetReleaseDir(etc.dir().c_str());
  }
};

TEST(Sysinfo, NamesTheDistributionFromItsReleaseFile) {
  for (const DistroRow &row : kRows) {
    ReleaseDir dir(row.files);
    const int64_t outstanding = ov_testOutstandingBlocks();
    EXPECT_EQ(takeText(ov_sysinfo()), row.want + hostPart()) << dir.shown;
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
  }
  // An unreadable release file is skipped.
  ReleaseDir dir({{"vine-release", "Vine 1 (a)\n"}, {"redhat-release", "R release 7 (a)\n"}});
  ASSERT_EQ(chmod(dir.etc.dir().c_str(), 0755), 0);
  ASSERT_EQ(chmod(dir.etc.path("vine-release").c_str(), 0), 0);
  WithoutRoot unprivileged;
  EXPECT_EQ(takeText(ov_sysinfo()), "R 7" + hostPart());
}

TEST(Sysinfo, OutOfMemoryGivesNullNeverAnotherName) {
  struct Row {
    Files files;
    int nulls;  // allocations whose failure must give null: name, text, stream of a file read
  };
  for (const Row &row : {Row{{{"redhat-release", "Fedora Core release 6 (Zod)\n"}}, 3},
                         Row{{{"SuSE-release", "SUSE 9 (a)\n"}}, 3},
                         Row{{{"debian_release", ""}}, 2}, Row{{}, 2}}) {
    ReleaseDir dir(row.files);
    const std::string want = takeText(ov_sysinfo());
    int nulls = 0;
    for (int64_t failAt = 0;; ++failAt) {
      const int64_t outstanding = ov_testOutstandingBlocks();
      ov_testFailAllocation(failAt);
      const std::string got = takeText(ov_sysinfo());
      const bool failed = ov_testAllocationCount() > failAt;
      ov_testFailAllocation(-1);
      EXPECT_EQ(ov_testOutstandingBlocks(), outstanding) << dir.shown << failAt;
      if (!failed) {
        EXPECT_EQ(got, want);
        break;
      }
      // A failed stream for a missing file changes nothing; any other
      // failure gives null.
      EXPECT_TRUE(got == "(null)" || got == want) << dir.shown << failAt << ": " << got;
      nulls += got == "(null)";
    }
    EXPECT_EQ(nulls, row.nulls) << dir.shown;
  }
}

TEST(Sysinfo, HostNameAndTheRealEtc) {
  struct utsname host {};
  ASSERT_EQ(uname(&host), 0);
  EXPECT_EQ(takeText(ov_hostname()), host.nodename);
  ov_testFailAllocation(0);
  EXPECT_EQ(ov_hostname(), nullptr);
  ov_testFailAllocation(-1);
  // The library's own folder is /etc: whatever it names, the rest follows.
  const std::string text = takeText(ov_sysinfo()), tail = hostPart();
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
}

}  // namespace
