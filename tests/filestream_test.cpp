// Buffered line streams: opening modes, pieces and whole lines, block
// writes, rewind, the end of the file and exhausted memory.
#include <gtest/gtest.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
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

// Lines of random length (up to 250 bytes, and with withLong every seventh
// up to 5000), some with a carriage return, the last one sometimes without
// its newline.
std::vector<std::string> randomLines(std::mt19937 &rng, int count, bool withLong = true) {
  std::vector<std::string> lines;
  std::uniform_int_distribution<int> len(0, 250), longLen(0, 5000), letter('!', '~');
  for (int i = 0; i < count; ++i) {
    std::string line(withLong && i % 7 == 3 ? longLen(rng) : len(rng), ' ');
    for (char &c : line) c = static_cast<char>(letter(rng));
    lines.push_back(line + (i % 5 == 0 ? "\r\n" : "\n"));
  }
  if (rng() % 2) lines.back().pop_back();
  return lines;
}

std::string joined(const std::vector<std::string> &lines) {
  std::string all;
  for (const std::string &l : lines) all += l;
  return all;
}

TEST_F(FileStream, OpenModes) {
  // Mode characters apply in order: '+' turns the access bits read-write,
  // a later 'w' or 'a' adds write-only again, which makes access mode 3
  // (both permissions checked, the descriptor good for neither direction).
  constexpr int kNeither = O_ACCMODE;
  struct Row {
    const char *mode;
    bool opensExisting;  // open succeeds on an existing file
    int access;          // O_ACCMODE bits of the descriptor
    bool append, truncates, createsMissing;
    const char *after;  // the existing file after Puts("new") and close
  };
  const Row rows[] = {
      {nullptr, true, O_RDONLY, false, false, false, "old\n"},
      {"r", true, O_RDONLY, false, false, false, "old\n"},
      {"w", true, O_WRONLY, false, true, true, "new\n"},
      {"r+", true, O_RDWR, false, false, false, "new\n"},
      {"w+", true, O_RDWR, false, true, true, "new\n"},
      {"+w", true, kNeither, false, true, true, ""},
      {"rw", true, O_WRONLY, false, true, true, "new\n"},
      {"a", true, O_WRONLY, true, false, true, "old\nnew\n"},
      {"a+", true, O_RDWR, true, false, true, "old\nnew\n"},
      {"+a", true, kNeither, true, false, true, "old\n"},
      {"r+wx", true, kNeither, false, true, true, ""},  // only three characters count
      {"", true, O_RDONLY, false, false, false, "old\n"},
      {"x", false, 0, false, false, false, "old\n"},
      {"rwx", false, 0, false, false, false, "old\n"},
  };
  const std::string existing = file("existing"), missing = file("missing");
  for (const Row &row : rows) {
    SCOPED_TRACE(row.mode ? row.mode : "(null)");
    writeFile(existing, "old\n");
    std::filesystem::remove(missing);
    FILESTREAM *s = ov_fileStreamOpen(existing.c_str(), row.mode);
    ASSERT_EQ(s != nullptr, row.opensExisting);
    if (s != nullptr) {
      const int flags = fcntl(s->fd, F_GETFL);
      EXPECT_EQ(flags & O_ACCMODE, row.access);
      EXPECT_EQ((flags & O_APPEND) != 0, row.append);
      EXPECT_EQ(std::filesystem::file_size(existing), row.truncates ? 0u : 4u);
      ov_fileStreamPuts(s, "new");
      ov_fileStreamClose(s);
    }
    EXPECT_EQ(readFile(existing), row.after);
    s = ov_fileStreamOpen(missing.c_str(), row.mode);
    EXPECT_EQ(s != nullptr, row.createsMissing);
    ov_fileStreamClose(s);
    EXPECT_EQ(std::filesystem::exists(missing), row.createsMissing);
    EXPECT_EQ(ov_testOutstandingBlocks(), 0);
  }
}

