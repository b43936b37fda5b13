/*
 * ovtool - a small tour of the ovbase library from the command line.
 *
 *   ovtool errinfo CODE|NAME   message and name of a status code
 *   ovtool version             release what-string and compiler (also --version)
 *   ovtool sysinfo             host name, system description, compiler, what-string
 *   ovtool dec OP A [B]        decimal arithmetic
 *   ovtool date [DATE]         a date taken apart (YYYY-MM-DD, today, day number)
 *   ovtool ini ...             INI lookups and updates
 *   ovtool calc 'EXPR'         exact decimal calculator
 *   ovtool help                this list (also -h, --help)
 *
 * Exit status: 0 done, 1 the library refused the input or the output could
 * not be written, 2 a usage error.
 */
#include <cerrno>
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
    {"sysinfo", cmdSysinfo, "sysinfo                host name, system description, compiler, what-string"},
    {"dec", cmdDec, "dec [--limits P/S] OP A [B]\n"
                    "                              decimal arithmetic: add sub mul div cmp ceil floor,\n"
                    "                              pack A PRECISION SCALE; --limits sets max_precision\n"
                    "                              and max_scale for the run (default 32/16)"},
    {"date", cmdDate, "date [DATE]            day number, weekday, day of year, week, quarter\n"
                      "                              and month of DATE: YYYY-MM-DD, today or a day number"},
    {"ini", cmdIni, "ini get FILE [SECTION [KEY]]\n"
                    "                              the sections, a section's entries, or a value\n"
                    "         ini set FILE SECTION KEY VALUE\n"
                    "         ini del FILE SECTION [KEY]"},
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

std::string quoteArg(const char *arg) {
  constexpr std::size_t kShown = 60;
  const std::size_t length = std::strlen(arg);
  if (length <= kShown) return "'" + std::string(arg) + "'";
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(arg[cut]) & 0xC0) == 0x80) --cut;  // a UTF-8 continuation
  return "'" + std::string(arg, cut) + "...' (" + std::to_string(length) + " bytes)";
}

namespace {

// Runs the command named by argv[1].
int dispatch(int argc, char **argv) {
  if (argc < 2) return usage("COMMAND [ARGS] (ovtool help lists the commands)");
  const char *name = argv[1];
  if (!std::strcmp(name, "-h") || !std::strcmp(name, "--help")) name = "help";
  if (!std::strcmp(name, "--version")) name = "version";
  for (const Command &c : commands)
    if (std::strcmp(name, c.name) == 0) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "ovtool: unknown command %s\n", quoteArg(argv[1]).c_str());
  return usage("COMMAND [ARGS] (ovtool help lists the commands)");
}

}  // namespace

int main(int argc, char **argv) {
  const int status = dispatch(argc, argv);
  // Output that never arrived (a full disk, a closed pipe) is a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "ovtool: cannot write the output: %s\n", std::strerror(errno));
    return 1;
  }
  return status;
}
