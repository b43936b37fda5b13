/*
 * ovparse.cpp - ov_yyparse, the re-entrant driver for classic yacc parse
 * tables (exception, action, shift-base, goto-base, rule left side, rule
 * length, check and default tables).
 *
 * Everything a parse needs lives in one Parse record on the caller's stack
 * and in the blocks it allocates; nothing is global, so parses run in
 * parallel threads and nest.
 *
 * Error recovery.  A new error (recovery counter below 3) sets the counter
 * to 3 and looks down the stack for a state that shifts the error token;
 * at 3, look-aheads that cannot be shifted are dropped one at a time; each
 * shifted token lowers the counter and each completed reduction sets it to
 * 0 (the action's status lands in it).  That last rule means an error rule
 * reduced straight after the error token can bring recovery back to the
 * very configuration it started from without reading a token, for ever.
 * So the configurations (look-ahead and whole state stack) of the new
 * errors since the last lexer call are kept, and a new error that matches
 * any of them - not only the previous one: recovery can alternate between
 * two - is handled as at 3.  Nothing changes for an input the plain rules
 * finish: a configuration that comes back without a read always comes back.
 *
 * Beyond the table format: goto indices are also tested against 0, and a
 * state with no shifts whose default is an error ends the parse with 3
 * when there is no look-ahead to drop; both only matter for tables that no
 * generator writes, where the plain steps would read outside the tables or
 * never end.
 */
#include <cstdint>
#include <cstring>

#include "ovbase/ovparse.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"

namespace {

// Allocation tags, module 1816: the four working blocks, the growth of the
// two stacks, and the record of error configurations (taken on the first
// syntax error only).
constexpr uint32_t kTagValues = 181600056;
constexpr uint32_t kTagStates = 181600057;
constexpr uint32_t kTagPending = 181600058;
constexpr uint32_t kTagToken = 181600059;
constexpr uint32_t kTagGrowValues = 181600089;
constexpr uint32_t kTagGrowStates = 181600090;
constexpr uint32_t kTagErrorRecord = 181600162;

constexpr int kInitialEntries = 100;  // both stacks start with room for 100 entries
constexpr int kGrowEntries = 50;      // and grow by 50 at a time
constexpr int16_t kNoShifts = -1000;  // shift base at or below: the state only takes its default
constexpr int16_t kSeeExceptions = -2;
constexpr int16_t kNoToken = -1;
constexpr int16_t kEndOfInput = 0;
constexpr int kRecovering = 3;        // recovery counter right after an error
constexpr int kAborted = 3;           // result of an unrecoverable syntax error

// Table arithmetic wraps at 16 bits, as the tables' own entries do.
constexpr int16_t add16(int a, int b) { return static_cast<int16_t>(a + b); }

static_assert(add16(32767, 1) == -32768 && add16(-1000, 1) == -999);

enum class Seen { First, Again, NoMemory };
enum class Recovery { ShiftError, Discard, StackEmpty, GiveUp, NoMemory };

// What recovery decided, with the depth and state to go on from.  Handed
// back by value: a depth or state whose address escaped into an out-of-line
// call would have to live in memory for the whole parse loop.
struct Recovered {
  Recovery what;
  int depth;
  int16_t state;
};

// One parse.  kSize is the value size when it is known at compile time (the
// common sizes get copies the compiler can inline), 0 when it is not.
template <uint32_t kSize>
class Parse {
 public:
  explicit Parse(const PARSEARGS &args)
      : args_(args), t_(*args.tables), valueSize_(kSize ? kSize : args.valueSize), memCtx_(args.memCtx) {}
  ~Parse() { release(); }
  Parse(const Parse &) = delete;
  Parse &operator=(const Parse &) = delete;

  int run();

