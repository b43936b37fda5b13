// Buffered line streams: opening modes, pieces and whole lines, block
// writes, rewind, the end of the file and exhausted memory.
#include <gtest/gtest.h>
#include <fcntl.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "platform/testhooks.h"
#include "scratch_dir.h"

namespace {

class FileStream : public ::testing::Test {
 protected:
  std::string file(const std::string &name) const { return scratch_.path(name); }
  ScratchDir scratch_;
};

// Everything the stream still delivers, read with GetLine into a line
// buffer of its own, which GetLine allocates even when no line comes.
std::string readRest(FILESTREAM *s) {
  std::string all;
  char *buffer = nullptr;
  uint32_t capacity = 0;
  while (const char *line = ov_fileStreamGetLine(s, &buffer, &capacity)) all += line;
  EXPECT_NE(buffer, nullptr);
  ov_freeMemory(buffer, nullptr);
  return all;
}

// Mode characters apply in order: '+' turns the access bits read-write, a
// later 'w' or 'a' adds write-only again, which makes access mode 3 (both
// permissions checked, the descriptor good for neither direction).  What
// Puts wrote stays in the block until a rewind; what the stream reads back
// then, and the file after close, show what the mode allows.
TEST_F(FileStream, OpenModes) {
  constexpr int kNeither = O_ACCMODE, kRefused = -1;
  struct Row {
    const char *mode;
    int access;  // O_ACCMODE bits of the descriptor, or kRefused: no stream
    bool append, truncates, creates;
    const char *after;  // the existing "old\n" after Puts("new") and close
  };
  const Row rows[] = {
      {nullptr, O_RDONLY, false, false, false, "old\n"},
      {"w", O_WRONLY, false, true, true, "new\n"},
      {"r+", O_RDWR, false, false, false, "new\n"},
      {"w+", O_RDWR, false, true, true, "new\n"},
      {"+w", kNeither, false, true, true, ""},
      {"rw", O_WRONLY, false, true, true, "new\n"},
      {"a", O_WRONLY, true, false, true, "old\nnew\n"},
      {"a+", O_RDWR, true, false, true, "old\nnew\n"},
      {"+a", kNeither, true, false, true, "old\n"},
      {"r+wx", kNeither, false, true, true, ""},  // only three characters count
      {"", O_RDONLY, false, false, false, "old\n"},
      {"x", kRefused, false, false, false, "old\n"},
      {"rwx", kRefused, false, false, false, "old\n"},
  };
  const std::string existing = file("existing"), missing = file("missing");
  for (const Row &row : rows) {
    SCOPED_TRACE(row.mode ? row.mode : "(null)");
    writeFile(existing, "old\n");
    std::filesystem::remove(missing);
    FILESTREAM *s = ov_fileStreamOpen(existing.c_str(), row.mode);
    ASSERT_EQ(s != nullptr, row.access != kRefused);
    if (s != nullptr) {
      const int flags = fcntl(s->fd, F_GETFL);
      EXPECT_EQ(flags & O_ACCMODE, row.access);
      EXPECT_EQ((flags & O_APPEND) != 0, row.append);
      EXPECT_EQ(ov_fileStreamPuts(s, "new"), 4u);
      EXPECT_EQ(std::filesystem::file_size(existing), row.truncates ? 0u : 4u);  // not yet written
      EXPECT_EQ(ov_fileStreamRewind(s), 0);
      const bool readable = row.access == O_RDONLY || row.access == O_RDWR;
      EXPECT_EQ(readRest(s), readable ? row.after : "");
      ov_fileStreamClose(s);
    }
    EXPECT_EQ(readFile(existing), row.after);
    s = ov_fileStreamOpen(missing.c_str(), row.mode);
    EXPECT_EQ(s != nullptr, row.creates);
    ov_fileStreamClose(s);
    EXPECT_EQ(std::filesystem::exists(missing), row.creates);
    EXPECT_EQ(ov_testOutstandingBlocks(), 0);
  }
}

// Lines written with Puts go to the file a block at a time, as each block
// fills.  GetLine gives them back unchanged, its buffer growing in steps of
// 100 bytes from where the caller's block starts (none: 100 allocated; one
// given with capacity 0: taken as 100; one of 1 byte: grown to 101 first) to
// the smallest size that holds the longest line and its terminator; a last
// line without newline costs one more step.  Pieces of Gets hold at most
// size - 1 bytes, joined across block ends; only the last piece of a line
// carries its newline.  Lines of lengths around the steps come first, then
// one that fills the first block exactly, then random ones (with seeds 2
// and 3 every seventh up to 5000 bytes; with seed 3 the last one loses its
// newline).
TEST_F(FileStream, ReadsWholeLinesAndPieces) {
  const std::string path = file("lines");
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> len(0, 250), longLen(0, 5000), letter('!', '~');
    std::vector<std::string> lines;
    for (size_t bytes : {1, 98, 99, 100, 101, 199, 200, 299, 300, 1000, 1699})
      lines.push_back(std::string(bytes - 1, 'k') + "\n");
    for (int i = 0; i < 400; ++i) {
      std::string line(seed > 1 && i % 7 == 3 ? longLen(rng) : len(rng), ' ');
      for (char &c : line) c = static_cast<char>(letter(rng));
      lines.push_back(line + (i % 5 == 0 ? "\r\n" : "\n"));
    }
    FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "w");
    uintmax_t written = 0;
    for (const std::string &line : lines) {
      ASSERT_EQ(ov_fileStreamPuts(s, line.substr(0, line.size() - 1).c_str()), line.size());
      written += line.size();
      ASSERT_EQ(std::filesystem::file_size(path), written - written % OV_FILESTREAM_BLOCK);
    }
    ov_fileStreamClose(s);
    if (seed == 3) {
      lines.back().pop_back();
      std::filesystem::resize_file(path, written - 1);
    }