// Whole lines come back unchanged, the capacity growing in steps of 100 to
// the smallest multiple that holds the longest line and its terminator (a
// last line without newline costs one more step).  Pieces hold at most
// size - 1 bytes, joined across block ends; only the last piece of a line
// carries its newline.  Lines of lengths around the steps come first.
TEST_F(FileStream, ReadsWholeLinesAndPieces) {
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    for (size_t bytes : {1, 98, 99, 100, 101, 199, 200, 299, 300, 1000})
      lines.push_back(std::string(bytes - 1, 'k') + "\n");
    for (const std::string &line : randomLines(rng, 400, seed > 1)) lines.push_back(line);
    const std::string path = file("lines");
    writeFile(path, joined(lines));
    FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
    ASSERT_NE(s, nullptr);
    char *buffer = nullptr;
    uint32_t capacity = 0, want = 0;
    for (const std::string &line : lines) {
      ASSERT_EQ(ov_fileStreamGetLine(s, &buffer, &capacity), buffer) << seed;
      ASSERT_EQ(std::string(buffer), line) << seed;
      want = std::max(want, static_cast<uint32_t>((line.size() + 100) / 100 * 100));
      want += line.back() == '\n' ? 0 : 100;
      ASSERT_EQ(capacity, want) << seed << ": " << line.size();
    }
    EXPECT_EQ(ov_fileStreamGetLine(s, &buffer, &capacity), nullptr);
    ov_fileStreamClose(s);
    ov_freeMemory(buffer, nullptr);
    EXPECT_EQ(ov_testOutstandingBlocks(), 0);

    for (uint32_t size : {2u, 3u, 100u, 4095u, 4096u, 4097u, 6000u}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << ", size " << size);
      std::vector<std::string> pieces, got;
      for (const std::string &line : lines)
        for (size_t at = 0; at < line.size(); at += size - 1) pieces.push_back(line.substr(at, size - 1));
      s = ov_fileStreamOpen(path.c_str(), "r");
      std::vector<char> piece(size + 1, '#');
      while (ov_fileStreamGets(s, piece.data(), size) == piece.data()) {
        got.push_back(piece.data());
        ASSERT_EQ(piece[size], '#');  // never a byte past size
      }
      EXPECT_EQ(piece[0], '\0');
      EXPECT_EQ(ov_fileStreamGets(s, piece.data(), size), nullptr);  // stays at the end
      ov_fileStreamClose(s);
      EXPECT_EQ(got, pieces);
    }
  }
}

TEST_F(FileStream, GetLineEdges) {
  // A caller's block with capacity 0 counts as 100 bytes; one of 1 byte is
  // grown before the first read.
  const std::string path = file("edge");
  writeFile(path, std::string(150, 'y') + "\nz\n");
  FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
  char *buffer = static_cast<char *>(ov_getMem(100, nullptr, MEM_ZERO, nullptr, 1));
  uint32_t capacity = 0;
  ASSERT_NE(ov_fileStreamGetLine(s, &buffer, &capacity), nullptr);
  EXPECT_EQ(capacity, 200u);
  ov_freeMemory(buffer, nullptr);
  buffer = static_cast<char *>(ov_getMem(1, nullptr, MEM_ZERO, nullptr, 1));
  capacity = 1;
  ASSERT_NE(ov_fileStreamGetLine(s, &buffer, &capacity), nullptr);
  EXPECT_EQ(capacity, 101u);
  EXPECT_EQ(ov_fileStreamGetLine(nullptr, &buffer, &capacity), nullptr);
  EXPECT_EQ(ov_fileStreamGets(nullptr, buffer, capacity), nullptr);
  EXPECT_EQ(ov_fileStreamGetLine(s, nullptr, &capacity), nullptr);
  EXPECT_EQ(ov_fileStreamGetLine(s, &buffer, nullptr), nullptr);
  EXPECT_STREQ(buffer, "z\n");
  ov_fileStreamClose(s);
  ov_freeMemory(buffer, nullptr);

  // A zero byte is copied as it is and the lines after it still come.
  writeFile(path, std::string("a\0b\nc\n", 6));
  s = ov_fileStreamOpen(path.c_str(), "r");
  char piece[16];
  ASSERT_NE(ov_fileStreamGets(s, piece, sizeof piece), nullptr);
  EXPECT_EQ(std::string(piece, 5), std::string("a\0b\n", 5));
  ASSERT_NE(ov_fileStreamGets(s, piece, sizeof piece), nullptr);
  EXPECT_STREQ(piece, "c\n");
  ov_fileStreamClose(s);
  ov_fileStreamClose(nullptr);
}

