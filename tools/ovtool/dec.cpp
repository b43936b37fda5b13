/*
 * dec.cpp - `ovtool dec OP A [B]`: decimal arithmetic from the command line.
 *
 *   add|sub|mul|div A B   the result and the status bits it reports
 *   cmp A B               the comparison's value and its meaning
 *   ceil|floor A          A rounded up or down to a whole number
 *   pack A PREC SCALE     the packed bytes in hex, the number unpacked again
 *
 * Numbers are read with bcd_fromChar; one that the reader rejects or that
 * loses digits on the way in is reported on stderr (exit 1).  Results are
 * printed as bcd_toChar writes them.
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ovbase/bcd.h"
#include "ovtool.h"

namespace {

constexpr const char *kUsage = "dec add|sub|mul|div|cmp A B | dec ceil|floor A | dec pack A PRECISION SCALE";

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

// Reads text into x; on any verdict but 0 explains it on stderr.
bool readOperand(const char *text, BCD *x) {
  const int r = bcd_fromChar(text, x);
  if (r == 0) return true;
  if (r == BCD_SYNTAX)
    std::fprintf(stderr, "ovtool: '%s' is not a decimal number (rejected)\n", text);
  else
    std::fprintf(stderr, "ovtool: '%s' does not fit a decimal number (%s)\n", text, bitsInWords(r).c_str());
  return false;
}

// Prints x as the library writes it; returns the writer's bits.
int printNumber(const BCD *x) {
  char text[600];  // longer than any number's text
  const int bits = bcd_toChar(x, text, sizeof text);
  std::puts(text);
  return bits;
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
  const int textBits = printNumber(back.get());
  std::printf("status: %s\n", bitsInWords(bits | textBits).c_str());
  return 0;
}

}  // namespace

int cmdDec(int argc, char **argv) {
  if (argc < 3) return usage(kUsage);
  const char *op = argv[1];
  const bool binary = !std::strcmp(op, "add") || !std::strcmp(op, "sub") || !std::strcmp(op, "mul") ||
                      !std::strcmp(op, "div") || !std::strcmp(op, "cmp");
  const bool rounding = !std::strcmp(op, "ceil") || !std::strcmp(op, "floor");
  if (!std::strcmp(op, "pack")) return argc == 5 ? runPack(argv + 1) : usage(kUsage);
  if ((!binary && !rounding) || argc != (binary ? 4 : 3)) return usage(kUsage);

  Number a, b, r;
  if (!a || !b || !r) {
    std::fputs("ovtool: out of memory\n", stderr);
    return 1;
  }
  if (!readOperand(argv[2], a.get())) return 1;
  if (binary && !readOperand(argv[3], b.get())) return 1;

  int bits = 0;
  if (!std::strcmp(op, "cmp")) {
    const int order = bcd_compare(a.get(), b.get());
    std::printf("%d (%s)\n", order, order < 0 ? "less" : order > 0 ? "greater" : "equal");
    return 0;
  }
  if (rounding) {
    if (op[0] == 'c')
      bcd_ceiling(a.get());
    else
      bcd_floor(a.get());
    bits = a.get()->status | printNumber(a.get());
  } else {
    if (!std::strcmp(op, "add"))
      bits = bcd_add(a.get(), b.get(), r.get());
    else if (!std::strcmp(op, "sub"))
      bits = bcd_sub(a.get(), b.get(), r.get());
    else if (!std::strcmp(op, "mul"))
      bits = bcd_mult(a.get(), b.get(), r.get());
    else
      bits = bcd_div(a.get(), b.get(), r.get());
    bits |= printNumber(r.get());
  }
  std::printf("status: %s\n", bitsInWords(bits).c_str());
  return 0;
}
