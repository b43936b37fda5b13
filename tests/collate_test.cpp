// Case folding and collation, narrow and wide in one typed body: every byte
// and every code point through the in-place conversions against libc, the
// case-blind wide comparisons against their prefix rules and a
// fold-then-compare oracle, and the collations against libc's own collation
// of lower-cased copies.
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

// The narrow and wide functions and libc's, under one set of names.
char *upr(char *s) { return _strupr(s); }
wchar_t *upr(wchar_t *s) { return _wcsupr(s); }
char *lwr(char *s) { return _strlwr(s); }
wchar_t *lwr(wchar_t *s) { return _wcslwr(s); }
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
char libcUpper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
wchar_t libcUpper(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

template <typename Str>
Str lowered(Str s) {
  for (auto &c : s) c = libcLower(c);
  return s;
}

template <typename Ch>
class Collation : public testing::Test {
 protected:
  using Str = std::basic_string<Ch>;
  static constexpr bool kWide = std::is_same_v<Ch, wchar_t>;
  static Str alphabet() {
    // '_' sorts between the upper and the lower case letters: folding the
    // wrong way shows.
    if constexpr (kWide)
      return L"aAbBzZ09 -_\u00e9\u00c9\u00df\u00e4\u00c4\u03c3\u03a3";
    else
      return "aAbBcCzZ09 -_.'";
  }
  // A locale with a real collation order when the machine has one.
  void SetUp() override {
    for (const char *name : {"en_US.UTF-8", "de_DE.UTF-8", "C.UTF-8"})
      if (std::setlocale(LC_ALL, name) != nullptr) return;
  }
  // libc's collation of lower-cased copies: what the case-blind collations
  // must agree with.
  static int oracle(const Str &a, const Str &b) {
    return sign(libcColl(lowered(a).c_str(), lowered(b).c_str()));
  }
};

using CharTypes = testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(Collation, CharTypes);

// Every non-zero character in one string per direction, and a letter after
// them, so that a conversion that stops early or skips one shows too, against
// libc's mapping.  (The conversions change only characters of the other case class;
// this C library maps no other character, so the plain mapping is the
// expectation.)
TYPED_TEST(Collation, FoldsEveryCharacterInPlaceLikeLibc) {
  using Ch = TypeParam;
  const wint_t last = TestFixture::kWide ? 0x10FFFF : 255;
  bool foldedBeyondAscii = false;
  for (const char *locale : {"C", "C.UTF-8", "en_US.ISO-8859-1", "de_DE.ISO-8859-1"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) continue;
    typename TestFixture::Str upper(last + 1, Ch{'a'}), lower(last + 1, Ch{'A'});
    for (wint_t c = 1; c <= last; ++c) upper[c - 1] = lower[c - 1] = static_cast<Ch>(c);
    EXPECT_EQ(upr(upper.data()), upper.data());
    EXPECT_EQ(lwr(lower.data()), lower.data());
    EXPECT_TRUE(upper[last] == Ch{'A'} && lower[last] == Ch{'a'}) << locale << ": the last letter";
    for (wint_t c = 1; c <= last; ++c) {
      ASSERT_TRUE(upper[c - 1] == libcUpper(static_cast<Ch>(c)) &&
                  lower[c - 1] == libcLower(static_cast<Ch>(c)))
          << locale << " character " << c;
    }
    foldedBeyondAscii |= upper[0xE9 - 1] == static_cast<Ch>(0xC9);
  }
  EXPECT_TRUE(!TestFixture::kWide || foldedBeyondAscii) << "no locale folds U+00E9";
}

// The prefix and limit decisions of the case-blind wide comparisons; the
// typed test below checks their signs on random strings.
TEST(Collate, WideCaseBlindComparison) {
  constexpr uint64_t kUnlimited = UINT64_MAX;  // row uses wscasecmp
  struct Row {
    const wchar_t *a, *b;
    uint64_t n;
    int want;
  };
  for (const Row &r :
       {Row{L"ab", L"abc", kUnlimited, -1}, Row{L"abc", L"ab", kUnlimited, L'c'},
        Row{L"", L"abc", kUnlimited, -1},  // the empty string is a proper prefix too
        Row{L"A", L"", kUnlimited, L'a'}, Row{L"abc", L"abZ", kUnlimited, L'c' - L'z'},
        Row{L"abcd", L"ABxy", 3, L'c' - L'x'},
        Row{L"ab", L"abc", 2, 0},  // the limit is reached before the prefix rule
        Row{L"ab", L"abc", 3, -1}, Row{L"", L"abc", 1, -1}, Row{L"abc", L"ab", 3, L'c'}}) {
    const int got = r.n == kUnlimited ? wscasecmp(r.a, r.b) : wsncasecmp(r.a, r.b, r.n);
    EXPECT_EQ(got, r.want) << "a=" << testing::PrintToString(std::wstring(r.a))
                           << " b=" << testing::PrintToString(std::wstring(r.b)) << " n=" << r.n;
  }
}

// Random short pairs against libc's collation of lower-cased copies, with no
// heap; long pairs with the heap and without.
TYPED_TEST(Collation, AgreesWithLibcOnLowerCasedCopiesHeapOnlyForLongPairs) {
  using Str = typename TestFixture::Str;
  std::mt19937 rng(42);
  const Str alphabet = TestFixture::alphabet();
  for (int i = 0; i < 5000; ++i) {
    Str a(rng() % 8, alphabet[0]), b(rng() % 8, alphabet[0]);
    for (auto &c : a) c = alphabet[rng() % alphabet.size()];
    for (auto &c : b) c = alphabet[rng() % alphabet.size()];
    const uint64_t n = rng() % 9;  // also past the strings' ends
    const Str keepA = a, keepB = b, cutA = a.substr(0, n), cutB = b.substr(0, n);
    SCOPED_TRACE(testing::PrintToString(a) + " " + testing::PrintToString(b) +
                 " n=" + std::to_string(n) + " " + std::setlocale(LC_ALL, nullptr));
    const int64_t allocationsBefore = ov_testAllocationCount();
    const int got = sign(icoll(a.c_str(), b.c_str()));
    EXPECT_EQ(got, TestFixture::oracle(a, b));
    EXPECT_EQ(got, -sign(icoll(b.c_str(), a.c_str())));
    EXPECT_EQ(sign(nicoll(a.data(), b.data(), n)), TestFixture::oracle(cutA, cutB));
    EXPECT_EQ(sign(ncoll(a.data(), b.data(), n)), sign(libcColl(cutA.c_str(), cutB.c_str())));
    if constexpr (TestFixture::kWide) {
      // The wide case-blind comparisons against comparing lower-cased copies.
      EXPECT_EQ(sign(wscasecmp(a.c_str(), b.c_str())), sign(lowered(a).compare(lowered(b))));
      EXPECT_EQ(sign(wsncasecmp(a.c_str(), b.c_str(), n)),
                sign(lowered(cutA).compare(lowered(cutB))));
    }
    // One string passed twice is cut once and restored once.
    EXPECT_EQ(ncoll(a.data(), a.data(), n), 0);
    // The cut strings are whole again, and short pairs never touch the heap.
    EXPECT_TRUE(a == keepA && b == keepB);
    EXPECT_EQ(ov_testAllocationCount(), allocationsBefore);
  }
  // Lengths plus two terminators: 2048 fits the stack area, 2049 does not.
  // Without the working space (noMemory) a long pair is still compared
  // case-blind, 0 exactly for strings equal apart from case, and
  // antisymmetric.
  using Ch = TypeParam;
  struct Row {
    std::size_t lengthA, lengthB;
    char lastOfB;
    bool noMemory;
    int64_t allocations;
  };
  for (const Row &r :
       {Row{1023, 1023, 'Y', false, 0}, Row{1023, 1024, 'Y', false, 1}, Row{0, 2046, 'Y', false, 0},
        Row{0, 2047, 'Y', false, 1}, Row{1500, 1500, 'X', true, 1}, Row{1500, 1500, 'Y', true, 1},
        Row{1500, 1500, 'A', true, 1}}) {
    SCOPED_TRACE(testing::Message() << r.lengthA << "+" << r.lengthB << " " << r.lastOfB);
    Str a(r.lengthA, Ch{'x'}), b(r.lengthB, Ch{'X'});
    b.back() = static_cast<Ch>(r.lastOfB);
    const int want = TestFixture::oracle(a, b);
    const int64_t outstanding = ov_testOutstandingBlocks();
    ov_testFailAllocation(r.noMemory ? 0 : -1);  // also restarts the count
    EXPECT_EQ(sign(icoll(a.c_str(), b.c_str())), want);
    EXPECT_EQ(ov_testAllocationCount(), r.allocations);
    ov_testFailAllocation(r.noMemory ? 0 : -1);
    EXPECT_EQ(sign(icoll(b.c_str(), a.c_str())), -want);
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
  }
}

}  // namespace
