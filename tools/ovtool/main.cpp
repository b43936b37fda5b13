/*
 * ovtool - a small tour of the ovbase library from the command line.
 *
 *   ovtool errinfo CODE|NAME   message and name of a status code
 *   ovtool version             release what-string and compiler
 *   ovtool dec OP A [B]        decimal arithmetic
 *   ovtool calc 'EXPR'          exact decimal calculator
 *   ovtool help                this list
 */
#include <cstdio>
#include <cstring>

#include "ovtool.h"

namespace {

struct Command {
  const char *name;
  int (*run)(int argc, char **argv);
  const char *synopsis;
};

int cmdHelp(int, char **);

constexpr Command commands[] = {
    {"errinfo", cmdErrinfo, "errinfo CODE|NAME      message and name of a status code"},
    {"version", cmdVersion, "version                release what-string and compiler"},
    {"dec", cmdDec, "dec OP A [B]           decimal arithmetic: add sub mul div cmp ceil floor,\n"
                    "                              pack A PRECISION SCALE"},
    {"calc", cmdCalc, "calc 'EXPR'            exact decimal calculator: + - * / ( ) unary minus"},
    {"help", cmdHelp, "help                   this list"},
};

int cmdHelp(int argc, char **) {
  if (argc != 1) return usage("help");
  std::puts("usage: ovtool COMMAND [ARGS]");
  for (const Command &c : commands) std::printf("  ovtool %s\n", c.synopsis);
  return 0;
}

}  // namespace

int usage(const char *text) {
  std::fprintf(stderr, "usage: ovtool %s\n", text);
  return 2;
}

int main(int argc, char **argv) {
  if (argc < 2) return usage("COMMAND [ARGS] (ovtool help lists the commands)");
  for (const Command &c : commands)
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "ovtool: unknown command '%s'\n", argv[1]);
  return usage("COMMAND [ARGS] (ovtool help lists the commands)");
}
