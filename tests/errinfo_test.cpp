// Status codes: lookups by code, text assembly and cutting to the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ovbase/status.h"

namespace {

std::string errinfo(int32_t code, uint32_t size = 256) {
  std::string buf(size, '\x7f');
  EXPECT_EQ(ov_errinfo(code, buf.data(), size), S_OKAY);
  return std::string(buf.c_str());
}

// Some known texts and odd corners; then over every 16-bit code the three
// lookups agree, also for the code given with higher bits set, and 224
// distinct codes have a row (6001 has two).  Consecutive codes run through
// every buffer size, from 1 to past the text.
TEST(Errinfo, KnownTextsEveryCodeAndEveryBufferSize) {
  EXPECT_EQ(errinfo(0), "normal return, okay (S_OKAY)");
  EXPECT_EQ(errinfo(-2010), "client was unable to grant memory (S_NOMEMORY)");
  // The message of 18 ends in a blank of its own.
  EXPECT_EQ(errinfo(18), "End of RPC Parameter list reached  (S_RPCENDOFPARMS)");
  // 6001 has two rows; the first always wins.
  EXPECT_EQ(errinfo(6001), "'Corrupted' status, program successful (S_CORRUPTED)");
  EXPECT_EQ(errinfo(20), "NO MESSAGE AVAILABLE (UNKNOWN)");  // no row
  EXPECT_STREQ(ov_errorname(-7003), "S_DBSBADDB");
  for (int code : {0, 2, 20, -52, 123456}) EXPECT_EQ(ov_errorinfo(code, nullptr), S_INVNULL);
  int known = 0;
  for (int code = -32768; code <= 32767; ++code) {
    const char *msg = "sentinel";
    ASSERT_EQ(ov_errorinfo(code, &msg), S_OKAY);
    const std::string name = ov_errorname(code);
    ASSERT_EQ(name == "UNKNOWN", msg == nullptr) << code;
    ASSERT_EQ(ov_errorname(code + 65536 * 3), name) << code;
    known += msg != nullptr;
    const std::string expected =
        msg ? std::string(msg) + " (" + name + ")" : "NO MESSAGE AVAILABLE (UNKNOWN)";
    ASSERT_EQ(errinfo(code), expected) << code;
    ASSERT_EQ(errinfo(code + 65536 * 3), expected) << code;
    // A buffer whose size steps with the code: the text cut at size - 1
    // characters, the rest of the buffer cleared, nothing written past it.
    const uint32_t size = 1 + static_cast<uint32_t>(code + 32768) % (expected.size() + 3);
    std::string buf(size + 4, '\x55');
    ASSERT_EQ(ov_errinfo(code, buf.data(), size), S_OKAY);
    const size_t n = std::min<size_t>(size - 1, expected.size());
    ASSERT_EQ(buf, expected.substr(0, n) + std::string(size - n, '\0') + "\x55\x55\x55\x55")
        << code << " size " << size;
  }
  EXPECT_EQ(known, 224);
  // Nothing to write into: no crash, still S_OKAY.
  char c = 'x';
  EXPECT_EQ(ov_errinfo(0, &c, 0), S_OKAY);
  EXPECT_EQ(c, 'x');
  EXPECT_EQ(ov_errinfo(0, nullptr, 10), S_OKAY);
}

}  // namespace
