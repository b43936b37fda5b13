// Bounded copies, argument splitting, joining string arrays, the prompt
// reader and the all-digits test, with out-of-memory injection.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovbase/txtutil.h"
#include "platform/testhooks.h"

namespace {

TEST(TxtBoundedCopy, NarrowAndWide) {
  char buf[9];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrncpyZ(buf, "abcdef", 4), buf);
  EXPECT_EQ(std::string(buf, 5), std::string("abc\0x", 5));

  std::memset(buf, 'x', sizeof buf);
  StrncpyZ(buf, "ab", 6);  // zero-filled up to size, nothing beyond
  EXPECT_EQ(std::string(buf, 7), std::string("ab\0\0\0\0x", 7));

  std::memset(buf, 'x', sizeof buf);
  StrncpyZ(buf, "abcdef", 1);
  EXPECT_EQ(std::string(buf, 2), std::string("\0x", 2));
  StrncpyZ(buf, "abcdef", 0);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], 'x');

  std::memset(buf, 'x', sizeof buf);
  StrncpyZ(buf, nullptr, 8);
  EXPECT_EQ(std::string(buf, 9), std::string(8, '\0') + "x");
  EXPECT_EQ(StrncpyZ(nullptr, "abc", 8), nullptr);

  StrncpyZ(buf, "abcdefgh", 9);  // exactly fits
  EXPECT_STREQ(buf, "abcdefgh");

  wchar_t wbuf[6];
  std::wmemset(wbuf, L'x', 6);
  EXPECT_EQ(WStrncpyZ(wbuf, L"\u00e9t\u00e9 ok", 4), wbuf);
  EXPECT_EQ(std::wstring(wbuf, 5), std::wstring(L"\u00e9t\u00e9\0x", 5));
  WStrncpyZ(wbuf, L"ab", 5);
  EXPECT_STREQ(wbuf, L"ab");
  std::wmemset(wbuf, L'x', 6);
  WStrncpyZ(wbuf, nullptr, 3);
  EXPECT_EQ(wbuf[0], L'\0');
  EXPECT_EQ(wbuf[2], L'\0');
  EXPECT_EQ(wbuf[3], L'x');
  WStrncpyZ(wbuf, L"abc", 0);
  EXPECT_EQ(wbuf[0], L'\0');
  EXPECT_EQ(wbuf[3], L'x');
}

// The words of an argument vector as strings.
std::vector<std::string> words(int32_t argc, char **argv) {
  return std::vector<std::string>(argv, argv + argc);
}

