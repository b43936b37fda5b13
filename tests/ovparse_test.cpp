// The parser driver against the generator's own parsers: the tables of the
// grammars in tests/grammars/ are generated at build time, renumbered for
// ov_yyparse, and every parse is compared with the generated parser fed the
// same tokens (same result, same reductions in the same order, same values,
// same reads).  Every run of the driver also has its calls to the memory
// functions checked, seen through the linker's wrapping of them (see
// cmake/yacc.cmake).  Then what the generator cannot show: stack growth,
// zero fill, memory exhaustion, circular recovery, parallel parses.
#include "ovbase/ovparse.h"

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
  std::vector<std::pair<int, int>> errorSymbols;  // (rule, place) of each `error` on a right side
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

// The driver token numbers of a sentence written as in the grammar: "NUM '+' NUM".
std::vector<int16_t> tokensOf(const Grammar &g, const std::string &text) {
  std::vector<int16_t> tokens;
  for (std::size_t at = 0; (at = text.find_first_not_of(' ', at)) != std::string::npos;) {
    const std::string word = text.substr(at, text.find(' ', at) - at);
    at += word.size();
    const auto *found = std::find(g.tokenNames, g.tokenNames + g.tokenCount, word);
    EXPECT_NE(found, g.tokenNames + g.tokenCount) << "no token " << word << " in " << g.name;
    tokens.push_back(static_cast<int16_t>(found - g.tokenNames));
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

// The tokens of one run, read one at a time by either parser's lexer.
struct Feed {
  const std::vector<int16_t> *tokens;
  std::size_t next = 0;
  int reads = 0;
  int16_t read(OvValue *value) {  // the next token (0 at the end) and its value
    ++reads;
    const int16_t token = next < tokens->size() ? (*tokens)[next] : 0;
    *value = tokenValue(next, token);
    next += next < tokens->size();
    return token;
  }
};

struct Trace {
  int result = 0;
  std::vector<std::pair<int, OvValue>> reductions = {};
  int lexerCalls = 0;
  bool looped = false;  // the generator went round without reading (its guard fired)
  bool operator==(const Trace &) const = default;
};

std::string show(const Trace &t) {
  std::string s =
      "result " + std::to_string(t.result) + ", " + std::to_string(t.lexerCalls) + " reads, rules";
  for (const auto &r : t.reductions) s += " " + std::to_string(r.first);
  return s + (t.looped ? " (looped)" : "");
}

struct Options {
  uint32_t valueSize = 8;
  int haltAfter = -1;    // the action returns 7 at this reduction
  int16_t endToken = 0;  // what the lexer returns at the end (0 or negative)
  bool nested = false;   // the first reduction runs a nested parse
  int zeroRule = -1;     // a rule whose incoming result must be all zero bytes
};

// One run of either parser.
struct ParseRun {
  const Grammar *grammar;
  Feed feed;
  Options opt;
  int aborts = 0;
  int badValues = 0;  // values whose padding or incoming copy was wrong, or a wrong nested parse
  std::vector<OvValue> errorValues = {};  // values the error symbols had
  std::string memory = {};                // what checkMemory found
  int growths = 0;
  int sinceRead = 0;  // reductions since the last read (the generator's loop guard)
  Trace trace = {};
};

// ---- the generated parser, fed through the oracle hooks ----------------------

ParseRun *oracleRun = nullptr;  // the generated parsers are not re-entrant

Trace runOracle(const Grammar &g, const std::vector<int16_t> &tokens, int haltAfter = -1) {
  ParseRun run{&g, {&tokens}, {.haltAfter = haltAfter}};
  oracleRun = &run;
  const int rc = g.oracle();
  oracleRun = nullptr;
  const bool halted = haltAfter >= 0 && static_cast<int>(run.trace.reductions.size()) == haltAfter;
  run.trace.result = rc == 0 ? 0 : halted ? 7 : 3;
  run.trace.lexerCalls = run.feed.reads;
  return run.trace;
}

}  // namespace

extern "C" int ovOracleLex(OvValue *value) {
  oracleRun->sinceRead = 0;
  return static_cast<int>(oracleRun->grammar->externalTokens[oracleRun->feed.read(value)]);
}
extern "C" void ovOracleError(void) {}
extern "C" OvValue ovOracleReduce(int rule, int count, const OvValue *values) {
  const OvValue v = reduceValue(rule, count, values);
  oracleRun->trace.reductions.emplace_back(rule, v);
  ++oracleRun->sinceRead;
  return v;
}
extern "C" int ovOracleHalt(void) {
  ParseRun &run = *oracleRun;
  run.trace.looped = run.trace.looped || run.sinceRead > 5000;
  return run.trace.looped || static_cast<int>(run.trace.reductions.size()) == run.opt.haltAfter;
}

// ---- the memory functions as the driver calls them ---------------------------

namespace {
struct MemCall {
  char kind;  // 'g' ov_getMem, 'x' ov_extendMem, 'f' ov_freeMemory, 'a' onAbort
  uint64_t size;
  int32_t modeOrZeroFill;
  uint64_t growBy;
  uint32_t tag;
  void *memCtx;
  void *block;  // the block handed out or released
  bool operator==(const MemCall &) const = default;
};
thread_local std::vector<MemCall> *memLog = nullptr;  // the calls of the innermost parse
}  // namespace

extern "C" {
void *__real_ov_getMem(uint64_t, void *, int32_t, const void *, uint32_t);
void *__real_ov_extendMem(void *, uint64_t, void *, int32_t, uint64_t, uint32_t);
void __real_ov_freeMemory(void *, void *);
void *__wrap_ov_getMem(uint64_t size, void *memCtx, int32_t mode, const void *source,
                       uint32_t tag) {
  void *block = __real_ov_getMem(size, memCtx, mode, source, tag);
  if (memLog) memLog->push_back({'g', size, mode, 0, tag, memCtx, block});
  return block;
}
void *__wrap_ov_extendMem(void *old, uint64_t size, void *memCtx, int32_t zeroFill, uint64_t growBy,
                          uint32_t tag) {
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

// Checks one parse's calls: the value stack, state stack, pending and token
// value (zero-filled, tags 181600056 to 59); pairs of growths by 50 entries
// (zero-filled, 181600089 and 90) and the record of error configurations
// (181600162); each block released once, in the order state stack, value
// stack, pending, token, record; onAbort after all.  Counts the growths.
std::string checkMemory(const std::vector<MemCall> &log, uint64_t size, void *memCtx,
                        int &growths) {
  void *blocks[5] = {};  // values, states, pending, token, record
  const uint64_t firstSizes[] = {100 * size, 200, size, size};
  std::size_t i = 0;
  const auto expect = [&](MemCall want) {  // log[i] is `want`, with any block handed out
    if (i < log.size() && want.kind != 'f') want.block = log[i].block;
    return i < log.size() && log[i] == want;
  };
  for (; i < 4; ++i) {
    if (!expect(
            {'g', firstSizes[i], MEM_ZERO, 0, static_cast<uint32_t>(181600056 + i), memCtx, {}}))
      return "working block " + std::to_string(i);
    blocks[i] = log[i].block;
  }
  for (uint64_t capacity = 150; i < log.size() && log[i].kind == 'x'; ++i) {
    if (log[i].tag == 181600162 && log[i].memCtx == memCtx) {
      blocks[4] = log[i].block;
      continue;
    }
    if (!expect({'x', capacity * size, 1, 50 * size, 181600089, memCtx, {}}))
      return "value stack growth";
    blocks[0] = log[i++].block;
    if (!expect({'x', capacity * 2, 1, 100, 181600090, memCtx, {}})) return "state stack growth";
    blocks[1] = log[i].block;
    capacity += 50;
    ++growths;
  }
  for (const int b : {1, 0, 2, 3, 4}) {
    if (blocks[b] != nullptr && !expect({'f', 0, 0, 0, 0, memCtx, blocks[b]}))
      return "release of block " + std::to_string(b);
    i += blocks[b] != nullptr;
  }
  i += i < log.size() && log[i].kind == 'a';
  return i == log.size() ? "" : "call " + std::to_string(i) + " after the release";
}

// ---- ov_yyparse with the same tokens ---------------------------------------

// Values are valueSize bytes: the hash, then its bytes again, each block of
// eight xor-ed with its number, so that a copy of fewer bytes is seen.
void storeValue(void *slot, OvValue v, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i)
    static_cast<unsigned char *>(slot)[i] =
        static_cast<unsigned char>((v >> (i % 8 * 8)) ^ (i / 8));
}
bool loadValue(const void *slot, uint32_t size, OvValue *v) {
  *v = 0;
  std::memcpy(v, slot, std::min<std::size_t>(sizeof *v, size));
  std::vector<unsigned char> want(size);
  storeValue(want.data(), *v, size);
  return size == 0 || std::memcmp(want.data(), slot, size) == 0;
}

int16_t driverLex(void *context, void *value) {
  ParseRun &run = *static_cast<ParseRun *>(context);
  OvValue v = 0;
  const int16_t token = run.feed.read(&v);
  storeValue(value, v, run.opt.valueSize);
  return token == 0 ? run.opt.endToken : token;
}

ParseRun runDriver(const Grammar &g, const std::vector<int16_t> &tokens, Options opt = {});

// The nested parse: a list on the three-symbol grammar, and what it must give.
const std::vector<int16_t> kNestedTokens = {three_token_A, three_token_B, three_token_C,
                                            three_token_B, three_token_A, three_token_C};
const Trace &nestedWant() {
  static const Trace want = runOracle(kThree, kNestedTokens);
  return want;
}

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
    if (errorRule == rule) {
      run.errorValues.push_back(values[static_cast<std::size_t>(place - 1)]);
      values[static_cast<std::size_t>(place - 1)] = OV_ERR;
    }
  if (run.opt.nested && run.trace.reductions.empty()) {
    const ParseRun inner = runDriver(kThree, kNestedTokens, {.valueSize = 16});
    run.badValues += !(inner.trace == nestedWant()) || inner.badValues || !inner.memory.empty();
  }
  const OvValue v = reduceValue(rule, count, values.data());
  storeValue(result, v, size);
  run.trace.reductions.emplace_back(rule, v);
  return static_cast<int>(run.trace.reductions.size()) == run.opt.haltAfter ? 7 : 0;
}

void driverAbort(void *context) {
  ++static_cast<ParseRun *>(context)->aborts;
  if (memLog) memLog->push_back({'a', 0, 0, 0, 0, nullptr, nullptr});
}

PARSEARGS argsFor(ParseRun &run) {
  return {run.opt.valueSize, &run,     run.grammar->tables, driverLex, driverAction, driverAbort,
          nullptr,           &run.feed};
}

ParseRun runDriver(const Grammar &g, const std::vector<int16_t> &tokens, Options opt) {
  ParseRun run{&g, {&tokens}, opt};
  const PARSEARGS args = argsFor(run);
  std::vector<MemCall> log;
  std::vector<MemCall> *const outer = std::exchange(memLog, &log);
  run.trace.result = ov_yyparse(&args);
  memLog = outer;
  run.trace.lexerCalls = run.feed.reads;
  run.memory = checkMemory(log, opt.valueSize, args.memCtx, run.growths);
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
  if (got.badValues) return "value copies wrong: " + show(got.trace);
  if (!got.memory.empty()) return "memory: " + got.memory;
  if (got.aborts > (got.trace.result == 3 ? 1 : 0))
    return "onAbort called " + std::to_string(got.aborts) + " times";
  if (want.looped)
    return got.trace.result == 0 || got.trace.result == 3 ? ""
                                                          : "loop not broken: " + show(got.trace);
  return want == got.trace ? "" : "generator: " + show(want) + "\n   driver: " + show(got.trace);
}

// ---- the generator's results ------------------------------------------------

// A sentence, what both parsers return and what the driver does.  errorAt,
// if given: the stream positions of the errors' look-aheads, whose values the
// error symbols have.  circleRules, if given: the generator goes round, and
// the driver discards the look-ahead, reduces by these rules and reads
// circleReads tokens.
struct Sentence {
  const Grammar *grammar;
  const char *text;
  int result;
  int aborts = 0;  // 1 when the stack empties, 0 when the input ends while discarding
  std::vector<std::size_t> errorAt = {};
  std::vector<int> circleRules = {};
  int circleReads = 0;
};

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
    {&kThree, "", 0},                   // empty input: one read, accepted
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
    {&kLoopStmt, "';'", 0, 0, {}, {2, 5, 3, 1}, 2},
    {&kLoopStmt, "X ';' ';' X ';'", 0, 0, {}, {2, 4, 3, 5, 3, 4, 3, 1}, 6},
    // p: D q; q: a b Y | x Z; a: error; b: ; x: a error.  a: error, x: a
    // error, then back to the first configuration: X goes
    {&kAlternate, "D X", 3, 0, {}, {4, 6, 4}, 3},
    {&kAlternate, "D X Y", 0, 0, {}, {4, 6, 4, 5, 2, 1}, 4},
    {&kAlternate, "D X Z", 3, 0, {}, {4, 6, 4}, 4},  // Z dropped at 3, then the end
    // prog: X | prog error: the circle is in the state that accepts, which
    // then accepts with the counter at 3 (the second Y is dropped at 3)
    {&kTailErr, "X Y", 0, 0, {}, {1, 2}, 3},
    {&kTailErr, "X Y Y", 0, 0, {}, {1, 2}, 4},
};

