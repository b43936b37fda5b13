// Case folding and collation: every byte and every code point through the
// in-place conversions against libc, the case-blind wide comparisons
// against an independent fold-then-compare oracle, and the collations of
// narrow and wide text in one typed body against libc's own collation of
// lower-cased copies.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"
#include "platform/testhooks.h"

namespace {

int sign(int64_t v) { return (v > 0) - (v < 0); }

// Switches to the first locale of the list that the machine has; "C" is
// always there.
std::string useFirstLocale(std::initializer_list<const char *> names) {
  for (const char *name : names)
    if (std::setlocale(LC_ALL, name) != nullptr) return name;
  std::setlocale(LC_ALL, "C");
  return "C";
}

// A locale with a real collation order when the machine has one.
std::string useCollatingLocale() {
  const std::string name = useFirstLocale({"en_US.UTF-8", "de_DE.UTF-8", "C.UTF-8"});
  if (name == "C.UTF-8") std::fprintf(stderr, "note: no en_US/de_DE locale, collating by code point\n");
  return name;
}

TEST(Collate, EveryByteThroughCaseFolding) {
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
      const int wantUpper = std::islower(b) ? std::toupper(b) : b;
      const int wantLower = std::isupper(b) ? std::tolower(b) : b;
      EXPECT_EQ(static_cast<unsigned char>(upper[b - 1]), wantUpper) << locale << " byte " << b;
      EXPECT_EQ(static_cast<unsigned char>(lower[b - 1]), wantLower) << locale << " byte " << b;
    }
  }
}

TEST(Collate, EveryCodePointThroughWideCaseFolding) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  constexpr wchar_t kLast = 0x10FFFF;
  std::wstring upper(kLast, L'\0'), lower(kLast, L'\0');
  for (wchar_t c = 1; c <= kLast; ++c) upper[c - 1] = lower[c - 1] = c;
  EXPECT_EQ(_wcsupr(upper.data()), upper.data());
  EXPECT_EQ(_wcslwr(lower.data()), lower.data());
  int mismatches = 0;
  for (wchar_t c = 1; c <= kLast && mismatches < 10; ++c) {
    const wint_t wc = static_cast<wint_t>(c);
    const wchar_t wantUpper = std::iswlower(wc) ? static_cast<wchar_t>(std::towupper(wc)) : c;
    const wchar_t wantLower = std::iswupper(wc) ? static_cast<wchar_t>(std::towlower(wc)) : c;
    if (upper[c - 1] != wantUpper || lower[c - 1] != wantLower) {
      ADD_FAILURE() << "code point " << static_cast<long>(c);
      ++mismatches;
    }
  }
  // Spot checks that the locale really folds beyond ASCII.
  wchar_t text[] = L"abc-D\u00e9f1 \u00df\u0130";
  EXPECT_STREQ(_wcsupr(text), L"ABC-D\u00c9F1 \u00df\u0130");
}

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
      {L"abcd", L"ABxy", 2, 0},
      {L"abcd", L"ABxy", 3, L'c' - L'x'},
      {L"abcd", L"zzzz", 0, 0},
      {L"ab", L"abc", 2, 0},  // the limit is reached before the prefix rule
      {L"ab", L"abc", 3, -1},
      {L"", L"abc", 1, -1},
      {L"abc", L"ab", 3, L'c'},
      {L"ABC", L"abc", 100, 0},
  };
  for (const Row &r : rows) {
    const int got = r.n == kUnlimited ? wscasecmp(r.a, r.b) : wsncasecmp(r.a, r.b, r.n);
    EXPECT_EQ(got, r.want) << "a=" << testing::PrintToString(std::wstring(r.a))
                           << " b=" << testing::PrintToString(std::wstring(r.b)) << " n=" << r.n;
  }
}

