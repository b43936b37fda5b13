/*
 * The grammar of `ovtool calc`: decimal arithmetic with + - * /, parentheses
 * and unary minus.  Only its tables are used: calc.cpp runs them with
 * ov_yyparse and computes each rule's value by the rule numbers in the
 * comments (1 for the first rule, in order).
 */
%token NUM
%left '+' '-'
%left '*' '/'
%right UMINUS
%%
line: expr                    /* 1 */
    ;
expr: expr '+' expr           /* 2 */
    | expr '-' expr           /* 3 */
    | expr '*' expr           /* 4 */
    | expr '/' expr           /* 5 */
    | '-' expr %prec UMINUS   /* 6 */
    | '(' expr ')'            /* 7 */
    | NUM                     /* 8 */
    ;
%%
