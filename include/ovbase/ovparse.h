/*
 * ovbase/ovparse.h - the re-entrant driver for classic yacc parse tables.
 *
 * Conventions:
 *  - ov_yyparse runs one LALR(1) parse over tables the caller supplies
 *    (PARSETABLES, in the classic yacc table layout), pulling tokens from
 *    the caller's lexer and handing each reduction to the caller's action.
 *    Token numbers are the driver's: 0 is end of input, `errorToken` is the
 *    error token; a generator that counts from end of input = 1 needs every
 *    token number lowered by one and every real shift base raised by one.
 *  - Results: 0 accepted, 3 aborted by an unrecoverable syntax error (or
 *    unusable arguments), any other value is the non-zero status an action
 *    returned, and S_NOMEMORY (-2010) when a working block cannot be had.
 *  - Semantic values are opaque blocks of `valueSize` bytes, moved by plain
 *    byte copies.  Memory: all working blocks come from ov_getMem /
 *    ov_extendMem with the caller's `memCtx` and are released before the
 *    call returns, on every way out, before `onAbort` is called.
 *  - Thread rule: no global state.  Parses on distinct argument blocks may
 *    run at once in different threads, and a lexer or an action may start a
 *    nested parse.
 */
#ifndef OVBASE_OVPARSE_H
#define OVBASE_OVPARSE_H

#include "ovdefs.h"

OV_BEGIN_DECLS

/* The parse tables of one grammar.  The arrays are read, never written, and
   must be consistent, as a generator writes them: packed indices are
   bounds-checked against tableSize, state, rule and nonterminal numbers are
   not, and every state whose default is -2 needs its block of exceptions. */
typedef struct PARSETABLES {
  int16_t errorToken;          /* token number of the error token */
  int16_t tableSize;           /* entries in `actions`: packed indices 0 .. tableSize - 1 */
  const int16_t *exceptions;   /* (-1, state) opens a block of (token, action) pairs, closed
                                  by a negative first element whose second is the default */
  const int16_t *actions;      /* the packed shift and goto table: next states */
  const int16_t *shiftBase;    /* per state: base of its shifts in `actions`; <= -1000: none */
  const int16_t *gotoBase;     /* per nonterminal: base of its gotos; actions[base] is the default */
  const int16_t *ruleLhs;      /* per rule: its left-side nonterminal */
  const int16_t *ruleLength;   /* per rule: symbols on its right side (read as unsigned) */
  const int16_t *check;        /* per state: the token leading into it, or -nonterminal */
  const int16_t *defaults;     /* per state: rule to reduce by, 0 error, -2 see `exceptions` */
} PARSETABLES;

/* The arguments of one parse, filled by the caller. */
typedef struct PARSEARGS {
  uint32_t valueSize;                  /* bytes of one semantic value */
  void *context;                       /* first argument of lexer, action and onAbort */
  const PARSETABLES *tables;           /* the grammar's tables */
  int16_t (*lexer)(void *context, void *value);
  /* returns the next token (0 or negative: end of input) and stores its
     value, valueSize bytes, at `value` */
  int16_t (*action)(void *context, void *top, int rule, void *result);
  /* reduces by `rule`: the value of the k-th of the rule's n symbols lies
     (n - k) * valueSize bytes below `top`; `result` arrives holding a copy
     of the first symbol's value and receives the rule's value.  0 goes
     on; any other value stops the parse and becomes its result.  `top`
     points into a stack that the next push may move: do not keep it. */
  void (*onAbort)(void *context);      /* optional: called when recovery runs out of stack */
  void *reserved;                      /* not read by the driver */
  void *memCtx;                        /* memory context for every allocation */
} PARSEARGS;

/* Parses the tokens of args->lexer with args->tables.  Returns 0 when the
   input is accepted, 3 when a syntax error cannot be recovered from, an
   action's non-zero status (at once), or S_NOMEMORY when a working block
   cannot be had.  onAbort is called, after the release, only when recovery
   pops the whole stack without finding a state that shifts the error token.
   Memory, with args->memCtx: the value stack (100 values), the state stack
   (100 entries), the pending and the token value, zero-filled, with tags
   181600056 to 181600059; both stacks grow by 50 zeroed entries (tags
   181600089, 181600090) when a push reaches the capacity minus one; every
   block taken is released once on every way out (state stack, value stack,
   pending, token value, then the error record below).
   Choices:
   - when a new syntax error (counter below 3) finds the same look-ahead and
     the same whole state stack as an earlier one since the lexer was last
     called, recovery has gone round in a circle: the counter becomes 3 and
     the error is handled as one found while discarding (the look-ahead is
     dropped, at end of input the result is 3 without onAbort).  An accepted
     input returns 0 whatever the counter.  The configurations are kept in
     a fifth block, taken at the first syntax error (tag 181600162) and grown
     as needed; when it cannot be had the result is S_NOMEMORY;
   - the error token's value is the last token value read;
   - valueSize 0 is allowed: the value blocks are asked for 0 bytes;
   - a null args, tables, lexer or action gives 3 without calling anything;
   - tables no generator writes: a goto index below 0 takes the default goto
     (it is tested against 0 as well as tableSize), a rule longer than the
     stack below it ends the parse with 3, and so does an error while
     discarding in a state without shifts and without a look-ahead to drop
     (which would otherwise never end). */
OV_API int ov_yyparse(const PARSEARGS *args);

OV_END_DECLS

#endif /* OVBASE_OVPARSE_H */
