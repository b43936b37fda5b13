// Bounded copies, argument splitting, joining string arrays, the prompt
// reader and the all-digits test, with out-of-memory injection.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"
#include "platform/testhooks.h"

namespace {

using namespace std::string_view_literals;

TEST(TxtBoundedCopy, NarrowAndWide) {
  struct Case {
    const char *src;
    uint64_t size;
    std::string_view expect;  // the 9 bytes of the buffer afterwards
  };
  for (const Case &c :
       {Case{"abcdef", 4, "abc\0xxxxx"sv}, Case{"ab", 6, "ab\0\0\0\0xxx"sv},
        Case{"abcdef", 1, "\0xxxxxxxx"sv}, Case{"abcdef", 0, "xxxxxxxxx"sv},
        Case{nullptr, 8, "\0\0\0\0\0\0\0\0x"sv}, Case{"abcdefgh", 9, "abcdefgh\0"sv}}) {
    char buf[9];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(StrncpyZ(buf, c.src, c.size), buf);
    EXPECT_EQ(std::string_view(buf, 9), c.expect) << c.size;
  }
  EXPECT_EQ(StrncpyZ(nullptr, "abc", 8), nullptr);
  wchar_t wide[6];
  std::wmemset(wide, L'x', 6);
  EXPECT_EQ(WStrncpyZ(wide, L"\u00e9t\u00e9 ok", 4), wide);
  WStrncpyZ(wide, nullptr, 0);      // size 0: nothing written
  WStrncpyZ(wide + 4, nullptr, 1);  // a null source is the empty string
  EXPECT_EQ(std::wstring(wide, 6), std::wstring(L"\u00e9t\u00e9\0\0x", 6));
}

// No quoting or escapes; every isspace character separates.  One block
// holds argc pointers, then the copy with every blank turned into NUL, each
// pointer at the start of its word.  No words: a null vector and nothing
// allocated.  Out of memory: the count is set, the vector untouched.
TEST(TxtArgv, SplitsAtWhitespaceIntoOneBlockOrRunsOutOfMemory) {
  struct Case {
    const char *text;
    std::string_view copy;  // after the pointers, terminator included
  };
  const int64_t before = ov_testOutstandingBlocks();
  int32_t argc = -1;
  char **argv = nullptr;
  for (const Case &c : {Case{"  copy   a.txt\tb.txt \n", "\0\0copy\0\0\0a.txt\0b.txt\0\0\0"sv},
                        Case{"run \"two words\" a\\ b", "run\0\"two\0words\"\0a\\\0b\0"sv},
                        Case{"a\vb\fc\rd", "a\0b\0c\0d\0"sv}, Case{"", ""}, Case{" \t\n ", ""},
                        Case{nullptr, ""}}) {
    SCOPED_TRACE(testing::PrintToString(c.copy));
    ov_testFailAllocation(-1);  // restarts the count
    argv = reinterpret_cast<char **>(&argc);
    ASSERT_EQ(StrToArgv(c.text, &argc, &argv, nullptr), S_OKAY);
    EXPECT_EQ(argv == nullptr, c.copy.empty());
    EXPECT_EQ(ov_testAllocationCount(), c.copy.empty() ? 0 : 1);
    const char *copy = reinterpret_cast<const char *>(argv + argc);
    std::vector<const char *> starts;  // where the words of the expected copy begin
    for (std::size_t i = 0; i < c.copy.size(); ++i)
      if (c.copy[i] != '\0' && (i == 0 || c.copy[i - 1] == '\0')) starts.push_back(copy + i);
    EXPECT_EQ(std::vector<const char *>(argv, argv + argc), starts);
    EXPECT_EQ(std::string_view(copy, argv == nullptr ? 0 : c.copy.size()), c.copy);
    ov_freeMemory(argv, nullptr);
  }
  char **const sentinel = reinterpret_cast<char **>(0x1234);
  argv = sentinel;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrToArgv(" one two three ", &argc, &argv, nullptr), S_NOMEMORY);
  EXPECT_TRUE(argc == 3 && argv == sentinel) << argc;
  EXPECT_EQ(StrToArgv("a b", &argc, nullptr, nullptr), S_INVNULL);
  EXPECT_EQ(argc, 3);  // not the 2 words of "a b"
  EXPECT_EQ(StrToArgv("a b", nullptr, &argv, nullptr), S_INVNULL);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

// StrArrayCat with no buffer, one too small (grown) and one large enough (used
// as it is), each with memory and without: without, the first two return
// null and a buffer passed in stays the caller's, intact and still described
// by *bufSize.  Nothing leaks.  Then StrArrayCatBuf's cut rule.
TEST(TxtArrayCat, AllocatesGrowsReusesRunsOutOfMemoryOrCuts) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *abcd[] = {"ab", nullptr, "cd"};
  for (const bool fail : {false, true}) {
    uint64_t size = 77;
    ov_testFailAllocation(fail ? 0 : -1);
    char *fresh = StrArrayCat(abcd, 3, nullptr, &size, nullptr);  // *bufSize not used
    EXPECT_STREQ(fresh, fail ? nullptr : "abcd");
    EXPECT_EQ(size, 77u);
    ov_freeMemory(fresh, nullptr);
    char *old = static_cast<char *>(ov_getMem(4, nullptr, MEM_COPY, "old", 4));
    size = 4;  // one short
    ov_testFailAllocation(fail ? 0 : -1);
    char *grown = StrArrayCat(abcd, 3, old, &size, nullptr);
    char *const kept = grown != nullptr ? grown : old;  // the block the caller now owns
    EXPECT_STREQ(kept, fail ? "old" : "abcd");
    EXPECT_EQ(size, fail ? 4u : 5u);
    ov_freeMemory(kept, nullptr);
    char large[100];  // used as it is: works without memory too
    uint64_t largeSize = sizeof large;
    ov_testFailAllocation(fail ? 0 : -1);
    EXPECT_EQ(StrArrayCat(abcd, 3, large, &largeSize, nullptr), large);
    EXPECT_STREQ(large, "abcd");
    EXPECT_STREQ(StrArrayCat(nullptr, 5, large, &largeSize, nullptr), "");  // no strings
    EXPECT_EQ(largeSize, sizeof large);
  }
  ov_testFailAllocation(-1);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  char buffer[8];
  const char *empties[] = {"", nullptr, ""};
  struct Case {
    const char **strings;
    uint64_t count, size;
    int result;
    std::string_view expect;  // the first 6 bytes of the buffer afterwards
  };
  for (const Case &c : {Case{abcd, 3, 5, 0, "abcd\0x"sv},  // fits exactly
                        Case{abcd, 3, 4, -1, "abc\0xx"sv}, Case{abcd, 3, 3, -1, "ab\0xxx"sv},
                        Case{abcd, 3, 1, -1, "\0xxxxx"sv}, Case{empties, 3, 1, 0, "\0xxxxx"sv},
                        Case{abcd, 0, 6, 0, "\0xxxxx"sv}, Case{nullptr, 3, 6, 0, "\0xxxxx"sv},
                        Case{empties, 3, 0, -1, "xxxxxx"sv}}) {
    std::memset(buffer, 'x', 8);
    EXPECT_EQ(StrArrayCatBuf(c.strings, c.count, buffer, c.size), c.result) << c.size;
    EXPECT_EQ(std::string_view(buffer, 6), c.expect) << c.size;
  }
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, nullptr, 8), -1);
}

