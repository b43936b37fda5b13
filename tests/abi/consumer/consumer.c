/* A program built against the installed ovbase, as C99 and as C++. */
#include <ovbase.h>
#include <stdio.h>

int main(void) {
  char text[64];
  ov_errinfo(S_NOTFOUND, text, sizeof text);
  puts(text);
  puts(OVBASE_VERSION_STRING);
  return 0;
}