TEST(Collate, WideCaseBlindOrderMatchesFoldedStrings) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  const std::wstring alphabet = L"aAbB\u00e4\u00c4\u03c3\u03a3-";
  std::mt19937 rng(20261206);
  auto randomText = [&] {
    std::wstring s(rng() % 5, L' ');
    for (wchar_t &c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  };
  auto folded = [](std::wstring s) {
    for (wchar_t &c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::wstring a = randomText(), b = randomText();
    const uint64_t n = rng() % 6;
    EXPECT_EQ(sign(wscasecmp(a.c_str(), b.c_str())), sign(folded(a).compare(folded(b))))
        << testing::PrintToString(a) << " " << testing::PrintToString(b);
    EXPECT_EQ(sign(wsncasecmp(a.c_str(), b.c_str(), n)),
              sign(folded(a.substr(0, n)).compare(folded(b.substr(0, n)))))
        << testing::PrintToString(a) << " " << testing::PrintToString(b) << " n=" << n;
  }
}

// The narrow and wide collations, seen through one interface.
template <typename Ch>
struct Api;

template <>
struct Api<char> {
  static constexpr const char *alphabet = "aAbBcCzZ09 -_.'";
  static int icoll(const char *a, const char *b) { return _stricoll(a, b); }
  static int nicoll(char *a, char *b, uint64_t n) { return _strnicoll(a, b, n); }
  static int ncoll(char *a, char *b, uint64_t n) { return _strncoll(a, b, n); }
  static int libcColl(const char *a, const char *b) { return std::strcoll(a, b); }
  static char libcLower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
};

template <>
struct Api<wchar_t> {
  static constexpr const wchar_t *alphabet = L"aAbBzZ09 -\u00e9\u00c9\u00df\u00e4\u00c4";
  static int icoll(const wchar_t *a, const wchar_t *b) { return wcsicoll(a, b); }
  static int nicoll(wchar_t *a, wchar_t *b, uint64_t n) { return _wcsnicoll(a, b, n); }
  static int ncoll(wchar_t *a, wchar_t *b, uint64_t n) { return _wcsncoll(a, b, n); }
  static int libcColl(const wchar_t *a, const wchar_t *b) { return std::wcscoll(a, b); }
  static wchar_t libcLower(wchar_t c) {
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
};

template <typename Ch>
class Collation : public testing::Test {
 protected:
  using Str = std::basic_string<Ch>;
  using A = Api<Ch>;

  static Str lowered(Str s) {
    for (Ch &c : s) c = A::libcLower(c);
    return s;
  }
  // libc's collation of lower-cased copies: what the case-blind collations
  // must agree with.
  static int oracle(const Str &a, const Str &b) {
    return sign(A::libcColl(lowered(a).c_str(), lowered(b).c_str()));
  }
  Str randomText(std::mt19937 &rng, std::size_t maxLength) {
    const Str alphabet = A::alphabet;
    Str s(rng() % (maxLength + 1), Ch{'a'});
    for (Ch &c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  }
};

using CharTypes = testing::Types<char, wchar_t>;
TYPED_TEST_SUITE(Collation, CharTypes);

TYPED_TEST(Collation, AgreesWithLibcOnLowerCasedCopies) {
  using Str = typename TestFixture::Str;
  using A = typename TestFixture::A;
  using Ch = TypeParam;
  const std::string locale = useCollatingLocale();
  std::mt19937 rng(42);
  for (int i = 0; i < 5000; ++i) {
    Str a = this->randomText(rng, 7), b = this->randomText(rng, 7);
    const Str keepA = a, keepB = b;
    const uint64_t n = rng() % 9;
    const int64_t allocationsBefore = ov_testAllocationCount();
    const int got = sign(A::icoll(a.c_str(), b.c_str()));
    EXPECT_EQ(got, TestFixture::oracle(a, b)) << locale << " " << testing::PrintToString(a)
                                              << " " << testing::PrintToString(b);
    EXPECT_EQ(got, -sign(A::icoll(b.c_str(), a.c_str())));
    EXPECT_EQ(sign(A::nicoll(a.data(), b.data(), n)),
              TestFixture::oracle(a.substr(0, n), b.substr(0, n)))
        << testing::PrintToString(a) << " " << testing::PrintToString(b) << " n=" << n;
    EXPECT_EQ(sign(A::ncoll(a.data(), b.data(), n)),
              sign(A::libcColl(a.substr(0, n).c_str(), b.substr(0, n).c_str())))
        << testing::PrintToString(a) << " " << testing::PrintToString(b) << " n=" << n;
    // The cut strings are whole again, and short pairs never touch the heap.
    EXPECT_EQ(a, keepA);
    EXPECT_EQ(b, keepB);
    EXPECT_EQ(ov_testAllocationCount(), allocationsBefore);
  }
  // The same string passed twice is cut once and restored once.
  Str same = this->randomText(rng, 0) + Str(5, Ch{'Q'});
  EXPECT_EQ(A::ncoll(same.data(), same.data(), 2), 0);
  EXPECT_EQ(same, Str(5, Ch{'Q'}));
}

TYPED_TEST(Collation, HeapOnlyBeyondTheStackAreaAndFallbackWithoutIt) {
  using Str = typename TestFixture::Str;
  using A = typename TestFixture::A;
  using Ch = TypeParam;
  useCollatingLocale();
  // Lengths plus two terminators: 2048 fits the stack area, 2049 does not.
  struct Row {
    std::size_t lengthA, lengthB;
    int64_t allocations;
  };
  for (const Row &r : {Row{1023, 1023, 0}, Row{1023, 1024, 1}, Row{0, 2046, 0}, Row{0, 2047, 1},
                       Row{1500, 1500, 1}}) {
    Str a(r.lengthA, Ch{'x'}), b(r.lengthB, Ch{'X'});
    if (!b.empty()) b.back() = Ch{'Y'};
    const int want = TestFixture::oracle(a, b);
    ov_testFailAllocation(-1);
    const int64_t outstanding = ov_testOutstandingBlocks();
    EXPECT_EQ(sign(A::icoll(a.c_str(), b.c_str())), want) << r.lengthA << "+" << r.lengthB;
    EXPECT_EQ(ov_testAllocationCount(), r.allocations) << r.lengthA << "+" << r.lengthB;
    EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
  }

  // Without the working space a long pair is still compared case-blind.
  Str upper(1500, Ch{'M'}), lower(1500, Ch{'m'});
  Str later = lower;
  later[1499] = Ch{'n'};
  const int64_t outstanding = ov_testOutstandingBlocks();
  for (auto [a, b, want] : {std::tuple{&upper, &lower, 0}, std::tuple{&lower, &later, -1},
                            std::tuple{&later, &upper, 1}}) {
    ov_testFailAllocation(0);
    EXPECT_EQ(sign(A::icoll(a->c_str(), b->c_str())), want);
    EXPECT_EQ(ov_testAllocationCount(), 1);
  }
  ov_testFailAllocation(-1);
  EXPECT_EQ(ov_testOutstandingBlocks(), outstanding);
}

}  // namespace
