// Bounded copies, argument splitting, joining string arrays, the prompt
// reader and the all-digits test, with out-of-memory injection.
#include <gtest/gtest.h>
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

using Words = std::vector<std::string>;

TEST(TxtBoundedCopy, NarrowAndWide) {
  struct Case {
    const char *src;
    uint64_t size;
    std::string expect;  // the first 9 bytes of the buffer afterwards
  };
  const std::string x(9, 'x');
  for (const Case &c : {Case{"abcdef", 4, std::string("abc\0xxxxx", 9)},
                        Case{"ab", 6, std::string("ab\0\0\0\0xxx", 9)},  // zero-filled to size
                        Case{"abcdef", 1, std::string("\0xxxxxxxx", 9)},
                        Case{"abcdef", 0, x},
                        Case{nullptr, 8, std::string(8, '\0') + "x"},
                        Case{"abcdefgh", 9, std::string("abcdefgh\0", 9)}}) {
    char buf[9];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(StrncpyZ(buf, c.src, c.size), buf);
    EXPECT_EQ(std::string(buf, 9), c.expect) << c.size;
  }
  EXPECT_EQ(StrncpyZ(nullptr, "abc", 8), nullptr);

  wchar_t wbuf[6];
  std::wmemset(wbuf, L'x', 6);
  EXPECT_EQ(WStrncpyZ(wbuf, L"\u00e9t\u00e9 ok", 4), wbuf);
  EXPECT_EQ(std::wstring(wbuf, 5), std::wstring(L"\u00e9t\u00e9\0x", 5));
  WStrncpyZ(wbuf, nullptr, 0);  // size 0: nothing written
  EXPECT_EQ(wbuf[0], L'\u00e9');
  std::wmemset(wbuf, L'x', 6);
  WStrncpyZ(wbuf, nullptr, 3);
  EXPECT_EQ(std::wstring(wbuf, 4), std::wstring(L"\0\0\0x", 4));
}

TEST(TxtArgv, SplitsAtWhitespaceIntoOneBlock) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *text = "  copy   a.txt\tb.txt \n";
  int32_t argc = -1;
  char **argv = nullptr;
  ASSERT_EQ(StrToArgv(text, &argc, &argv, nullptr), S_OKAY);
  ASSERT_EQ(argc, 3);
  EXPECT_EQ(Words(argv, argv + argc), (Words{"copy", "a.txt", "b.txt"}));
  // Layout: argc pointers, then the copy with every blank turned into NUL.
  const char *copy = reinterpret_cast<const char *>(argv + argc);
  EXPECT_EQ(std::memcmp(copy, "\0\0copy\0\0\0a.txt\0b.txt\0\0", std::strlen(text) + 1), 0);
  EXPECT_EQ(argv[0], copy + 2);
  EXPECT_EQ(argv[2], copy + 15);
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);
  ov_freeMemory(argv, nullptr);

  // No quoting or escapes; every isspace character separates.
  for (auto [in, expect] : {std::pair<const char *, Words>{"run \"two words\" a\\ b",
                                                           {"run", "\"two", "words\"", "a\\", "b"}},
                            {"a\vb\fc\rd", {"a", "b", "c", "d"}},
                            {"word", {"word"}}}) {
    ASSERT_EQ(StrToArgv(in, &argc, &argv, nullptr), S_OKAY);
    EXPECT_EQ(Words(argv, argv + argc), expect);
    ov_freeMemory(argv, nullptr);
  }

  // No words: null vector, nothing allocated.
  for (const char *empty : {"", " \t\n ", static_cast<const char *>(nullptr)}) {
    argv = reinterpret_cast<char **>(&argc);
    ov_testFailAllocation(-1);
    EXPECT_EQ(StrToArgv(empty, &argc, &argv, nullptr), S_OKAY);
    EXPECT_EQ(argc, 0);
    EXPECT_EQ(argv, nullptr);
    EXPECT_EQ(ov_testAllocationCount(), 0);
  }
  argc = 7;
  EXPECT_EQ(StrToArgv("a b", &argc, nullptr, nullptr), S_INVNULL);
  EXPECT_EQ(argc, 7);
  EXPECT_EQ(StrToArgv("a b", nullptr, &argv, nullptr), S_INVNULL);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

