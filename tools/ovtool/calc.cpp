/*
 * calc.cpp - `ovtool calc 'EXPR'`: an exact decimal calculator.
 *
 * EXPR holds decimal numbers (digits with at most one '.'), + - * /,
 * parentheses and unary minus, with blanks anywhere between tokens.  It is
 * parsed by ov_yyparse with the tables that yacc made from calc.y at build
 * time; the semantic values on the parser's stack are the decimal numbers
 * themselves (bcd_maxprec() + 5 bytes each), computed with the bcd_
 * functions.  Prints the result as bcd_toChar writes it and the status bits
 * gathered on the way ("status: none" when nothing was lost).  A syntax
 * error is reported on stderr with its position (1 = the first character),
 * exit 1; so is a division by zero anywhere in the expression.
 */
#include <cstdio>
#include <cstring>
#include <string>

#include "calc_tables.h"
#include "ovbase/bcd.h"
#include "ovbase/ovparse.h"
#include "ovtool.h"

namespace {

constexpr const char *kUsage = "calc 'EXPR'   (numbers, + - * /, parentheses, unary minus)";
// A token number past every token of the grammar: no state accepts it.
constexpr int16_t kUnknownToken = calc_tokenCount;

// Rule numbers of calc.y.
enum Rule { kLine = 1, kAdd, kSub, kMul, kDiv, kNegate, kParens, kNumber };

struct Calc {
  const char *text;
  std::size_t next = 0;       // index of the next character to read
  std::size_t tokenAt = 0;    // index of the last token read
  std::size_t tokenLength = 0;
  std::size_t valueSize = 0;
  BCD *scratch = nullptr;     // result of a binary operation before it is copied
  BCD *answer = nullptr;      // the value of the whole expression
  int bits = 0;               // status bits of every reading and operation
  const char *problem = nullptr;
};

// The driver's token number of a one-character token of calc.y, or kUnknownToken.
int16_t charToken(char c) {
  for (int t = 0; t < calc_tokenCount; ++t)
    if (calc_externalTokens[t] == static_cast<unsigned char>(c)) return static_cast<int16_t>(t);
  return kUnknownToken;
}

int16_t lex(void *context, void *value) {
  Calc &calc = *static_cast<Calc *>(context);
  const char *s = calc.text;
  while (s[calc.next] == ' ' || s[calc.next] == '\t') ++calc.next;
  calc.tokenAt = calc.next;
  calc.tokenLength = 0;
  const char c = s[calc.next];
  if (c == '\0') return 0;
  if ((c >= '0' && c <= '9') || c == '.') {
    std::size_t end = calc.next;
    while ((s[end] >= '0' && s[end] <= '9') || s[end] == '.') ++end;
    calc.tokenLength = end - calc.next;
    calc.next = end;
    char number[400];
    if (calc.tokenLength >= sizeof number) {
      calc.problem = "number too long";
      return kUnknownToken;
    }
    std::memcpy(number, s + calc.tokenAt, calc.tokenLength);
    number[calc.tokenLength] = '\0';
    const int read = bcd_fromChar(number, static_cast<BCD *>(value));
    if (read == BCD_SYNTAX) {
      calc.problem = "not a decimal number";
      return kUnknownToken;
    }
    calc.bits |= read;
    return calc_token_NUM;
  }
  calc.tokenLength = 1;
  ++calc.next;
  const int16_t token = charToken(c);
  if (token == kUnknownToken) calc.problem = "unexpected character";
  return token;
}

int16_t act(void *context, void *top, int rule, void *result) {
  Calc &calc = *static_cast<Calc *>(context);
  const auto below = [&](int k) {
    return reinterpret_cast<const BCD *>(static_cast<const unsigned char *>(top) - k * calc.valueSize);
  };
  BCD *r = static_cast<BCD *>(result);
  switch (rule) {
    case kLine:
      std::memcpy(calc.answer, r, calc.valueSize);
      break;
    case kAdd:
    case kSub:
    case kMul:
    case kDiv: {
      const BCD *a = below(2);
      const BCD *b = below(0);
      calc.bits |= rule == kAdd   ? bcd_add(a, b, calc.scratch)
                   : rule == kSub ? bcd_sub(a, b, calc.scratch)
                   : rule == kMul ? bcd_mult(a, b, calc.scratch)
                                  : bcd_div(a, b, calc.scratch);
      std::memcpy(r, calc.scratch, calc.valueSize);
      break;
    }
    case kNegate:
      std::memcpy(r, below(0), calc.valueSize);
      if (!bcd_isZero(r)) bcd_chgSign(r);
      break;
    case kParens:
      std::memcpy(r, below(1), calc.valueSize);
      break;
    case kNumber:
      break;  // the number's value arrives in r already
    default:
      return 1;
  }
  return 0;
}

}  // namespace

int cmdCalc(int argc, char **argv) {
  if (argc != 2) return usage(kUsage);
  Calc calc;
  calc.text = argv[1];
  calc.valueSize = bcd_maxprec() + 5u;
  calc.scratch = bcd_allocate(nullptr);
  calc.answer = bcd_allocate(nullptr);
  if (calc.scratch == nullptr || calc.answer == nullptr) {
    bcd_free(calc.scratch);
    bcd_free(calc.answer);
    std::fputs("ovtool: out of memory\n", stderr);
    return 1;
  }
  PARSEARGS args{};
  args.valueSize = static_cast<uint32_t>(calc.valueSize);
  args.context = &calc;
  args.tables = &calc_tables;
  args.lexer = lex;
  args.action = act;
  const int result = ov_yyparse(&args);
  int rc = 0;
  if (result == 0 && (calc.bits & BCD_DIVZERO) != 0) {
    // The quotient of a division by zero is left unset, so there is no
    // result to print: say so, as `dec div` does.
    std::fputs("ovtool: division by zero\n", stderr);
    rc = 1;
  } else if (result == 0) {
    char text[600];  // longer than any number's text
    calc.bits |= bcd_toChar(calc.answer, text, sizeof text);
    std::printf("%s\nstatus: %s\n", text, bitsInWords(calc.bits).c_str());
  } else if (result == 3) {
    const std::string near(calc.text + calc.tokenAt, calc.tokenLength);
    if (calc.tokenLength == 0)
      std::fprintf(stderr, "ovtool: syntax error at position %zu: unexpected end of expression\n", calc.tokenAt + 1);
    else
      std::fprintf(stderr, "ovtool: syntax error at position %zu: %s '%s'\n", calc.tokenAt + 1,
                   calc.problem ? calc.problem : "unexpected", near.c_str());
    rc = 1;
  } else {
    std::fprintf(stderr, "ovtool: the parser stopped with status %d\n", result);
    rc = 1;
  }
  bcd_free(calc.scratch);
  bcd_free(calc.answer);
  return rc;
}
