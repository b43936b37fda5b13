// The parser driver against the generator's own parsers: the tables of the
// grammars in tests/grammars/ are generated at build time, renumbered for
// ov_yyparse, and every parse is compared with the generated parser fed the
// same tokens (same result, same reductions in the same order, same values).
// Then what the oracle cannot show: stack growth, zero fill, memory
// exhaustion, circular recovery, parallel and nested parses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "alternate_tables.h"
#include "counter_tables.h"
#include "expr_tables.h"
#include "loopstmt_tables.h"
#include "oracle.h"
#include "ovbase/ovparse.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "platform/testhooks.h"
#include "stmt_tables.h"
#include "tailerr_tables.h"
#include "three_tables.h"

extern "C" {
int expr_yyparse(void);
int stmt_yyparse(void);
int three_yyparse(void);
int loopstmt_yyparse(void);
int counter_yyparse(void);
int alternate_yyparse(void);
int tailerr_yyparse(void);
}

namespace {

struct Grammar {
  const char *name;
  const PARSETABLES *tables;
  const long *externalTokens;  // per driver token: the generated parser's code
  const char *const *tokenNames;
  int tokenCount;
  int (*oracle)(void);
  std::vector<std::pair<int, int>> errorSymbols;  // (rule, place) of each `error` on a right side
};

// The generated names of one grammar, and its error symbols.
#define OV_GRAMMAR_OF(name, ...)                                                                           \
  Grammar {                                                                                               \
    #name, &name##_tables, name##_externalTokens, name##_tokenNames, name##_tokenCount, name##_yyparse, \
        __VA_ARGS__                                                                                       \
  }
const Grammar kExpr = OV_GRAMMAR_OF(expr, {});
const Grammar kStmt = OV_GRAMMAR_OF(stmt, {{9, 3}, {10, 1}});
const Grammar kThree = OV_GRAMMAR_OF(three, {});
const Grammar kLoopStmt = OV_GRAMMAR_OF(loopstmt, {{5, 1}});
const Grammar kCounter = OV_GRAMMAR_OF(counter, {{3, 1}, {5, 1}});
const Grammar kAlternate = OV_GRAMMAR_OF(alternate, {{4, 1}, {6, 2}});
const Grammar kTailErr = OV_GRAMMAR_OF(tailerr, {{2, 2}});
const Grammar *const kGrammars[] = {&kExpr, &kStmt, &kThree, &kLoopStmt, &kCounter, &kAlternate};

// Driver token number of a token written as in the grammar: NUM, '+'.
int16_t tokenOf(const Grammar &g, const std::string &word) {
  for (int t = 0; t < g.tokenCount; ++t)
    if (word == g.tokenNames[t]) return static_cast<int16_t>(t);
  ADD_FAILURE() << "no token " << word << " in " << g.name;
  return 0;
}

std::vector<int16_t> tokensOf(const Grammar &g, const std::string &text) {
  std::vector<int16_t> tokens;
  std::size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
    const std::size_t end = text.find(' ', at);
    tokens.push_back(tokenOf(g, text.substr(at, end - at)));
    at = end;
  }
  return tokens;
}

// The value of the token at position `index` of a stream, and of a
// reduction by `rule` over `count` right-side values: a hash that depends on
// every value and its place, so a wrong `top`, a missing copy or a swapped
// value shows in the result.
OvValue tokenValue(std::size_t index, int16_t token) { return (index + 1) * 0x9E3779B97F4A7C15ull ^ token; }
OvValue reduceValue(int rule, int count, const OvValue *values) {
  OvValue h = 0xcbf29ce484222325ull + static_cast<OvValue>(rule) * 0x100000001b3ull;
  for (int k = 0; k < count; ++k) h = (h ^ values[k]) * 0x100000001b3ull + static_cast<OvValue>(k);
  return h;
}

struct Trace {
  int result = 0;
  std::vector<std::pair<int, OvValue>> reductions;
  int lexerCalls = 0;
  bool looped = false;  // the oracle went round without reading (guard fired)
  bool operator==(const Trace &o) const {
    return result == o.result && reductions == o.reductions && lexerCalls == o.lexerCalls;
  }
};

std::string show(const Trace &t) {
  std::string s = "result " + std::to_string(t.result) + ", " + std::to_string(t.lexerCalls) + " reads, rules";
  for (const auto &r : t.reductions) s += " " + std::to_string(r.first);
  return s + (t.looped ? " (looped)" : "");
}

// ---- the generated parser, fed through the oracle hooks ----------------------

