// Status codes: table lookups, text assembly and truncation.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "ovbase/status.h"

namespace {

struct Row {
  int code;
  const char *name;
  const char *message;
};

constexpr Row table[] = {
#define ROW_(code, name, message) {code, #name, message},
    OV_STATUS_MAP(ROW_)
#undef ROW_
};

std::string errinfo(int32_t code, uint32_t size = 256) {
  std::string buf(size, '\x7f');
  EXPECT_EQ(ov_errinfo(code, buf.data(), size), S_OKAY);
  return std::string(buf.c_str());
}

TEST(Errinfo, KnownTextsAndOddCorners) {
  EXPECT_EQ(errinfo(0), "normal return, okay (S_OKAY)");
  EXPECT_EQ(errinfo(-2010), "client was unable to grant memory (S_NOMEMORY)");
  // The message of 18 ends in a blank of its own.
  EXPECT_EQ(errinfo(18), "End of RPC Parameter list reached  (S_RPCENDOFPARMS)");
  // 6001 has two rows; the first always wins.
  EXPECT_EQ(errinfo(6001), "'Corrupted' status, program successful (S_CORRUPTED)");
  EXPECT_EQ(errinfo(20), "NO MESSAGE AVAILABLE (UNKNOWN)");  // no row
  EXPECT_STREQ(ov_errorname(-7003), "S_DBSBADDB");
  // Codes are reduced to 16 bits: 65536 is 0, 63526 is -2010.
  EXPECT_EQ(errinfo(65536), "normal return, okay (S_OKAY)");
  EXPECT_STREQ(ov_errorname(65536 - 2010), "S_NOMEMORY");
  for (int code : {0, 2, 20, -52, 123456}) EXPECT_EQ(ov_errorinfo(code, nullptr), S_INVNULL);
}

// Every 16-bit code agrees across the three lookups, and the table is what
// the list says: 225 rows, codes unique but for 6001.
TEST(Errinfo, EveryCodeConsistent) {
  EXPECT_EQ(std::size(table), 225u);
  std::set<int> seen;
  int duplicates = 0;
  for (const Row &r : table) duplicates += !seen.insert(r.code).second;
  EXPECT_EQ(duplicates, 1);
  for (int code = -32768; code <= 32767; ++code) {
    const Row *row = nullptr;
    for (const Row &r : table)
      if (r.code == code) {
        row = &r;
        break;
      }
    const char *msg = "sentinel";
    ASSERT_EQ(ov_errorinfo(code, &msg), S_OKAY);
    const std::string expected = row ? std::string(row->message) + " (" + row->name + ")"
                                     : "NO MESSAGE AVAILABLE (UNKNOWN)";
    ASSERT_EQ(errinfo(code), expected) << code;
    ASSERT_EQ(errinfo(code + 65536 * 3), expected) << code;
    ASSERT_STREQ(ov_errorname(code), row ? row->name : "UNKNOWN");
    ASSERT_EQ(msg ? std::string(msg) : "(null)", row ? row->message : "(null)");
  }
}

// A short buffer cuts the text at size - 1 characters anywhere, and every
// byte of the buffer is written (cleared first).
TEST(Errinfo, TruncatesAtAnySize) {
  for (int code : {0, 18, 20, -5008}) {
    const std::string full = errinfo(code);
    for (uint32_t size = 1; size <= full.size() + 3; ++size) {
      std::string buf(size + 4, '\x55');
      ov_errinfo(code, buf.data(), size);
      const size_t n = std::min<size_t>(size - 1, full.size());
      EXPECT_EQ(std::string(buf.data()), full.substr(0, n)) << code << " " << size;
      for (uint32_t i = n; i < size; ++i) EXPECT_EQ(buf[i], '\0') << size << " " << i;
      for (uint32_t i = size; i < size + 4; ++i) EXPECT_EQ(buf[i], '\x55') << "overrun";
    }
  }
  EXPECT_EQ(errinfo(0, 10), "normal re");
  // Nothing to write into: no crash, still S_OKAY.
  char c = 'x';
  EXPECT_EQ(ov_errinfo(0, &c, 0), S_OKAY);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(ov_errinfo(0, nullptr, 10), S_OKAY);
}

}  // namespace