    for (uint32_t given : {0u, 100u, 1u}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << ", caller's block " << given);
      char *buffer = nullptr;
      if (given != 0) buffer = static_cast<char *>(ov_getMem(given, nullptr, MEM_ZERO, nullptr, 1));
      uint32_t capacity = given == 1 ? 1 : 0, want = given == 1 ? 101 : 100;
      s = ov_fileStreamOpen(path.c_str(), "r");
      for (const std::string &line : lines) {
        ASSERT_EQ(ov_fileStreamGetLine(s, &buffer, &capacity), buffer);
        ASSERT_EQ(std::string(buffer), line);
        while (want <= line.size()) want += 100;
        want += line.back() == '\n' ? 0 : 100;
        ASSERT_EQ(capacity, want) << line.size();
      }
      EXPECT_EQ(ov_fileStreamGetLine(s, &buffer, &capacity), nullptr);
      ov_fileStreamClose(s);
      ov_freeMemory(buffer, nullptr);
      EXPECT_EQ(ov_testOutstandingBlocks(), 0);
    }

    for (uint32_t size : {2u, 3u, 100u, 4095u, 4096u, 4097u, 6000u}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << ", size " << size);
      std::vector<std::string> pieces, got;
      for (const std::string &line : lines)
        for (size_t at = 0; at < line.size(); at += size - 1)
          pieces.push_back(line.substr(at, size - 1));
      s = ov_fileStreamOpen(path.c_str(), "r");
      std::vector<char> piece(size + 1, '#');
      while (ov_fileStreamGets(s, piece.data(), size) == piece.data()) {
        got.push_back(piece.data());
        ASSERT_EQ(piece[size], '#');  // never a byte past size
      }
      EXPECT_EQ(piece[0], '\0');  // the empty string at the end
      ov_fileStreamClose(s);
      EXPECT_EQ(got, pieces);
    }
  }
}

