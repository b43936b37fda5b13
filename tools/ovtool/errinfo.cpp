/*
 * errinfo.cpp - `ovtool errinfo CODE|NAME` and `ovtool version`.
 */
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovtool.h"
#include "version.h"

namespace {

struct NamedCode {
  const char *name;
  int code;
};

constexpr NamedCode namedCodes[] = {
#define OV_NAMED_CODE_(code, name, message) {#name, code},
    OV_STATUS_MAP(OV_NAMED_CODE_)
#undef OV_NAMED_CODE_
};

// Status codes are signed 16-bit; a number outside reads as this.
constexpr int kOutOfRange = INT_MIN;

// Reads a decimal status code or a symbolic name (any case) into *code.
bool parseCode(const char *arg, int *code) {
  for (const NamedCode &n : namedCodes)
    if (strcasecmp(arg, n.name) == 0) {
      *code = n.code;
      return true;
    }
  char *end = nullptr;
  errno = 0;
  long value = std::strtol(arg, &end, 10);
  if (end == arg || *end != '\0') return false;
  if (errno != 0 || value < INT16_MIN || value > INT16_MAX) {
    *code = kOutOfRange;
    return true;
  }
  *code = static_cast<int>(value);
  return true;
}

}  // namespace

int cmdErrinfo(int argc, char **argv) {
  int code = 0;
  if (argc != 2) return usage("errinfo CODE|NAME");
  if (!parseCode(argv[1], &code)) {
    std::fprintf(stderr, "ovtool: %s is neither a status code nor a status name\n", quoteArg(argv[1]).c_str());
    return usage("errinfo CODE|NAME");
  }
  if (code == kOutOfRange) {
    std::fprintf(stderr, "ovtool: %s is outside the status codes' 16-bit range, %d to %d\n",
                 quoteArg(argv[1]).c_str(), INT16_MIN, INT16_MAX);
    return usage("errinfo CODE|NAME");
  }
  char text[160];
  ov_errinfo(code, text, sizeof text);
  std::puts(text);
  return 0;
}

int cmdVersion(int argc, char **) {
  if (argc != 1) return usage("version");
  std::puts(OV_WHAT_STRING);
  std::puts(ov_compiler());
  return 0;
}
