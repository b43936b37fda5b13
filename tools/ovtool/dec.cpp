// placeholder until the decimal command lands
#include "ovtool.h"
int cmdDec(int, char **) { return usage("dec OP A [B]"); }