TEST(TxtArgv, SplitsAtWhitespaceIntoOneBlock) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *text = "  copy   a.txt\tb.txt \n";
  int32_t argc = -1;
  char **argv = nullptr;
  ASSERT_EQ(StrToArgv(text, &argc, &argv, nullptr), S_OKAY);
  ASSERT_EQ(argc, 3);
  EXPECT_EQ(words(argc, argv), (std::vector<std::string>{"copy", "a.txt", "b.txt"}));
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);

  // Layout: argc pointers, then the copy with every blank turned into NUL.
  const char *copy = reinterpret_cast<const char *>(argv + argc);
  EXPECT_EQ(std::memcmp(copy, "\0\0copy\0\0\0a.txt\0b.txt\0\0", std::strlen(text) + 1), 0);
  EXPECT_EQ(argv[0], copy + 2);
  EXPECT_EQ(argv[2], copy + 15);
  ov_freeMemory(argv, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  // No quoting: quotes stay in the words and a quoted blank still splits.
  ASSERT_EQ(StrToArgv("run \"two words\" a\\ b", &argc, &argv, nullptr), S_OKAY);
  EXPECT_EQ(words(argc, argv),
            (std::vector<std::string>{"run", "\"two", "words\"", "a\\", "b"}));
  ov_freeMemory(argv, nullptr);

  // Every isspace character separates; a single word has no separator.
  ASSERT_EQ(StrToArgv("a\vb\fc\rd", &argc, &argv, nullptr), S_OKAY);
  EXPECT_EQ(words(argc, argv), (std::vector<std::string>{"a", "b", "c", "d"}));
  ov_freeMemory(argv, nullptr);
  ASSERT_EQ(StrToArgv("word", &argc, &argv, nullptr), S_OKAY);
  EXPECT_EQ(words(argc, argv), (std::vector<std::string>{"word"}));
  ov_freeMemory(argv, nullptr);

  // No words: null vector, nothing allocated.
  for (const char *empty : {"", " \t\n ", static_cast<const char *>(nullptr)}) {
    argc = -1;
    argv = reinterpret_cast<char **>(&argc);
    ov_testFailAllocation(-1);
    EXPECT_EQ(StrToArgv(empty, &argc, &argv, nullptr), S_OKAY);
    EXPECT_EQ(argc, 0);
    EXPECT_EQ(argv, nullptr);
    EXPECT_EQ(ov_testAllocationCount(), 0);
  }

  // Null out pointers are refused without writing.
  argc = 7;
  EXPECT_EQ(StrToArgv("a b", &argc, nullptr, nullptr), S_INVNULL);
  EXPECT_EQ(argc, 7);
  EXPECT_EQ(StrToArgv("a b", nullptr, &argv, nullptr), S_INVNULL);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArgv, OutOfMemory) {
  const int64_t before = ov_testOutstandingBlocks();
  char **sentinel = reinterpret_cast<char **>(0x1234);
  int32_t argc = -1;
  char **argv = sentinel;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrToArgv(" one two three ", &argc, &argv, nullptr), S_NOMEMORY);
  EXPECT_EQ(argc, 3);
  EXPECT_EQ(argv, sentinel);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  // Failing the n-th allocation for n = 0, 1, ... until the call succeeds.
  int n = 0;
  for (;; ++n) {
    ov_testFailAllocation(n);
    argv = sentinel;
    const OV_STATUS rc = StrToArgv("x y", &argc, &argv, nullptr);
    if (rc == S_OKAY) break;
    EXPECT_EQ(rc, S_NOMEMORY);
    EXPECT_EQ(argv, sentinel);
    EXPECT_EQ(ov_testOutstandingBlocks(), before);
    ASSERT_LT(n, 10);
  }
  ov_testFailAllocation(-1);
  EXPECT_EQ(n, 1);  // one block, one allocation
  EXPECT_EQ(words(argc, argv), (std::vector<std::string>{"x", "y"}));
  ov_freeMemory(argv, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArrayCat, AllocatesGrowsOrReuses) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *abcd[] = {"ab", nullptr, "cd"};

  // Null buffer: a new block of exactly the joined size; *bufSize untouched.
  uint64_t size = 77;
  char *joined = StrArrayCat(abcd, 3, nullptr, &size, nullptr);
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(joined, "abcd");
  EXPECT_EQ(size, 77u);
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);
  ov_freeMemory(joined, nullptr);
  joined = StrArrayCat(abcd, 3, nullptr, nullptr, nullptr);
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(joined, "abcd");
  ov_freeMemory(joined, nullptr);

  // A 3-byte buffer grows to 6 for five characters.
  const char *five[] = {"abc", "de"};
  char *buffer = static_cast<char *>(ov_getMem(3, nullptr, MEM_COPY, "zz", 3));
  size = 3;
  buffer = StrArrayCat(five, 2, buffer, &size, nullptr);
  ASSERT_NE(buffer, nullptr);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(size, 6u);

  // Large enough: used as it is, size unchanged, no allocation.
  size = 100;
  ov_testFailAllocation(-1);
  char *same = StrArrayCat(abcd, 3, buffer, &size, nullptr);
  EXPECT_EQ(same, buffer);
  EXPECT_EQ(size, 100u);
  EXPECT_EQ(ov_testAllocationCount(), 0);
  EXPECT_STREQ(buffer, "abcd");

  // No strings (count 0, all null, or a null array): the empty string.
  const char *nulls[] = {nullptr, nullptr};
  EXPECT_STREQ(StrArrayCat(nulls, 2, buffer, &size, nullptr), "");
  std::strcpy(buffer, "q");
  EXPECT_STREQ(StrArrayCat(nullptr, 5, buffer, &size, nullptr), "");
  std::strcpy(buffer, "q");
  EXPECT_STREQ(StrArrayCat(abcd, 0, buffer, &size, nullptr), "");

  // A buffer without a size is taken as too small and grown to fit.
  char *grown = StrArrayCat(five, 2, buffer, nullptr, nullptr);
  ASSERT_NE(grown, nullptr);
  EXPECT_STREQ(grown, "abcde");
  ov_freeMemory(grown, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArrayCat, OutOfMemory) {
  const int64_t before = ov_testOutstandingBlocks();
  const char *parts[] = {"alpha", nullptr, "beta", "gamma"};

  // No buffer: null and nothing allocated.
  ov_testFailAllocation(0);
  uint64_t size = 9;
  EXPECT_EQ(StrArrayCat(parts, 4, nullptr, &size, nullptr), nullptr);
  EXPECT_EQ(size, 9u);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);

  // A buffer passed in survives intact, still described by *bufSize.
  char *buffer = static_cast<char *>(ov_getMem(4, nullptr, MEM_COPY, "old", 4));
  ASSERT_NE(buffer, nullptr);
  size = 4;
  ov_testFailAllocation(0);
  EXPECT_EQ(StrArrayCat(parts, 4, buffer, &size, nullptr), nullptr);
  EXPECT_STREQ(buffer, "old");
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);

  // Fail the n-th allocation for n = 0, 1, ... until the join succeeds.
  int n = 0;
  char *joined = nullptr;
  for (;; ++n) {
    ov_testFailAllocation(n);
    joined = StrArrayCat(parts, 4, buffer, &size, nullptr);
    if (joined != nullptr) break;
    EXPECT_STREQ(buffer, "old");
    EXPECT_EQ(ov_testOutstandingBlocks(), before + 1);
    ASSERT_LT(n, 10);
  }
  ov_testFailAllocation(-1);
  EXPECT_EQ(n, 1);
  EXPECT_STREQ(joined, "alphabetagamma");
  EXPECT_EQ(size, 15u);
  ov_freeMemory(joined, nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), before);
}

