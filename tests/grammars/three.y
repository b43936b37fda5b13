/* A right-recursive list (the stack grows with the input), empty rules and
   rules of three symbols. */
%{
#include "oracle.h"
%}
%token A B C
%%
s:    list          { OV_ACT($$, 1, $1); }
    ;
list: /* empty */   { OV_ACT($$, 2, ); }
    | item list     { OV_ACT($$, 3, $1, $2); }
    ;
item: A B C         { OV_ACT($$, 4, $1, $2, $3); }
    | A opt C       { OV_ACT($$, 5, $1, $2, $3); }
    | B             { OV_ACT($$, 6, $1); }
    ;
opt:  /* empty */   { OV_ACT($$, 7, ); }
    | B B           { OV_ACT($$, 8, $1, $2); }
    ;
%%
#include "oracle_tail.h"
