/*
 * unixshared.cpp - description of the host and of the build.
 *
 * Exports ov_compiler, ov_hostname and ov_sysinfo.  The Linux distribution
 * is recognised from the first line of its release file under /etc
 * (figure_distro), read through a file stream.  Also carries the release
 * what-string, kept in the binary so that tools reading printable strings
 * find the version.
 *
 * Allocation tags (module 1824): 182400164 and 182400173 for the host name,
 * 182400193 to 182400238 for the distribution name (one per outcome, in
 * the rule table), 182400278 and 182400385 for the system description.
 */
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "version.h"

#ifdef OV_TEST_HOOKS
#include "platform/releasedir_hook.h"
#endif

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

/* ---- Host and system description ----------------------------------------- */

namespace {

constexpr uint32_t kTagHostname = 182400164;
constexpr uint32_t kTagHostUnknown = 182400173;
constexpr uint32_t kTagSysinfo = 182400278;
constexpr uint32_t kTagSysUnknown = 182400385;
constexpr char kUnknown[] = "<unknown>";

// Where the release files are: /etc, or a test's folder in the test build.
#ifdef OV_TEST_HOOKS
char releaseDir[400] = "/etc";
#else
constexpr char releaseDir[] = "/etc";
#endif

// How a release file names the distribution.
enum class ReleaseForm {
  kCutAtParen,      // the first line up to " (" ("Linux" for a blank line)
  kProductVersion,  // "product version": the text before `word`, then the
                    // text from 9 characters after its start up to `end`
  kExists,          // the file's existence alone gives `fixed`
};

struct ReleaseRule {
  const char *file;    // name under the release folder
  ReleaseForm form;    //
  const char *word;    // kProductVersion: where the product ends
  const char *end;     // kProductVersion: where the version ends
  const char *fixed;   // kCutAtParen: the name for a blank line; kExists: the name
  uint32_t tagNamed;   // allocation tag of a name built by the rule
  uint32_t tagCopied;  // allocation tag of a copy of the line
};

// Tried in order; the first file that opens (or, for kExists, exists)
// decides.
constexpr ReleaseRule releaseRules[] = {
    {"vine-release", ReleaseForm::kCutAtParen, nullptr, nullptr, "Linux", 182400193, 182400195},
    {"turbolinux-release", ReleaseForm::kCutAtParen, nullptr, nullptr, "Linux", 182400193, 182400195},
    {"SuSE-release", ReleaseForm::kCutAtParen, nullptr, nullptr, "Linux", 182400193, 182400195},
    {"mvl-release", ReleaseForm::kProductVersion, " Version", " Release", nullptr, 182400209, 182400213},
    {"redhat-release", ReleaseForm::kProductVersion, " release", " (", nullptr, 182400227, 182400231},
    {"debian_release", ReleaseForm::kExists, nullptr, nullptr, "Debian Linux", 182400234, 0},
    {"mandrake-release", ReleaseForm::kExists, nullptr, nullptr, "Mandrake Linux", 182400236, 0},
};
constexpr char kNoDistro[] = "Unknown Linux distro";
constexpr uint32_t kTagNoDistro = 182400238;
// The version begins this far from the start of the word before it: the
// word's 8 characters and the one after them.
constexpr std::size_t kVersionOffset = 9;
static_assert(sizeof " Version" - 1 == kVersionOffset - 1 && sizeof " release" - 1 == kVersionOffset - 1);

constexpr std::size_t kLineSize = 256;  // a release line is read up to 255 bytes

char *copyText(const char *text, uint32_t tag) {
  return static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, text, tag));
}

// The name a rule gives for the first line of its file.
char *nameFromLine(const ReleaseRule &rule, char *line) {
  if (rule.form == ReleaseForm::kCutAtParen) {
    if (line[0] == '\n') return copyText(rule.fixed, rule.tagNamed);
    if (char *paren = std::strstr(line, " (")) *paren = '\0';
    return copyText(line, rule.tagCopied);
  }
  // A line without the word is copied whole, line end included.
  char *word = std::strstr(line, rule.word);
  if (word == nullptr) return copyText(line, rule.tagCopied);
  const std::size_t lineLength = std::strlen(line);
  const std::size_t wordAt = static_cast<std::size_t>(word - line);
  char *version = line + (wordAt + kVersionOffset <= lineLength ? wordAt + kVersionOffset : lineLength);
  // The end word is looked for from the word on.  When it begins on the
  // skipped character, the cut falls before the version, which then runs to
  // the end of the line.
  if (char *end = std::strstr(word + 1, rule.end)) *end = '\0';
  *word = '\0';
  const std::size_t size = wordAt + 1 + std::strlen(version) + 1;
  auto *name = static_cast<char *>(ov_getMem(size, nullptr, MEM_PLAIN, nullptr, rule.tagNamed));
  if (name != nullptr) std::snprintf(name, size, "%s %s", line, version);
  return name;
}

// The distribution's name in a new block, or null when memory runs out.
// A release file that exists and is readable but cannot be opened as a
// stream (no memory for the stream, say) also gives null, rather than the
// name of whatever distribution the later rules would find.
char *figure_distro() {
  char path[sizeof releaseDir + 32];
  for (const ReleaseRule &rule : releaseRules) {
    std::snprintf(path, sizeof path, "%s/%s", releaseDir, rule.file);
    if (rule.form == ReleaseForm::kExists) {
      if (ov_fileValidate(path) == 0) return copyText(rule.fixed, rule.tagNamed);
      continue;
    }
    FILESTREAM *stream = ov_fileStreamOpen(path, "r");
    if (stream == nullptr) {
      if (faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0) return nullptr;
      continue;
    }
    char line[kLineSize];
    line[0] = '\0';
    ov_fileStreamGets(stream, line, sizeof line);
    ov_fileStreamClose(stream);
    return nameFromLine(rule, line);
  }
  return copyText(kNoDistro, kTagNoDistro);
}

}  // namespace

#ifdef OV_TEST_HOOKS
extern "C" void ov_testSetReleaseDir(const char *dir) {
  std::snprintf(releaseDir, sizeof releaseDir, "%s", dir != nullptr ? dir : "/etc");
}
#endif

extern "C" {

OV_API char *ov_hostname(void) {
  struct utsname host {};
  if (uname(&host) != 0) return copyText(kUnknown, kTagHostUnknown);
  return copyText(host.nodename, kTagHostname);
}

OV_API char *ov_sysinfo(void) {
  struct utsname host {};
  if (uname(&host) != 0) return copyText(kUnknown, kTagSysUnknown);
  char *distro = figure_distro();
  if (distro == nullptr) return nullptr;
  const long processors = sysconf(_SC_NPROCESSORS_ONLN);
  constexpr char kFormat[] = "%s (%s) [%s X %ld]";
  const int length = std::snprintf(nullptr, 0, kFormat, distro, host.release, host.machine, processors);
  char *text = nullptr;
  if (length >= 0) {
    const auto size = static_cast<uint64_t>(length) + 1;
    text = static_cast<char *>(ov_getMem(size, nullptr, MEM_PLAIN, nullptr, kTagSysinfo));
    if (text != nullptr)
      std::snprintf(text, size, kFormat, distro, host.release, host.machine, processors);
  }
  ov_freeMemory(distro, nullptr);
  return text;
}

}  // extern "C"