// Exhausted memory: StrToArgv reports S_NOMEMORY with the count set and the
// vector untouched; StrArrayCat returns null and a buffer passed in stays
// the caller's, intact and still described by *bufSize.  Nothing leaks.
TEST(TxtOutOfMemory, ArgvAndArrayCat) {
  const int64_t before = ov_testOutstandingBlocks();
  char **const sentinel = reinterpret_cast<char **>(0x1234);
  int32_t argc = -1;
  char **argv = sentinel;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrToArgv(" one two three ", &argc, &argv, nullptr), S_NOMEMORY);
  EXPECT_EQ(argc, 3);
  EXPECT_EQ(argv, sentinel);

  const char *parts[] = {"alpha", nullptr, "beta", "gamma"};
  uint64_t size = 9;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrArrayCat(parts, 4, nullptr, &size, nullptr), nullptr);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  char *buffer = static_cast<char *>(ov_getMem(4, nullptr, MEM_COPY, "old", 4));
  size = 4;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrArrayCat(parts, 4, buffer, &size, nullptr), nullptr);
  ov_testFailAllocation(-1);
  EXPECT_STREQ(buffer, "old");
  EXPECT_EQ(size, 4u);
  ov_freeMemory(buffer, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArrayCat, AllocatesGrowsOrReuses) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *abcd[] = {"ab", nullptr, "cd"};
  const char *five[] = {"abc", "de"};

  // Null buffer: a new block of the joined size; *bufSize untouched.  A
  // 3-byte buffer grows to 6 for five characters.
  uint64_t size = 77;
  char *buffer = StrArrayCat(abcd, 3, nullptr, &size, nullptr);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(size, 77u);
  size = 3;
  buffer = StrArrayCat(five, 2, buffer, &size, nullptr);
  ASSERT_NE(buffer, nullptr);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(size, 6u);

  // Large enough: used as it is, size unchanged, no allocation.
  size = 100;
  ov_testFailAllocation(-1);
  EXPECT_EQ(StrArrayCat(abcd, 3, buffer, &size, nullptr), buffer);
  EXPECT_EQ(size, 100u);
  EXPECT_EQ(ov_testAllocationCount(), 0);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_STREQ(StrArrayCat(nullptr, 5, buffer, &size, nullptr), "");  // no strings
  ov_freeMemory(buffer, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArrayCatBuf, CutRule) {
  const char *abcd[] = {"ab", nullptr, "cd"};
  const char *empties[] = {"", nullptr, ""};
  struct Case {
    const char **strings;
    uint64_t count, size;
    int result;
    std::string expect;  // the first 6 bytes of the buffer afterwards
  };
  for (const Case &c : {Case{abcd, 3, 5, 0, std::string("abcd\0x", 6)},  // fits exactly
                        Case{abcd, 3, 4, -1, std::string("abc\0xx", 6)},
                        Case{abcd, 3, 3, -1, std::string("ab\0xxx", 6)},  // no room for "cd"
                        Case{abcd, 3, 1, -1, std::string("\0xxxxx", 6)},
                        Case{empties, 3, 1, 0, std::string("\0xxxxx", 6)},
                        Case{abcd, 0, 6, 0, std::string("\0xxxxx", 6)},
                        Case{nullptr, 3, 6, 0, std::string("\0xxxxx", 6)},
                        Case{empties, 3, 0, -1, std::string("xxxxxx", 6)}}) {
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(StrArrayCatBuf(c.strings, c.count, buf, c.size), c.result) << c.size;
    EXPECT_EQ(std::string(buf, 6), c.expect) << c.size;
  }
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, nullptr, 8), -1);
}