TEST(TxtArrayCatBuf, CutRule) {
  const char *abcd[] = {"ab", nullptr, "cd"};
  char buf[8];

  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, buf, 5), 0);  // four characters fit exactly
  EXPECT_STREQ(buf, "abcd");

  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, buf, 4), -1);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(buf[4], 'x');  // nothing written beyond size

  // A cut at a string boundary: the second string has no room left at all.
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, buf, 3), -1);
  EXPECT_STREQ(buf, "ab");
  EXPECT_EQ(buf[3], 'x');

  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, buf, 1), -1);
  EXPECT_EQ(buf[0], '\0');
  EXPECT_EQ(buf[1], 'x');

  // Nothing to join: the empty string; empty strings always fit.
  const char *empties[] = {"", nullptr, ""};
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(empties, 3, buf, 1), 0);
  EXPECT_EQ(buf[0], '\0');
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(abcd, 0, buf, 8), 0);
  EXPECT_EQ(buf[0], '\0');
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(nullptr, 3, buf, 8), 0);
  EXPECT_EQ(buf[0], '\0');

  // Size 0 and a null buffer write nothing and report a cut.
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(StrArrayCatBuf(empties, 3, buf, 0), -1);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(StrArrayCatBuf(abcd, 3, nullptr, 8), -1);
}

// A read stream holding `text`, from a temporary file.
FILE *streamOf(const char *text) {
  FILE *f = std::tmpfile();
  if (f == nullptr) return nullptr;
  std::fputs(text, f);
  std::rewind(f);
  return f;
}

