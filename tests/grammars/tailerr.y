/* An error rule on the start symbol itself: recovery goes round in the
   state that accepts, so the input can be accepted right after the loop
   rule fired (with the recovery counter still at 3). */
%{
#include "oracle.h"
%}
%token X Y
%%
prog:  X             { OV_ACT($$, 1, $1); }
     | prog error    { OV_ACT($$, 2, $1, OV_ERR); }
     ;
%%
#include "oracle_tail.h"
