/*
 * oracle.h - the glue between a grammar's generated parser (the oracle of
 * the differential tests and the peer of the benchmark) and the C++ code
 * that drives it.  Each grammar's prologue includes this file; its epilogue
 * includes oracle_tail.h.  Compiled with OV_GRAMMAR set to the grammar's
 * name, the generated globals get that name as prefix, so several oracles
 * link into one program (NAME_yyparse, NAME_yylex, ...).
 *
 * Every rule's action is OV_ACT($$, RULE, $1, ..., $n) (OV_ACT($$, RULE, )
 * for empty rules): it hands the rule number and all right-side values to
 * ovOracleReduce, whose result becomes the rule's value, clears the error
 * flag as a completed reduction does in ov_yyparse, and stops the parse when
 * ovOracleHalt says so.  The value of an `error` symbol is written OV_ERR:
 * the generated parser gives it the value of the last shift or reduction,
 * ov_yyparse the value of the last token read, so it is left out of the
 * comparison (the driver's choice is tested on its own).
 */
#ifndef OVPARSE_ORACLE_H
#define OVPARSE_ORACLE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned long long OvValue;
#define OV_ERR 0xEEEEEEEEull

/* Implemented by the program that links the oracles. */
int ovOracleLex(OvValue *value);                                   /* external token code */
void ovOracleError(void);                                          /* a syntax error was reported */
OvValue ovOracleReduce(int rule, int count, const OvValue *values); /* the rule's value */
int ovOracleHalt(void);                                            /* non-zero: stop the parse */

#ifdef __cplusplus
}
#endif

#ifdef OV_GRAMMAR
#define OV_CAT2(a, b) a##b
#define OV_CAT(a, b) OV_CAT2(a, b)
#define yyparse OV_CAT(OV_GRAMMAR, _yyparse)
#define yylex OV_CAT(OV_GRAMMAR, _yylex)
#define yyerror OV_CAT(OV_GRAMMAR, _yyerror)
#define yylval OV_CAT(OV_GRAMMAR, _yylval)
#define yyval OV_CAT(OV_GRAMMAR, _yyval)
#define yynerrs OV_CAT(OV_GRAMMAR, _yynerrs)
#define yyerrflag OV_CAT(OV_GRAMMAR, _yyerrflag)
#define YYSTYPE OvValue
#define YYMAXDEPTH 20000
int yylex(void);
void yyerror(char *message);
#endif

#define OV_ACT(out, rule, ...)                                                             \
  do {                                                                                     \
    const OvValue ovValues_[] = {0, __VA_ARGS__}; /* after a placeholder */                \
    yyerrflag = 0;                                                                         \
    out = ovOracleReduce(rule, sizeof ovValues_ / sizeof ovValues_[0] - 1, ovValues_ + 1); \
    if (ovOracleHalt()) YYABORT;                                                           \
  } while (0)

#endif /* OVPARSE_ORACLE_H */