 private:
  // Bytes of `entries` values (0 for values of no bytes: the allocator
  // still hands out a block, which the parse never reads).
  uint64_t bytes(uint64_t entries) const { return entries * valueSize_; }
  bool allocate();
  bool grow();
  int16_t exceptionAction(int16_t state, int16_t lookahead) const;
  Seen recordError(int16_t lookahead, int depth);
  Recovered recover(int16_t lookahead, int depth, int counter, int16_t state);
  void release();
  template <typename T>
  void releaseBlock(T *&block) {
    if (block != nullptr) ov_freeMemory(block, memCtx_);
    block = nullptr;
  }
  uint64_t size() const { return kSize ? kSize : valueSize_; }
  void copyValue(void *to, const void *from) const { std::memcpy(to, from, size()); }

  const PARSEARGS &args_;
  const PARSETABLES &t_;
  const uint64_t valueSize_;
  void *const memCtx_;

  int16_t *states_ = nullptr;
  unsigned char *values_ = nullptr;
  unsigned char *pending_ = nullptr;  // the value pushed next
  unsigned char *token_ = nullptr;    // the value the lexer fills
  int capacity_ = 0;

  // Configurations (look-ahead, whole state stack) of the new errors seen
  // since the lexer was last called: records of look-ahead, entry count and
  // the states, packed one after the other.
  int16_t *history_ = nullptr;
  uint64_t historyUsed_ = 0;
  uint64_t historyRoom_ = 0;
};

// The four working blocks, zero-filled; false as soon as one is refused
// (what was taken is released with the rest on the way out).
template <uint32_t kSize>
bool Parse<kSize>::allocate() {
  values_ = static_cast<unsigned char *>(ov_getMem(bytes(kInitialEntries), memCtx_, MEM_ZERO, nullptr, kTagValues));
  if (values_ == nullptr) return false;
  states_ = static_cast<int16_t *>(ov_getMem(kInitialEntries * sizeof(int16_t), memCtx_, MEM_ZERO, nullptr,
                                             kTagStates));
  if (states_ == nullptr) return false;
  pending_ = static_cast<unsigned char *>(ov_getMem(bytes(1), memCtx_, MEM_ZERO, nullptr, kTagPending));
  if (pending_ == nullptr) return false;
  token_ = static_cast<unsigned char *>(ov_getMem(bytes(1), memCtx_, MEM_ZERO, nullptr, kTagToken));
  capacity_ = kInitialEntries;
  return token_ != nullptr;
}

// Gives both stacks room for 50 more entries, zero-filled.
template <uint32_t kSize>
bool Parse<kSize>::grow() {
  const uint64_t entries = static_cast<uint64_t>(capacity_) + kGrowEntries;
  if (entries > INT32_MAX) return false;  // depths are counted in an int
  void *values = ov_extendMem(values_, bytes(entries), memCtx_, 1, kGrowEntries * valueSize_, kTagGrowValues);
  if (values == nullptr) return false;
  values_ = static_cast<unsigned char *>(values);
  void *states = ov_extendMem(states_, entries * sizeof(int16_t), memCtx_, 1, kGrowEntries * sizeof(int16_t),
                              kTagGrowStates);
  if (states == nullptr) return false;
  states_ = static_cast<int16_t *>(states);
  capacity_ = static_cast<int>(entries);
  return true;
}

// The action of `state` for the look-ahead from its block of exceptions.
template <uint32_t kSize>
int16_t Parse<kSize>::exceptionAction(int16_t state, int16_t lookahead) const {
  const int16_t *pair = t_.exceptions;
  while (pair[0] != -1 || pair[1] != state) pair += 2;
  for (pair += 2; pair[0] >= 0 && pair[0] != lookahead; pair += 2) {
  }
  return pair[1];
}

// Remembers the configuration of a new error; Again when one since the
// last lexer call had the same look-ahead and the same whole state stack.
template <uint32_t kSize>
Seen Parse<kSize>::recordError(int16_t lookahead, int depth) {
  const uint64_t entries = static_cast<uint64_t>(depth) + 1;
  for (uint64_t at = 0; at < historyUsed_;) {
    const uint64_t count = static_cast<uint16_t>(history_[at + 1]) | static_cast<uint64_t>(history_[at + 2]) << 16;
    if (history_[at] == lookahead && count == entries &&
        std::memcmp(history_ + at + 3, states_, entries * sizeof(int16_t)) == 0)
      return Seen::Again;
    at += 3 + count;
  }
  const uint64_t need = historyUsed_ + 3 + entries;
  if (need > historyRoom_) {
    const uint64_t room = need + need / 2;
    void *grown = ov_extendMem(history_, room * sizeof(int16_t), memCtx_, 0, 0, kTagErrorRecord);
    if (grown == nullptr) return Seen::NoMemory;
    history_ = static_cast<int16_t *>(grown);
    historyRoom_ = room;
  }
  int16_t *record = history_ + historyUsed_;
  record[0] = lookahead;
  record[1] = static_cast<int16_t>(entries & 0xffff);
  record[2] = static_cast<int16_t>(entries >> 16);
  std::memcpy(record + 3, states_, entries * sizeof(int16_t));
  historyUsed_ = need;
  return Seen::First;
}

// Handles a syntax error found in `state` (on top of the stack at depth);
// the recovery counter is 3 afterwards.
// A new one (counter below 3) looks down the stack for a state that shifts
// the error token (ShiftError: `state` is the state to push with the token
// value), popping as it goes (StackEmpty when none does); unless recovery
// has been here before without reading a token: then, as at 3, the
// look-ahead is to be dropped (Discard), which at the end of input, or
// with no look-ahead in a state that cannot shift, would change nothing
// (GiveUp).  Kept out of line: the parse loop stays small.
template <uint32_t kSize>
[[gnu::noinline]] Recovered Parse<kSize>::recover(int16_t lookahead, int depth, int counter, int16_t state) {
  if (counter < kRecovering) {
    const Seen seen = recordError(lookahead, depth);
    if (seen == Seen::NoMemory) return {Recovery::NoMemory, depth, state};
    if (seen == Seen::First) {
      for (;;) {
        const int16_t n = add16(t_.shiftBase[states_[depth]], t_.errorToken);
        if (n >= 0 && n < t_.tableSize && t_.check[t_.actions[n]] == t_.errorToken)
          return {Recovery::ShiftError, depth, t_.actions[n]};
        if (--depth < 0) return {Recovery::StackEmpty, depth, state};
      }
    }
  }
  if (lookahead == kEndOfInput || (lookahead == kNoToken && t_.shiftBase[state] <= kNoShifts))
    return {Recovery::GiveUp, depth, state};
  return {Recovery::Discard, depth, state};
}

template <uint32_t kSize>
void Parse<kSize>::release() {
  // Each block that was taken goes back once, in this order, and nothing
  // else reaches the allocator (a release before onAbort is not repeated).
  releaseBlock(states_);
  releaseBlock(values_);
  releaseBlock(pending_);
  releaseBlock(token_);
  releaseBlock(history_);
}

template <uint32_t kSize>
int Parse<kSize>::run() {
  if (!allocate()) return S_NOMEMORY;
  // What the loop reads and changes lives in locals, so that the compiler
  // can keep it in registers across the calls of the lexer and the action.
  const int16_t *const shiftBase = t_.shiftBase;
  const int16_t *const actions = t_.actions;
  const int16_t *const check = t_.check;
  const int16_t *const defaults = t_.defaults;
  const int16_t *const ruleLength = t_.ruleLength;
  const int16_t *const ruleLhs = t_.ruleLhs;
  const int16_t *const gotoBases = t_.gotoBase;
  const int16_t tableSize = t_.tableSize;
  const auto lexer = args_.lexer;
  const auto action = args_.action;
  void *const context = args_.context;
  unsigned char *const pending = pending_;
  unsigned char *const token = token_;
  int16_t *states = states_;
  unsigned char *values = values_;
  int depth = -1;
  int growAt = capacity_ - 1;
  int16_t lookahead = kNoToken;
  int16_t state = 0;
  int counter = 0;  // recovery counter: 3 right after an error, 0 in normal parsing
  // The value pushed next: the pending value after a reduction, the token
  // value after a shift.  (A shift copies the token value to the pending
  // value, which is pushed and overwritten by the next reduction before
  // anyone sees it; pushing the token value itself saves the copy.)
  const unsigned char *pushFrom = pending;

  const auto readToken = [&] {
    historyUsed_ = 0;  // recovery can only go round in a circle between two reads
    const int16_t next = lexer(context, token);
    lookahead = next < 0 ? kEndOfInput : next;
  };
  const auto valueAt = [&](int at) { return values + static_cast<uint64_t>(at) * size(); };

  for (;;) {
    // Push the state and the pending value.  Both stacks grow by 50 zeroed
    // entries once the new depth reaches the capacity minus one, so the
    // first growth comes with the 100th entry.
    if (++depth >= growAt) [[unlikely]] {
      if (!grow()) return S_NOMEMORY;
      states = states_;
      values = values_;
      growAt = capacity_ - 1;
    }
    states[depth] = state;
    copyValue(valueAt(depth), pushFrom);

    int16_t act = 0;
    for (;;) {  // in `state`, until it shifts or reduces
      const int16_t base = shiftBase[state];
      if (base > kNoShifts) {
        if (lookahead == kNoToken) readToken();
        const int16_t n = add16(base, lookahead);
        if (n >= 0 && n < tableSize && check[actions[n]] == lookahead) [[likely]] {
          lookahead = kNoToken;
          pushFrom = token;
          state = actions[n];
          if (counter > 0) --counter;
          act = 0;
          break;
        }
      }
      act = defaults[state];
      if (act == kSeeExceptions) [[unlikely]] {
        if (lookahead == kNoToken) readToken();
        act = exceptionAction(state, lookahead);
      }
      if (act > 0) [[likely]] break;  // reduce
      if (act < 0) return 0;          // accepted

      // Syntax error.
      const Recovered recovered = recover(lookahead, depth, counter, state);
      depth = recovered.depth;
      state = recovered.state;
      counter = kRecovering;
      switch (recovered.what) {
        case Recovery::ShiftError:
          pushFrom = token;
          break;
        case Recovery::Discard:
          lookahead = kNoToken;
          continue;
        case Recovery::StackEmpty:
          release();
          if (args_.onAbort) args_.onAbort(context);
          return kAborted;
        case Recovery::GiveUp:
          return kAborted;
        case Recovery::NoMemory:
          return S_NOMEMORY;
      }
      break;  // push the error state
    }
    if (act == 0) continue;  // a shift: push the new state

    // Reduce by rule `act`.
    const uint16_t length = static_cast<uint16_t>(ruleLength[act]);
    if (length > depth) [[unlikely]] return kAborted;  // the tables ask for more than the stack holds
    void *const top = valueAt(depth);
    depth -= length;
    copyValue(pending, valueAt(depth + 1));
    pushFrom = pending;
    const int16_t lhs = ruleLhs[act];
    const int16_t gotoBase = gotoBases[lhs];
    const int16_t j = add16(add16(states[depth], gotoBase), 1);
    if (j >= 0 && j < tableSize && check[actions[j]] == static_cast<int16_t>(-lhs))
      state = actions[j];
    else
      state = actions[gotoBase];
    counter = action(context, top, act, pending);
    if (counter != 0) [[unlikely]] return counter;
  }
}

}  // namespace

extern "C" OV_API int ov_yyparse(const PARSEARGS *args) {
  if (args == nullptr || args->tables == nullptr || args->lexer == nullptr || args->action == nullptr)
    return kAborted;
  switch (args->valueSize) {
    case 4: return Parse<4>(*args).run();
    case 8: return Parse<8>(*args).run();
    case 16: return Parse<16>(*args).run();
    default: return Parse<0>(*args).run();
  }
}