// A block that Puts fills exactly goes out at once, and a last byte after
// it at close.  A zero byte is copied as it is and the lines after it still
// come; null arguments get the null result and consume nothing.
TEST_F(FileStream, BlockEdgesZeroBytesAndNullArguments) {
  const std::string path = file("edge");
  FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "w");
  EXPECT_EQ(ov_fileStreamPuts(s, std::string(OV_FILESTREAM_BLOCK - 1, 'q').c_str()), 4096u);
  EXPECT_EQ(ov_fileStreamPuts(s, ""), 1u);
  EXPECT_EQ(std::filesystem::file_size(path), 4096u);
  ov_fileStreamClose(s);
  EXPECT_EQ(readFile(path), std::string(OV_FILESTREAM_BLOCK - 1, 'q') + "\n\n");

  writeFile(path, std::string("a\0b\nc\n", 6));
  s = ov_fileStreamOpen(path.c_str(), "r");
  char piece[16];
  ASSERT_NE(ov_fileStreamGets(s, piece, sizeof piece), nullptr);
  EXPECT_EQ(std::string(piece, 5), std::string("a\0b\n", 5));
  char *buffer = piece;
  uint32_t capacity = sizeof piece;
  EXPECT_EQ(ov_fileStreamGetLine(nullptr, &buffer, &capacity), nullptr);
  EXPECT_EQ(ov_fileStreamGetLine(s, nullptr, &capacity), nullptr);
  EXPECT_EQ(ov_fileStreamGetLine(s, &buffer, nullptr), nullptr);
  EXPECT_EQ(ov_fileStreamGets(nullptr, piece, sizeof piece), nullptr);
  EXPECT_EQ(ov_fileStreamPuts(nullptr, "x"), 0u);
  EXPECT_EQ(ov_fileStreamRewind(nullptr), -1);
  ASSERT_NE(ov_fileStreamGets(s, piece, sizeof piece), nullptr);
  EXPECT_STREQ(piece, "c\n");
  ov_fileStreamClose(s);
  ov_fileStreamClose(nullptr);
}

// A block read that returns fewer bytes than a block ends the stream: lines
// added to the file afterwards are not read until a rewind.  After a full
// block the stream asks the file again, and then sees them.  (Pieces and
// whole lines fetch their blocks through the same code.)
TEST_F(FileStream, EndOfFileAfterAShortBlockHoldsUntilRewind) {
  const std::string fullBlock = std::string(OV_FILESTREAM_BLOCK - 1, 'f') + "\n";
  struct Row {
    std::string content, afterAppend;  // afterAppend: what reads return once "b\n" is added
  };
  const Row rows[] = {
      {"", "b\n"},  // nothing read yet: the first read sees the addition
      {"a\n", ""},
      {"a", ""},
      {fullBlock, "b\n"},
      {fullBlock + "a\n", ""},
  };
  const std::string path = file("grows");
  for (const Row &row : rows) {
    SCOPED_TRACE(::testing::Message() << row.content.size() << " bytes");
    writeFile(path, row.content);
    FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
    EXPECT_EQ(readRest(s), row.content);
    writeFile(path, row.content + "b\n");  // the same bytes and two more
    EXPECT_EQ(readRest(s), row.afterAppend);
    EXPECT_EQ(ov_fileStreamRewind(s), 0);
    EXPECT_EQ(readRest(s), row.content + "b\n");
    ov_fileStreamClose(s);
  }
}

// An open whose record cannot be had gives null.  Each allocation of a line
// read fails once in turn (the 250-byte line needs 100, 200 and 300 bytes):
// the read ends with ENOMEM and the pair still describes the block before
// the failed step, which the caller can release.
TEST_F(FileStream, ExhaustedMemory) {
  const std::string path = file("mem");
  writeFile(path, std::string(250, 'm') + "\nshort\n");
  ov_testFailAllocation(0);
  EXPECT_EQ(ov_fileStreamOpen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), 0);
  for (int64_t failAt = 0;; ++failAt) {
    SCOPED_TRACE(failAt);
    FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
    ASSERT_NE(s, nullptr);
    char *buffer = nullptr;
    uint32_t capacity = 0;
    ov_testFailAllocation(failAt);
    errno = 0;
    const char *line = ov_fileStreamGetLine(s, &buffer, &capacity);
    const bool failed = ov_testAllocationCount() > failAt;
    ov_testFailAllocation(-1);
    EXPECT_TRUE(!failed || errno == ENOMEM) << errno;
    const std::string want = failed ? "(null)" : std::string(250, 'm') + "\n";
    EXPECT_EQ(line != nullptr ? std::string(line) : "(null)", want);
    EXPECT_EQ(capacity, 100u * static_cast<uint32_t>(failAt));
    ov_fileStreamClose(s);
    ov_freeMemory(buffer, nullptr);
    EXPECT_EQ(ov_testOutstandingBlocks(), 0);
    if (!failed) break;
  }
}

}  // namespace