struct OracleRun {
  OracleRun(const Grammar *g, const std::vector<int16_t> *t) : grammar(g), tokens(t) {}
  const Grammar *grammar;
  const std::vector<int16_t> *tokens;
  std::size_t next = 0;
  int haltAfter = -1;  // stop after this many reductions (an action's status)
  int sinceRead = 0;
  Trace trace;
};
OracleRun *oracleRun = nullptr;  // the generated parsers are not re-entrant

Trace runOracle(const Grammar &g, const std::vector<int16_t> &tokens, int haltAfter = -1) {
  OracleRun run{&g, &tokens};
  run.haltAfter = haltAfter;
  oracleRun = &run;
  const int rc = g.oracle();
  oracleRun = nullptr;
  const bool halted = haltAfter >= 0 && static_cast<int>(run.trace.reductions.size()) == haltAfter;
  run.trace.result = rc == 0 ? 0 : halted ? 7 : 3;
  return run.trace;
}

}  // namespace

extern "C" int ovOracleLex(OvValue *value) {
  OracleRun &run = *oracleRun;
  ++run.trace.lexerCalls;
  run.sinceRead = 0;
  const int16_t token = run.next < run.tokens->size() ? (*run.tokens)[run.next] : 0;
  *value = tokenValue(run.next, token);
  if (run.next < run.tokens->size()) ++run.next;
  return static_cast<int>(run.grammar->externalTokens[token]);
}
extern "C" void ovOracleError(void) {}
extern "C" OvValue ovOracleReduce(int rule, int count, const OvValue *values) {
  const OvValue v = reduceValue(rule, count, values);
  oracleRun->trace.reductions.emplace_back(rule, v);
  ++oracleRun->sinceRead;
  return v;
}
extern "C" int ovOracleHalt(void) {
  OracleRun &run = *oracleRun;
  if (run.sinceRead > 5000) run.trace.looped = true;
  return run.trace.looped || static_cast<int>(run.trace.reductions.size()) == run.haltAfter;
}

