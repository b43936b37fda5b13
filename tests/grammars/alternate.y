/* Recovery that alternates between two configurations without reading a
   token (the input D X). */
%{
#include "oracle.h"
%}
%token D X Y Z
%%
p:  D q          { OV_ACT($$, 1, $1, $2); }
  ;
q:  a b Y        { OV_ACT($$, 2, $1, $2, $3); }
  | x Z          { OV_ACT($$, 3, $1, $2); }
  ;
a:  error        { OV_ACT($$, 4, OV_ERR); }
  ;
b:  /* empty */  { OV_ACT($$, 5, ); }
  ;
x:  a error      { OV_ACT($$, 6, $1, OV_ERR); }
  ;
%%
#include "oracle_tail.h"
