// The parser driver against the generator's own parsers: the tables of the
// grammars in tests/grammars/ are generated at build time, renumbered for
// ov_yyparse, and every parse is compared with the generated parser fed the
// same tokens (same result, same reductions in the same order, same values,
// same reads).  Every run of the driver also has its calls to the memory
// functions watched, seen through the linker's wrapping of them (see
// cmake/yacc.cmake).  Then what the generator cannot show: stack growth,
// zero fill, each allocation failing, circular recovery, parallel parses.
#include "ovbase/ovparse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "alternate_tables.h"
#include "counter_tables.h"
#include "expr_tables.h"
#include "loopstmt_tables.h"
#include "oracle.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "platform/testhooks.h"
#include "stmt_tables.h"
#include "tailerr_tables.h"
#include "three_tables.h"

extern "C" int expr_yyparse(void), stmt_yyparse(void), three_yyparse(void), loopstmt_yyparse(void),
    counter_yyparse(void), alternate_yyparse(void), tailerr_yyparse(void);

namespace {

struct Grammar {
  const char *name;
  const PARSETABLES *tables;
  const long *externalTokens;  // per driver token: the generated parser's code
  const char *const *tokenNames;
  int tokenCount;
  int (*oracle)(void);
  std::vector<std::pair<int, std::size_t>> errorSymbols;  // (rule, place) of each `error`
};

// The generated names of one grammar, and its error symbols.
#define OV_GRAMMAR_OF(name, ...)                                                             \
  Grammar{#name, &name##_tables, name##_externalTokens, name##_tokenNames, name##_tokenCount, \
          name##_yyparse, __VA_ARGS__}
const Grammar kExpr = OV_GRAMMAR_OF(expr, {});
const Grammar kStmt = OV_GRAMMAR_OF(stmt, {{9, 3}, {10, 1}});
const Grammar kThree = OV_GRAMMAR_OF(three, {});
const Grammar kLoopStmt = OV_GRAMMAR_OF(loopstmt, {{5, 1}});
const Grammar kCounter = OV_GRAMMAR_OF(counter, {{3, 1}, {5, 1}});
const Grammar kAlternate = OV_GRAMMAR_OF(alternate, {{4, 1}, {6, 2}});
const Grammar kTailErr = OV_GRAMMAR_OF(tailerr, {{2, 2}});
const Grammar *const kGrammars[] = {&kExpr,    &kStmt,      &kThree,  &kLoopStmt,
                                    &kCounter, &kAlternate, &kTailErr};

// The driver token numbers of a sentence written as in the grammar, where a
// word followed by ^N stands for N of it: "NUM '+' NUM", "'{'^160 ID".
std::vector<int16_t> tokensOf(const Grammar &g, const std::string &text) {
  std::vector<int16_t> tokens;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    const std::size_t caret = std::min(word.rfind('^'), word.size());
    const auto *found = std::find(g.tokenNames, g.tokenNames + g.tokenCount, word.substr(0, caret));
    EXPECT_NE(found, g.tokenNames + g.tokenCount) << "no token " << word << " in " << g.name;
    tokens.insert(tokens.end(), caret < word.size() ? std::stoul(word.substr(caret + 1)) : 1,
                  static_cast<int16_t>(found - g.tokenNames));
  }
  return tokens;
}

// The value of the token at position `index` of a stream, and of a
// reduction by `rule` over `count` right-side values: a hash that depends on
// every value and its place, so a wrong `top`, a missing copy or a swapped
// value shows in the result.
OvValue tokenValue(std::size_t index, int16_t token) {
  return (index + 1) * 0x9E3779B97F4A7C15ull ^ token;
}
OvValue reduceValue(int rule, int count, const OvValue *values) {
  OvValue h = 0xcbf29ce484222325ull + static_cast<OvValue>(rule) * 0x100000001b3ull;
  for (int k = 0; k < count; ++k) h = (h ^ values[k]) * 0x100000001b3ull + static_cast<OvValue>(k);
  return h;
}

struct Trace {
  int result = 0;
  std::vector<std::pair<int, OvValue>> reductions = {};
  int lexerCalls = 0;
  bool looped = false;  // the generator went round without reading (its guard fired)
  bool operator==(const Trace &) const = default;
};

// "result 0: rules 2 5 3 1, 2 reads"
std::string show(const Trace &t) {
  std::string s = "result " + std::to_string(t.result) + ": rules";
  for (const auto &r : t.reductions) s += " " + std::to_string(r.first);
  return s + ", " + std::to_string(t.lexerCalls) + " reads" + (t.looped ? " (looped)" : "");
}

struct Options {
  uint32_t valueSize = 8;
  int haltAfter = -1;    // the action returns 7 at this reduction
  int16_t endToken = 0;  // what the lexer returns at the end (0 or negative)
  bool nested = false;   // the first reduction runs a nested parse
  int zeroRule = -1;     // a rule whose incoming result must be all zero bytes
};

// One run of either parser, reading its tokens one at a time.
struct ParseRun {
  const Grammar *grammar;
  const std::vector<int16_t> *tokens;
  Options opt = {};
  std::size_t next = 0;  // the token to read next
  int aborts = 0;
  int badValues = 0;  // values whose padding or incoming copy was wrong, or a wrong nested parse
  std::vector<OvValue> errorValues = {};  // values the error symbols had
  std::string faults = {};                // memory calls, wrong values, surplus onAbort calls
  int growths = 0;
  int sinceRead = 0;  // reductions since the last read (the generator's loop guard)
  Trace trace = {};
  int16_t read(OvValue *value) {  // the next token (0 at the end) and its value
    ++trace.lexerCalls;
    sinceRead = 0;
    const int16_t token = next < tokens->size() ? (*tokens)[next] : 0;
    *value = tokenValue(next, token);
    next += next < tokens->size();
    return token;
  }
};

// ---- the generated parser, fed through the oracle hooks ----------------------

ParseRun *oracleRun = nullptr;  // the generated parsers are not re-entrant

Trace runOracle(const Grammar &g, const std::vector<int16_t> &tokens, int haltAfter = -1) {
  ParseRun run{&g, &tokens, {.haltAfter = haltAfter}};
  oracleRun = &run;
  const int rc = g.oracle();
  oracleRun = nullptr;
  const bool halted = static_cast<int>(run.trace.reductions.size()) == haltAfter;
  run.trace.result = rc == 0 ? 0 : halted ? 7 : 3;
  return run.trace;
}

// ---- the memory functions as the driver calls them ---------------------------

// What the innermost parse on this thread asks of the memory functions: every
// call with the parse's memory context and a tag of the parser's module
// (1816), every block taken zero-filled (the error record excepted) and
// released before the call returns and before onAbort.  Blocks too small for
// what is written into them are left to the sanitizers.
struct MemWatch {
  void *memCtx;
  int64_t live = 0;       // blocks taken and not released
  int zeroedGrowths = 0;  // two for each growth of both stacks
  std::string faults = {};
  void note(void *ctx, uint32_t tag, bool zeroed, int64_t taken) {
    if (ctx != memCtx || tag / 100000 != 1816 || !zeroed) faults += " call " + std::to_string(tag);
    live += taken;
  }
};
thread_local MemWatch *memWatch = nullptr;

}  // namespace

