/* Statements with error recovery rules, empty rules and a dangling else. */
%{
#include "oracle.h"
%}
%token ID NUM IF ELSE WHILE
%nonassoc THEN
%nonassoc ELSE
%%
prog:  stmts                           { OV_ACT($$, 1, $1); }
     ;
stmts: /* empty */                     { OV_ACT($$, 2, ); }
     | stmts stmt                      { OV_ACT($$, 3, $1, $2); }
     ;
stmt:  ID '=' expr ';'                 { OV_ACT($$, 4, $1, $2, $3, $4); }
     | IF '(' expr ')' stmt %prec THEN { OV_ACT($$, 5, $1, $2, $3, $4, $5); }
     | IF '(' expr ')' stmt ELSE stmt  { OV_ACT($$, 6, $1, $2, $3, $4, $5, $6, $7); }
     | WHILE '(' expr ')' stmt         { OV_ACT($$, 7, $1, $2, $3, $4, $5); }
     | '{' stmts '}'                   { OV_ACT($$, 8, $1, $2, $3); }
     | WHILE '(' error ')' stmt        { OV_ACT($$, 9, $1, $2, OV_ERR, $4, $5); }
     | error ';'                       { OV_ACT($$, 10, OV_ERR, $2); }
     | ';'                             { OV_ACT($$, 11, $1); }
     ;
expr:  expr '+' atom                   { OV_ACT($$, 12, $1, $2, $3); }
     | atom                            { OV_ACT($$, 13, $1); }
     ;
atom:  ID                              { OV_ACT($$, 14, $1); }
     | NUM                             { OV_ACT($$, 15, $1); }
     | '(' expr ')'                    { OV_ACT($$, 16, $1, $2, $3); }
     ;
%%
#include "oracle_tail.h"