// One stream read line by line: each step's size, whether the buffer or
// null comes back, and the buffer's bytes afterwards (terminator included).
// A prompt without a newline waits in stdout's buffer; the first read flushes
// it.
TEST(TxtFgetsTrim, ReadsOneLineDropsTheRestAndFlushesStdout) {
  std::string text(
      "hello world\nab\r\nexact\n\nfirst\nab\0cd\nsecond\n\0\n\0\0\0\0\0\0x\nla\0st"sv);
  FILE *in = fmemopen(text.data(), text.size(), "r");
  ASSERT_NE(in, nullptr);
  std::fputs("Name? ", stdout);
  ASSERT_EQ(__fpending(stdout), 6u);
  char buf[8];
  struct Step {
    int16_t size;
    bool ok;
    std::string_view bytes;
  };
  for (const Step &s : {Step{5, true, "hell\0"sv},     // the rest of the line is gone
                        Step{8, true, "ab\r\0"sv},     // only the newline is removed
                        Step{6, true, "exact\0"sv},    // newline left behind, then dropped
                        Step{8, true, "\0"sv},         // an empty line
                        Step{1, true, "\0"sv},         // no room: the line is consumed
                        Step{8, true, "ab\0cd\0"sv},   // the whole line, NUL and all
                        Step{0, false, "########"sv},  // nothing read or written
                        Step{8, true, "second\0"sv},   // the line after it is intact
                        Step{8, true, "\0\0"sv},       // a line holding only a NUL
                        Step{4, true, "\0\0\0\0"sv},   // cut inside NULs, rest dropped
                        Step{8, true, "la\0st\0"sv},   // no newline at the end
                        Step{8, false, "\0"sv},        // end of file
                        Step{1, true, "\0"sv}}) {      // fgets gives size 1 even at the end
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(FgetsTrim(buf, s.size, in), s.ok ? buf : nullptr) << "size " << s.size;
    EXPECT_EQ(std::string_view(buf, s.bytes.size()), s.bytes) << "size " << s.size;
    EXPECT_EQ(__fpending(stdout), 0u) << "size " << s.size;
  }
  EXPECT_EQ(FgetsTrim(nullptr, 8, in), nullptr);
  EXPECT_EQ(FgetsTrim(buf, 8, nullptr), nullptr);
  std::fclose(in);
}