namespace {

// ---- ov_yyparse with the same tokens ---------------------------------------

// Values are valueSize bytes: the hash, then bytes derived from it, so that
// a copy of fewer bytes than valueSize is seen.
struct DriverRun {
  DriverRun(const Grammar *g, const std::vector<int16_t> *t, uint32_t size = 8)
      : grammar(g), tokens(t), valueSize(size) {}
  const Grammar *grammar;
  const std::vector<int16_t> *tokens;
  uint32_t valueSize = 8;
  int16_t endToken = 0;      // what the lexer returns at the end (0 or negative)
  int haltAfter = -1;
  std::size_t next = 0;
  int aborts = 0;
  int badValues = 0;         // values whose padding or incoming copy was wrong
  const Trace *nestedWant = nullptr;  // when set, the first reduction runs a nested parse
  std::vector<OvValue> errorValues;   // values the error symbols had
  Trace trace;
};

// The nested parse: a list on the three-symbol grammar.
const std::vector<int16_t> &nestedTokens() {
  static const std::vector<int16_t> tokens = {three_token_A, three_token_B, three_token_C,
                                              three_token_B, three_token_A, three_token_C};
  return tokens;
}
DriverRun runDriver(const struct Grammar &g, const std::vector<int16_t> &tokens, uint32_t valueSize = 8,
                    int haltAfter = -1, int16_t endToken = 0);

void storeValue(void *slot, OvValue v, uint32_t size) {
  auto *bytes = static_cast<unsigned char *>(slot);
  std::memcpy(bytes, &v, std::min<std::size_t>(sizeof v, size));
  for (uint32_t i = sizeof v; i < size; ++i) bytes[i] = static_cast<unsigned char>(v >> (i % 8 * 8)) ^ i;
}
bool loadValue(const void *slot, uint32_t size, OvValue *v) {
  *v = 0;
  std::memcpy(v, slot, std::min<std::size_t>(sizeof *v, size));
  for (uint32_t i = sizeof *v; i < size; ++i)
    if (static_cast<const unsigned char *>(slot)[i] != (static_cast<unsigned char>(*v >> (i % 8 * 8)) ^ i))
      return false;
  return true;
}

int16_t driverLex(void *context, void *value) {
  DriverRun &run = *static_cast<DriverRun *>(context);
  ++run.trace.lexerCalls;
  const bool atEnd = run.next >= run.tokens->size();
  const int16_t token = atEnd ? 0 : (*run.tokens)[run.next];
  storeValue(value, tokenValue(run.next, token), run.valueSize);
  if (!atEnd) ++run.next;
  return atEnd ? run.endToken : token;
}

int16_t driverAction(void *context, void *top, int rule, void *result) {
  DriverRun &run = *static_cast<DriverRun *>(context);
  const int count = static_cast<uint16_t>(run.grammar->tables->ruleLength[rule]);
  std::vector<OvValue> values(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k)  // the k-th symbol lies (count - 1 - k) values below top
    if (!loadValue(static_cast<unsigned char *>(top) - (count - 1 - k) * run.valueSize, run.valueSize, &values[k]))
      ++run.badValues;
  OvValue incoming = 0;
  if (count > 0 && (!loadValue(result, run.valueSize, &incoming) || incoming != values[0])) ++run.badValues;
  for (const auto &[errorRule, place] : run.grammar->errorSymbols)
    if (errorRule == rule) {
      run.errorValues.push_back(values[static_cast<std::size_t>(place - 1)]);
      values[static_cast<std::size_t>(place - 1)] = OV_ERR;
    }
  if (run.nestedWant && run.trace.reductions.empty()) {
    const DriverRun inner = runDriver(kThree, nestedTokens(), 16);
    if (!(inner.trace == *run.nestedWant) || inner.badValues) ++run.badValues;
  }
  const OvValue v = reduceValue(rule, count, values.data());
  storeValue(result, v, run.valueSize);
  run.trace.reductions.emplace_back(rule, v);
  return static_cast<int>(run.trace.reductions.size()) == run.haltAfter ? 7 : 0;
}

void driverAbort(void *context) { ++static_cast<DriverRun *>(context)->aborts; }

PARSEARGS argsFor(DriverRun &run) {
  PARSEARGS args{};
  args.valueSize = run.valueSize;
  args.context = &run;
  args.tables = run.grammar->tables;
  args.lexer = driverLex;
  args.action = driverAction;
  args.onAbort = driverAbort;
  return args;
}

DriverRun runDriver(const Grammar &g, const std::vector<int16_t> &tokens, uint32_t valueSize, int haltAfter,
                    int16_t endToken) {
  DriverRun run(&g, &tokens, valueSize);
  run.endToken = endToken;
  run.haltAfter = haltAfter;
  const PARSEARGS args = argsFor(run);
  run.trace.result = ov_yyparse(&args);
  return run;
}

// Compares one stream on both parsers; returns a description of the first
// difference, or "" when they agree.
std::string compare(const Grammar &g, const std::vector<int16_t> &tokens, uint32_t valueSize = 8,
                    int haltAfter = -1) {
  // A generated parser that goes round in circles would not stop at the
  // same reduction as the driver, which breaks the circle.
  if (haltAfter >= 0 && runOracle(g, tokens).looped) haltAfter = -1;
  const Trace want = runOracle(g, tokens, haltAfter);
  const DriverRun got = runDriver(g, tokens, valueSize, haltAfter);
  if (got.badValues) return "value copies wrong: " + show(got.trace);
  if (want.looped) return got.trace.result == 0 || got.trace.result == 3 ? "" : "loop not broken: " + show(got.trace);
  if (!(want == got.trace)) return "generator: " + show(want) + "\n   driver: " + show(got.trace);
  if (got.aborts > (got.trace.result == 3 ? 1 : 0))
    return "onAbort called " + std::to_string(got.aborts) + " times";
  return "";
}

std::string describe(const Grammar &g, const std::vector<int16_t> &tokens) {
  std::string s = std::string(g.name) + ":";
  for (int16_t t : tokens) s += " " + std::to_string(t);
  return s;
}

// ---- differential tests ----------------------------------------------------

struct Sentence {
  const Grammar *grammar;
  const char *text;
  int result;  // what both parsers must return
};

constexpr Sentence kSentences[] = {
    {&kExpr, "NUM", 0},
    {&kExpr, "NUM '+' NUM '*' NUM", 0},
    {&kExpr, "NUM '*' NUM '+' NUM '-' NUM '/' NUM", 0},
    {&kExpr, "'-' NUM '*' '-' '(' NUM '-' NUM ')'", 0},
    {&kExpr, "'(' '(' NUM ')' ')' '/' NUM", 0},
    {&kExpr, "", 3},
    {&kExpr, "NUM '+'", 3},
    {&kExpr, "NUM NUM", 3},
    {&kExpr, "')'", 3},
    {&kStmt, "", 0},
    {&kStmt, "ID '=' NUM ';' ID '=' ID '+' '(' NUM '+' ID ')' ';'", 0},
    {&kStmt, "IF '(' ID ')' IF '(' NUM ')' ';' ELSE ';'", 0},
    {&kStmt, "WHILE '(' ID ')' '{' ID '=' NUM ';' ';' '}'", 0},
    {&kStmt, "ID '=' NUM NUM ';' ID '=' NUM ';'", 0},          // recovery by error ';'
    {&kStmt, "ID ID ID ';' ';'", 0},                          // tokens discarded one at a time
    {&kStmt, "WHILE '(' ';' ID ')' ';'", 0},                  // WHILE ( error ) stmt
    {&kStmt, "'{' ID '=' '}' ';'", 3},       // '}' discarded, then the end comes too early
    {&kStmt, "ID '=' NUM NUM", 3},                            // end of input while discarding
    {&kStmt, "'}'", 3},
    {&kStmt, "'{' ID '=' ';' '}' ID '=' NUM ';'", 0},
    {&kThree, "", 0},
    {&kThree, "A B C A C B A B B C", 0},
    {&kThree, "A B", 3},
    {&kThree, "C", 3},
    {&kLoopStmt, "X ';' X ';'", 0},
    {&kCounter, "X Y", 0},
    {&kCounter, "Y Y", 0},
    {&kCounter, "X Z", 0},
    {&kCounter, "Z Z Y", 0},
    {&kLoopStmt, "X X", 0},                  // stmt: error, then X ';' missing its ';' at the end
    {&kAlternate, "D Y", 0},
    {&kAlternate, "D X Z", 3},
};

TEST(Ovparse, HandWrittenSentencesMatchTheGenerator) {
  for (const Sentence &s : kSentences) {
    const std::vector<int16_t> tokens = tokensOf(*s.grammar, s.text);
    SCOPED_TRACE(std::string(s.grammar->name) + ": " + s.text);
    const Trace plain = runDriver(*s.grammar, tokens).trace;
    EXPECT_EQ(plain.result, s.result);
    for (uint32_t valueSize : {8u, 8u + 37u}) EXPECT_EQ(compare(*s.grammar, tokens, valueSize), "");
    for (int16_t end : {-1, -32768})  // a negative token is end of input
      EXPECT_TRUE(runDriver(*s.grammar, tokens, 8, -1, end).trace == plain) << "end " << end;
  }
}

bool usesErrorRule(const Grammar &g, const Trace &trace) {
  for (const auto &reduction : trace.reductions)
    for (const auto &errorSymbol : g.errorSymbols)
      if (errorSymbol.first == reduction.first) return true;
  return false;
}

// Random streams, and valid sentences with one token inserted, deleted or
// replaced, stopped by an action at a random reduction now and then.
TEST(Ovparse, RandomStreamsMatchTheGenerator) {
  std::mt19937 rng(20261206);
  int compared = 0;
  int outcomes[3] = {0, 0, 0};  // accepted, aborted, recovery going round in the generated parser
  int recovered = 0;
  for (const Grammar *g : kGrammars) {
    std::vector<std::vector<int16_t>> seeds;
    for (const Sentence &s : kSentences)
      if (s.grammar == g && s.result == 0) seeds.push_back(tokensOf(*g, s.text));
    std::uniform_int_distribution<int> token(0, g->tokenCount - 1);
    for (int i = 0; i < 800; ++i) {
      std::vector<int16_t> tokens;
      if (i % 2 == 0 || seeds.empty()) {
        const int length = static_cast<int>(rng() % 24);
        for (int k = 0; k < length; ++k) tokens.push_back(static_cast<int16_t>(token(rng)));
      } else {
        tokens = seeds[rng() % seeds.size()];
        const std::size_t at = tokens.empty() ? 0 : rng() % (tokens.size() + 1);
        switch (rng() % 3) {
          case 0: tokens.insert(tokens.begin() + static_cast<long>(at), static_cast<int16_t>(token(rng))); break;
          case 1: if (at < tokens.size()) tokens.erase(tokens.begin() + static_cast<long>(at)); break;
          default: if (at < tokens.size()) tokens[at] = static_cast<int16_t>(token(rng)); break;
        }
      }
      const int haltAfter = i % 7 == 3 ? static_cast<int>(rng() % 6) + 1 : -1;
      const uint32_t valueSize = i % 5 == 0 ? 24 : 8;
      const std::string diff = compare(*g, tokens, valueSize, haltAfter);
      ASSERT_EQ(diff, "") << describe(*g, tokens) << " halt after " << haltAfter;
      ++compared;
      const Trace plain = runOracle(*g, tokens);
      ++outcomes[plain.looped ? 2 : plain.result == 0 ? 0 : 1];
      recovered += plain.result == 0 && !plain.looped && usesErrorRule(*g, plain);
    }
  }
  EXPECT_EQ(compared, 800 * 6);
  // The streams reach every kind of ending (about 1600, 2600 and 580 of them).
  EXPECT_GT(outcomes[0], 1000) << "accepted";
  EXPECT_GT(recovered, 500) << "accepted after recovery";
  EXPECT_GT(outcomes[1], 1000) << "aborted";
  EXPECT_GT(outcomes[2], 200) << "recovery going round";
}

// Nesting far beyond the first stack growth, in both directions of
// recursion; the final value depends on every value below the growth points.
TEST(Ovparse, DeepNestingMatchesTheGenerator) {
  for (int depth : {98, 99, 100, 149, 150, 301, 1000}) {
    std::vector<int16_t> parens;
    for (int i = 0; i < depth; ++i) parens.push_back(tokenOf(kExpr, "'('"));
    parens.push_back(expr_token_NUM);
    for (int i = 0; i < depth; ++i) parens.push_back(tokenOf(kExpr, "')'"));
    EXPECT_EQ(compare(kExpr, parens, 40), "") << depth << " parentheses";
    const std::vector<int16_t> list(static_cast<std::size_t>(depth) * 3, three_token_B);
    EXPECT_EQ(compare(kThree, list, 40), "") << depth * 3 << " items";
  }
}

// ---- what only the driver shows --------------------------------------------

struct Outcome {
  const Grammar *grammar;
  const char *text;
  int result;
  int aborts;
  int lexerCalls;
};

TEST(Ovparse, ResultsAbortsAndReads) {
  const Outcome rows[] = {
      {&kThree, "", 0, 0, 1},            // empty input: one read, accepted
      {&kExpr, "NUM ')'", 3, 1, 2},      // no error rule: the stack empties, onAbort once
      {&kExpr, "", 3, 1, 1},
      {&kStmt, "ID '=' NUM NUM", 3, 0, 5},  // input ends while discarding: no onAbort
      {&kStmt, "ID ID ID ';' ';'", 0, 0, 6},
  };
  for (const Outcome &row : rows) {
    const std::vector<int16_t> tokens = tokensOf(*row.grammar, row.text);
    const int64_t before = ov_testOutstandingBlocks();
    const DriverRun run = runDriver(*row.grammar, tokens);
    EXPECT_EQ(run.trace.result, row.result) << row.text;
    EXPECT_EQ(run.aborts, row.aborts) << row.text;
    EXPECT_EQ(run.trace.lexerCalls, row.lexerCalls) << row.text;
    EXPECT_EQ(ov_testOutstandingBlocks(), before) << row.text;
  }
}

// The error symbol's value is that of the last token read, the look-ahead
// that the error was found on (the generated parser keeps another value).
TEST(Ovparse, ErrorSymbolHasTheLookaheadValue) {
  const struct {
    const char *text;
    std::vector<std::size_t> lookaheads;  // stream positions of the errors' look-aheads
  } rows[] = {
      {"ID ID ID ';' ';'", {1}},
      {"WHILE '(' ';' ID ')' ';'", {2}},
      {"ID '=' ';' ID '=' ')' ';'", {2, 5}},
  };
  for (const auto &row : rows) {
    const std::vector<int16_t> tokens = tokensOf(kStmt, row.text);
    const DriverRun run = runDriver(kStmt, tokens);
    std::vector<OvValue> want;
    for (std::size_t at : row.lookaheads) want.push_back(tokenValue(at, tokens[at]));
    EXPECT_EQ(run.errorValues, want) << row.text;
  }
}

TEST(Ovparse, ActionStatusStopsAtOnce) {
  const std::vector<int16_t> tokens = tokensOf(kExpr, "NUM '+' NUM '*' NUM");
  for (int haltAfter : {1, 2, 4}) {
    const int64_t before = ov_testOutstandingBlocks();
    const DriverRun run = runDriver(kExpr, tokens, 8, haltAfter);
    EXPECT_EQ(run.trace.result, 7);
    EXPECT_EQ(static_cast<int>(run.trace.reductions.size()), haltAfter);
    EXPECT_EQ(run.aborts, 0);
    EXPECT_EQ(ov_testOutstandingBlocks(), before);
  }
}

// Both stacks start with 100 entries and grow by 50 when the depth reaches
// the capacity minus one; growth is zero-filled, which an empty rule shows:
// its incoming result is the slot above the stack, never written before.
// B x n on the list grammar pushes n + 2 entries at the deepest point.
struct EmptyRuleWitness {
  std::vector<unsigned char> incoming;
};
int16_t witnessAction(void *context, void *top, int rule, void *result) {
  DriverRun &run = *static_cast<DriverRun *>(context);
  if (rule == 2) {  // list: /* empty */, once, right after the last item
    auto *bytes = static_cast<unsigned char *>(result);
    for (uint32_t i = 0; i < run.valueSize; ++i) run.badValues += bytes[i] != 0;
  }
  return driverAction(context, top, rule, result);
}

TEST(Ovparse, StacksGrowByFiftyWithZeroFill) {
  const struct {
    int items;
    int growths;
  } rows[] = {{0, 0}, {96, 0}, {97, 0}, {98, 1}, {147, 1}, {148, 2}, {198, 3}, {1000, 19}};
  for (const auto &row : rows) {
    const std::vector<int16_t> tokens(static_cast<std::size_t>(row.items), three_token_B);
    DriverRun run{&kThree, &tokens, 24};
    PARSEARGS args = argsFor(run);
    args.action = witnessAction;
    ov_testFailAllocation(-1);
    run.trace.result = ov_yyparse(&args);
    EXPECT_EQ(run.trace.result, 0) << row.items;
    EXPECT_EQ(run.badValues, 0) << row.items;
    EXPECT_EQ(ov_testAllocationCount(), 4 + 2 * row.growths) << row.items << " items";
  }
}

// Failing each allocation in turn: S_NOMEMORY, nothing outstanding, and
// once nothing fails the same parse as without the hook.  The input nests
// past two growths and has a syntax error (the recovery record).
TEST(Ovparse, ExhaustedMemoryAtEveryAllocation) {
  std::vector<int16_t> tokens;
  for (int i = 0; i < 160; ++i) tokens.push_back(tokenOf(kStmt, "'{'"));
  for (const int16_t t : tokensOf(kStmt, "ID '=' NUM NUM ';' ID '=' NUM ';'")) tokens.push_back(t);
  for (int i = 0; i < 160; ++i) tokens.push_back(tokenOf(kStmt, "'}'"));
  ov_testFailAllocation(-1);
  const DriverRun clean = runDriver(kStmt, tokens);
  const int64_t allocations = ov_testAllocationCount();
  ASSERT_EQ(clean.trace.result, 0);
  ASSERT_GE(allocations, 4 + 2 * 5 + 1);  // the stacks grew five times, and recovery kept a record
  int failures = 0;
  for (int64_t n = 0;; ++n) {
    const int64_t before = ov_testOutstandingBlocks();
    ov_testFailAllocation(n);
    const DriverRun run = runDriver(kStmt, tokens);
    ov_testFailAllocation(-1);
    EXPECT_EQ(ov_testOutstandingBlocks(), before) << "allocation " << n;
    EXPECT_EQ(run.aborts, 0);
    if (run.trace.result != S_NOMEMORY) {
      EXPECT_TRUE(run.trace == clean.trace) << "allocation " << n << ": " << show(run.trace);
      break;
    }
    ++failures;
  }
  EXPECT_EQ(failures, allocations);
}

// Error rules that recovery can reach again without reading a token: the
// generated parser (whose counter every reduction clears, as ours) goes
// round for ever; the driver sees the repeated configuration and discards
// the look-ahead instead.
struct Circle {
  const Grammar *grammar;
  const char *text;
  int result;
  std::vector<int> rules;
  int lexerCalls;
};

TEST(Ovparse, CircularRecoveryDiscardsTheToken) {
  const Circle rows[] = {
      // prog: stmts; stmts: | stmts stmt; stmt: X ';' | error
      {&kLoopStmt, "';'", 0, {2, 5, 3, 1}, 2},
      {&kLoopStmt, "X ';' ';' X ';'", 0, {2, 4, 3, 5, 3, 4, 3, 1}, 6},
      // p: D q; q: a b Y | x Z; a: error; b: ; x: a error
      // a: error, x: a error, then back to the first configuration: X goes
      {&kAlternate, "D X", 3, {4, 6, 4}, 3},
      {&kAlternate, "D X Y", 0, {4, 6, 4, 5, 2, 1}, 4},
      // prog: X | prog error; the circle is in the state that accepts, which
      // then accepts with the counter at 3 (the second Y is dropped at 3)
      {&kTailErr, "X Y", 0, {1, 2}, 3},
      {&kTailErr, "X Y Y", 0, {1, 2}, 4},
  };
  for (const Circle &row : rows) {
    const std::vector<int16_t> tokens = tokensOf(*row.grammar, row.text);
    SCOPED_TRACE(std::string(row.grammar->name) + ": " + row.text);
    EXPECT_TRUE(runOracle(*row.grammar, tokens).looped);
    const int64_t before = ov_testOutstandingBlocks();
    const DriverRun run = runDriver(*row.grammar, tokens);
    std::vector<int> rules;
    for (const auto &r : run.trace.reductions) rules.push_back(r.first);
    EXPECT_EQ(run.trace.result, row.result);
    EXPECT_EQ(rules, row.rules);
    EXPECT_EQ(run.trace.lexerCalls, row.lexerCalls);
    EXPECT_EQ(run.aborts, 0);
    EXPECT_EQ(ov_testOutstandingBlocks(), before);
  }
}

// Every call the driver makes to the memory functions, seen through the
// linker's wrapping of them (see cmake/yacc.cmake).
struct MemCall {
  char kind;  // 'g' ov_getMem, 'x' ov_extendMem, 'f' ov_freeMemory
  uint64_t size;
  int32_t modeOrZeroFill;
  uint64_t growBy;
  uint32_t tag;
  void *memCtx;
  void *block;  // the block handed out or released
  bool operator==(const MemCall &) const = default;
};
std::vector<MemCall> *memLog = nullptr;

}  // namespace

