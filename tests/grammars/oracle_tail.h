/* oracle_tail.h - the lexer and error report of a grammar's oracle (see oracle.h). */
int yylex(void) { return ovOracleLex(&yylval); }
void yyerror(char *message) {
  (void)message;
  ovOracleError();
}