extern "C" {
int ovOracleLex(OvValue *value) {
  return static_cast<int>(oracleRun->grammar->externalTokens[oracleRun->read(value)]);
}
void ovOracleError(void) {}
OvValue ovOracleReduce(int rule, int count, const OvValue *values) {
  const OvValue v = reduceValue(rule, count, values);
  oracleRun->trace.reductions.emplace_back(rule, v);
  ++oracleRun->sinceRead;
  return v;
}
int ovOracleHalt(void) {
  ParseRun &run = *oracleRun;
  run.trace.looped = run.trace.looped || run.sinceRead > 5000;
  return run.trace.looped || static_cast<int>(run.trace.reductions.size()) == run.opt.haltAfter;
}

void *__real_ov_getMem(uint64_t, void *, int32_t, const void *, uint32_t);
void *__real_ov_extendMem(void *, uint64_t, void *, int32_t, uint64_t, uint32_t);
void __real_ov_freeMemory(void *, void *);
void *__wrap_ov_getMem(uint64_t size, void *memCtx, int32_t mode, const void *source,
                       uint32_t tag) {
  void *block = __real_ov_getMem(size, memCtx, mode, source, tag);
  if (memWatch) memWatch->note(memCtx, tag, mode == MEM_ZERO, block != nullptr);
  return block;
}
void *__wrap_ov_extendMem(void *old, uint64_t size, void *memCtx, int32_t zeroFill, uint64_t growBy,
                          uint32_t tag) {
  void *block = __real_ov_extendMem(old, size, memCtx, zeroFill, growBy, tag);
  if (memWatch) memWatch->note(memCtx, tag, true, old == nullptr && block != nullptr);
  if (memWatch) memWatch->zeroedGrowths += zeroFill != 0;
  return block;
}
void __wrap_ov_freeMemory(void *block, void *memCtx) {
  if (memWatch) memWatch->note(memCtx, 181600000, true, -1);
  __real_ov_freeMemory(block, memCtx);
}
}