// Each sentence with values of 8 and 45 bytes, an action that stops at the
// first reduction, lexers ending with -1 and -32768 instead of 0, and a
// parse nested in the first action.
TEST(Ovparse, HandWrittenSentencesMatchTheGenerator) {
  for (const Sentence &s : kSentences) {
    const std::vector<int16_t> tokens = tokensOf(*s.grammar, s.text);
    SCOPED_TRACE(std::string(s.grammar->name) + ": " + s.text);
    const ParseRun plain = runDriver(*s.grammar, tokens);
    EXPECT_EQ(plain.trace.result, s.result);
    EXPECT_EQ(plain.aborts, s.aborts);
    std::vector<OvValue> errorValues;
    for (std::size_t at : s.errorAt) errorValues.push_back(tokenValue(at, tokens[at]));
    EXPECT_TRUE(s.errorAt.empty() || plain.errorValues == errorValues) << "error symbol values";
    EXPECT_EQ(runOracle(*s.grammar, tokens).looped, !s.circleRules.empty());
    std::vector<int> rules;
    for (const auto &r : plain.trace.reductions) rules.push_back(r.first);
    EXPECT_TRUE(s.circleRules.empty() ||
                (rules == s.circleRules && plain.trace.lexerCalls == s.circleReads))
        << show(plain.trace);
    for (const Options &opt :
         {Options{}, Options{.valueSize = 45}, Options{.haltAfter = 1}, Options{.endToken = -1},
          Options{.endToken = -32768}, Options{.nested = true}})
      EXPECT_EQ(compare(*s.grammar, tokens, opt), "")
          << opt.valueSize << " " << opt.haltAfter << " " << opt.endToken << " " << opt.nested;
  }
}

