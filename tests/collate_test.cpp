// Case folding and collation: every byte and every code point through the
// in-place conversions against libc, the case-blind wide comparisons against
// their prefix rules and a fold-then-compare oracle, and the collations of
// narrow and wide text in one typed body against libc's own collation of
// lower-cased copies.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <type_traits>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"
#include "platform/testhooks.h"

namespace {

int sign(int64_t v) { return (v > 0) - (v < 0); }

TEST(Collate, EveryByteAndCodePointThroughCaseFolding) {
  for (const char *locale : {"C", "C.UTF-8", "en_US.ISO-8859-1", "de_DE.ISO-8859-1"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    // All 255 non-zero bytes in one string, so that a conversion that stops
    // early or skips a byte shows too.
    char upper[256], lower[256];
    for (int b = 1; b < 256; ++b) upper[b - 1] = lower[b - 1] = static_cast<char>(b);
    upper[255] = lower[255] = '\0';
    EXPECT_EQ(_strupr(upper), upper);
    EXPECT_EQ(_strlwr(lower), lower);
    for (int b = 1; b < 256; ++b) {
      EXPECT_EQ(static_cast<unsigned char>(upper[b - 1]), std::islower(b) ? std::toupper(b) : b)
          << locale << " byte " << b;
      EXPECT_EQ(static_cast<unsigned char>(lower[b - 1]), std::isupper(b) ? std::tolower(b) : b)
          << locale << " byte " << b;
    }
  }
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  constexpr wchar_t kLast = 0x10FFFF;
  std::wstring upper(kLast, L'\0'), lower(kLast, L'\0');
  for (wchar_t c = 1; c <= kLast; ++c) upper[c - 1] = lower[c - 1] = c;
  EXPECT_EQ(_wcsupr(upper.data()), upper.data());
  EXPECT_EQ(_wcslwr(lower.data()), lower.data());
  int mismatches = 0;
  for (wint_t c = 1; c <= kLast && mismatches < 10; ++c) {
    const wint_t wantUpper = std::iswlower(c) ? std::towupper(c) : c;
    const wint_t wantLower = std::iswupper(c) ? std::towlower(c) : c;
    if (wint_t(upper[c - 1]) != wantUpper || wint_t(lower[c - 1]) != wantLower)
      ADD_FAILURE() << "code point " << c << " (" << ++mismatches << " of at most 10 shown)";
  }
  EXPECT_EQ(upper[0xE9 - 1], L'\u00c9');  // the locale really folds beyond ASCII
}

// The prefix and limit decisions, then random strings against comparing
// towlower-folded copies.
TEST(Collate, WideCaseBlindComparison) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  constexpr uint64_t kUnlimited = UINT64_MAX;  // row uses wscasecmp
  struct Row {
    const wchar_t *a, *b;
    uint64_t n;
    int want;
  };
  const Row rows[] = {
      {L"Abc", L"aBC", kUnlimited, 0},
      {L"ab", L"abc", kUnlimited, -1},
      {L"abc", L"ab", kUnlimited, L'c'},
      {L"", L"", kUnlimited, 0},
      {L"", L"abc", kUnlimited, -1},  // the empty string is a proper prefix too
      {L"A", L"", kUnlimited, L'a'},
      {L"abc", L"abZ", kUnlimited, L'c' - L'z'},
      {L"\u00c4rger", L"\u00e4RGER", kUnlimited, 0},
      {L"abcd", L"ABxy", 3, L'c' - L'x'},
      {L"abcd", L"zzzz", 0, 0},
      {L"ab", L"abc", 2, 0},  // the limit is reached before the prefix rule
      {L"ab", L"abc", 3, -1},
      {L"", L"abc", 1, -1},
      {L"abc", L"ab", 3, L'c'},
  };
  for (const Row &r : rows) {
    const int got = r.n == kUnlimited ? wscasecmp(r.a, r.b) : wsncasecmp(r.a, r.b, r.n);
    EXPECT_EQ(got, r.want) << "a=" << testing::PrintToString(std::wstring(r.a))
                           << " b=" << testing::PrintToString(std::wstring(r.b)) << " n=" << r.n;
  }
  // '_' sorts between the upper and the lower case letters: folding the
  // wrong way shows.
  const std::wstring alphabet = L"aAbB\u00e4\u00c4\u03c3\u03a3-_";
  std::mt19937 rng(20261206);
  auto randomFolded = [&](std::wstring &folded) {
    std::wstring s(rng() % 5, L' ');
    for (wchar_t &c : s) c = alphabet[rng() % alphabet.size()];
    folded = s;
    for (wchar_t &c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    std::wstring foldedA, foldedB;
    const std::wstring a = randomFolded(foldedA), b = randomFolded(foldedB);
    const uint64_t n = rng() % 6;
    const std::string row = testing::PrintToString(a) + " " + testing::PrintToString(b);
    EXPECT_EQ(sign(wscasecmp(a.c_str(), b.c_str())), sign(foldedA.compare(foldedB))) << row;
    EXPECT_EQ(sign(wsncasecmp(a.c_str(), b.c_str(), n)),
              sign(foldedA.substr(0, n).compare(foldedB.substr(0, n))))
        << row << " n=" << n;
  }
}

// The narrow and wide collations and libc's, under one set of names.
int icoll(const char *a, const char *b) { return _stricoll(a, b); }
int icoll(const wchar_t *a, const wchar_t *b) { return wcsicoll(a, b); }
int nicoll(char *a, char *b, uint64_t n) { return _strnicoll(a, b, n); }
int nicoll(wchar_t *a, wchar_t *b, uint64_t n) { return _wcsnicoll(a, b, n); }
int ncoll(char *a, char *b, uint64_t n) { return _strncoll(a, b, n); }
int ncoll(wchar_t *a, wchar_t *b, uint64_t n) { return _wcsncoll(a, b, n); }
int libcColl(const char *a, const char *b) { return std::strcoll(a, b); }
int libcColl(const wchar_t *a, const wchar_t *b) { return std::wcscoll(a, b); }
char libcLower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
wchar_t libcLower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

template <typename Ch>
class Collation : public testing::Test {
 protected:
  using Str = std::basic_string<Ch>;
  static Str alphabet() {
    if constexpr (std::is_same_v<Ch, char>)
      return "aAbBcCzZ09 -_.'";
    else
      return L"aAbBzZ09 -\u00e9\u00c9\u00df\u00e4\u00c4";
  }

  // A locale with a real collation order when the machine has one.
  void SetUp() override {
    for (const char *name : {"en_US.UTF-8", "de_DE.UTF-8", "C.UTF-8"})
      if (std::setlocale(LC_ALL, name) != nullptr) return;
  }
  // libc's collation of lower-cased copies: what the case-blind collations
  // must agree with.
  static int oracle(Str a, Str b) {
    for (Ch &c : a) c = libcLower(c);
    for (Ch &c : b) c = libcLower(c);
    return sign(libcColl(a.c_str(), b.c_str()));
  }
};

using CharTypes = testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(Collation, CharTypes);

TYPED_TEST(Collation, AgreesWithLibcOnLowerCasedCopies) {
  using Str = typename TestFixture::Str;
  std::mt19937 rng(42);
  const Str alphabet = TestFixture::alphabet();
  for (int i = 0; i < 5000; ++i) {
    Str a(rng() % 8, alphabet[0]), b(rng() % 8, alphabet[0]);
    for (auto &c : a) c = alphabet[rng() % alphabet.size()];
    for (auto &c : b) c = alphabet[rng() % alphabet.size()];
    const Str keepA = a, keepB = b;
    const uint64_t n = rng() % 9;
    const std::string row = testing::PrintToString(a) + " " + testing::PrintToString(b) +
                            " n=" + std::to_string(n) + " " + std::setlocale(LC_ALL, nullptr);
    const int64_t allocationsBefore = ov_testAllocationCount();
    const int got = sign(icoll(a.c_str(), b.c_str()));
    EXPECT_EQ(got, TestFixture::oracle(a, b)) << row;
    EXPECT_EQ(got, -sign(icoll(b.c_str(), a.c_str()))) << row;
    EXPECT_EQ(sign(nicoll(a.data(), b.data(), n)),
              TestFixture::oracle(a.substr(0, n), b.substr(0, n)))
        << row;
    EXPECT_EQ(sign(ncoll(a.data(), b.data(), n)),
              sign(libcColl(a.substr(0, n).c_str(), b.substr(0, n).c_str())))
        << row;
    // The cut strings are whole again, and short pairs never touch the heap.
    EXPECT_TRUE(a == keepA && b == keepB) << row;
    EXPECT_EQ(ov_testAllocationCount(), allocationsBefore) << row;
  }
  // The same string passed twice is cut once and restored once.
  Str same(5, alphabet[0]);
  EXPECT_EQ(ncoll(same.data(), same.data(), 2), 0);
  EXPECT_EQ(same, Str(5, alphabet[0]));
}

TYPED_TEST(Collation, HeapOnlyBeyondTheStackAreaAndFallbackWithoutIt) {
  using Str = typename TestFixture::Str;
  using Ch = TypeParam;
  // Lengths plus two terminators: 2048 fits the stack area, 2049 does not.
  struct Row {
    std::size_t lengthA, lengthB;
    int64_t allocations;
  };
  for (const Row &r : {Row{1023, 1023, 0}, Row{1023, 1024, 1}, Row{0, 2046, 0}, Row{0, 2047, 1}}) {
    Str a(r.lengthA, Ch{'x'}), b(r.lengthB, Ch{'X'});
    b.back() = Ch{'Y'};
    const int want = TestFixture::oracle(a, b);
    const int64_t outstanding = ov_testOutstandingBlocks();
    ov_testFailAllocation(-1);  // restarts the count
    EXPECT_EQ(sign(icoll(a.c_str(), b.c_str())), want) << r.lengthA;
    EXPECT_EQ(ov_testAllocationCount(), r.allocations) << r.lengthA << "+" << r.lengthB;
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
  }
  // Without the working space a long pair is still compared case-blind.
  Str upper(1500, Ch{'M'}), lower(1500, Ch{'m'}), later = lower;
  later[1499] = Ch{'n'};
  const int64_t outstanding = ov_testOutstandingBlocks();
  for (auto [a, b, want] : {std::tuple{&upper, &lower, 0}, std::tuple{&lower, &later, -1},
                            std::tuple{&later, &upper, 1}}) {
    ov_testFailAllocation(0);
    EXPECT_EQ(sign(icoll(a->c_str(), b->c_str())), want);
    EXPECT_EQ(ov_testAllocationCount(), 1);
  }
  ov_testFailAllocation(-1);
  EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
}

}  // namespace