namespace {

// ---- ov_yyparse with the same tokens ---------------------------------------

// Values are valueSize bytes: the hash, then its bytes again, each block of
// eight xor-ed with its number, so that a copy of fewer bytes is seen.
void storeValue(void *slot, OvValue v, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i)
    static_cast<unsigned char *>(slot)[i] =
        static_cast<unsigned char>((v >> (i % 8 * 8)) ^ (i / 8));
}
bool loadValue(const void *slot, uint32_t size, OvValue *v) {
  unsigned char want[64] = {};  // values have at most 45 bytes
  *v = 0;
  std::memcpy(v, slot, std::min<std::size_t>(sizeof *v, size));
  storeValue(want, *v, size);
  return std::memcmp(want, slot, size) == 0;
}

int16_t driverLex(void *context, void *value) {
  ParseRun &run = *static_cast<ParseRun *>(context);
  OvValue v = 0;
  const int16_t token = run.read(&v);
  storeValue(value, v, run.opt.valueSize);
  return token == 0 ? run.opt.endToken : token;
}

ParseRun runDriver(const Grammar &g, const std::vector<int16_t> &tokens, Options opt = {});

// The nested parse: a list on the three-symbol grammar (A B C, B, A C), and what it must
// give: the items reduced as they end, the empty list, then the list from the right.
const std::vector<int16_t> kNestedTokens = {three_token_A, three_token_B, three_token_C,
                                            three_token_B, three_token_A, three_token_C};
const char kNestedTrace[] = "result 0: rules 4 6 7 5 2 3 3 3 1, 7 reads";

int16_t driverAction(void *context, void *top, int rule, void *result) {
  ParseRun &run = *static_cast<ParseRun *>(context);
  const uint32_t size = run.opt.valueSize;
  const int count = static_cast<uint16_t>(run.grammar->tables->ruleLength[rule]);
  std::vector<OvValue> values(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k)  // the k-th symbol lies (count - 1 - k) values below top
    run.badValues +=
        !loadValue(static_cast<unsigned char *>(top) - (count - 1 - k) * size, size, &values[k]);
  OvValue incoming = 0;
  run.badValues += count > 0 && (!loadValue(result, size, &incoming) || incoming != values[0]);
  if (rule == run.opt.zeroRule)
    run.badValues +=
        std::count(static_cast<char *>(result), static_cast<char *>(result) + size, 0) != size;
  for (const auto &[errorRule, place] : run.grammar->errorSymbols)
    if (errorRule == rule) run.errorValues.push_back(std::exchange(values[place - 1], OV_ERR));
  if (run.opt.nested && run.trace.reductions.empty()) {
    const ParseRun inner = runDriver(kThree, kNestedTokens, {.valueSize = 16});
    run.badValues += show(inner.trace) != kNestedTrace || !inner.faults.empty();
  }
  const OvValue v = reduceValue(rule, count, values.data());
  storeValue(result, v, size);
  run.trace.reductions.emplace_back(rule, v);
  return static_cast<int>(run.trace.reductions.size()) == run.opt.haltAfter ? 7 : 0;
}