// Random streams, and accepted sentences with one token inserted, deleted
// or replaced, stopped by an action at a random reduction now and then.
TEST(Ovparse, RandomStreamsMatchTheGenerator) {
  std::mt19937 rng(20261206);
  int endings[4] = {0, 0, 0, 0};
  for (const Grammar *g : kGrammars) {
    std::vector<std::vector<int16_t>> seeds;
    for (const Sentence &s : kSentences)
      if (s.grammar == g && s.result == 0) seeds.push_back(tokensOf(*g, s.text));
    std::uniform_int_distribution<int> token(0, g->tokenCount - 1);
    for (int i = 0; i < 800; ++i) {
      std::vector<int16_t> tokens;
      if (i % 2 == 0) {
        for (int k = static_cast<int>(rng() % 24); k > 0; --k)
          tokens.push_back(static_cast<int16_t>(token(rng)));
      } else {
        tokens = seeds[rng() % seeds.size()];
        const auto at = tokens.begin() + static_cast<long>(rng() % (tokens.size() + 1));
        const auto edit = rng() % 3;
        if (edit == 0) tokens.insert(at, static_cast<int16_t>(token(rng)));
        if (edit == 1 && at != tokens.end()) tokens.erase(at);
        if (edit == 2 && at != tokens.end()) *at = static_cast<int16_t>(token(rng));
      }
      const Options opt{.valueSize = i % 5 == 0 ? 24u : 8u,
                        .haltAfter = i % 7 == 3 ? static_cast<int>(rng() % 6) + 1 : -1};
      int ending = 0;
      ASSERT_EQ(compare(*g, tokens, opt, &ending), "")
          << g->name << ": " << testing::PrintToString(tokens) << " halt after " << opt.haltAfter;
      ++endings[ending];
    }
  }
  // The streams reach every kind of ending (about 860, 900, 3150, 650 of them).
  EXPECT_GT(endings[0], 500) << "accepted";
  EXPECT_GT(endings[1], 500) << "accepted after recovery";
  EXPECT_GT(endings[2], 1000) << "stopped";
  EXPECT_GT(endings[3], 200) << "recovery going round";
}