extern "C" {
void *__real_ov_getMem(uint64_t, void *, int32_t, const void *, uint32_t);
void *__real_ov_extendMem(void *, uint64_t, void *, int32_t, uint64_t, uint32_t);
void __real_ov_freeMemory(void *, void *);
void *__wrap_ov_getMem(uint64_t size, void *memCtx, int32_t mode, const void *source, uint32_t tag) {
  void *block = __real_ov_getMem(size, memCtx, mode, source, tag);
  if (memLog) memLog->push_back({'g', size, mode, 0, tag, memCtx, block});
  return block;
}
void *__wrap_ov_extendMem(void *old, uint64_t size, void *memCtx, int32_t zeroFill, uint64_t growBy, uint32_t tag) {
  void *block = __real_ov_extendMem(old, size, memCtx, zeroFill, growBy, tag);
  if (memLog) memLog->push_back({'x', size, zeroFill, growBy, tag, memCtx, block});
  return block;
}
void __wrap_ov_freeMemory(void *block, void *memCtx) {
  if (memLog) memLog->push_back({'f', 0, 0, 0, 0, memCtx, block});
  __real_ov_freeMemory(block, memCtx);
}
}

namespace {

// The four working blocks, one growth of both stacks, and the release in
// the order state stack, value stack, pending value, token value; every call
// with the caller's memory context.
TEST(Ovparse, AllocationCallsSizesAndTags) {
  for (const uint32_t size : {0u, 24u}) {
    const std::vector<int16_t> tokens(98, three_token_B);  // 100 entries deep: one growth
    DriverRun run{&kThree, &tokens, size};
    PARSEARGS args = argsFor(run);
    args.memCtx = &run;
    std::vector<MemCall> log;
    memLog = &log;
    EXPECT_EQ(ov_yyparse(&args), 0);
    memLog = nullptr;
    ASSERT_EQ(log.size(), 10u) << size;
    const MemCall want[] = {
        {'g', 100 * size, MEM_ZERO, 0, 181600056, &run, log[0].block},
        {'g', 200, MEM_ZERO, 0, 181600057, &run, log[1].block},
        {'g', size, MEM_ZERO, 0, 181600058, &run, log[2].block},
        {'g', size, MEM_ZERO, 0, 181600059, &run, log[3].block},
        {'x', 150 * size, 1, 50 * size, 181600089, &run, log[4].block},
        {'x', 300, 1, 100, 181600090, &run, log[5].block},
        {'f', 0, 0, 0, 0, &run, log[5].block},
        {'f', 0, 0, 0, 0, &run, log[4].block},
        {'f', 0, 0, 0, 0, &run, log[2].block},
        {'f', 0, 0, 0, 0, &run, log[3].block},
    };
    for (std::size_t i = 0; i < log.size(); ++i)
      EXPECT_TRUE(log[i] == want[i]) << "value size " << size << ", call " << i << ": " << log[i].kind << " size "
                                     << log[i].size << " tag " << log[i].tag;
  }
}

// An abort releases the four blocks, each once, before onAbort, and calls
// the allocator no more after it.
void loggingAbort(void *) { memLog->push_back({'a', 0, 0, 0, 0, nullptr, nullptr}); }

TEST(Ovparse, AbortReleasesOnceBeforeOnAbort) {
  const std::vector<int16_t> tokens = tokensOf(kExpr, "')'");
  DriverRun run{&kExpr, &tokens};
  PARSEARGS args = argsFor(run);
  args.onAbort = loggingAbort;
  std::vector<MemCall> log;
  memLog = &log;
  EXPECT_EQ(ov_yyparse(&args), 3);
  memLog = nullptr;
  std::string kinds;
  for (const MemCall &c : log) kinds += c.kind;
  EXPECT_EQ(kinds, "ggggxfffffa");  // with the record of the error
}

TEST(Ovparse, UnusableArgumentsCallNothing) {
  const std::vector<int16_t> tokens;
  DriverRun run{&kThree, &tokens};
  EXPECT_EQ(ov_yyparse(nullptr), 3);
  for (int which = 0; which < 3; ++which) {
    PARSEARGS args = argsFor(run);
    if (which == 0) args.tables = nullptr;
    if (which == 1) args.lexer = nullptr;
    if (which == 2) args.action = nullptr;
    EXPECT_EQ(ov_yyparse(&args), 3);
  }
  EXPECT_EQ(run.trace.lexerCalls, 0);
}

// Tables no generator writes: after the error token, a state without shifts
// whose default is an error.  With the look-ahead discarded nothing can
// change, so the parse ends with 3 instead of trying for ever.
TEST(Ovparse, StateThatCannotAdvanceEnds) {
  static constexpr int16_t exceptions[] = {-1, 9, -2, 0};
  static constexpr int16_t actions[] = {0, 1};
  static constexpr int16_t shiftBase[] = {0, -1000};
  static constexpr int16_t gotoBase[] = {0};
  static constexpr int16_t ruleLhs[] = {0};
  static constexpr int16_t ruleLength[] = {0};
  static constexpr int16_t check[] = {-1000, 1};
  static constexpr int16_t defaults[] = {0, 0};
  static constexpr PARSETABLES tables = {1, 2, exceptions, actions, shiftBase, gotoBase,
                                         ruleLhs, ruleLength, check, defaults};
  const Grammar bare{"bare", &tables, nullptr, nullptr, 0, nullptr, {}};
  for (const std::vector<int16_t> &tokens : {std::vector<int16_t>{5}, std::vector<int16_t>{5, 6, 7}}) {
    const DriverRun run = runDriver(bare, tokens);
    EXPECT_EQ(run.trace.result, 3);
    EXPECT_EQ(run.trace.lexerCalls, 1);
    EXPECT_EQ(run.aborts, 0);
  }
}

// Values of no bytes at all: the parse still runs.
int16_t countingLex(void *context, void *) {
  auto &left = *static_cast<std::vector<int16_t> *>(context);
  if (left.empty()) return 0;
  const int16_t token = left.back();
  left.pop_back();
  return token;
}
int16_t acceptingAction(void *, void *, int, void *) { return 0; }

TEST(Ovparse, ZeroSizeValues) {
  std::vector<int16_t> left = tokensOf(kExpr, "')' NUM '(' '*' NUM");  // read from the back
  PARSEARGS args{};
  args.context = &left;
  args.tables = &expr_tables;
  args.lexer = countingLex;
  args.action = acceptingAction;
  EXPECT_EQ(ov_yyparse(&args), 0);
  EXPECT_TRUE(left.empty());
}

// A parse started from an action runs to its end inside the outer one.
TEST(Ovparse, NestedParseFromAnAction) {
  const Trace nestedWant = runOracle(kThree, nestedTokens());
  const std::vector<int16_t> tokens = tokensOf(kExpr, "NUM '*' '(' NUM '+' NUM ')'");
  DriverRun run{&kExpr, &tokens};
  run.nestedWant = &nestedWant;
  const PARSEARGS args = argsFor(run);
  run.trace.result = ov_yyparse(&args);
  EXPECT_EQ(run.trace.result, 0);
  EXPECT_EQ(run.badValues, 0);
  EXPECT_TRUE(runOracle(kExpr, tokens) == run.trace) << show(run.trace);
}

// Parses on eight threads at once, each also nesting a parse in its
// actions, against traces the generated parsers computed beforehand.
TEST(OvparseThreads, ParallelParsesAgree) {
  std::mt19937 rng(7);
  struct Job {
    const Grammar *grammar;
    std::vector<int16_t> tokens;
    Trace want;
  };
  std::vector<Job> jobs;
  for (int i = 0; i < 400; ++i) {
    const Grammar *g = kGrammars[i % 3];
    std::vector<int16_t> tokens;
    const int length = static_cast<int>(rng() % 40);
    for (int k = 0; k < length; ++k) tokens.push_back(static_cast<int16_t>(rng() % g->tokenCount));
    if (i % 10 == 0) tokens.assign(300, three_token_B), g = &kThree;
    Trace want = runOracle(*g, tokens);
    jobs.push_back({g, std::move(tokens), std::move(want)});
  }
  const Trace nestedWant = runOracle(kThree, nestedTokens());
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round)
        for (std::size_t j = static_cast<std::size_t>(t); j < jobs.size(); j += 3) {
          DriverRun got{jobs[j].grammar, &jobs[j].tokens, static_cast<uint32_t>(8 + 8 * (t % 3))};
          got.nestedWant = &nestedWant;
          const PARSEARGS args = argsFor(got);
          got.trace.result = ov_yyparse(&args);
          if (!(got.trace == jobs[j].want) || got.badValues) ++mismatches[static_cast<std::size_t>(t)];
        }
    });
  for (std::thread &th : threads) th.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

}  // namespace
