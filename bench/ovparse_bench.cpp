// Parser driver speed: ov_yyparse against the parser that yacc generated
// from the same grammar, on the same long token stream in the same run.
//
// Streams: "expr" is one arithmetic expression of about 200000 tokens
// (four precedence levels, unary minus, parentheses); "stmt" is a program
// of about 200000 tokens of assignments, if/else and while statements.
// Both parsers get their tokens from an array (each in its own numbering,
// converted beforehand) and do the same work for every reduction: copy the
// rule's values into an array (one store per value), hash them with mix,
// which is kept out of line, and call ovOracleHalt, also out of line (the
// generated actions reach mix through ovOracleReduce, the driver through
// its action function).  So the difference is the driver itself.  After
// the runs a table prints tokens per second of both and the ratio
// ov_yyparse / generated (above 1 means ov_yyparse is faster).
//
// Run: build-xxx/bench/ovparse_bench --benchmark_repetitions=10
//        --benchmark_enable_random_interleaving=true
// (interleaving spreads a busy machine's slow spells over both parsers).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "expr_tables.h"
#include "oracle.h"
#include "ovbase/ovparse.h"
#include "stmt_tables.h"

extern "C" {
int expr_yyparse(void);
int stmt_yyparse(void);
}

namespace {

struct Stream {
  const PARSETABLES *tables;
  const long *externalTokens;
  int (*generated)(void);
  std::vector<int16_t> tokens;    // the driver's token numbers
  std::vector<int> externalCodes;  // the same tokens as the generated parser's lexer returns them
};

[[gnu::noipa]] OvValue mix(int rule, int count, const OvValue *values) {
  OvValue h = 0xcbf29ce484222325ull + static_cast<OvValue>(rule) * 0x100000001b3ull;
  for (int k = 0; k < count; ++k) h = (h ^ values[k]) * 0x100000001b3ull + static_cast<OvValue>(k);
  return h;
}

int16_t named(const char *const *names, int count, const char *word) {
  for (int t = 0; t < count; ++t)
    if (std::strcmp(names[t], word) == 0) return static_cast<int16_t>(t);
  std::fprintf(stderr, "no token %s\n", word);
  std::abort();
}

constexpr int kMaxSymbols = 8;  // the longest right side the driver's action takes

// The generated parser's lexer hands out its own token codes: convert the
// stream once, so that neither lexer converts while timed.
Stream withExternalCodes(Stream s) {
  for (const int16_t t : s.tokens) s.externalCodes.push_back(static_cast<int>(s.externalTokens[t]));
  return s;
}

// One expression: operands joined by random operators, some negated, some
// in parentheses (nesting up to a few levels).
Stream exprStream() {
  Stream s{&expr_tables, expr_externalTokens, expr_yyparse, {}, {}};
  auto t = [](const char *w) { return named(expr_tokenNames, expr_tokenCount, w); };
  const int16_t ops[] = {t("'+'"), t("'-'"), t("'*'"), t("'/'")};
  std::mt19937 rng(1);
  int open = 0;
  while (s.tokens.size() < 200000) {
    if (rng() % 5 == 0) s.tokens.push_back(t("'-'"));
    if (open < 4 && rng() % 4 == 0) {
      s.tokens.push_back(t("'('"));
      ++open;
    }
    s.tokens.push_back(t("NUM"));
    if (open > 0 && rng() % 3 == 0) {
      s.tokens.push_back(t("')'"));
      --open;
    }
    s.tokens.push_back(ops[rng() % 4]);
  }
  s.tokens.push_back(t("NUM"));
  for (; open > 0; --open) s.tokens.push_back(t("')'"));
  return withExternalCodes(std::move(s));
}

Stream stmtStream() {
  Stream s{&stmt_tables, stmt_externalTokens, stmt_yyparse, {}, {}};
  const char *const sentences[] = {
      "ID = ID + NUM + ( ID + NUM ) ;",
      "IF ( ID + NUM ) ID = NUM ; ELSE { ID = ID ; ; }",
      "WHILE ( ID ) { IF ( NUM ) ID = ( ( ID ) ) ; }",
  };
  std::mt19937 rng(2);
  while (s.tokens.size() < 200000) {
    std::string text = sentences[rng() % 3];
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find(' ', at);
      if (end == std::string::npos) end = text.size();
      std::string word = text.substr(at, end - at);
      if (word.size() == 1 && !std::isalpha(static_cast<unsigned char>(word[0]))) word = "'" + word + "'";
      s.tokens.push_back(named(stmt_tokenNames, stmt_tokenCount, word.c_str()));
      at = end + 1;
    }
  }
  return withExternalCodes(std::move(s));
}

// ---- the two parsers' callbacks ----------------------------------------------

// Where a parser's callbacks find their work: the tokens, the rule lengths
// (which a generated action knows without looking), the last value.
struct Feed {
  Feed() = default;
  explicit Feed(const Stream *s)
      : stream(s),
        tokens(s->tokens.data()),
        externalCodes(s->externalCodes.data()),
        count(s->tokens.size()),
        ruleLength(s->tables->ruleLength) {}
  const Stream *stream = nullptr;
  const int16_t *tokens = nullptr;
  const int *externalCodes = nullptr;
  std::size_t count = 0;
  const int16_t *ruleLength = nullptr;
  std::size_t next = 0;
  OvValue last = 0;
};
Feed generatedFeed;  // the generated parsers take their tokens through globals

