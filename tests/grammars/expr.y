/* Arithmetic with precedence, unary minus and parentheses. */
%{
#include "oracle.h"
%}
%token NUM
%left '+' '-'
%left '*' '/'
%right UMINUS
%%
top:  expr                 { OV_ACT($$, 1, $1); }
    ;
expr: expr '+' expr        { OV_ACT($$, 2, $1, $2, $3); }
    | expr '-' expr        { OV_ACT($$, 3, $1, $2, $3); }
    | expr '*' expr        { OV_ACT($$, 4, $1, $2, $3); }
    | expr '/' expr        { OV_ACT($$, 5, $1, $2, $3); }
    | '-' expr %prec UMINUS { OV_ACT($$, 6, $1, $2); }
    | '(' expr ')'         { OV_ACT($$, 7, $1, $2, $3); }
    | NUM                  { OV_ACT($$, 8, $1); }
    ;
%%
#include "oracle_tail.h"
