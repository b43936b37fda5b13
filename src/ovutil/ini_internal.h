/*
 * ini_internal.h - what the INI lookup and the INI update share: the lazy
 * INI mutex and the refresh of a cached file after a rewrite.
 */
#ifndef OVBASE_INI_INTERNAL_H
#define OVBASE_INI_INTERNAL_H

#include <cstdint>

namespace ov::ini {

// Creates the INI mutex on first use (test, enter handle 0, test again).
void iniInit();

// Holds the INI mutex for its lifetime; iniInit must have run.
class IniLock {
 public:
  IniLock();
  ~IniLock();
  IniLock(const IniLock &) = delete;
  IniLock &operator=(const IniLock &) = delete;

 private:
  int16_t handle_;
};

// Reads path again into its cache record, or into a new one.  When the
// file does not open, an old record keeps its contents; when it opens but
// cannot be read whole, or memory runs out, an old record is dropped, so
// that the next lookup reads the file afresh.  Call under the INI mutex.
void refreshCachedFile(const char *path);

}  // namespace ov::ini

#endif
