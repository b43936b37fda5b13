/* A program built against the installed ovbase. */
#include <ovbase.h>
#include <stdio.h>

int main(void) {
  char text[64];
  ov_errinfo(S_NOTFOUND, text, sizeof text);
  puts(text);
  return 0;
}
