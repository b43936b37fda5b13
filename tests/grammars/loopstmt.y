/* An error rule reduced straight after the error token: a token that
   cannot follow makes recovery come back to the same place. */
%{
#include "oracle.h"
%}
%token X Y
%%
prog:  stmts         { OV_ACT($$, 1, $1); }
     ;
stmts: /* empty */   { OV_ACT($$, 2, ); }
     | stmts stmt    { OV_ACT($$, 3, $1, $2); }
     ;
stmt:  X ';'         { OV_ACT($$, 4, $1, $2); }
     | error         { OV_ACT($$, 5, OV_ERR); }
     ;
%%
#include "oracle_tail.h"
