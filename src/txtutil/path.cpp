/*
 * path.cpp - composing paths from a directory, a file name and an
 * extension, and finding the file-name part of a path.
 *
 * Exports pathBaseExt, ov_catpath, makeAllocPath and makePath.  The pieces
 * of a path are collected in a list of at most five strings and joined by
 * StrArrayCat or StrArrayCatBuf.
 *
 * Allocation tag (module 2726): 272600845 for the copy of a name that is a
 * path already; joined paths carry the joining routine's tag.
 */
#include <cstring>

#include "ovbase/platform.h"
#include "ovbase/txtutil.h"

namespace {

constexpr uint32_t kTagNameIsPath = 272600845;
constexpr char kDirSeparator[] = "/";
constexpr char kExtSeparator[] = ".";
constexpr uint64_t kMaxPieces = 5;  // dir, "/", name, ".", ext

// A directory that begins with '.' would be resolved against the base path
// of ov_catpath; this system keeps none, so such a directory contributes no
// piece.  A null directory is the empty one.
const char *usableDir(const char *dir) {
  if (dir == nullptr) return "";
  if (dir[0] == '.') return nullptr;
  return dir;
}

uint64_t makePathInt(const char **pieces, const char *dir, const char *name, const char *ext) {
  uint64_t count = 0;
  if (dir != nullptr) {
    pieces[count++] = dir;
    const std::size_t len = std::strlen(dir);
    if (len != 0 && dir[len - 1] != kDirSeparator[0]) pieces[count++] = kDirSeparator;
  }
  if (name != nullptr) pieces[count++] = name;
  if (ext != nullptr) {
    pieces[count++] = kExtSeparator;
    pieces[count++] = ext;
  }
  return count;
}

}  // namespace

extern "C" {

OV_API const char *pathBaseExt(const char *path) {
  if (path == nullptr) return nullptr;
  const char *slash = std::strrchr(path, kDirSeparator[0]);
  return slash != nullptr ? slash + 1 : path;
}

OV_API const char *ov_catpath(void) { return nullptr; }

OV_API char *makeAllocPath(const char *dir, const char *name, const char *ext, void *memCtx) {
  if (name != nullptr && name[0] != '.' && std::strchr(name, kDirSeparator[0]) != nullptr)
    return static_cast<char *>(ov_getMem(0, memCtx, MEM_STRDUP, name, kTagNameIsPath));
  const char *pieces[kMaxPieces];
  const uint64_t count = makePathInt(pieces, usableDir(dir), name, ext);
  return StrArrayCat(pieces, count, nullptr, nullptr, memCtx);
}

OV_API int makePath(char *buffer, uint64_t size, const char *dir, const char *name,
                    const char *ext) {
  const char *pieces[kMaxPieces];
  const uint64_t count = makePathInt(pieces, usableDir(dir), name, ext);
  return StrArrayCatBuf(pieces, count, buffer, size);
}

}  // extern "C"