void driverAbort(void *context) {
  ++static_cast<ParseRun *>(context)->aborts;
  if (memWatch && memWatch->live != 0) memWatch->faults += " onAbort before the release";
}

PARSEARGS argsFor(ParseRun &run) {
  return {run.opt.valueSize, &run,     run.grammar->tables, driverLex, driverAction, driverAbort,
          nullptr,           &run.next};
}

// One parse by the driver; `faults` tells what went wrong beside the trace:
// the memory calls, value copies, onAbort more than once or with a result
// other than 3.
ParseRun runDriver(const Grammar &g, const std::vector<int16_t> &tokens, Options opt) {
  ParseRun run{&g, &tokens, opt};
  const PARSEARGS args = argsFor(run);
  MemWatch memory{args.memCtx};
  MemWatch *const outer = std::exchange(memWatch, &memory);
  run.trace.result = ov_yyparse(&args);
  memWatch = outer;
  run.growths = memory.zeroedGrowths / 2;
  run.faults = memory.faults + (memory.live != 0 ? " blocks left" : "");
  if (run.badValues) run.faults += " value copies wrong";
  if (run.aborts > (run.trace.result == 3)) run.faults += " onAbort " + std::to_string(run.aborts);
  return run;
}

// Compares one stream on both parsers; returns a description of the first
// difference, or "" when they agree.  `ending` receives 0 accepted, 1
// accepted after an error rule, 2 stopped, 3 the generator went round.
std::string compare(const Grammar &g, const std::vector<int16_t> &tokens, Options opt = {},
                    int *ending = nullptr) {
  // A generator that goes round in circles would not stop at the same
  // reduction as the driver, which breaks the circle.
  if (opt.haltAfter >= 0 && runOracle(g, tokens).looped) opt.haltAfter = -1;
  const Trace want = runOracle(g, tokens, opt.haltAfter);
  const ParseRun got = runDriver(g, tokens, opt);
  if (ending)
    *ending = want.looped ? 3 : got.trace.result != 0 ? 2 : got.errorValues.empty() ? 0 : 1;
  if (!got.faults.empty()) return got.faults + ", " + show(got.trace);
  if (want.looped)
    return got.trace.result == 0 || got.trace.result == 3 ? ""
                                                          : "loop not broken: " + show(got.trace);
  const bool same = opt.valueSize == 0 ? show(want) == show(got.trace) : want == got.trace;
  return same ? "" : "generator: " + show(want) + "\n   driver: " + show(got.trace);
}

// Fails each allocation of one parse in turn: S_NOMEMORY, without onAbort and
// with every block taken released; with no allocation failing, the parse as
// without the hook.  Returns the first departure, or "".
std::string failEachAllocation(const Grammar &g, const std::vector<int16_t> &tokens) {
  ov_testFailAllocation(-1);
  const ParseRun clean = runDriver(g, tokens);
  const int64_t allocations = ov_testAllocationCount();
  for (int64_t n = 0; n <= allocations; ++n) {
    ov_testFailAllocation(n);
    const ParseRun run = runDriver(g, tokens);
    ov_testFailAllocation(-1);
    const bool ok = n < allocations ? run.trace.result == S_NOMEMORY
                                    : run.trace == clean.trace && run.aborts == clean.aborts;
    if (!ok || !run.faults.empty())
      return "allocation " + std::to_string(n) + " of " + std::to_string(allocations) + ": " +
             show(run.trace) + run.faults;
  }
  return "";
}