int16_t driverLex(void *context, void *value) {
  Feed &f = *static_cast<Feed *>(context);
  const std::size_t i = f.next;
  if (i >= f.count) return 0;
  const OvValue v = i;
  std::memcpy(value, &v, sizeof v);
  ++f.next;
  return f.tokens[i];
}

int16_t driverAction(void *context, void *top, int rule, void *result) {
  Feed &f = *static_cast<Feed *>(context);
  const int count = static_cast<uint16_t>(f.ruleLength[rule]);
  const auto *first = static_cast<const OvValue *>(top) - (count - 1);  // values are 8 bytes, aligned
  // A generated action copies a known number of values, one store each; a
  // loop here would become a call of memcpy.
  OvValue values[kMaxSymbols];
  switch (count) {
    case 8: values[7] = first[7]; [[fallthrough]];
    case 7: values[6] = first[6]; [[fallthrough]];
    case 6: values[5] = first[5]; [[fallthrough]];
    case 5: values[4] = first[4]; [[fallthrough]];
    case 4: values[3] = first[3]; [[fallthrough]];
    case 3: values[2] = first[2]; [[fallthrough]];
    case 2: values[1] = first[1]; [[fallthrough]];
    case 1: values[0] = first[0]; [[fallthrough]];
    default: break;
  }
  f.last = mix(rule, count, values);
  std::memcpy(result, &f.last, sizeof f.last);
  return static_cast<int16_t>(ovOracleHalt());
}

}  // namespace

extern "C" int ovOracleLex(OvValue *value) {
  Feed &f = generatedFeed;
  const std::size_t i = f.next;
  if (i >= f.count) return 0;
  *value = i;
  ++f.next;
  return f.externalCodes[i];
}
extern "C" void ovOracleError(void) {}
extern "C" OvValue ovOracleReduce(int rule, int count, const OvValue *values) {
  return generatedFeed.last = mix(rule, count, values);
}
// Out of line for both parsers (the generated ones call it from another file).
extern "C" [[gnu::noipa]] int ovOracleHalt(void) { return 0; }

namespace {

PARSEARGS argsFor(Feed &f) {
  PARSEARGS args{};
  args.valueSize = sizeof(OvValue);
  args.context = &f;
  args.tables = f.stream->tables;
  args.lexer = driverLex;
  args.action = driverAction;
  return args;
}

void runDriver(benchmark::State &state, const Stream *s) {
  Feed f(s);
  const PARSEARGS args = argsFor(f);
  for (auto _ : state) {
    f.next = 0;
    if (ov_yyparse(&args) != 0) state.SkipWithError("ov_yyparse did not accept the stream");
    benchmark::DoNotOptimize(f.last);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * s->tokens.size()));
}

void runGenerated(benchmark::State &state, const Stream *s) {
  generatedFeed = Feed(s);
  for (auto _ : state) {
    generatedFeed.next = 0;
    if (s->generated() != 0) state.SkipWithError("the generated parser did not accept the stream");
    benchmark::DoNotOptimize(generatedFeed.last);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * s->tokens.size()));
}

// Collects tokens per second per run so that the summary can pair them up.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      const auto rate = run.counters.find("items_per_second");
      if (rate != run.counters.end()) rates_[run.run_name.function_name].push_back(rate->second.value);
    }
  }
  void PrintSummary() const {
    std::printf("\n%-8s %16s %16s %8s\n", "grammar", "ov_yyparse tok/s", "generated tok/s", "ratio");
    for (const char *g : {"expr", "stmt"}) {
      const double ov = median(std::string("ov_yyparse/") + g);
      const double gen = median(std::string("generated/") + g);
      if (ov <= 0 || gen <= 0) continue;
      std::printf("%-8s %16.3e %16.3e %8.2f\n", g, ov, gen, ov / gen);
    }
  }

 private:
  double median(const std::string &name) const {
    const auto it = rates_.find(name);
    if (it == rates_.end() || it->second.empty()) return -1;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  std::map<std::string, std::vector<double>> rates_;
};

}  // namespace

int main(int argc, char **argv) {
  static const Stream expr = exprStream();
  static const Stream stmt = stmtStream();

  // The driver's action copies at most kMaxSymbols values.
  for (const auto &[lengths, rules] : {std::pair{expr_tables.ruleLength, expr_ruleCount},
                                       std::pair{stmt_tables.ruleLength, stmt_ruleCount}})
    for (int r = 0; r < rules; ++r)
      if (static_cast<uint16_t>(lengths[r]) > kMaxSymbols) {
        std::fprintf(stderr, "rule %d is longer than %d symbols\n", r, kMaxSymbols);
        return 1;
      }

  // Both parsers must agree on the streams before their speed means anything.
  for (const Stream *s : {&expr, &stmt}) {
    Feed f(s);
    const PARSEARGS args = argsFor(f);
    const int ours = ov_yyparse(&args);
    generatedFeed = Feed(s);
    const int theirs = s->generated();
    if (ours != 0 || theirs != 0 || f.last != generatedFeed.last) {
      std::fprintf(stderr, "the parsers disagree on a stream (%d, %d)\n", ours, theirs);
      return 1;
    }
  }

  for (const auto &[name, s] : {std::pair{"expr", &expr}, std::pair{"stmt", &stmt}}) {
    benchmark::RegisterBenchmark((std::string("ov_yyparse/") + name).c_str(), runDriver, s);
    benchmark::RegisterBenchmark((std::string("generated/") + name).c_str(), runGenerated, s);
  }
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
