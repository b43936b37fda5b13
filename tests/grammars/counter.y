/* Two error rules in sequence: how it recovers depends on the recovery
   counter being cleared by every completed reduction. */
%{
#include "oracle.h"
%}
%token X Y Z
%%
p:  a b          { OV_ACT($$, 1, $1, $2); }
  ;
a:  X            { OV_ACT($$, 2, $1); }
  | error        { OV_ACT($$, 3, OV_ERR); }
  ;
b:  Y            { OV_ACT($$, 4, $1); }
  | error Z      { OV_ACT($$, 5, OV_ERR, $2); }
  ;
%%
#include "oracle_tail.h"