// A read stream holding `text`, from a temporary file.
FILE *streamOf(std::string_view bytes) {
  FILE *f = std::tmpfile();
  if (f != nullptr) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
  }
  return f;
}

TEST(TxtFgetsTrim, ReadsOneLineAndDropsTheRest) {
  FILE *in = streamOf("hello world\nab\r\nexact\n\nfirst\nsecond\nlast");
  ASSERT_NE(in, nullptr);
  char buf[8];
  struct Step {
    int16_t size;
    bool ok;
    const char *text;
  };
  for (const Step &s : {Step{5, true, "hell"},    // the rest of the line is gone
                        Step{8, true, "ab\r"},    // only the newline is removed
                        Step{6, true, "exact"},   // newline left behind, then dropped
                        Step{8, true, ""},        // an empty line
                        Step{1, true, ""},        // no room: the line is consumed
                        Step{8, true, "second"},
                        Step{0, false, "second"}, // nothing read or written
                        Step{8, true, "last"},    // no newline at the end
                        Step{8, false, ""},       // end of file
                        Step{1, true, ""}}) {     // fgets gives size 1 even at the end
    EXPECT_EQ(FgetsTrim(buf, s.size, in), s.ok ? buf : nullptr) << s.text;
    EXPECT_STREQ(buf, s.text);
  }
  EXPECT_EQ(FgetsTrim(nullptr, 8, in), nullptr);
  EXPECT_EQ(FgetsTrim(buf, 8, nullptr), nullptr);
  std::fclose(in);
}

TEST(TxtFgetsTrim, NulBytesDoNotHideTheNewline) {
  using namespace std::string_view_literals;
  FILE *in = streamOf("ab\0cd\nsecond\n\0\n\0\0\0\0\0\0x\nthird\nab\0"sv);
  ASSERT_NE(in, nullptr);
  struct Step {
    int16_t size;
    std::string_view bytes;  // the buffer's bytes, terminator included
  };
  for (const Step &s : {Step{8, "ab\0cd\0"sv},     // the whole line, NUL and all
                        Step{8, "second\0"sv},      // the next line is intact
                        Step{8, "\0\0"sv},          // a line holding only a NUL
                        Step{4, "\0\0\0\0"sv},      // cut inside NULs, rest dropped
                        Step{8, "third\0"sv},
                        Step{8, "ab\0\0"sv}}) {      // last line, no newline
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(FgetsTrim(buf, s.size, in), buf) << "size " << s.size;
    EXPECT_EQ(std::string_view(buf, s.bytes.size()), s.bytes) << "size " << s.size;
  }
  char buf[8];
  EXPECT_EQ(FgetsTrim(buf, 8, in), nullptr);
  std::fclose(in);
}

TEST(TxtFgetsTrim, FlushesStdoutBeforeReading) {
  // stdout goes to a pipe; a prompt without a newline must reach it before
  // the read.
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  std::fflush(stdout);
  const int savedStdout = dup(STDOUT_FILENO);
  ASSERT_EQ(dup2(out[1], STDOUT_FILENO), STDOUT_FILENO);
  std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
  std::fputs("Name? ", stdout);
  FILE *in = streamOf("answer\n");
  char buf[16];
  char *got = FgetsTrim(buf, sizeof buf, in);
  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  close(out[1]);
  char prompt[16] = {};
  EXPECT_EQ(read(out[0], prompt, sizeof prompt - 1), 6);
  close(out[0]);
  std::fclose(in);
  EXPECT_EQ(got, buf);
  EXPECT_STREQ(buf, "answer");
  EXPECT_STREQ(prompt, "Name? ");
}

TEST(TxtAllDigits, Rules) {
  for (const char *yes : {static_cast<const char *>(nullptr), "", "0123", "9876543210"})
    EXPECT_EQ(AllDigits(yes), 1) << (yes ? yes : "null");
  for (const char *no : {"12a", " 1", "1 ", "-1", "1.5", "\xd9\xa1"}) EXPECT_EQ(AllDigits(no), 0) << no;
}

}  // namespace
