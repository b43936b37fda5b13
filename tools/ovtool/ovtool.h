/*
 * ovtool.h - the command table of ovtool.  Each command lives in a file of
 * its own and returns the process exit status: 0 done, 1 the library
 * refused the input, 2 a usage error (after printing a usage line).
 */
#ifndef OVTOOL_OVTOOL_H
#define OVTOOL_OVTOOL_H

#include <string>

int cmdErrinfo(int argc, char **argv);
int cmdVersion(int argc, char **argv);
int cmdDec(int argc, char **argv);
int cmdCalc(int argc, char **argv);

// Decimal status bits in words ("truncated, overflow"), "none" for no bit.
std::string bitsInWords(int bits);

// Prints "usage: ovtool <text>" on stderr and returns 2.
int usage(const char *text);

#endif