// ---- the sentences ----------------------------------------------------------

// A sentence, what both parsers return and what the driver does.  errorAt,
// if given: the stream positions of the errors' look-aheads, whose values the
// error symbols have.  circle, if given: the generator goes round, and the
// driver discards the look-ahead and gives this trace.
struct Sentence {
  const Grammar *grammar;
  const char *text;
  int result;
  int aborts = 0;  // 1 when the stack empties, 0 when the input ends while discarding
  std::vector<std::size_t> errorAt = {};
  const char *circle = nullptr;
  int growths = 0;    // of both stacks, by 50 entries each
  int zeroRule = -1;  // see Options
};

// Both stacks start with 100 entries and grow by 50 when a push reaches the
// capacity minus one: B^n on the list grammar pushes n + 2 entries at its
// deepest point, where the empty rule 2 finds as incoming result the slot
// above the stack, never written: zero, also in grown parts.
const Sentence kSentences[] = {
    {&kExpr, "NUM '+' NUM '*' NUM '/' NUM", 0},
    {&kExpr, "'-' NUM '*' '-' '(' NUM '-' NUM ')'", 0},
    {&kExpr, "", 3, 1},
    {&kExpr, "NUM ')'", 3, 1},  // no error rule: the stack empties, onAbort once
    {&kStmt, "", 0},
    {&kStmt, "ID '=' NUM ';' ID '=' ID '+' '(' NUM '+' ID ')' ';'", 0},
    {&kStmt, "WHILE '(' ID ')' '{' ID '=' NUM ';' ';' '}'", 0},
    {&kStmt, "ID '=' NUM NUM ';' ID '=' NUM ';'", 0},  // recovery by error ';'
    {&kStmt, "ID ID ID ';' ';'", 0, 0, {1}},           // tokens discarded one at a time
    {&kStmt, "WHILE '(' ';' ID ')' ';'", 0, 0, {2}},   // WHILE ( error ) stmt
    {&kStmt, "ID '=' ';' ID '=' ')' ';'", 0, 0, {2, 5}},
    {&kStmt, "'{' ID '=' '}' ';'", 3},  // '}' discarded, then the end comes too early
    {&kStmt, "ID '=' NUM NUM", 3},      // the input ends while discarding: no onAbort
    // nesting past five growths, with a syntax error (the recovery record)
    {.grammar = &kStmt, .text = "'{'^160 ID '=' NUM NUM ';' '}'^160", .result = 0, .growths = 5},
    {.grammar = &kThree, .text = "", .result = 0, .zeroRule = 2},  // one read, accepted
    {.grammar = &kThree, .text = "B^97", .result = 0, .zeroRule = 2},
    {.grammar = &kThree, .text = "B^98", .result = 0, .growths = 1, .zeroRule = 2},
    {.grammar = &kThree, .text = "B^147", .result = 0, .growths = 1, .zeroRule = 2},
    {.grammar = &kThree, .text = "B^148", .result = 0, .growths = 2, .zeroRule = 2},
    {.grammar = &kThree, .text = "B^198", .result = 0, .growths = 3, .zeroRule = 2},
    {.grammar = &kThree, .text = "B^1000", .result = 0, .growths = 19, .zeroRule = 2},
    {&kThree, "A B C A C B A B B C", 0},
    {&kThree, "A B", 3, 1},
    {&kCounter, "X Y", 0},
    {&kCounter, "Y Y", 0},
    {&kCounter, "Z Z Y", 0},
    {&kAlternate, "D Y", 0},
    {&kTailErr, "X", 0},
    // prog: stmts; stmts: | stmts stmt; stmt: X ';' | error
    {&kLoopStmt, "X ';' X ';'", 0},
    {&kLoopStmt, "X X", 0},  // stmt: error, then X ';' missing its ';' at the end
    {&kLoopStmt, "';'", 0, 0, {}, "result 0: rules 2 5 3 1, 2 reads"},
    {&kLoopStmt, "X ';' ';' X ';'", 0, 0, {}, "result 0: rules 2 4 3 5 3 4 3 1, 6 reads"},
    // p: D q; q: a b Y | x Z; a: error; b: ; x: a error.  a: error, x: a
    // error, then back to the first configuration: X goes
    {&kAlternate, "D X", 3, 0, {}, "result 3: rules 4 6 4, 3 reads"},
    {&kAlternate, "D X Y", 0, 0, {}, "result 0: rules 4 6 4 5 2 1, 4 reads"},
    {&kAlternate, "D X Z", 3, 0, {}, "result 3: rules 4 6 4, 4 reads"},  // Z dropped at 3
    // prog: X | prog error: the circle is in the state that accepts, which
    // then accepts with the counter at 3 (the second Y is dropped at 3)
    {&kTailErr, "X Y", 0, 0, {}, "result 0: rules 1 2, 3 reads"},
    {&kTailErr, "X Y Y", 0, 0, {}, "result 0: rules 1 2, 4 reads"},
};