TEST(TxtFgetsTrim, ReadsOneLineAndDropsTheRest) {
  FILE *in = streamOf("hello world\nab\r\nexact\n\nlast");
  ASSERT_NE(in, nullptr);
  char buf[8];

  EXPECT_EQ(FgetsTrim(buf, 5, in), buf);
  EXPECT_STREQ(buf, "hell");  // the rest of the line is gone
  EXPECT_EQ(FgetsTrim(buf, 8, in), buf);
  EXPECT_STREQ(buf, "ab\r");  // only the newline is removed
  EXPECT_EQ(FgetsTrim(buf, 6, in), buf);
  EXPECT_STREQ(buf, "exact");  // five characters, newline left behind and dropped
  EXPECT_EQ(FgetsTrim(buf, 8, in), buf);
  EXPECT_STREQ(buf, "");  // an empty line
  EXPECT_EQ(FgetsTrim(buf, 8, in), buf);
  EXPECT_STREQ(buf, "last");  // no newline at the end of the stream
  std::strcpy(buf, "junk");
  EXPECT_EQ(FgetsTrim(buf, 8, in), nullptr);
  EXPECT_STREQ(buf, "");
  std::fclose(in);

  // Size 1: an empty string, one line consumed; the buffer is returned even
  // at end of file, as fgets gives it.
  in = streamOf("first\nsecond\n");
  ASSERT_NE(in, nullptr);
  std::strcpy(buf, "junk");
  EXPECT_EQ(FgetsTrim(buf, 1, in), buf);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(FgetsTrim(buf, 8, in), buf);
  EXPECT_STREQ(buf, "second");
  std::strcpy(buf, "junk");
  EXPECT_EQ(FgetsTrim(buf, 1, in), buf);
  EXPECT_STREQ(buf, "");

  // Size 0 or negative and null arguments: nothing read or written.
  std::rewind(in);
  std::strcpy(buf, "junk");
  EXPECT_EQ(FgetsTrim(buf, 0, in), nullptr);
  EXPECT_EQ(FgetsTrim(buf, -5, in), nullptr);
  EXPECT_STREQ(buf, "junk");
  EXPECT_EQ(FgetsTrim(nullptr, 8, in), nullptr);
  EXPECT_EQ(FgetsTrim(buf, 8, nullptr), nullptr);
  EXPECT_EQ(FgetsTrim(buf, 8, in), buf);
  EXPECT_STREQ(buf, "first");
  std::fclose(in);
}

TEST(TxtFgetsTrim, FlushesStdoutBeforeReading) {
  // stdout goes to a pipe; a prompt without a newline must reach it before
  // the read, while the pipe's read end still holds nothing else.
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  std::fflush(stdout);
  const int savedStdout = dup(STDOUT_FILENO);
  ASSERT_GE(savedStdout, 0);
  ASSERT_EQ(dup2(out[1], STDOUT_FILENO), STDOUT_FILENO);
  std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
  std::fputs("Name? ", stdout);

  FILE *in = streamOf("answer\n");
  ASSERT_NE(in, nullptr);
  char buf[16];
  char *got = FgetsTrim(buf, sizeof buf, in);
  dup2(savedStdout, STDOUT_FILENO);
  close(savedStdout);
  close(out[1]);

  char prompt[16] = {};
  const ssize_t n = read(out[0], prompt, sizeof prompt - 1);
  close(out[0]);
  std::fclose(in);
  EXPECT_EQ(got, buf);
  EXPECT_STREQ(buf, "answer");
  EXPECT_EQ(n, 6);
  EXPECT_STREQ(prompt, "Name? ");
}

TEST(TxtAllDigits, Rules) {
  EXPECT_EQ(AllDigits(nullptr), 1);
  EXPECT_EQ(AllDigits(""), 1);
  EXPECT_EQ(AllDigits("0123"), 1);
  EXPECT_EQ(AllDigits("9876543210"), 1);
  EXPECT_EQ(AllDigits("12a"), 0);
  EXPECT_EQ(AllDigits(" 1"), 0);
  EXPECT_EQ(AllDigits("1 "), 0);
  EXPECT_EQ(AllDigits("-1"), 0);
  EXPECT_EQ(AllDigits("1.5"), 0);
  EXPECT_EQ(AllDigits("\xd9\xa1"), 0);  // a non-ASCII digit is not a decimal digit here
}

}  // namespace
