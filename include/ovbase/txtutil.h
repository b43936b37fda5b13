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
   end of file or on a read error.  As with fgets, text read before the
   stream stops is returned, not lost, when this read did not fail: a
   non-blocking stream with no more bytes for now, or a stream whose error
   indicator was set before the call, gives the part of the line it had
   (errno is left as the caller had it unless a read set one).  Size 1 reads no text: the buffer becomes
   empty, the rest of the line is discarded and buffer is returned, also at
   end of file (as fgets does for size 1).  Size 0 or less, a null buffer or
   a null stream: nothing is read or written, null is returned. */
OV_API char *FgetsTrim(char *buffer, int16_t size, FILE *stream);

/* Returns 1 when text is null or holds only decimal digits (isdigit of the
   current locale; the empty string included), else 0. */
OV_API int AllDigits(const char *text);

/* ---- Case folding and collation ------------------------------------------
 * Case decisions follow the calling thread's LC_CTYPE, orderings its
 * LC_COLLATE.  Comparisons return a negative, zero or positive int as the
 * first string sorts before, equal to or after the second.  Strings must be
 * valid and terminated; null pointers are not accepted.  The length-limited
 * collations cut the caller's strings at n for the duration of the call and
 * restore them before returning: the strings must be writable and no other
 * thread may read them meanwhile.  None of these functions allocates for a
 * pair whose lengths plus two terminators fit in 2048 characters.
 */

/* Upper-cases in place every byte for which islower holds (toupper of it;
   every other byte stays).  Returns s. */
OV_API char *_strupr(char *s);

/* Lower-cases in place every byte for which isupper holds.  Returns s. */
OV_API char *_strlwr(char *s);

/* Upper-cases in place every wide character for which iswlower holds
   (towupper of it).  Returns s. */
OV_API wchar_t *_wcsupr(wchar_t *s);

/* Lower-cases in place every wide character for which iswupper holds.
   Returns s. */
OV_API wchar_t *_wcslwr(wchar_t *s);

/* Compares two wide strings character by character on their towlower
   values.  At the first difference returns lower(a) - lower(b) (clamped to
   the range of int for values outside Unicode).  Equal strings, two empty
   ones included, give 0.  When a is a proper prefix of b -- the empty a
   included -- the result is exactly -1; when b is a proper prefix of a, it
   is the lower-cased value of a's next character. */
OV_API int wscasecmp(const wchar_t *a, const wchar_t *b);

/* As wscasecmp over at most the first n characters: 0 when n is 0, and 0 as
   soon as n characters have compared equal.  The limit is tested before the
   prefix rule, so "ab" against "abc" with n 2 is 0 (with n 3 it is -1). */
OV_API int wsncasecmp(const wchar_t *a, const wchar_t *b, uint64_t n);

/* Collates lower-cased copies of a and b with strcoll; the caller's
   strings are not changed.  A pair longer than the 2048-character stack
   area takes its working space from the heap; when that cannot be had, the
   pair is compared byte by byte on tolower values instead: still 0
   exactly for strings equal apart from case, and still antisymmetric. */
OV_API int _stricoll(const char *a, const char *b);

/* _stricoll of a and b cut at n characters (see the section comment). */
OV_API int _strnicoll(char *a, char *b, uint64_t n);

/* strcoll of a and b cut at n characters (see the section comment). */
OV_API int _strncoll(char *a, char *b, uint64_t n);

/* The wide twin of _stricoll: wcscoll of lower-cased copies, with the same
   2048-character stack area and the same fallback (towlower values) when a
   long pair's working space cannot be allocated. */
OV_API int wcsicoll(const wchar_t *a, const wchar_t *b);

/* wcsicoll of a and b cut at n characters (see the section comment). */
OV_API int _wcsnicoll(wchar_t *a, wchar_t *b, uint64_t n);

/* wcscoll of a and b cut at n characters (see the section comment). */
OV_API int _wcsncoll(wchar_t *a, wchar_t *b, uint64_t n);

/* ---- Path composition ------------------------------------------------------
 * Paths are composed from a directory, a file name and an extension (given
 * without its dot); the separator is '/'.  A directory that begins with '.'
 * contributes nothing, since this system keeps no base path to resolve it
 * against.  A null directory is taken as the empty one.
 */

/* Returns a pointer to the character after the last '/' of path, or path
   itself when it has none (null for null).  Nothing is allocated. */
OV_API const char *pathBaseExt(const char *path);

/* Returns the base path against which directories beginning with '.' would
   be resolved: always null here. */
OV_API const char *ov_catpath(void);

/* Composes dir, a '/' unless dir is empty or already ends in one, name
   (unless null), and '.' plus ext (unless ext is null; an empty ext still
   adds the dot).  A name that contains '/' and does not begin with '.' is a
   path already and is copied alone.  Returns a new block to be released
   with ov_freeMemory(block, memCtx), or null when memory runs out. */
OV_API char *makeAllocPath(const char *dir, const char *name, const char *ext, void *memCtx);

/* Composes the same path as makeAllocPath into the caller's buffer of size
   bytes, except that a name containing '/' is joined like any other.
   Returns 0 when the path fits; -1 when it was cut (the buffer then holds
   the path cut at size - 1 bytes, terminated; size 0 or a null buffer
   writes nothing). */
OV_API int makePath(char *buffer, uint64_t size, const char *dir, const char *name,
                    const char *ext);

OV_END_DECLS

#endif /* OVBASE_TXTUTIL_H */