// Each sentence on its own, then against the generator with values of 8, 0
// and 45 bytes, an action that stops at the first reduction, lexers ending
// with -1 and -32768 instead of 0, and a parse nested in the first action;
// then with each allocation failing in turn.
TEST(Ovparse, HandWrittenSentencesMatchTheGenerator) {
  for (const Sentence &s : kSentences) {
    const std::vector<int16_t> tokens = tokensOf(*s.grammar, s.text);
    SCOPED_TRACE(std::string(s.grammar->name) + ": " + s.text);
    const ParseRun plain = runDriver(*s.grammar, tokens, {.zeroRule = s.zeroRule});
    EXPECT_EQ(plain.trace.result, s.result);
    EXPECT_EQ(plain.aborts, s.aborts);
    EXPECT_EQ(plain.growths, s.growths);
    std::vector<OvValue> errorValues;
    for (std::size_t at : s.errorAt) errorValues.push_back(tokenValue(at, tokens[at]));
    EXPECT_TRUE(s.errorAt.empty() || plain.errorValues == errorValues) << "error symbol values";
    EXPECT_EQ(runOracle(*s.grammar, tokens).looped, s.circle != nullptr);
    EXPECT_TRUE(s.circle == nullptr || show(plain.trace) == s.circle) << show(plain.trace);
    for (Options opt :
         {Options{}, Options{.valueSize = 0}, Options{.valueSize = 45}, Options{.haltAfter = 1},
          Options{.endToken = -1}, Options{.endToken = -32768}, Options{.nested = true}}) {
      opt.zeroRule = s.zeroRule;
      EXPECT_EQ(compare(*s.grammar, tokens, opt), "")
          << opt.valueSize << " " << opt.haltAfter << " " << opt.endToken << " " << opt.nested;
    }
    EXPECT_EQ(failEachAllocation(*s.grammar, tokens), "");
  }
}

