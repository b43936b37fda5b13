/*
 * oracle_support.c - the two formatted-output functions that the generated
 * parsers declare for their debugging aids; the oracles never print.
 */
int fprint(int fd, char *format, ...) {
  (void)fd;
  (void)format;
  return 0;
}
int sprint(char *buffer, char *format, ...) {
  (void)format;
  if (buffer) buffer[0] = '\0';
  return 0;
}
