/*
 * dec.cpp - `ovtool dec [--limits P/S] OP A [B]`: decimal arithmetic from the
 * command line.
 *
 *   add|sub|mul|div A B   the result and the status bits it reports
 *   cmp A B               the comparison's value and its meaning
 *   ceil|floor A          A rounded up or down to a whole number
 *   pack A PREC SCALE     the packed bytes in hex, the number unpacked again
 *   --limits P/S          max_precision P (1-255) and max_scale S (0-P) for
 *                         this run, instead of 32/16
 *
 * Numbers are read with bcd_fromChar; one that the reader rejects or that
 * loses digits on the way in is reported on stderr (exit 1), as is a
 * division by zero.  Results are printed as bcd_toChar writes them, then the
 * status bits in words and, for each bit, what happened in plain terms:
 * which limit was passed and how many digits it cost.  To count lost digits
 * the arithmetic is done a second time with max_precision 255 (same
 * max_scale) and the two results are compared.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ovbase/bcd.h"
#include "ovtool.h"

namespace {

constexpr const char *kUsage =
    "dec [--limits P/S] add|sub|mul|div|cmp A B | ceil|floor A | pack A PRECISION SCALE";
constexpr int kWidePrecision = 255;

}  // namespace

std::string bitsInWords(int bits) {
  static const struct {
    int bit;
    const char *word;
  } names[] = {
      {BCD_TRUNCATED, "truncated"},
      {BCD_OVERFLOW, "overflow"},
      {BCD_DIVZERO, "division by zero"},
      {BCD_TEXTCUT, "text cut"},
  };
  std::string words;
  for (const auto &n : names)
    if (bits & n.bit) words += (words.empty() ? "" : ", ") + std::string(n.word);
  return words.empty() ? "none" : words;
}

namespace {

std::string digitCount(int n) { return std::to_string(n) + (n == 1 ? " digit" : " digits"); }

// The digits of a decimal text: integer digits without leading zeros,
// fraction digits without trailing zeros, the span of significant digits
// from the first nonzero one to the last, and the digits a normalized
// number holds (no leading zeros, no trailing fraction zeros).
struct Digits {
  int integer = 0;
  int fraction = 0;
  int span = 0;
  int stored = 0;
};

Digits digitsOf(const char *text) {
  std::string intPart, fracPart;
  bool point = false;
  for (const char *p = text; *p; ++p) {
    if (*p == '.')
      point = true;
    else if (*p >= '0' && *p <= '9')
      (point ? fracPart : intPart) += *p;
  }
  intPart.erase(0, intPart.find_first_not_of('0') == std::string::npos ? intPart.size()
                                                                       : intPart.find_first_not_of('0'));
  fracPart.erase(fracPart.find_last_not_of('0') + 1);
  const std::size_t firstFraction = intPart.empty() ? fracPart.find_first_not_of('0') : 0;
  const int stored = static_cast<int>(intPart.size()) +
                     (firstFraction == std::string::npos ? 0 : static_cast<int>(fracPart.size() - firstFraction));
  std::string all = intPart + fracPart;
  const std::size_t first = all.find_first_not_of('0');
  const std::size_t last = all.find_last_not_of('0');
  Digits d;
  d.integer = static_cast<int>(intPart.size());
  d.fraction = static_cast<int>(fracPart.size());
  d.span = first == std::string::npos ? 0 : static_cast<int>(last - first + 1);
  d.stored = stored;
  return d;
}

// A number from bcd_allocate, released on scope exit.
class Number {
 public:
  Number() : x_(bcd_allocate(nullptr)) {}
  ~Number() { bcd_free(x_); }
  Number(const Number &) = delete;
  Number &operator=(const Number &) = delete;
  BCD *get() const { return x_; }
  explicit operator bool() const { return x_ != nullptr; }

 private:
  BCD *x_;
};

std::string textOf(const BCD *x) {
  char text[600];  // longer than any number's text
  bcd_toChar(x, text, sizeof text);
  return text;
}

// Reads text into x.  On any verdict but 0, explains it on stderr when
// `report` is set.
bool readOperand(const char *text, BCD *x, bool report = true) {
  const int r = bcd_fromChar(text, x);
  if (r == 0) return true;
  if (!report) return false;
  if (r == BCD_SYNTAX) {
    std::fprintf(stderr, "ovtool: %s is not a decimal number (rejected)\n", quoteArg(text).c_str());
    return false;
  }
  const Digits given = digitsOf(text);
  const int lost = given.span - digitsOf(textOf(x).c_str()).span;
  std::fprintf(stderr,
               "ovtool: %s does not fit (%s): it has %d integer and %d fraction digits; a number holds at "
               "most max_precision %d digits, at most max_scale %d of them after the point; %s would be "
               "lost\n",
               quoteArg(text).c_str(), bitsInWords(r).c_str(), given.integer, given.fraction, bcd_maxprec(),
               bcd_maxscale(), lost > 0 ? digitCount(lost).c_str() : "digits");
  return false;
}

enum class Op { kAdd, kSub, kMul, kDiv };

struct Outcome {
  bool ok = false;  // operands read, memory to work in, no division by zero
  int bits = 0;
  std::string text;
  int point = 0;  // the result's point byte
};

// Reads the operands and applies op under the current limits; reports
// problems on stderr when `report` is set.
Outcome compute(Op op, const char *left, const char *right, bool report) {
  Outcome out;
  Number a, b, r;
  if (!a || !b || !r) {
    if (report) std::fputs("ovtool: out of memory\n", stderr);
    return out;
  }
  if (!readOperand(left, a.get(), report) || !readOperand(right, b.get(), report)) return out;
  switch (op) {
    case Op::kAdd: out.bits = bcd_add(a.get(), b.get(), r.get()); break;
    case Op::kSub: out.bits = bcd_sub(a.get(), b.get(), r.get()); break;
    case Op::kMul: out.bits = bcd_mult(a.get(), b.get(), r.get()); break;
    case Op::kDiv: out.bits = bcd_div(a.get(), b.get(), r.get()); break;
  }
  if (out.bits & BCD_DIVZERO) {
    if (report) std::fputs("ovtool: division by zero\n", stderr);
    return out;
  }
  out.text = textOf(r.get());
  out.point = r.get()->point;
  out.ok = true;
  return out;
}

// Prints what each bit of a binary operation's result means.  `wide` is
// the same operation with max_precision 255 (ok false if not available).
void explainArithmetic(Op op, const Outcome &got, const Outcome &wide, const char *left, const char *right) {
  const int precision = bcd_maxprec();
  const int scale = bcd_maxscale();
  const Digits result = digitsOf(got.text.c_str());
  // The wide result is exact unless it was cut itself.
  const bool wideExact = wide.ok && !(op == Op::kMul && (wide.bits & BCD_TRUNCATED)) && wide.point < 127;
  const bool lostDigits = wideExact && wide.text != got.text;
  const int integer = wideExact ? digitsOf(wide.text.c_str()).integer : result.integer;
  if ((got.bits & BCD_OVERFLOW) && op == Op::kDiv && integer <= precision - scale) {
    // A one-digit divisor's quotient is judged before its leading zero
    // position is dropped, so it counts one integer position more.
    std::printf("overflow: a quotient by a one-digit divisor is judged on its integer positions before the "
                "leading zero is dropped, here %d, more than the %d that max_precision - max_scale (%d - %d) "
                "allows; every digit is kept\n",
                integer + 1, precision - scale, precision, scale);
  } else if (got.bits & BCD_OVERFLOW) {
    std::printf("overflow: the %s has %s before the point, more than the %d that max_precision - max_scale "
                "(%d - %d) allows an integer part%s\n",
                op == Op::kDiv ? "quotient" : "result", digitCount(integer).c_str(), precision - scale,
                precision, scale,
                lostDigits ? "" : op == Op::kDiv ? "; no digit of it is lost" : "; every digit is kept, the value is exact");
  }
  if ((got.bits & BCD_TRUNCATED) && op == Op::kMul)
    std::printf("truncated: the operands have %s together, more than max_precision %d, so they were cut at "
                "the right before multiplying\n",
                digitCount(digitsOf(left).stored + digitsOf(right).stored).c_str(), precision);
  if (lostDigits) {
    const int lost = digitsOf(wide.text.c_str()).span - result.span;
    std::printf("lost: %s of the result did not fit max_precision %d; with max_precision %d it is %s\n",
                lost > 0 ? digitCount(lost).c_str() : "digits", precision, kWidePrecision, wide.text.c_str());
  }
}

int runArithmetic(Op op, const char *left, const char *right) {
  const Outcome got = compute(op, left, right, true);
  if (!got.ok) return 1;
  std::puts(got.text.c_str());
  std::printf("status: %s\n", bitsInWords(got.bits).c_str());
  if (got.bits & (BCD_TRUNCATED | BCD_OVERFLOW)) {
    // The same operation once more with room for every digit; limits
    // change only while no number exists.
    const int precision = bcd_maxprec();
    const int scale = bcd_maxscale();
    bcd_setGlobals(kWidePrecision, static_cast<uint16_t>(scale));
    const Outcome wide = compute(op, left, right, false);
    bcd_setGlobals(static_cast<uint16_t>(precision), static_cast<uint16_t>(scale));
    explainArithmetic(op, got, wide, left, right);
  }
  return 0;
}

// A whole number 0 .. 255 given in decimal digits.
bool parseByte(const char *arg, int *value) {
  if (*arg == '\0' || std::strlen(arg) > 3) return false;
  int v = 0;
  for (const char *p = arg; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
  }
  if (v > 255) return false;
  *value = v;
  return true;
}

// "P/S" with 1 <= P <= 255 and 0 <= S <= P.
bool parseLimits(const char *arg, int *precision, int *scale) {
  const char *slash = std::strchr(arg, '/');
  if (slash == nullptr || slash - arg > 3) return false;
  char head[4] = {};
  std::memcpy(head, arg, static_cast<std::size_t>(slash - arg));
  return parseByte(head, precision) && parseByte(slash + 1, scale) && *precision >= 1 &&
         *scale <= *precision;
}

int runPack(char **argv) {
  int precision = 0;
  int scale = 0;
  if (!parseByte(argv[2], &precision) || !parseByte(argv[3], &scale)) return usage(kUsage);
  Number a, back;
  if (!a || !back) {
    std::fputs("ovtool: out of memory\n", stderr);
    return 1;
  }
  if (!readOperand(argv[1], a.get())) return 1;
  unsigned char packed[256 / 2 + 4];
  const int bits = bcd_pack(a.get(), packed, static_cast<uint8_t>(precision), static_cast<uint8_t>(scale));
  if (bits < 0) {
    std::fprintf(stderr, "ovtool: precision %d or scale %d exceeds the limits %d and %d\n", precision, scale,
                 bcd_maxprec(), bcd_maxscale());
    return 1;
  }
  const int bytes = (precision + 1) / 2 + 4;
  for (int i = 0; i < bytes; ++i) std::printf(i ? " %02x" : "%02x", packed[i]);
  std::putchar('\n');
  bcd_unpack(packed, back.get(), 0);
  const std::string text = textOf(back.get());
  std::puts(text.c_str());
  std::printf("status: %s\n", bitsInWords(bits).c_str());
  const Digits given = digitsOf(argv[1]);
  const Digits kept = digitsOf(text.c_str());
  if ((bits & BCD_OVERFLOW) && precision < scale)
    std::printf("overflow: with scale %d above precision %d the packed form holds only the digits %d to %d "
                "places after the point, and %s reaches above them (a zero's point counts as 0)\n",
                scale, precision, scale - precision + 1, scale, quoteArg(argv[1]).c_str());
  else if ((bits & BCD_OVERFLOW) && given.integer > precision - scale)
    std::printf("overflow: %s has %s before the point, the packed form holds precision - scale (%d - %d) = %d; "
                "%s lost at the left\n",
                quoteArg(argv[1]).c_str(), digitCount(given.integer).c_str(), precision, scale, precision - scale,
                digitCount(given.integer - (precision - scale)).c_str());
  if ((bits & BCD_TRUNCATED) && given.fraction > kept.fraction)
    std::printf("truncated: %s has %s after the point, the packed form holds scale %d; %s lost at the right\n",
                quoteArg(argv[1]).c_str(), digitCount(given.fraction).c_str(), scale,
                digitCount(given.fraction - kept.fraction).c_str());
  return 0;
}

}  // namespace

int cmdDec(int argc, char **argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "--limits")) {
    int precision = 0;
    int scale = 0;
    if (argc < 3 || !parseLimits(argv[2], &precision, &scale)) {
      std::fprintf(stderr, "ovtool: --limits takes P/S with 1 <= P <= 255 and 0 <= S <= P, not %s\n",
                   argc < 3 ? "nothing" : quoteArg(argv[2]).c_str());
      return usage(kUsage);
    }
    bcd_setGlobals(static_cast<uint16_t>(precision), static_cast<uint16_t>(scale));  // no number exists yet
    argv[2] = argv[0];  // the rest reads as a command of its own: dec OP ...
    return cmdDec(argc - 2, argv + 2);
  }
  if (argc < 3) return usage(kUsage);
  const char *op = argv[1];
  if (!std::strcmp(op, "pack")) return argc == 5 ? runPack(argv + 1) : usage(kUsage);
  static const struct {
    const char *name;
    Op op;
  } arithmetic[] = {{"add", Op::kAdd}, {"sub", Op::kSub}, {"mul", Op::kMul}, {"div", Op::kDiv}};
  for (const auto &a : arithmetic)
    if (!std::strcmp(op, a.name)) return argc == 4 ? runArithmetic(a.op, argv[2], argv[3]) : usage(kUsage);

  const bool compare = !std::strcmp(op, "cmp");
  const bool rounding = !std::strcmp(op, "ceil") || !std::strcmp(op, "floor");
  if ((!compare && !rounding) || argc != (compare ? 4 : 3)) return usage(kUsage);
  Number a, b;
  if (!a || !b) {
    std::fputs("ovtool: out of memory\n", stderr);
    return 1;
  }
  if (!readOperand(argv[2], a.get())) return 1;
  if (compare) {
    if (!readOperand(argv[3], b.get())) return 1;
    const int order = bcd_compare(a.get(), b.get());
    std::printf("%d (%s)\n", order, order < 0 ? "less" : order > 0 ? "greater" : "equal");
    return 0;
  }
  if (op[0] == 'c')
    bcd_ceiling(a.get());
  else
    bcd_floor(a.get());
  std::puts(textOf(a.get()).c_str());
  std::printf("status: %s\n", bitsInWords(a.get()->status).c_str());
  return 0;
}
