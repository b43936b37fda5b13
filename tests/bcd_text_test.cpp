// Decimal text: what the reader stores, keeps and reports, the writer's form
// and cut rules, narrow and wide through one typed body, limits from 0/0 to
// 255/255, and seeded random texts read, written and read back.
#include <random>

#include "bcd_testing.h"

namespace {

using namespace bcdtest;

int fromText(const char *t, BCD *x) { return bcd_fromChar(t, x); }
int fromText(const wchar_t *t, BCD *x) { return bcd_fromWChar(t, x); }
int toText(const BCD *x, char *b, uint32_t n) { return bcd_toChar(x, b, n); }
int toText(const BCD *x, wchar_t *b, uint32_t n) { return bcd_toWChar(x, b, n); }

template <typename Ch>
int readInto(const std::string &t, BCD *x) {
  return fromText(std::basic_string<Ch>(t.begin(), t.end()).c_str(), x);
}

// Writes x into size characters of a larger buffer (a null buffer for size
// 0) and fails when anything past size was touched or the text is not
// terminated; "<nothing>" for size 0.  Without a result pointer the text
// must fit.
template <typename Ch>
std::string writeOut(const BCD *x, uint32_t size = 600, int *result = nullptr) {
  std::vector<Ch> buf(size + 16, static_cast<Ch>(0x5A));
  const int r = toText(x, size ? buf.data() : nullptr, size);
  EXPECT_TRUE(result != nullptr || r == 0) << "text cut at size " << size;
  if (result) *result = r;
  for (size_t i = size; i < buf.size(); ++i) EXPECT_EQ(buf[i], Ch(0x5A)) << "written past " << size;
  std::string out = size ? "" : "<nothing>";
  for (size_t i = 0; i < size && buf[i] != 0; ++i) out += static_cast<char>(buf[i]);
  EXPECT_TRUE(size == 0 || out.size() < size) << "not terminated";
  return out;
}

template <typename Ch>
class BcdText : public Fixture {};
using BcdReadFloor = Fixture;
using CharTypes = ::testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(BcdText, CharTypes);

// One row: text, returned value, the record (see rec()), its status byte
// (3 before every read: kept except for the canonical zero) and the limits.
// Rows run in order on one number, so stale digits would show.
TYPED_TEST(BcdText, ReadsTheGrammar) {
  const std::string forty = "1234567890123456789012345678901234567890";
  const std::string first32 = "+" + forty.substr(0, 32) + "@40";
  const std::string one32 = "+1" + std::string(31, '0'), z126(126, '0'), seven128(128, '7');
  const struct { std::string text; int ret; std::string record;
                 int status = 3, precision = 32, scale = 16; } rows[] = {
      // Accepted: leading integer zeros go, zeros after the point stay,
      // trailing fraction zeros go, an exponent moves the point and adds zeros.
      {"  - 12.5", 0, "-125@2"}, {".", 0, "+@0"}, {"0.05", 0, "+05@0"}, {"0012.50", 0, "+125@2"},
      {"-000", 0, "-@0"}, {"1 e5", 0, "+100000@6"}, {"1.5E+2", 0, "+150@3"}, {"5e-3", 0, "+500@-2"},
      {"0.005e-1", 0, "+0050@-1"},
      // Rejected: the digits read so far stay, with length and point set.
      {"987654321", 0, "+987654321@9"}, {"x", 255, "+@0"}, {"-", 255, "-@0"}, {"12 ", 255, "+12@2"},
      {"1e+", 255, "+1@1"}, {"1.2.3", 255, "+12@1"}, {"1e5 ", 255, "+100000@6"},
      {"-4.5e-1x", 255, "-45@0"}, {"1\xA0", 255, "+1@1"},
      // Lost digits, also when the text is then rejected.
      {forty, 2, first32}, {forty + ".5", 3, first32}, {forty + "x", 2, first32},
      {"1e40", 2, one32 + "@41"}, {"0.12345678901234567", 1, "+1234567890123456@0"},
      {"-123456789012.34567890123456789012", 1, "-1234567890123456789012345678@12"},
      {"1234567890123456.7890123456789012", 0, "+12345678901234567890123456789012@16"},
      // The scale cut: exactly nothing left keeps the record and status,
      // less than nothing is the canonical zero (status 0).
      {"-5e-16", 1, "-5@-15"}, {"-5e-17", 1, "-@-16"}, {"-5e-40", 3, "+@0", 0},
      {"0." + std::string(40, '0'), 1, "+@0"},
      // Points beyond the byte: 127 with overflow, or the canonical zero.
      {"-1e127", 2, "-1" + one32.substr(2) + "@127"}, {"1e99999999999999999999", 2, one32 + "@127"},
      {"-1e-2147483648", 3, "+@0", 0}, {"1e127", 2, "+1" + z126 + "0@127", 3, 255, 255},
      {seven128, 2, "+" + seven128 + "@127", 3, 255, 255},
      {"1e-129", 1, "+1" + z126 + "@-128", 3, 255, 255}, {"-1e-130", 1, "+@0", 0, 255, 255},
      // Zeros after the point count: a first digit at 10^-129 is kept, one at
      // 10^-130 is below the floor.
      {"0." + z126 + "007", 0, "+" + z126 + "007@0", 3, 255, 255},
      {"-0." + z126 + "0007", 1, "+@0", 0, 255, 255},
      // Tiny limits.
      {"123.45", 3, "+1@3", 3, 1, 0}, {"0.7", 1, "+@0", 3, 1, 0}, {"5", 2, "+@1", 3, 0, 0},
      {"-0.5e3", 3, "-@3", 3, 0, 0},
  };
  // A null text reads as the empty one.  Wide characters compare as unsigned
  // values: another script's one, then blanks and fives above the first 16
  // bits are no blanks and no digits.
  Num x;
  const TypeParam *null = nullptr;
  EXPECT_TRUE(fromText(null, x) == BCD_SYNTAX && rec(x) == "+@0");
  const uint32_t notPlain[] = {0x0661, 0x120, 0x10020, 0x80000020, 0x135, 0x10035, 0x80000035};
  if constexpr (sizeof(TypeParam) > 1)
    for (const uint32_t c : notPlain) {
      const wchar_t text[] = {L'1', static_cast<wchar_t>(c), L'e', L'5', 0};
      EXPECT_TRUE(bcd_fromWChar(text, x) == BCD_SYNTAX && rec(x) == "+1@1") << c;
    }
  for (const auto &c : rows) {
    if (c.precision != bcd_maxprec() || c.scale != bcd_maxscale()) {
      ASSERT_EQ(bcd_setGlobals(c.precision, c.scale), 0);
      x = Num();
    }
    x->status = 3;
    const int ret = readInto<TypeParam>(c.text, x);
    EXPECT_EQ(std::to_string(ret) + " " + rec(x) + "/" + std::to_string(x->status),
              std::to_string(c.ret) + " " + c.record + "/" + std::to_string(c.status)) << c.text;
  }
}

// Whatever the reader makes, every function sees the same number: zero for
// one is zero for all of them, also for first digits near the point byte's
// floor (leading fraction zeros, exponents) under limits that keep them.
TEST_F(BcdReadFloor, EveryFunctionSeesTheSameNumber) {
  const int limits[][2] = {{255, 255}, {200, 150}, {160, 140}};
  for (const auto &l : limits) {
    ASSERT_EQ(bcd_setGlobals(l[0], l[1]), 0);
    for (int zeros = 118; zeros <= 136; ++zeros)
      for (const char *tail : {"7", "70", "0007", "7e-1", "7e1", "07e-2"}) {
        const std::string text = "0." + std::string(zeros, '0') + tail;
        Num x, zero, sum, rounded;
        const int ret = bcd_fromChar(text.c_str(), x);
        const std::string written = writeOut<char>(x);
        bcd_add(x, zero, sum);
        rounded.bytes = x.bytes;
        bcd_ceiling(rounded);
        const bool isZero = bcd_isZero(x) != 0, sumIsZero = bcd_isZero(sum) != 0;
        const bool agree = isZero == (bcd_compare(x, zero) == 0) && isZero == (written == "0")
                           && isZero == sumIsZero && isZero == (bcd_isZero(rounded) != 0);
        const bool bits = isZero ? show(x) == "0" && ret == BCD_TRUNCATED : ret <= BCD_TRUNCATED;
        EXPECT_TRUE(agree && bits) << text << " at " << l[0] << " gave " << ret << " " << written;
      }
  }
}

// Plain positional text first, then the cuts.  Room needed: digits + point
// + terminator, plus 1 for a '-' (narrow) or always (wide); for numbers
// below 1 also the "0" and zeros after the point.
TYPED_TEST(BcdText, CutsToTheBuffer) {
  using Ch = TypeParam;
  const int C = BCD_TEXTCUT;
  // wideOut, wideRet: where the wide text differs.
  const struct { const char *in; uint32_t size; const char *out; int ret;
                 const char *wideOut = nullptr; int wideRet = 0; } rows[] = {
      {"-0", 50, "0", 0}, {"30e-1", 50, "3.0", 0}, {"5e-3", 50, "0.00500", 0},
      {"1e40", 50, "10000000000000000000000000000000", 0},  // 32 digit positions of 41
      {"-12.5", 6, "-12.5", 0}, {"-12.5", 5, "-12", C}, {"-12.5", 3, "-0", C}, {"-12.5", 2, "-", C},
      {"-12.5", 1, "", C}, {"-12.5", 0, "<nothing>", C}, {"12.5", 5, "12.5", 0, "12", C},
      {"12.5", 2, "0", C, "", C}, {"100", 4, "10", C, "1", C},
      // Below 1 the room counts exactly what is written, so a text that fits
      // whole is never cut, narrow or wide.
      {"0", 2, "0", 0, "", C}, {"0.125", 6, "0.125", 0}, {"0.125", 5, "0.12", C},
      {"0.125", 1, "", C}, {"0.005", 6, "0.005", 0}, {"0.005", 5, "0", C},
      {"-0.005", 7, "-0.005", 0}, {"-0.005", 6, "0", C}, {"-0.0052", 8, "-0.0052", 0},
      {"-0.0052", 6, "0", C},
  };
  for (const auto &c : rows) {
    Num x;
    readInto<Ch>(c.in, x);
    const bool wide = sizeof(Ch) > 1 && c.wideOut != nullptr;
    int r = -1;
    EXPECT_EQ(writeOut<Ch>(x, c.size, &r), wide ? c.wideOut : c.out) << c.in << " in " << c.size;
    EXPECT_EQ(r, wide ? c.wideRet : c.ret) << c.in << " in " << c.size;
  }
  // Not normalized: leading zeros; x itself is not changed.  A fresh zero
  // has sign byte 0.
  Num x = raw("0042", 2, -1), fresh;
  EXPECT_EQ(writeOut<Ch>(x) + " " + rec(x) + " " + writeOut<Ch>(fresh), "-0.42 -0042@2 0");
}

// Random texts over the grammar's alphabet under random limits (a quarter
// of them plain numbers, up to 255 digits at 255/255).  The record stays
// valid; a plain number read without loss has the value the test itself
// reads (N); the text written reads back without loss to the same value
// wherever it shows the value (no digit positions missing before the point)
// in digits and fraction digits the limits hold.  Written into a buffer of
// random size up to a little beyond the text's length, the result is 0
// exactly when the room suffices: the whole text below 1, else the digits
// written (none for zero) + 2, plus 1 for a '-' (narrow) or always (wide).
// Nothing past size is touched (writeOut checks).
TYPED_TEST(BcdText, RandomTextsStayValidAndReadBack) {
  using Ch = TypeParam;
  std::mt19937_64 rng(777);
  const char alphabet[] = "0123456789000  ..+-eE9x";
  const int limits[][2] = {{32, 16}, {255, 255}, {1, 0}, {0, 0}, {10, 200}, {200, 3}};
  for (const auto &l : limits) {
    ASSERT_EQ(bcd_setGlobals(l[0], l[1]), 0);
    Num x, back;
    for (int i = 0; i < 5000; ++i) {
      std::string text(rng() % 40 + (rng() % 8 == 0 ? 260 : 0), ' ');
      const size_t letters = rng() % 4 ? sizeof alphabet - 1 : 10;  // a quarter: digits, one point
      for (char &c : text) c = alphabet[rng() % letters];
      if (letters == 10 && !text.empty()) text[rng() % text.size()] = '.';
      x->status = 2;
      const int r = readInto<Ch>(text, x);
      const auto digit = [](uint8_t d) { return d <= 9; };
      ASSERT_TRUE((r <= 3 || r == BCD_SYNTAX) && x->length <= bcd_maxprec() && settled(x)) << text;
      ASSERT_TRUE((x->sign == 1 || x->sign == -1) && (x->status == 2 || show(x) == "0")
                  && std::all_of(x->digits + 1, x->digits + x->length + 1, digit)) << text;
      ASSERT_TRUE(letters != 10 || r != 0 || bcd_compare(x, N(text)) == 0) << text;
      const std::string full = writeOut<Ch>(x);
      const bool shown = x->length >= x->point && x->length - x->point <= bcd_maxscale()
                         && x->length - std::min<int>(x->point, 0) <= bcd_maxprec();
      ASSERT_TRUE(!shown || (readInto<Ch>(full, back) == 0 && bcd_compare(back, x) == 0)) << full;
      const uint32_t size = static_cast<uint32_t>(rng() % (full.size() + 4));
      int w = 0;
      const std::string cut = writeOut<Ch>(x, size, &w);
      const bool below1 = full.rfind("0.", 0) == 0 || full.rfind("-0.", 0) == 0;
      const auto digits = full == "0" ? 0 : std::count_if(full.begin(), full.end(), ::isdigit);
      const auto room = below1 ? full.size() + 1 : digits + 2 + (sizeof(Ch) > 1 || full[0] == '-');
      ASSERT_TRUE(w == 0 ? cut == full && size >= room : w == BCD_TEXTCUT && size < room)
          << text << " in " << size;
    }
  }
}

}  // namespace