// Random streams and accepted sentences, with one token inserted, deleted
// or replaced, stopped by an action at a random reduction now and then.
TEST(Ovparse, RandomStreamsMatchTheGenerator) {
  std::mt19937 rng(20261206);
  int endings[4] = {0, 0, 0, 0};
  for (const Grammar *g : kGrammars) {
    std::vector<std::vector<int16_t>> seeds;
    for (const Sentence &s : kSentences)
      if (s.grammar == g && s.result == 0) seeds.push_back(tokensOf(*g, s.text));
    std::uniform_int_distribution<int> anyToken(0, g->tokenCount - 1);
    const auto token = [&] { return static_cast<int16_t>(anyToken(rng)); };
    for (int i = 0; i < 800; ++i) {
      std::vector<int16_t> tokens(i % 2 ? seeds[rng() % seeds.size()]
                                        : std::vector<int16_t>(rng() % 24));
      if (i % 2 == 0) std::generate(tokens.begin(), tokens.end(), token);
      const auto at = tokens.begin() + static_cast<long>(rng() % (tokens.size() + 1));
      const auto edit = at == tokens.end() ? 0 : rng() % 3;  // insert, delete or replace one
      if (edit == 0) tokens.insert(at, token());
      if (edit == 1) tokens.erase(at);
      if (edit == 2) *at = token();
      const Options opt{.valueSize = i % 5 == 0 ? 24u : 8u,
                        .haltAfter = i % 7 == 3 ? static_cast<int>(rng() % 6) + 1 : -1};
      int ending = 0;
      ASSERT_EQ(compare(*g, tokens, opt, &ending), "")
          << g->name << ": " << testing::PrintToString(tokens) << " halt after " << opt.haltAfter;
      ++endings[ending];
    }
  }
  // The streams reach every kind of ending: accepted, accepted after
  // recovery, stopped, recovery going round (about 550, 680, 3380, 990).
  EXPECT_TRUE(endings[0] > 400 && endings[1] > 500 && endings[2] > 1000 && endings[3] > 500)
      << testing::PrintToString(endings);
}

// Unusable arguments give 3 without a call; tables no generator writes (a
// state without shifts whose default is an error, after the error token)
// end with 3 once the look-ahead is gone instead of trying for ever.
TEST(Ovparse, UnusableArgumentsAndStuckTablesEnd) {
  const std::vector<int16_t> none;
  ParseRun run{&kThree, &none};
  EXPECT_EQ(ov_yyparse(nullptr), 3);
  PARSEARGS args[] = {argsFor(run), argsFor(run), argsFor(run)};
  args[0].tables = nullptr;
  args[1].lexer = nullptr;
  args[2].action = nullptr;
  for (const PARSEARGS &missing : args) EXPECT_EQ(ov_yyparse(&missing), 3);
  EXPECT_EQ(run.trace.lexerCalls, 0);
  static constexpr int16_t exceptions[] = {-1, 9, -2, 0}, actions[] = {0, 1},
                           shiftBase[] = {0, -1000}, zero[] = {0}, check[] = {-1000, 1},
                           defaults[] = {0, 0};
  static constexpr PARSETABLES tables = {1,    2,    exceptions, actions, shiftBase,
                                         zero, zero, zero,       check,   defaults};
  const Grammar bare{"bare", &tables, nullptr, nullptr, 0, nullptr, {}};
  for (const auto &tokens : {std::vector<int16_t>{5}, std::vector<int16_t>{5, 6, 7}}) {
    const ParseRun stuck = runDriver(bare, tokens);
    EXPECT_EQ(show(stuck.trace) + stuck.faults, "result 3: rules, 1 reads");
    EXPECT_EQ(stuck.aborts, 0);
  }
}

// Parses on eight threads at once, each nesting a parse in its first
// action, against what the generated parsers gave beforehand.
TEST(OvparseThreads, ParallelParsesAgree) {
  std::vector<std::vector<int16_t>> streams;
  std::vector<Trace> want;
  for (const Sentence &s : kSentences) {
    streams.push_back(tokensOf(*s.grammar, s.text));
    want.push_back(runOracle(*s.grammar, streams.back()));
  }
  int mismatches[8] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      const Options opt{.valueSize = static_cast<uint32_t>(8 + 8 * (t % 3)), .nested = true};
      for (int round = 0; round < 20; ++round)
        for (std::size_t j = 0; j < streams.size(); ++j) {
          const ParseRun got = runDriver(*kSentences[j].grammar, streams[j], opt);
          mismatches[t] += !got.faults.empty() || !(want[j].looped || got.trace == want[j]);
        }
    });
  for (std::thread &th : threads) th.join();
  EXPECT_EQ(std::count(mismatches, mismatches + 8, 0), 8) << testing::PrintToString(mismatches);
}

}  // namespace