// Streams that stop short without a read error of this call: the text
// already read comes back, as from fgets, and with nothing read, null.  A
// non-blocking pipe holding part of a line reports "try again"; a read-only
// memory stream written to carries an earlier error indicator.
TEST(TxtFgetsTrim, KeepsTextReadBeforeAStop) {
  for (std::string_view pending : {"ab"sv, ""sv}) {
    int fds[2] = {-1, -1};
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    ASSERT_EQ(write(fds[1], pending.data(), pending.size()), static_cast<ssize_t>(pending.size()));
    std::string memory(pending);
    FILE *pipeIn = fdopen(fds[0], "r"), *memoryIn = fmemopen(memory.data(), memory.size(), "r");
    ASSERT_TRUE(pipeIn != nullptr && memoryIn != nullptr);
    std::fputc('x', memoryIn);
    ASSERT_NE(std::ferror(memoryIn), 0);
    for (FILE *in : {pipeIn, memoryIn}) {
      const char *what = in == pipeIn ? "pipe" : "earlier error";
      char buf[16];
      std::memset(buf, '#', sizeof buf);
      EXPECT_EQ(FgetsTrim(buf, sizeof buf, in), pending.empty() ? nullptr : buf) << what;
      EXPECT_EQ(std::string_view(buf), pending) << what;
      std::fclose(in);
    }
    close(fds[1]);
  }
}

TEST(TxtAllDigits, Rules) {
  for (const char *yes : {static_cast<const char *>(nullptr), "", "0123", "9876543210"})
    EXPECT_EQ(AllDigits(yes), 1) << (yes ? yes : "null");
  for (const char *no : {"12a", " 1", "1 ", "-1", "1.5", "\xd9\xa1"})
    EXPECT_EQ(AllDigits(no), 0) << no;
}

}  // namespace