// A block read that returns fewer bytes than a block ends the stream: lines
// added to the file afterwards are not read until a rewind.  After a full
// block the stream asks the file again, and then sees them.
TEST_F(FileStream, EndOfFileAfterAShortBlockHoldsUntilRewind) {
  const std::string fullBlock = std::string(OV_FILESTREAM_BLOCK - 1, 'f') + "\n";
  struct Row {
    std::string content;
    std::string afterAppend;  // what reads return once "b\n" is added
  };
  const Row rows[] = {
      {"", "b\n"},  // nothing read yet: the first read sees the addition
      {"a\n", ""},
      {"a", ""},
      {fullBlock, "b\n"},
      {fullBlock + "a\n", ""},
  };
  const std::string path = file("grows");
  for (const bool whole : {false, true}) {
    for (const Row &row : rows) {
      SCOPED_TRACE(::testing::Message() << row.content.size() << " bytes, " << (whole ? "GetLine" : "Gets"));
      writeFile(path, row.content);
      FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
      ASSERT_NE(s, nullptr);
      char *buffer = nullptr;
      uint32_t capacity = 0;
      std::vector<char> piece(2 * OV_FILESTREAM_BLOCK);
      auto readAll = [&] {
        std::string all;
        while (const char *line = whole ? ov_fileStreamGetLine(s, &buffer, &capacity)
                                        : ov_fileStreamGets(s, piece.data(), static_cast<uint32_t>(piece.size())))
          all += line;
        return all;
      };
      EXPECT_EQ(readAll(), row.content);
      EXPECT_TRUE(!whole || buffer != nullptr);  // allocated even when nothing was left
      std::ofstream(path, std::ios::binary | std::ios::app) << "b\n";
      EXPECT_EQ(readAll(), row.afterAppend);
      EXPECT_EQ(ov_fileStreamRewind(s), 0);
      EXPECT_EQ(readAll(), row.content + "b\n");
      ov_fileStreamClose(s);
      ov_freeMemory(buffer, nullptr);
    }
  }
}

// Puts fills the block and writes it as it fills; rewind and close write
// the rest.
TEST_F(FileStream, PutsWritesWholeBlocksRewindAndCloseTheRest) {
  const std::string path = file("out");
  FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "w+");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ov_fileStreamPuts(s, "first"), 6u);
  ov_fileStreamPuts(s, "second");
  EXPECT_EQ(std::filesystem::file_size(path), 0u);  // still in the block
  EXPECT_EQ(ov_fileStreamRewind(s), 0);
  char line[32];
  for (const char *want : {"first\n", "second\n"}) {
    ASSERT_NE(ov_fileStreamGets(s, line, sizeof line), nullptr);
    EXPECT_STREQ(line, want);
  }
  ov_fileStreamClose(s);

  // 4095 bytes and the newline fill the block exactly: written at once.
  s = ov_fileStreamOpen(path.c_str(), "w");
  EXPECT_EQ(ov_fileStreamPuts(s, std::string(4095, 'q').c_str()), 4096u);
  EXPECT_EQ(std::filesystem::file_size(path), 4096u);
  EXPECT_EQ(ov_fileStreamPuts(s, ""), 1u);
  EXPECT_EQ(std::filesystem::file_size(path), 4096u);
  ov_fileStreamClose(s);
  EXPECT_EQ(readFile(path), std::string(4095, 'q') + "\n\n");

  // Lines of every length round-trip through Puts.
  std::mt19937 rng(7);
  std::vector<std::string> lines = randomLines(rng, 200);
  if (lines.back().back() != '\n') lines.back() += '\n';
  s = ov_fileStreamOpen(path.c_str(), "w");
  for (const std::string &l : lines) EXPECT_EQ(ov_fileStreamPuts(s, l.substr(0, l.size() - 1).c_str()), l.size());
  ov_fileStreamClose(s);
  EXPECT_EQ(readFile(path), joined(lines));
  EXPECT_EQ(ov_fileStreamPuts(nullptr, "x"), 0u);
  EXPECT_EQ(ov_fileStreamRewind(nullptr), -1);
}

TEST_F(FileStream, ExhaustedMemory) {
  const std::string path = file("mem");
  writeFile(path, std::string(250, 'm') + "\nshort\n");
  ov_testFailAllocation(0);
  EXPECT_EQ(ov_fileStreamOpen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(ov_testOutstandingBlocks(), 0);

  // Each allocation of a line read fails once: the read ends with ENOMEM
  // and the pair still describes a block the caller can release.
  for (int64_t failAt = 0;; ++failAt) {
    SCOPED_TRACE(failAt);
    FILESTREAM *s = ov_fileStreamOpen(path.c_str(), "r");
    ASSERT_NE(s, nullptr);
    char *buffer = nullptr;
    uint32_t capacity = 0;
    ov_testFailAllocation(failAt);
    errno = 0;
    char *line = ov_fileStreamGetLine(s, &buffer, &capacity);
    const bool failed = ov_testAllocationCount() > failAt;
    ov_testFailAllocation(-1);
    if (failed) {
      EXPECT_EQ(line, nullptr);
      EXPECT_EQ(errno, ENOMEM);
      EXPECT_EQ(capacity, buffer == nullptr ? 0u : 100u + 100u * static_cast<uint32_t>(failAt - 1));
    } else {
      EXPECT_EQ(std::string(line), std::string(250, 'm') + "\n");
    }
    ov_fileStreamClose(s);
    ov_freeMemory(buffer, nullptr);
    EXPECT_EQ(ov_testOutstandingBlocks(), 0);
    if (!failed) break;
  }
}

}  // namespace
