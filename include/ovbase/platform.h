/*
 * ovbase/platform.h - platform services: tagged memory, unbuffered files,
 * sleep, clock, local time, environment, the mutex table, type alignment
 * and the description of the host and compiler.
 *
 * Conventions:
 *  - Memory: every heap block that ovbase hands out or keeps comes from
 *    ov_getMem or ov_extendMem and goes back through ov_freeMemory.  A block
 *    that a library function returns as newly allocated is the caller's to
 *    release that way.  Each call names its allocation site with a tag
 *    (module number * 100000 + source line, e.g. 180201502) and passes an
 *    opaque memory context; the allocator reads neither.  Exhausted memory is
 *    a null result, never a status code.
 *  - Files, time, sleep and environment are thin wrappers: each returns the
 *    platform's own result (a descriptor, a byte count, 0 or -1, a pointer or
 *    null) with errno set by the platform call.  They keep no state.
 *  - The mutex table: 51 slots; handle 0 is a permanent mutex, ready at load
 *    time, for one-time setups; handles 1 to 50 are created and deleted by
 *    callers.  Mutexes are not recursive.
 *  - Thread rule: everything here may be called from any thread; only
 *    ov_syncCreate takes an internal lock.
 */
#ifndef OVBASE_PLATFORM_H
#define OVBASE_PLATFORM_H

#include "ovdefs.h"
#include <time.h>

OV_BEGIN_DECLS

/* ---- Memory -------------------------------------------------------------- */

/* Allocation modes of ov_getMem. */
#define MEM_PLAIN  1 /* size bytes, contents undefined */
#define MEM_ZERO   2 /* size bytes, all zero */
#define MEM_STRDUP 3 /* a copy of the string at source; size is not used */
#define MEM_COPY   4 /* size bytes copied from source, no terminator added */

/* Returns a new block made as `mode` says (see MEM_*), or null when memory
   runs out, when the mode is not one of 1 to 4, when MEM_STRDUP is given a
   null source, or when MEM_COPY is given a null source and a size above 0;
   nothing is allocated then.  MEM_COPY of 0 bytes reads nothing and hands
   out a block as for any source. */
OV_API void *ov_getMem(uint64_t size, void *memCtx, int32_t mode,
                       const void *source, uint32_t tag);

/* Resizes `block` to newSize bytes, keeping its contents up to the smaller
   size; the block may move.  A null block is allocated fresh (zero-filled
   when zeroFill is non-zero; growBy is then not used).  With zeroFill set
   and growBy non-zero, the last growBy bytes of the resized block are
   zeroed (a growBy above newSize is taken as newSize).  A newSize of 0 on
   an existing block keeps a one-byte block rather than freeing it.  Returns the block at its new
   size, or null; on failure an existing block stays allocated and
   unchanged and remains the caller's. */
OV_API void *ov_extendMem(void *block, uint64_t newSize, void *memCtx,
                          int32_t zeroFill, uint64_t growBy, uint32_t tag);

/* Releases a block from ov_getMem or ov_extendMem.  Null does nothing. */
OV_API void ov_freeMemory(void *block, void *memCtx);

/* ---- Files --------------------------------------------------------------- */

/* Returns the soft limit on open descriptors (RLIMIT_NOFILE), reduced to its
   low 16 bits as a signed value: 1024 stays 1024, 65536 gives 0. */
OV_API int16_t ov_getOSHandleLimit(void);

/* Opens `path` with the platform's open flags; the truncate flag 0x200 also
   implies create (0x40).  The permission mode is always widened by 0666
   before the umask applies.  sizeHint and openOption are accepted and not
   used.  Returns the descriptor, or -1. */
OV_API int32_t ov_fileOpen(const char *path, int32_t flags, uint16_t mode,
                           int32_t sizeHint, int32_t openOption);

/* Closes a descriptor.  Returns 0, or -1. */
OV_API int32_t ov_fileClose(int32_t fd);

/* Reads up to count bytes at the current position.  Returns the number of
   bytes read (0 at end of file), or -1. */
OV_API int64_t ov_fileRead(int32_t fd, void *buffer, uint32_t count);

/* Writes count bytes at the current position.  Returns the number of bytes
   written, or -1. */
OV_API int64_t ov_fileWrite(int32_t fd, const void *buffer, uint32_t count);

/* Moves the position to `offset` bytes from the start of the file (always
   absolute).  Returns the new position, or -1. */
OV_API int64_t ov_fileSeek(int32_t fd, int64_t offset);

/* Returns the file's length in bytes, or -1 for a handle that cannot seek.
   The position is restored; two threads must not share the handle's
   position meanwhile. */