// ---- what only the driver shows --------------------------------------------

// Both stacks start with 100 entries and grow by 50 when a push reaches the
// capacity minus one: B x n on the list grammar pushes n + 2 entries at its
// deepest point, where the empty rule finds as incoming result the slot
// above the stack, never written: zero, also in grown parts.  The values
// below the growth points stay intact.
TEST(Ovparse, StacksGrowByFiftyWithZeroFill) {
  const struct {
    int items;
    int growths;
  } rows[] = {{0, 0}, {96, 0}, {97, 0}, {98, 1}, {147, 1}, {148, 2}, {198, 3}, {1000, 19}};
  for (const auto &row : rows)
    for (const uint32_t size : {0u, 24u}) {
      const std::vector<int16_t> tokens(static_cast<std::size_t>(row.items), three_token_B);
      const ParseRun run = runDriver(kThree, tokens, {.valueSize = size, .zeroRule = 2});
      const std::string where = std::to_string(row.items) + " items of " + std::to_string(size);
      EXPECT_EQ(run.trace.result, 0) << where;
      EXPECT_EQ(run.memory, "") << where;
      EXPECT_EQ(run.growths, row.growths) << where;
      EXPECT_EQ(run.badValues, 0) << where;
      EXPECT_TRUE(size == 0 || run.trace == runOracle(kThree, tokens)) << where;
    }
}

