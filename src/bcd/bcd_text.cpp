/*
 * bcd_text.cpp - decimal numbers from and to narrow and wide text.
 *
 * The reader is driven by a small constant state table (one row per state,
 * entries scanned in order) and makes a single pass over the text without
 * allocating.  The writer produces plain positional notation.  Narrow and
 * wide text share one template each; a traits struct supplies what differs.
 */
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "bcd/bcd_internal.h"
#include "ovbase/bcd.h"

namespace ov::bcd {
namespace {

// ---- The reader's state table ------------------------------------------------

enum Action : uint8_t {
  kNoAction = 0,
  kNegativeSign = 1,
  kDecimalPoint = 2,
  kDigit = 3,
  kNegativeExponent = 4,
  kExponentDigit = 5,
};

constexpr int8_t kReject = -1;
constexpr int8_t kAccept = -2;

// Match bytes with a special meaning.
constexpr char kAnyChar = '*';
constexpr char kAnyDigit = '#';
constexpr char kEndOfText = '\0';

struct Entry {
  char match;      // character to match, or kAnyChar, kAnyDigit, kEndOfText
  uint8_t action;  // Action performed when the entry matches
  uint8_t advance; // 1: step to the next character afterwards
  int8_t next;     // next state, kReject or kAccept
};
static_assert(sizeof(Entry) == 4, "a table entry is four bytes");

constexpr int kStates = 8;
constexpr int kRowEntries = 4;
using Row = Entry[kRowEntries];

// Rows are scanned in order; each ends with a kAnyChar entry (unused slots
// after it are never reached).
//   blanks [sign] blanks digits [. digits] [blanks (e|E) [sign] digits]
constexpr Row StateTable[kStates] = {
    /* s0: leading blanks, sign */
    {{' ', kNoAction, 1, 0}, {'+', kNoAction, 1, 1}, {'-', kNegativeSign, 1, 1}, {'*', kNoAction, 0, 1}},
    /* s1: blanks after the sign, first digit or point */
    {{' ', kNoAction, 1, 1}, {'#', kDigit, 1, 2}, {'.', kDecimalPoint, 1, 3}, {'*', kNoAction, 0, kReject}},
    /* s2: integer digits */
    {{'#', kDigit, 1, 2}, {'.', kDecimalPoint, 1, 3}, {'\0', kNoAction, 0, kAccept}, {'*', kNoAction, 0, 4}},
    /* s3: fraction digits */
    {{'#', kDigit, 1, 3}, {'\0', kNoAction, 0, kAccept}, {'*', kNoAction, 0, 4}, {'*', kNoAction, 0, 4}},
    /* s4: blanks before the exponent mark */
    {{' ', kNoAction, 1, 4}, {'e', kNoAction, 1, 5}, {'E', kNoAction, 1, 5}, {'*', kNoAction, 0, kReject}},
    /* s5: exponent sign */
    {{'+', kNoAction, 1, 6}, {'-', kNegativeExponent, 1, 6}, {'*', kNoAction, 0, 6}, {'*', kNoAction, 0, 6}},
    /* s6: first exponent digit */
    {{'#', kExponentDigit, 1, 7}, {'*', kNoAction, 0, kReject}, {'*', kNoAction, 0, kReject}, {'*', kNoAction, 0, kReject}},
    /* s7: further exponent digits */
    {{'#', kExponentDigit, 1, 7}, {'\0', kNoAction, 0, kAccept}, {'*', kNoAction, 0, kReject}, {'*', kNoAction, 0, kReject}},
};

// Checks the table's shape at compile time: every row reaches a catch-all
// entry, states and actions are in range, no entry that can match the
// terminator (the catch-all or the end entry) advances past it, so the
// reader never reads beyond the end of the text, and digit actions belong
// to digit entries that advance to a state.
constexpr bool tableIsWellFormed() {
  for (const Row &row : StateTable) {
    bool catchAll = false;
    for (const Entry &e : row) {
      if (e.action > kExponentDigit || e.advance > 1) return false;
      if (e.next < kAccept || e.next >= kStates) return false;
      if (e.advance && (e.match == kAnyChar || e.match == kEndOfText)) return false;
      // Digit actions take the matched digit and step past it.
      if ((e.action == kDigit || e.action == kExponentDigit) && (e.match != kAnyDigit || !e.advance || e.next < 0))
        return false;
      if (e.match == kAnyChar) catchAll = true;
    }
    if (!catchAll) return false;
  }
  return true;
}
static_assert(tableIsWellFormed(), "StateTable rows must be complete and never step past the end");

// ---- Narrow and wide characters ----------------------------------------------

// What the reader and the writer need to know about a character type.  The
// digit tests are those of the C library's digit class (isdigit, iswdigit),
// which holds exactly the ten characters '0' to '9' in every locale; testing
// the range directly gives the same answers without a call per character.
template <typename Ch>
struct TextTraits;

template <>
struct TextTraits<char> {
  static uint32_t code(char c) { return static_cast<unsigned char>(c); }
  // The narrow writer counts the '-' of a negative number in its size check.
  static constexpr bool kCountsSignOnlyWhenNegative = true;
};

template <>
struct TextTraits<wchar_t> {
  // Wide characters are compared with the table as unsigned values, so a
  // character such as 0x120 never matches the blank 0x20.
  static uint32_t code(wchar_t c) { return static_cast<uint32_t>(c); }
  // The wide writer reserves room for a sign whatever the number's sign.
  static constexpr bool kCountsSignOnlyWhenNegative = false;
};

constexpr bool isDigitCode(uint32_t c) { return c - '0' < 10u; }
constexpr uint32_t kZeroCode = '0';

constexpr bool entryMatches(const Entry &e, uint32_t c) {
  switch (e.match) {
    case kAnyChar: return true;
    case kAnyDigit: return isDigitCode(c);
    default: return c == static_cast<unsigned char>(e.match);
  }
}

// The entry a state's row yields for a character, as the in-order scan
// finds it.  Characters from 128 up match no entry but the catch-all, so
// they share the answer of column 128.
constexpr int kColumns = 129;

constexpr uint8_t scanRow(int state, uint32_t c) {
  int i = 0;
  while (!entryMatches(StateTable[state][i], c)) ++i;
  return static_cast<uint8_t>(i);
}

struct EntryIndex {
  uint8_t at[kStates][kColumns];
};

// The scan's results for every state and character, worked out at compile
// time, so reading costs one lookup per character.
constexpr EntryIndex makeEntryIndex() {
  EntryIndex index{};
  for (int state = 0; state < kStates; ++state)
    for (uint32_t c = 0; c < kColumns; ++c) index.at[state][c] = scanRow(state, c);
  return index;
}
constexpr EntryIndex kEntryIndex = makeEntryIndex();

constexpr bool noMatchByteAtOrAbove128() {
  for (const Row &row : StateTable)
    for (const Entry &e : row)
      if (static_cast<unsigned char>(e.match) >= 128) return false;
  return true;
}
static_assert(noMatchByteAtOrAbove128(), "characters from 128 up must all behave alike");

// All digits select the same entry in every state (no entry names a single
// digit), which lets the reader take a run of digits in one go.
constexpr bool digitsShareEntries() {
  for (int state = 0; state < kStates; ++state)
    for (uint32_t c = '1'; c <= '9'; ++c)
      if (kEntryIndex.at[state][c] != kEntryIndex.at[state][kZeroCode]) return false;
  return true;
}
static_assert(digitsShareEntries(), "a digit run must stay on one entry");

// For each state: whether a digit there performs the digit action and
// stays in the state, so that a run of digits can be taken at once.
struct DigitRuns {
  bool at[kStates];
  constexpr bool operator[](int state) const { return at[state]; }
};
constexpr DigitRuns makeDigitRuns() {
  DigitRuns runs{};
  for (int state = 0; state < kStates; ++state) {
    const Entry &e = StateTable[state][kEntryIndex.at[state][kZeroCode]];
    runs.at[state] = e.action == kDigit && e.next == state;
  }
  return runs;
}
constexpr DigitRuns kDigitRunState = makeDigitRuns();
static_assert(kDigitRunState[2] && kDigitRunState[3] && !kDigitRunState[1], "integer and fraction digits run");

inline const Entry &findEntry(int state, uint32_t c) {
  return StateTable[state][kEntryIndex.at[state][c < 128 ? c : 128]];
}

// ---- Reader ------------------------------------------------------------------

// Exponent magnitudes stop growing here.  Any exponent this large already
// moves the point far outside what a number can hold, so saturating (instead
// of overflowing a 32-bit counter) does not change the outcome.
constexpr int64_t kExponentCap = 1000000000;

// Counters of one read.
struct ReadState {
  bool pointSeen = false;
  int64_t integerDigits = 0;  // integer digits after leading zeros
  int nextPosition = 1;       // where the next stored digit goes
  // Position of the last nonzero digit stored: the significant length.  (The
  // zeros stored after it are the pending zeros; a nonzero digit moves the
  // significant length past them to its own position.)
  int significantLength = 0;
  int exponentSign = 1;
  int64_t exponent = 0;
  int lost = 0;               // BCD_TRUNCATED or BCD_OVERFLOW
};

// Takes the mantissa digit at text and, when run is set, the digits that
// follow it (they select the same entry, which keeps the state).  Leading
// zeros of the integer part are skipped; a digit without a position left
// records the loss, the latest one counting.  Returns the first character
// after the digits taken.
template <typename Ch>
const Ch *takeDigits(ReadState &s, uint8_t *digits, const Ch *text, bool run) {
  using Traits = TextTraits<Ch>;
  if (!s.pointSeen && s.integerDigits == 0) {
    while (*text == '0') {
      ++text;
      if (!run) return text;
    }
    if (!isDigitCode(Traits::code(*text))) return text;
  }
  const Ch *const first = text;
  const int maxPrec = max_precision;
  int position = s.nextPosition;
  int significant = s.significantLength;
  // Digits that still have a position are stored; the rest only record
  // the loss (the latest one deciding the bit).
  bool more = true;
  while (more && position <= maxPrec) {
    const uint8_t digit = static_cast<uint8_t>(Traits::code(*text) - '0');
    digits[position] = digit;
    significant = digit != 0 ? position : significant;
    ++position;
    ++text;
    more = run && isDigitCode(Traits::code(*text));
  }
  while (more) {
    s.lost = s.pointSeen ? BCD_TRUNCATED : BCD_OVERFLOW;
    ++text;
    more = run && isDigitCode(Traits::code(*text));
  }
  s.nextPosition = position;
  s.significantLength = significant;
  if (!s.pointSeen) s.integerDigits += text - first;
  return text;
}

// Sets x's length and point from the counters and applies the limits.
// Returns the lost bits.  Digits stored beyond the final length are cleared.
int finishRead(const ReadState &s, BCD *x) {
  int lost = s.lost;
  int64_t length = s.integerDigits > s.significantLength ? s.integerDigits : s.significantLength;
  const int64_t point = s.exponentSign * s.exponent + s.integerDigits;
  if (s.exponent > 0) {
    if (point > length)
      length = point;  // the positions in between are zero digits
    else if (point < 0)
      length -= point;  // the value gains -point trailing zeros
  }
  if (length > max_precision) {
    length = max_precision;
    lost |= BCD_OVERFLOW;
  }
  if (length - point > max_scale) {
    length = max_scale + point;
    lost |= BCD_TRUNCATED;
  }
  if (length < 0) {
    makeCanonicalZero(x);
    return lost;
  }
  uint8_t *digits = digitsOf(x);
  const int lastStored = s.nextPosition - 1;
  // The floor applies to the value, not to the record: zeros read after
  // the point lower the point the number has once normalized, and a first
  // significant digit that would put it below -128 leaves nothing the
  // family can hold (every other function would see a different number).
  const int firstDigitEnd = lastStored < length ? lastStored : static_cast<int>(length);
  for (int k = 1; k <= firstDigitEnd; ++k) {
    if (digits[k] == 0) continue;
    if (point - (k - 1) < INT8_MIN) {
      makeCanonicalZero(x);
      return lost | BCD_TRUNCATED;
    }
    break;
  }
  if (lastStored > length) clearBytes(digits + length + 1, lastStored - static_cast<int>(length));
  x->length = static_cast<uint8_t>(length);
  // A point outside the byte's -128 .. 127 follows the family's one rule
  // (storePoint): above, it stays at 127 with BCD_OVERFLOW; below, the
  // number becomes the canonical zero with BCD_TRUNCATED.  Far-out points
  // are brought near the byte's range first; they behave alike.
  const int64_t nearPoint = point > 1000 ? 1000 : point < -1000 ? -1000 : point;
  return lost | storePoint(x, static_cast<int>(nearPoint));
}

template <typename Ch>
int readNumber(const Ch *text, BCD *x) {
  using Traits = TextTraits<Ch>;
  static constexpr Ch kEmpty[1] = {0};
  if (text == nullptr) text = kEmpty;

  uint8_t *digits = digitsOf(x);
  x->sign = 1;
  clearBytes(digits, max_precision + 1);

  ReadState s;
  int state = 0;
  while (state >= 0) {
    const uint32_t c = Traits::code(*text);
    const Entry &e = findEntry(state, c);
    state = e.next;
    if (e.action == kDigit) {
      // Further digits continue the run when the next state sends them to
      // this same action and stays.  Digit entries always advance;
      // takeDigits steps past what it takes.
      text = takeDigits(s, digits, text, kDigitRunState[state]);
      continue;
    }
    if (e.action != kNoAction) {
      if (e.action == kNegativeSign) {
        x->sign = -1;
      } else if (e.action == kDecimalPoint) {
        s.pointSeen = true;
      } else if (e.action == kNegativeExponent) {
        s.exponentSign = -1;
      } else if (s.exponent < kExponentCap) {  // kExponentDigit
        s.exponent = s.exponent * 10 + (c - '0');
      }
    }
    text += e.advance;
  }

  const int lost = finishRead(s, x);
  if (lost != 0) return lost;
  return state == kAccept ? 0 : BCD_SYNTAX;
}

// ---- Writer ------------------------------------------------------------------

// The digits of a number in normalized form, read in place when the number
// is already normalized, else from a normalized working copy.
struct NormalizedView {
  const uint8_t *digits;  // digit positions 0 .. length
  int length;
  int point;
  bool negative;
};

NormalizedView viewNormalized(const BCD *x, WorkNumber &copy) {
  const uint8_t *d = digitsOf(x);
  if (x->length >= 1 && x->length <= max_precision && d[0] == 0 && d[1] != 0)
    return {d, x->length, x->point, x->sign < 0};
  copy.copyFrom(x);
  normalize(copy.get());
  return {copy.digits(), copy->length, copy->point, copy->sign < 0};
}

template <typename Ch>
Ch *putDigits(Ch *out, const uint8_t *digits, int from, int to) {
  for (int k = from; k <= to; ++k) *out++ = static_cast<Ch>('0' + digits[k]);
  return out;
}

// Writes an empty text when the buffer has room for the terminator at all.
template <typename Ch>
int writeEmpty(Ch *buffer, uint32_t size) {
  if (size >= 1) buffer[0] = 0;
  return BCD_TEXTCUT;
}

// Numbers of at least 1, and zero: the size check counts the digits, the
// point and the terminator (and the sign as the traits say); a buffer that
// is too small loses the least significant digits, integer digits included.
// A cut below no digit at all leaves the sign alone ("-" in two
// characters); where even that does not fit, the text is empty.
template <typename Ch>
int writeWhole(const NormalizedView &v, Ch *buffer, uint32_t size) {
  const int signRoom = TextTraits<Ch>::kCountsSignOnlyWhenNegative ? (v.negative ? 1 : 0) : 1;
  int64_t count = v.length;
  const int64_t needed = count + 2 + signRoom;
  int result = 0;
  if (needed > size) {
    count -= needed - size;
    result = BCD_TEXTCUT;
  }
  if (count < 0) {
    if (!v.negative || size < 2) return writeEmpty(buffer, size);
    buffer[0] = '-';
    buffer[1] = 0;
    return result;
  }
  if (count > max_precision) count = max_precision;

  Ch *out = buffer;
  if (v.negative) *out++ = '-';
  if (count == 0) {
    *out++ = '0';
    *out = 0;
    return result;
  }
  const int n = static_cast<int>(count);
  const int integerEnd = v.point < n ? v.point : n;
  out = putDigits(out, v.digits, 1, integerEnd);
  if (v.point <= n) {
    *out++ = '.';
    out = putDigits(out, v.digits, v.point + 1, n);
  }
  if (out[-1] == '.') --out;  // a dangling point becomes the terminator
  *out = 0;
  return result;
}

// Numbers between 0 and 1 (point <= 0): written as "0." followed by -point
// zeros and the digits.  The size check counts exactly the characters
// written (a sign only when there is one, narrow or wide), so a text that
// fits whole is never cut; a buffer that is too small loses the least
// significant digits, and when none is left the text is "0".
template <typename Ch>
int writeFraction(const NormalizedView &v, Ch *buffer, uint32_t size) {
  const int signRoom = v.negative ? 1 : 0;
  int64_t count = v.length;
  const int64_t needed = count + 2 + signRoom + (1 - v.point);
  int result = 0;
  if (needed > size) {
    count -= needed - size;
    result = BCD_TEXTCUT;
  }
  if (count <= 0) {
    if (size < 2) return writeEmpty(buffer, size);
    buffer[0] = '0';
    buffer[1] = 0;
    return result;
  }
  if (count > max_precision) count = max_precision;

  Ch *out = buffer;
  if (v.negative) *out++ = '-';
  *out++ = '0';
  *out++ = '.';
  for (int z = v.point; z < 0; ++z) *out++ = '0';
  out = putDigits(out, v.digits, 1, static_cast<int>(count));
  *out = 0;
  return result;
}

template <typename Ch>
int writeNumber(const BCD *x, Ch *buffer, uint32_t size) {
  WorkNumber copy;
  const NormalizedView v = viewNormalized(x, copy);
  if (v.length == 0 || v.point >= 1) return writeWhole(v, buffer, size);
  return writeFraction(v, buffer, size);
}

}  // namespace
}  // namespace ov::bcd

extern "C" {

OV_API int bcd_fromChar(const char *text, BCD *x) { return ov::bcd::readNumber(text, x); }

OV_API int bcd_fromWChar(const wchar_t *text, BCD *x) { return ov::bcd::readNumber(text, x); }

OV_API int bcd_toChar(const BCD *x, char *buffer, uint32_t size) {
  return ov::bcd::writeNumber(x, buffer, size);
}

OV_API int bcd_toWChar(const BCD *x, wchar_t *buffer, uint32_t size) {
  return ov::bcd::writeNumber(x, buffer, size);
}

}  // extern "C"
