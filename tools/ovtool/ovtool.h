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
int cmdDate(int argc, char **argv);
int cmdSysinfo(int argc, char **argv);
int cmdIni(int argc, char **argv);
int cmdCalc(int argc, char **argv);

// Decimal status bits in words ("truncated, overflow"), "none" for no bit.
std::string bitsInWords(int bits);

// Prints "usage: ovtool <text>" on stderr and returns 2.
int usage(const char *text);

// A command-line argument quoted for a message: at most its first 60 bytes
// (never half a UTF-8 character), then "..." and its length when longer.
std::string quoteArg(const char *arg);

#endif
