/*
 * ini.cpp - `ovtool ini get|set|del`: INI lookups and updates.
 *
 *   ini get FILE                     the section names, one a line
 *   ini get FILE SECTION             the section's entries as key=value
 *   ini get FILE SECTION KEY         the key's value
 *   ini set FILE SECTION KEY VALUE   set a value (adds key or section)
 *   ini del FILE SECTION [KEY]       delete a key, or the whole section
 */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovtool.h"

namespace {

constexpr const char *kUsage =
    "ini get FILE [SECTION [KEY]] | ini set FILE SECTION KEY VALUE | ini del FILE SECTION [KEY]";

// Prints the library's refusal and returns 1.
int refused(const char *action, const char *file, int status) {
  char text[160];
  ov_errinfo(status, text, sizeof text);
  std::fprintf(stderr, "ovtool: cannot %s %s: %s\n", action, quoteArg(file).c_str(), text);
  return 1;
}

int get(const char *file, const char *section, const char *key) {
  uint32_t size = 256;
  char *buffer = nullptr;
  OV_STATUS status = S_BUFFERTOOSMALL;
  while (status == S_BUFFERTOOSMALL && size != 0) {
    std::free(buffer);
    buffer = static_cast<char *>(std::malloc(size));
    if (buffer == nullptr) return refused("read", file, S_NOMEMORY);
    status = ov_iniGetPrivate(section, key, buffer, size, 1, file);
    size *= 2;
  }
  if (status == S_OKAY && key != nullptr) {
    std::puts(buffer);  // one value, which may be empty
  } else if (status == S_OKAY) {
    for (const char *item = buffer; *item != '\0'; item += std::strlen(item) + 1) std::puts(item);
  } else if (status == S_NOTFOUND && ov_fileValidate(file) != 0) {
    std::fprintf(stderr, "ovtool: cannot read %s: no such file\n", quoteArg(file).c_str());
  } else if (status == S_NOTFOUND && key != nullptr) {
    std::fprintf(stderr, "ovtool: %s has no key %s in section %s\n", quoteArg(file).c_str(),
                 quoteArg(key).c_str(), quoteArg(section).c_str());
  } else if (status == S_NOTFOUND) {
    std::fprintf(stderr, "ovtool: %s has no section %s\n", quoteArg(file).c_str(),
                 quoteArg(section).c_str());
  } else {
    refused("read", file, status);
  }
  std::free(buffer);
  return status == S_OKAY ? 0 : 1;
}

int change(const char *file, const char *section, const char *key, const char *value) {
  const OV_STATUS status = ov_iniSetPrivate(section, key, value, file);
  if (status == S_NOFILE && ov_fileValidate(file) != 0) {
    std::fprintf(stderr, "ovtool: cannot update %s: no such file\n", quoteArg(file).c_str());
    return 1;
  }
  return status == S_OKAY ? 0 : refused("update", file, status);
}

}  // namespace

int cmdIni(int argc, char **argv) {
  if (argc < 3) return usage(kUsage);
  const char *verb = argv[1], *file = argv[2];
  if (std::strcmp(verb, "get") == 0 && argc <= 5)
    return get(file, argc > 3 ? argv[3] : nullptr, argc > 4 ? argv[4] : nullptr);
  if (std::strcmp(verb, "set") == 0 && argc == 6) return change(file, argv[3], argv[4], argv[5]);
  if (std::strcmp(verb, "del") == 0 && (argc == 4 || argc == 5))
    return change(file, argv[3], argc > 4 ? argv[4] : nullptr, nullptr);
  return usage(kUsage);
}
