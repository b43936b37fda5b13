/*
 * unixshared.cpp - description of the host and of the build.
 *
 * Exports ov_compiler.  Also carries the release what-string, kept in the
 * binary so that tools reading printable strings find the version.
 */
#include <cstdio>

#include "ovbase/platform.h"
#include "version.h"

namespace {

[[gnu::used]] constexpr char whatString[] = OV_WHAT_STRING;

// Filled on the first ov_compiler call.  Concurrent first calls write the
// same bytes, so no lock is needed.
char compiler_str[80];

}  // namespace

extern "C" {

OV_API const char *ov_compiler(void) {
  if (compiler_str[0] == '\0')
    std::snprintf(compiler_str, sizeof compiler_str, "GNU C/C++ %d.%d.%d", __GNUC__,
                  __GNUC_MINOR__, __GNUC_PATCHLEVEL__);
  return compiler_str;
}

}  // extern "C"