// Failing each allocation in turn: S_NOMEMORY, nothing outstanding, and
// once nothing fails the same parse as without the hook.  The input nests
// past five growths and has a syntax error (the recovery record).
TEST(Ovparse, ExhaustedMemoryAtEveryAllocation) {
  std::vector<int16_t> tokens(160, tokensOf(kStmt, "'{'")[0]);
  for (const int16_t t : tokensOf(kStmt, "ID '=' NUM NUM ';' ID '=' NUM ';'")) tokens.push_back(t);
  tokens.insert(tokens.end(), 160, tokensOf(kStmt, "'}'")[0]);
  ov_testFailAllocation(-1);
  const ParseRun clean = runDriver(kStmt, tokens);
  const int64_t allocations = ov_testAllocationCount();
  ASSERT_EQ(allocations, 4 + 2 * 5 + 1);
  for (int64_t n = 0; n <= allocations; ++n) {
    const int64_t before = ov_testOutstandingBlocks();
    ov_testFailAllocation(n);
    const ParseRun run = runDriver(kStmt, tokens);
    ov_testFailAllocation(-1);
    EXPECT_EQ(ov_testOutstandingBlocks(), before) << "allocation " << n;
    EXPECT_EQ(run.aborts, 0) << "allocation " << n;
    EXPECT_EQ(run.trace.result, n < allocations ? S_NOMEMORY : 0) << "allocation " << n;
    EXPECT_TRUE(n < allocations || run.trace == clean.trace) << show(run.trace);
  }
}

