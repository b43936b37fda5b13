/*
 * ovbase/txtutil.h - text utilities: bounded copies, argument splitting,
 * joining string arrays, prompt reading and digit tests.
 *
 * Conventions:
 *  - Narrow text is NUL-terminated char; wide text is NUL-terminated
 *    wchar_t (32-bit here).  Buffer sizes count elements and include the
 *    terminator.
 *  - Functions that can fail for want of memory say so: StrToArgv returns
 *    S_NOMEMORY, StrArrayCat returns null.  Blocks they hand out (the
 *    argument vector, a joined buffer) are released with ov_freeMemory.
 *  - Character classes are those of the current locale.
 *  - No shared state: every function is safe from any thread on its own
 *    data.
 */
#ifndef OVBASE_TXTUTIL_H
#define OVBASE_TXTUTIL_H

#include "ovdefs.h"
#include "status.h"
#include <stdio.h>
#include <wchar.h>

OV_BEGIN_DECLS

/* Copies at most size - 1 bytes of src into dst, zero-fills the rest of the
   first size - 1 bytes, and sets dst[size - 1] to 0.  A null src is the
   empty string; size 0 writes nothing.  Returns dst. */
OV_API char *StrncpyZ(char *dst, const char *src, uint64_t size);

/* The same for wide text: copies at most size - 1 wide characters and
   terminates the copy; a null src gives an empty string; size 0 writes
   nothing.  Positions after the copied terminator are not significant.
   Returns dst. */
OV_API wchar_t *WStrncpyZ(wchar_t *dst, const wchar_t *src, uint64_t size);

/* Splits text at whitespace (no quoting, no escapes) into *argc words and an
   argument vector *argv: one block holding argc pointers followed by a copy
   of the text with every whitespace character turned into NUL.  There is no
   null entry after the last pointer.  No words: *argv is null and nothing
   is allocated.  Returns S_OKAY, or S_NOMEMORY when the block cannot be had
   (*argc is then set, *argv not written).  The caller releases the vector
   with one ov_freeMemory(*argv, memCtx). */
OV_API OV_STATUS StrToArgv(const char *text, int32_t *argc, char ***argv, void *memCtx);

/* Joins the non-null strings of the array, in order, into buffer.  A null
   buffer is allocated at the exact size (and *bufSize is not touched);
   otherwise a buffer smaller than needed is grown and *bufSize updated.
   Returns the (possibly moved) buffer, or null when memory runs out, in
   which case a buffer passed in is still allocated and still the caller's. */
OV_API char *StrArrayCat(const char **strings, uint64_t count, char *buffer,
                         uint64_t *bufSize, void *memCtx);

/* Joins the non-null strings into the caller's buffer of size bytes (at
   least 1).  Returns 0 when all fit, -1 when the text was cut (the buffer
   then holds what fits, terminated). */
OV_API int StrArrayCatBuf(const char **strings, uint64_t count, char *buffer, uint64_t size);

/* Flushes stdout, then reads one line of at most size - 1 bytes from
   stream, dropping its newline; the rest of a longer line is read and
   discarded.  Returns buffer, or null (with an empty buffer) at end of
   file or on error. */
OV_API char *FgetsTrim(char *buffer, int16_t size, FILE *stream);

/* Returns 1 when text is null or holds only decimal digits (the empty
   string included), else 0. */
OV_API int AllDigits(const char *text);

OV_END_DECLS

#endif /* OVBASE_TXTUTIL_H */