OV_API int64_t ov_fileLength(int32_t fd);

/* Removes a file (remove: an empty directory too).  Returns 0, or -1. */
OV_API int32_t ov_fileRemove(const char *path);

/* Renames oldPath to newPath.  Returns 0, or -1. */
OV_API int32_t ov_fileRename(const char *oldPath, const char *newPath);

/* Returns 0 when `path` exists (existence only, no permission test), else -1. */
OV_API int32_t ov_fileValidate(const char *path);

/* ---- Time, sleep and environment ----------------------------------------- */

/* Sleeps the calling thread for the whole interval (nanosleep), going on
   with the time left when a signal handler interrupts it.  Returns 0. */
OV_API int32_t ov_sleep(uint32_t milliseconds);

/* Looks `name` up in the process environment.  Returns a pointer into the
   environment (not to be released or changed), or null (also for a null
   name). */
OV_API char *ov_OSgetenv(const char *name);

/* Converts *timer to local broken-down time in *result (re-entrant).
   Returns result, or null on failure (a time out of range, or a null
   argument: errno EINVAL, nothing written). */
OV_API struct tm *ov_timeLocaltime(const time_t *timer, struct tm *result);

/* Returns the wall clock as nanoseconds since 1970-01-01 UTC, taken from a
   microsecond clock: always a multiple of 1000. */
OV_API uint64_t ov_timeHRTimer(void);

/* ---- Mutex table ---------------------------------------------------------- */

/* Creates a mutex in the lowest free slot among 1 to 50.  name, kind and
   initialState are accepted and not used.  Returns the handle (1 to 50), or
   -2006 (S_INSUFFNETRES) when all 50 are in use; nothing changes then. */
OV_API int32_t ov_syncCreate(const char *name, int16_t kind, int16_t initialState);

/* Locks the handle's mutex, waiting while another thread holds it.  A handle
   outside 0 to 50, or one not in use, is ignored.  Not recursive. */
OV_API void ov_syncEnterExcl(int16_t handle);

/* Unlocks the handle's mutex; a handle outside 0 to 50 or not in use is
   ignored.  Only the holder may exit. */
OV_API void ov_syncExitExcl(int16_t handle);

/* Destroys the handle's mutex and frees its slot for reuse; a handle outside
   0 to 50 or not in use is ignored.  Deleting handle 0 makes entering and
   leaving it do nothing from then on.  No thread may still use the handle. */
OV_API void ov_syncDelete(int16_t handle);

/* ---- Alignment ------------------------------------------------------------ */

/* Returns the alignment class (0 to 6) of a caller's type code 0 to 14;
   any other code gives class 0 (byte alignment). */
OV_API uint32_t ov_getAlignType(uint16_t typeCode);

/* Returns offset rounded up to the boundary of alignClass (classes 0 to 6:
   1, 2, 4, 4, 4, 8 and 8 bytes); an aligned offset is returned unchanged.
   A class above 6 is treated as class 0 and returns offset unchanged.  An
   offset above the largest 64-bit multiple of the boundary (for class 5,
   UINT64_MAX - 6 and up) has no aligned value at or above it: the result
   is then UINT64_MAX, never a wrapped-around small offset. */
OV_API uint64_t ov_align(uint64_t offset, uint32_t alignClass);

/* ---- Host and compiler ---------------------------------------------------- */

/* Returns the text "GNU C/C++ major.minor.patch" naming the release of the
   compiler that built the library (under clang, clang's own release).  The
   text is fixed when the library is compiled: every call from every thread
   gets the same pointer to the same complete text, not to be changed or
   released. */
OV_API const char *ov_compiler(void);

/* Returns the host's network name (uname's node name) in a new block, or
   "<unknown>" when uname fails.  Null only when memory runs out.  The
   caller releases the text with ov_freeMemory. */
OV_API char *ov_hostname(void);

/* Returns "DISTRIBUTION (KERNEL RELEASE) [MACHINE X PROCESSORS ONLINE]" in
   a new block, or "<unknown>" when uname fails.  The distribution is named
   by the first line (up to 255 bytes) of the first of vine-, turbolinux-,
   SuSE-, mvl- and redhat-release under /etc that opens, else by the mere
   existence of debian_release or mandrake-release, else "Unknown Linux
   distro".  A line that the product/version rules do not cut is kept as
   read, line end included.  Null when memory runs out, also when an
   existing readable release file cannot be opened for want of resources
   (rather than naming another distribution).  Release with ov_freeMemory. */
OV_API char *ov_sysinfo(void);

OV_END_DECLS

#endif /* OVBASE_PLATFORM_H */