// Unusable arguments give 3 without a call; tables no generator writes (a
// state without shifts whose default is an error, after the error token)
// end with 3 once the look-ahead is gone instead of trying for ever.
TEST(Ovparse, UnusableArgumentsAndStuckTablesEnd) {
  const std::vector<int16_t> none;
  ParseRun run{&kThree, {&none}, {}};
  EXPECT_EQ(ov_yyparse(nullptr), 3);
  for (const auto clear :
       {+[](PARSEARGS &a) { a.tables = nullptr; }, +[](PARSEARGS &a) { a.lexer = nullptr; },
        +[](PARSEARGS &a) { a.action = nullptr; }}) {
    PARSEARGS args = argsFor(run);
    clear(args);
    EXPECT_EQ(ov_yyparse(&args), 3);
  }
  EXPECT_EQ(run.feed.reads, 0);
  static constexpr int16_t exceptions[] = {-1, 9, -2, 0}, actions[] = {0, 1},
                           shiftBase[] = {0, -1000}, zero[] = {0}, check[] = {-1000, 1},
                           defaults[] = {0, 0};
  static constexpr PARSETABLES tables = {1,    2,    exceptions, actions, shiftBase,
                                         zero, zero, zero,       check,   defaults};
  const Grammar bare{"bare", &tables, nullptr, nullptr, 0, nullptr, {}};
  for (const std::vector<int16_t> &tokens :
       {std::vector<int16_t>{5}, std::vector<int16_t>{5, 6, 7}}) {
    const ParseRun stuck = runDriver(bare, tokens);
    EXPECT_EQ(stuck.trace, (Trace{.result = 3, .lexerCalls = 1})) << show(stuck.trace);
    EXPECT_EQ(stuck.aborts, 0);
    EXPECT_EQ(stuck.memory, "");
  }
}

// Parses on eight threads at once, each nesting a parse in its first
// action, against what the generated parsers gave beforehand.
TEST(OvparseThreads, ParallelParsesAgree) {
  struct Job {
    const Grammar *grammar;
    std::vector<int16_t> tokens;
    Trace want = {};
  };
  std::vector<Job> jobs = {{&kThree, std::vector<int16_t>(300, three_token_B)}};
  for (const Sentence &s : kSentences) jobs.push_back({s.grammar, tokensOf(*s.grammar, s.text)});
  for (Job &job : jobs) job.want = runOracle(*job.grammar, job.tokens);
  nestedWant();
  std::vector<int> mismatches(8, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      const Options opt{.valueSize = static_cast<uint32_t>(8 + 8 * (t % 3)), .nested = true};
      for (int round = 0; round < 20; ++round)
        for (const Job &job : jobs) {
          const ParseRun got = runDriver(*job.grammar, job.tokens, opt);
          mismatches[t] +=
              got.badValues || !got.memory.empty() || !(job.want.looped || got.trace == job.want);
        }
    });
  for (std::thread &th : threads) th.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

}  // namespace
