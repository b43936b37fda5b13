/*
 * sysinfo.cpp - `ovtool sysinfo`: the host name, the one-line system
 * description, the compiler that built the library and its what-string.
 */
#include <cstdio>

#include "ovbase/platform.h"
#include "ovtool.h"
#include "version.h"

int cmdSysinfo(int argc, char **) {
  if (argc != 1) return usage("sysinfo");
  char *host = ov_hostname();
  char *system = ov_sysinfo();
  const bool ok = host != nullptr && system != nullptr;
  if (ok) {
    std::printf("host: %s\nsystem: %s\ncompiler: %s\nversion: %s\n", host, system, ov_compiler(),
                OV_WHAT_STRING);
  } else {
    std::fprintf(stderr, "ovtool: the library could not describe the system (out of memory)\n");
  }
  ov_freeMemory(host, nullptr);
  ov_freeMemory(system, nullptr);
  return ok ? 0 : 1;
}
