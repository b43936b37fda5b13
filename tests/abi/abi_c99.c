/* The public headers seen from strict C99: every header compiles with
   -std=c99 -pedantic -Wall -Wextra -Werror, and a call from each family
   links against libovbase.so and works. */
#include <ovbase.h>
#include <ovbase/status.h>
#include <ovbase/platform.h>
#include <ovbase/bcd.h>
#include <ovbase/datetime.h>
#include <ovbase/parmlist.h>
#include <ovbase/ovparse.h>
#include <ovbase/ovutil.h>
#include <ovbase/txtutil.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

/* A grammar whose only sentence is the empty one: state 0 takes its
   exceptions, which accept at end of input. */
static const int16_t parseExceptions[] = {-1, 0, 0, -1, -2, 0};
static const int16_t parseNone[] = {0};
static const int16_t parseShiftBase[] = {-1000};
static const int16_t parseDefaults[] = {-2};

static int16_t parseLex(void *context, void *value) {
  (void)value;
  ++*(int *)context;
  return 0;
}

static int16_t parseAction(void *context, void *top, int rule, void *result) {
  (void)context;
  (void)top;
  (void)rule;
  (void)result;
  return 9;
}

static void check(int ok, const char *what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    failures++;
  }
}

int main(void) {
  char text[80];
  const char *message = NULL;
  void *block;
  BCD *x;
  int32_t handle;

  check(ov_errinfo(S_NOMEMORY, text, sizeof text) == S_OKAY, "ov_errinfo result");
  check(strcmp(text, "client was unable to grant memory (S_NOMEMORY)") == 0, "ov_errinfo text");
  check(ov_errorinfo(0, NULL) == S_INVNULL, "ov_errorinfo null");
  check(ov_errorinfo(2, &message) == S_OKAY && strcmp(message, "record not found") == 0, "ov_errorinfo");
  check(strcmp(ov_errorname(-2006), "S_INSUFFNETRES") == 0, "ov_errorname");

  block = ov_getMem(0, NULL, MEM_STRDUP, "abc", 1);
  check(block != NULL && strcmp((const char *)block, "abc") == 0, "ov_getMem");
  ov_freeMemory(block, NULL);

  handle = ov_syncCreate("abi", 1, 0);
  check(handle >= 1 && handle <= 50, "ov_syncCreate");
  ov_syncEnterExcl((int16_t)handle);
  ov_syncExitExcl((int16_t)handle);
  ov_syncDelete((int16_t)handle);
  check(ov_align(13, 5) == 16, "ov_align");
  check(strncmp(ov_compiler(), "GNU C/C++ ", 10) == 0, "ov_compiler");

  StrncpyZ(text, "abcdef", 4);
  check(strcmp(text, "abc") == 0, "StrncpyZ");
  check(AllDigits("0123") == 1, "AllDigits");

  x = bcd_allocate(NULL);
  check(x != NULL && bcd_isZero(x) == 1, "bcd_allocate");
  check(bcd_fromChar("-12.5", x) == 0, "bcd_fromChar");
  check(bcd_toChar(x, text, sizeof text) == 0 && strcmp(text, "-12.5") == 0, "bcd_toChar");
  check(x->length == 3 && x->point == 2 && x->sign == -1 && x->digits[1] == 1, "BCD layout");
  bcd_free(x);

  {
    PARSETABLES tables;
    PARSEARGS args;
    int reads = 0;
    tables.errorToken = 1;
    tables.tableSize = 1;
    tables.exceptions = parseExceptions;
    tables.actions = parseNone;
    tables.shiftBase = parseShiftBase;
    tables.gotoBase = parseNone;
    tables.ruleLhs = parseNone;
    tables.ruleLength = parseNone;
    tables.check = parseNone;
    tables.defaults = parseDefaults;
    memset(&args, 0, sizeof args);
    args.valueSize = 8;
    args.context = &reads;
    args.tables = &tables;
    args.lexer = parseLex;
    args.action = parseAction;
    check(ov_yyparse(&args) == 0 && reads == 1, "ov_yyparse");
  }

  if (failures == 0) puts("1 passed, 0 failed");
  return failures == 0 ? 0 : 1;
}
