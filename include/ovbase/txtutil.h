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
   empty string (size zero bytes); size 0 or a null dst writes nothing.
   Never fails; a long src is cut silently.  Returns dst. */
OV_API char *StrncpyZ(char *dst, const char *src, uint64_t size);

/* The same for wide text: copies at most size - 1 wide characters and
   terminates the copy; a null src gives an empty string; size 0 or a null
   dst writes nothing.  Positions after the copied terminator are not
   significant (this implementation zero-fills them).  Returns dst. */
OV_API wchar_t *WStrncpyZ(wchar_t *dst, const wchar_t *src, uint64_t size);

/* Splits text at whitespace (no quoting, no escapes) into *argc words and an
   argument vector *argv: one block holding argc pointers followed by a copy
   of the text with every whitespace character turned into NUL.  There is no
   null entry after the last pointer.  Whitespace is isspace() of the
   current locale; quotes and backslashes are ordinary characters.  No words
   (an empty, all-blank or null text): *argc is 0, *argv is null and nothing
   is allocated.  Returns S_OKAY; S_NOMEMORY when the block cannot be had
   (*argc is then set, *argv not written); S_INVNULL when argc or argv is
   null (nothing written).  The caller releases the vector with one
   ov_freeMemory(*argv, memCtx). */
OV_API OV_STATUS StrToArgv(const char *text, int32_t *argc, char ***argv, void *memCtx);

/* Joins the non-null strings of the array, in order and with nothing
   between them, into buffer and terminates it; no strings give the empty
   string.  The size needed is 1 plus the lengths.  A null buffer is
   allocated at exactly that size (*bufSize is then neither read nor
   written; it may be null).  A buffer whose *bufSize is smaller is grown to
   that size and *bufSize set to it; a large enough one is used as it is.
   A buffer passed with a null bufSize is taken as too small and grown (its
   size cannot be reported).  A null strings array counts as no strings.
   Returns the (possibly moved) buffer, or null when memory runs out; a
   buffer passed in then stays allocated, unchanged and the caller's, and
   *bufSize still describes it. */
OV_API char *StrArrayCat(const char **strings, uint64_t count, char *buffer,
                         uint64_t *bufSize, void *memCtx);

/* Joins the non-null strings into the caller's buffer of size bytes.
   A string fits when its length plus a terminator fits in the room left.
   Returns 0 when all fit (no strings give the empty string); -1 at the
   first string that does not fit, after copying as much of it as fits
   with StrncpyZ (the buffer then holds the joined text up to the cut,
   terminated).  Size 0 or a null buffer: nothing is written and -1 is
   returned, since not even the terminator fits.  A null strings array
   counts as no strings. */
OV_API int StrArrayCatBuf(const char **strings, uint64_t count, char *buffer, uint64_t size);

/* Flushes stdout, then reads one line of at most size - 1 bytes from
   stream, dropping its newline; a carriage return before it stays.  The
   rest of a longer line is read and discarded, so the stream is left at the
   start of the next line; a line is consumed exactly up to its newline
   whatever bytes it holds (a NUL byte in it is stored as read and ends the
   text the caller sees).  Returns buffer, or null (with an empty buffer) at
   end of file or on a read error.  Size 1 reads no text: the buffer becomes
   empty, the rest of the line is discarded and buffer is returned, also at
   end of file (as fgets does for size 1).  Size 0 or less, a null buffer or
   a null stream: nothing is read or written, null is returned. */
OV_API char *FgetsTrim(char *buffer, int16_t size, FILE *stream);

/* Returns 1 when text is null or holds only decimal digits (isdigit of the
   current locale; the empty string included), else 0. */
OV_API int AllDigits(const char *text);

OV_END_DECLS

#endif /* OVBASE_TXTUTIL_H */
