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

// The compiler's release, spelled out by the preprocessor: the text is
// complete in the binary before any thread can ask for it.  Under clang the
// numbers are clang's own release (its __GNUC__ macros name the GNU dialect
// level it imitates, not the compiler that built the library).
#define OV_STRINGIFY_(x) #x
#define OV_STRINGIFY(x) OV_STRINGIFY_(x)
#if defined(__clang__)
#define OV_COMPILER_VERSION __clang_major__, __clang_minor__, __clang_patchlevel__
#else
#define OV_COMPILER_VERSION __GNUC__, __GNUC_MINOR__, __GNUC_PATCHLEVEL__
#endif
#define OV_DOTTED_(major, minor, patch) OV_STRINGIFY(major) "." OV_STRINGIFY(minor) "." OV_STRINGIFY(patch)
#define OV_DOTTED(version) OV_DOTTED_(version)

constexpr char compiler_str[80] = "GNU C/C++ " OV_DOTTED(OV_COMPILER_VERSION);

}  // namespace

extern "C" {

OV_API const char *ov_compiler(void) { return compiler_str; }

}  // extern "C"
