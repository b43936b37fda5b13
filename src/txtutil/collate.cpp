/*
 * collate.cpp - in-place case conversion, case-blind comparison of wide
 * strings, and locale collation with and without case and length limits.
 *
 * Exports _strupr, _strlwr, _wcsupr, _wcslwr, wscasecmp, wsncasecmp,
 * _stricoll, _strnicoll, _strncoll, wcsicoll, _wcsnicoll, _wcsncoll.  The
 * narrow and wide twins share one template each; a traits struct supplies
 * the character functions of the C library.
 *
 * Allocation tags (module 2726): 272600249 for the working space of a long
 * narrow pair, 272600387 for a long wide pair.
 */
#include <cctype>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"

namespace {

template <typename Ch>
struct CharTraits;

template <>
struct CharTraits<char> {
  static constexpr uint32_t kWorkTag = 272600249;
  static bool isLower(char c) { return std::islower(static_cast<unsigned char>(c)) != 0; }
  static bool isUpper(char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; }
  static char toUpper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
  static char toLower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }
  // The value a character compares by once lower-cased.
  static int64_t folded(char c) { return static_cast<unsigned char>(toLower(c)); }
  static std::size_t length(const char *s) { return std::strlen(s); }
  static int collate(const char *a, const char *b) { return std::strcoll(a, b); }
};

template <>
struct CharTraits<wchar_t> {
  static constexpr uint32_t kWorkTag = 272600387;
  static bool isLower(wchar_t c) { return std::iswlower(static_cast<wint_t>(c)) != 0; }
  static bool isUpper(wchar_t c) { return std::iswupper(static_cast<wint_t>(c)) != 0; }
  static wchar_t toUpper(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }
  static wchar_t toLower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }
  static int64_t folded(wchar_t c) { return toLower(c); }
  static std::size_t length(const wchar_t *s) { return std::wcslen(s); }
  static int collate(const wchar_t *a, const wchar_t *b) { return std::wcscoll(a, b); }
};

// Pairs up to this many characters, terminators included, are collated in
// a stack area.
constexpr std::size_t kStackChars = 2048;

// Upper-cases (or lower-cases) in place every character of the opposite
// case class; the others stay.
template <typename Ch, bool kUpper>
Ch *convertInPlace(Ch *s) {
  using T = CharTraits<Ch>;
  for (Ch *p = s; *p != Ch{0}; ++p) {
    if (kUpper ? T::isLower(*p) : T::isUpper(*p)) *p = kUpper ? T::toUpper(*p) : T::toLower(*p);
  }
  return s;
}

template <typename Ch>
Ch *lowerInPlace(Ch *s) {
  return convertInPlace<Ch, false>(s);
}

int clampToInt(int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// Case-blind comparison on lower-cased values.  A proper prefix of b
// (the empty string included) gives -1; with `limited`, comparing stops
// with 0 once n characters have matched, before the prefix rule applies.
template <typename Ch>
int foldedCompare(const Ch *a, const Ch *b, bool limited, uint64_t n) {
  using T = CharTraits<Ch>;
  if (limited && n == 0) return 0;
  if (*a == Ch{0}) return *b == Ch{0} ? 0 : -1;
  for (uint64_t i = 0;; ++i) {
    const int64_t ca = T::folded(a[i]);
    const int64_t cb = T::folded(b[i]);
    if (ca != cb) return clampToInt(ca - cb);
    if (limited && i + 1 == n) return 0;
    if (a[i + 1] == Ch{0}) return b[i + 1] == Ch{0} ? 0 : -1;
  }
}

// Collates lower-cased copies of a and b, placed one after the other in a
// stack area or, for a long pair, in a heap block.  Without that block the
// pair is compared on folded values, which needs no copy.
template <typename Ch>
int collateIgnoringCase(const Ch *a, const Ch *b) {
  using T = CharTraits<Ch>;
  const std::size_t lenA = T::length(a);
  const std::size_t lenB = T::length(b);
  const std::size_t need = lenA + 1 + lenB + 1;
  Ch stackArea[kStackChars];
  Ch *work = stackArea;
  if (need > kStackChars) {
    work = static_cast<Ch *>(ov_getMem(need * sizeof(Ch), nullptr, MEM_PLAIN, nullptr, T::kWorkTag));
    if (work == nullptr) return foldedCompare(a, b, false, 0);
  }
  Ch *copyA = work;
  Ch *copyB = work + lenA + 1;
  std::memcpy(copyA, a, (lenA + 1) * sizeof(Ch));
  std::memcpy(copyB, b, (lenB + 1) * sizeof(Ch));
  const int result = T::collate(lowerInPlace(copyA), lowerInPlace(copyB));
  if (work != stackArea) ov_freeMemory(work, nullptr);
  return result;
}

// Terminates a string at position n for the lifetime of the object when it
// is longer than n characters, and puts the character back afterwards.
template <typename Ch>
class CutAt {
 public:
  CutAt(Ch *s, uint64_t n) {
    for (uint64_t i = 0; i < n; ++i)
      if (s[i] == Ch{0}) return;
    if (s[n] == Ch{0}) return;
    where_ = s + n;
    saved_ = *where_;
    *where_ = Ch{0};
  }
  ~CutAt() {
    if (where_ != nullptr) *where_ = saved_;
  }
  CutAt(const CutAt &) = delete;
  CutAt &operator=(const CutAt &) = delete;

 private:
  Ch *where_ = nullptr;
  Ch saved_{};
};

template <typename Ch, int (*compare)(const Ch *, const Ch *)>
int compareCut(Ch *a, Ch *b, uint64_t n) {
  // When a and b are the same string, the second cut finds it already cut
  // and leaves it to the first to restore.
  const CutAt<Ch> cutA(a, n);
  const CutAt<Ch> cutB(b, n);
  return compare(a, b);
}

}  // namespace

extern "C" {

OV_API char *_strupr(char *s) { return convertInPlace<char, true>(s); }
OV_API char *_strlwr(char *s) { return convertInPlace<char, false>(s); }
OV_API wchar_t *_wcsupr(wchar_t *s) { return convertInPlace<wchar_t, true>(s); }
OV_API wchar_t *_wcslwr(wchar_t *s) { return convertInPlace<wchar_t, false>(s); }

OV_API int wscasecmp(const wchar_t *a, const wchar_t *b) { return foldedCompare(a, b, false, 0); }

OV_API int wsncasecmp(const wchar_t *a, const wchar_t *b, uint64_t n) {
  return foldedCompare(a, b, true, n);
}

OV_API int _stricoll(const char *a, const char *b) { return collateIgnoringCase(a, b); }
OV_API int wcsicoll(const wchar_t *a, const wchar_t *b) { return collateIgnoringCase(a, b); }

OV_API int _strnicoll(char *a, char *b, uint64_t n) { return compareCut<char, _stricoll>(a, b, n); }
OV_API int _strncoll(char *a, char *b, uint64_t n) { return compareCut<char, std::strcoll>(a, b, n); }

OV_API int _wcsnicoll(wchar_t *a, wchar_t *b, uint64_t n) {
  return compareCut<wchar_t, wcsicoll>(a, b, n);
}
OV_API int _wcsncoll(wchar_t *a, wchar_t *b, uint64_t n) {
  return compareCut<wchar_t, std::wcscoll>(a, b, n);
}

}  // extern "C"
