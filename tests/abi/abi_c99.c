/* The public headers seen from strict C99: every header compiles with
   -std=c99 -pedantic -Wall -Wextra -Werror, and a call from each family
   links against libovbase.so and works. */
#include <ovbase.h>
#include <ovbase/ovversion.h>
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
  CalDate cal = {2000, 2, 29};
  int32_t day = 0;

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
  block = ov_sysinfo();
  check(block != NULL && strstr((const char *)block, " X ") != NULL, "ov_sysinfo");
  ov_freeMemory(block, NULL);

  StrncpyZ(text, "abcdef", 4);
  check(strcmp(text, "abc") == 0, "StrncpyZ");
  check(AllDigits("0123") == 1, "AllDigits");
  check(_stricoll("Apple", "aPPLE") == 0 && wscasecmp(L"ab", L"abc") == -1, "collation");
  block = makeAllocPath("/usr/lib", "libx", "so", NULL);
  check(block != NULL && strcmp((const char *)block, "/usr/lib/libx.so") == 0, "makeAllocPath");
  ov_freeMemory(block, NULL);
  ov_putLocalEnv("Abi_Var=local");
  check(ov_getenv("ABI_VAR") != NULL && strcmp(ov_getenv("abi_var"), "local") == 0, "ov_getenv");
  check(ov_fileCopy("/nonexistent/abi/source", "/nonexistent/abi/target") == S_FILEOPERR,
        "ov_fileCopy");

  x = bcd_allocate(NULL);
  check(x != NULL && bcd_isZero(x) == 1, "bcd_allocate");
  check(bcd_fromChar("-12.5", x) == 0, "bcd_fromChar");
  check(bcd_toChar(x, text, sizeof text) == 0 && strcmp(text, "-12.5") == 0, "bcd_toChar");
  check(x->length == 3 && x->point == 2 && x->sign == -1 && x->digits[1] == 1, "BCD layout");
  bcd_free(x);

  check(dt_dateFromCalDate(&cal, &day) == 0 && day == 730179, "dt_dateFromCalDate");
  check(strcmp(dt_dateDayName(day), "Tuesday") == 0, "dt_dateDayName");
  {
    FILESTREAM *stream = ov_fileStreamOpen("abi_stream.tmp", "w");
    char *line = NULL;
    uint32_t lineSize = 0;
    check(stream != NULL && ov_fileStreamPuts(stream, "line") == 5, "ov_fileStreamPuts");
    ov_fileStreamClose(stream);
    stream = ov_fileStreamOpen("abi_stream.tmp", "r");
    check(stream != NULL && ov_fileStreamGetLine(stream, &line, &lineSize) != NULL &&
              strcmp(line, "line\n") == 0 && lineSize == 100, "ov_fileStreamGetLine");
    ov_fileStreamClose(stream);
    ov_freeMemory(line, NULL);
    ov_fileRemove("abi_stream.tmp");
  }
  {
    /* The C compiler's own layout of a record with a nested array. */
    struct Nested { char c; struct { char c; int64_t l; } in[2]; float f; };
    const PLSTRUCTDESC desc[] = {{0, PL_STRUCT, PLF_BEGIN}, {0, PL_CHAR, 0}, {2, PL_STRUCT, PLF_BEGIN | PLF_ARRAY},
                                 {0, PL_CHAR, 0}, {0, PL_LONG, 0}, {0, PL_STRUCT, PLF_END}, {0, PL_FLOAT, 0},
                                 {0, PL_STRUCT, PLF_END}};
    uint32_t size = 0;
    PARMLIST *parms = pl_alloc();
    int32_t number = 0;
    check(pl_calcStruct(desc, &size, NULL) == S_OKAY && size == sizeof(struct Nested), "pl_calcStruct");
    check(parms != NULL && pl_printf(parms, "%d %s", 42, "abc") == S_OKAY, "pl_printf");
    check(pl_seek(parms, 0, 0) == S_OKAY && pl_get(parms, &number) == S_OKAY && number == 42, "pl_get");
    check(pl_count(parms) == 2 && sizeof(PARMITEM) == 48 && offsetof(PARMITEM, value) == 32, "PARMITEM layout");
    pl_free(parms);
  }
  {
    FILESTREAM *ini = ov_fileStreamOpen("abi_ini.tmp", "w");
    ov_fileStreamPuts(ini, "[S]");
    ov_fileStreamClose(ini);
    check(ov_iniSetPrivate("S", "k", "v", "abi_ini.tmp") == S_OKAY, "ov_iniSetPrivate");
    check(ov_iniGetPrivate("s", "K", text, sizeof text, 0, "abi_ini.tmp") == S_OKAY && strcmp(text, "v") == 0,
          "ov_iniGetPrivate");
    ov_fileRemove("abi_ini.tmp");
  }
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
