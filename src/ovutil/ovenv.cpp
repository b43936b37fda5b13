/*
 * ovenv.cpp - the process-local environment overlay.
 *
 * Exports ov_putLocalEnv, ov_getLocalEnv and ov_getenv.  The overlay is an
 * array of heap copies of NAME=value texts with upper-cased names, in the
 * order of their first put.  It has no lock (see ovutil.h).
 *
 * Allocation tags (module 1820): 182000283 for an entry, 182000316 for the
 * array of entries.
 */
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/txtutil.h"

namespace {

constexpr uint32_t kTagEntry = 182000283;
constexpr uint32_t kTagArray = 182000316;
constexpr std::size_t kNameArea = 128;  // lookups fold at most 127 characters

char **LocalEnv = nullptr;
uint32_t NumLocalEnv = 0;

// Length of the name part: up to the first '=', or the whole text.
std::size_t nameLength(const char *entry) { return std::strcspn(entry, "="); }

// The first entry whose name is the first n characters of `name`: it
// matches them and then has '=' or ends (a bare name).  Null when none.
char **findEntry(const char *name, std::size_t n) {
  for (uint32_t i = 0; i < NumLocalEnv; ++i) {
    const char *entry = LocalEnv[i];
    if (std::strncmp(entry, name, n) == 0 && (entry[n] == '=' || entry[n] == '\0'))
      return &LocalEnv[i];
  }
  return nullptr;
}

// Adds one slot holding `entry`.  False, with the overlay unchanged, when
// the array cannot grow.
bool appendEntry(char *entry) {
  const uint64_t bytes = (static_cast<uint64_t>(NumLocalEnv) + 1) * sizeof(char *);
  void *grown = LocalEnv == nullptr
                    ? ov_getMem(bytes, nullptr, MEM_PLAIN, nullptr, kTagArray)
                    : ov_extendMem(LocalEnv, bytes, nullptr, 0, 0, kTagArray);
  if (grown == nullptr) return false;
  LocalEnv = static_cast<char **>(grown);
  LocalEnv[NumLocalEnv++] = entry;
  return true;
}

}  // namespace

extern "C" {

OV_API void ov_putLocalEnv(const char *entry) {
  if (entry == nullptr) return;
  char *copy = static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, entry, kTagEntry));
  if (copy == nullptr) return;
  const std::size_t n = nameLength(copy);
  // Upper-case the name alone: cut the copy at the '=' for the moment.
  const char separator = copy[n];
  copy[n] = '\0';
  _strupr(copy);
  copy[n] = separator;

  char **slot = findEntry(copy, n);
  if (slot == nullptr) {
    if (!appendEntry(copy)) ov_freeMemory(copy, nullptr);
    return;
  }
  if (std::strcmp(*slot + n, copy + n) == 0) {
    ov_freeMemory(copy, nullptr);
    return;
  }
  ov_freeMemory(*slot, nullptr);
  *slot = copy;
}

OV_API char *ov_getLocalEnv(const char *name) {
  if (name == nullptr) return nullptr;
  const std::size_t n = std::strlen(name);
  // The folded copy holds 127 characters, so a longer name cannot match.
  if (n >= kNameArea) return nullptr;
  char folded[kNameArea];
  _strupr(StrncpyZ(folded, name, sizeof folded));
  for (uint32_t i = 0; i < NumLocalEnv; ++i) {
    char *entry = LocalEnv[i];
    if (std::strncmp(entry, folded, n) == 0 && entry[n] == '=') return entry + n + 1;
  }
  return nullptr;
}

OV_API char *ov_getenv(const char *name) {
  char *value = ov_getLocalEnv(name);
  return value != nullptr ? value : ov_OSgetenv(name);
}

}  // extern "C"
