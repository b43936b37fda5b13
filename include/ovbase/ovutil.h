/*
 * ovbase/ovutil.h - INI files, buffered line streams, the local environment,
 * file copy and move.
 *
 * Conventions:
 *  - Results: the INI functions and file copy return status codes
 *    (status.h); the file streams return pointers, byte counts or the
 *    platform's seek result, as each declaration says.
 *  - Null arguments are answered with a result, never a crash: each
 *    declaration names the result.
 *  - Ownership: a stream is released by ov_fileStreamClose and nothing else;
 *    the line buffer of ov_fileStreamGetLine belongs to the caller, who
 *    releases it with ov_freeMemory after the last line.
 *  - Threads: one thread at a time may use a given stream.  Every INI lookup
 *    and update runs under one process-wide INI mutex, so INI calls may come
 *    from any thread at any time.
 */
#ifndef OVBASE_OVUTIL_H
#define OVBASE_OVUTIL_H

#include "ovdefs.h"
#include "status.h"

OV_BEGIN_DECLS

/* ---- File streams ------------------------------------------------------- */

/* Bytes a stream moves per system read or write. */
#define OV_FILESTREAM_BLOCK 4096

/* A buffered line stream over a file descriptor.  Callers hold a pointer
   and read no field but may look at them for debugging. */
typedef struct FILESTREAM {
  int32_t fd;                             /* descriptor from ov_fileOpen */
  int32_t dirty;                          /* 1 while data holds unwritten bytes */
  uint32_t pos;                           /* reading: next unread byte; writing: bytes buffered */
  char data[OV_FILESTREAM_BLOCK + 1];     /* the current block and a zero byte after it */
  uint32_t fill;                          /* reading: bytes of the current block */
} FILESTREAM;

/* Opens `path` as a stream.  `mode` (null means "r") is read up to its
   first three characters, applied in order: "r" adds nothing (reads an
   existing file); "w" adds write-only, create and truncate; "a" adds
   write-only, create and append (writes go to the end); "+" sets read-write
   and clears write-only in what came before it ("r+", "w+", "a+").  So "rw"
   is write-only with create and truncate, and a "w" or "a" after the "+"
   ("+w", "r+w") adds write-only to read-write: the platform's access mode
   3, which needs both permissions, creates and truncates as asked, and
   gives a stream that can neither read nor write.  New files get 0666 less
   the umask.  Any other character, a null path, exhausted memory
   or a failed open returns null with nothing left allocated.  A stream is
   meant for reading or for writing: writing after reading drops the
   buffered input, reading after writing first writes the pending bytes. */
OV_API FILESTREAM *ov_fileStreamOpen(const char *path, const char *mode);

/* Writes out buffered bytes, closes the file and releases the stream.
   A null stream does nothing.  Failed writes are not reported. */
OV_API void ov_fileStreamClose(FILESTREAM *stream);

/* Reads the next line, or as much of it as fits in size - 1 bytes, into
   buffer and terminates it; a line keeps its newline (and a carriage return
   before it), so a piece without a newline is a cut line, whose rest comes
   with the next call.  Returns buffer, or null at end of file, on a read
   error or for a null stream or buffer (buffer untouched then, except that
   it holds the empty string at end of file).  Size 1 only stores the empty
   string and returns null; size 0 touches nothing.  A zero byte in the file
   is copied like any other byte (the text then looks cut at it).  Pending
   written bytes are written out first.  A block read that returns fewer
   than OV_FILESTREAM_BLOCK bytes is the end of the file: once its bytes are
   delivered, reads return null without asking the file again (so a pipe is
   not waited on, and bytes added to the file later are not seen) until
   ov_fileStreamRewind.  After a full block, or a read that returned
   nothing, the next call reads the file again. */
OV_API char *ov_fileStreamGets(FILESTREAM *stream, char *buffer, uint32_t size);

/* Writes text and one newline through the stream's block.  Returns the
   bytes taken (length + 1), or 0 for a null stream or text.  Blocks go to
   the file as they fill; failed writes are not reported. */
OV_API uint32_t ov_fileStreamPuts(FILESTREAM *stream, const char *text);

/* Writes out pending written bytes, drops buffered input and moves to the
   start of the file.  Returns 0, or -1 on failure or for a null stream. */
OV_API int64_t ov_fileStreamRewind(FILESTREAM *stream);

/* Reads the next whole line, newline included, into the caller's line
   buffer *lineBuffer of *lineSize bytes, growing it in steps of 100 bytes
   as the line needs; after each step the next piece is read onto the zero
   that ends the text so far, into all the room left.  A null *lineBuffer is allocated (100 bytes, zeroed);
   a non-null one with *lineSize 0 is taken as 100 bytes, so it must hold at
   least 100; one of 1 byte is grown by 100 before the first read.  The (possibly moved) buffer and its capacity are stored back
   in every case; the caller releases the buffer with ov_freeMemory.  The
   last line may lack its newline.  Returns the buffer, or null at end of
   file or when an argument is null.  When memory runs out it returns null
   with errno ENOMEM; the pair then still describes a valid block and the
   part of the line read so far is lost. */
OV_API char *ov_fileStreamGetLine(FILESTREAM *stream, char **lineBuffer, uint32_t *lineSize);


/* ---- INI files ----------------------------------------------------------- */

/* INI syntax as read: each line is cut at its first newline, carriage
   return or ';' and loses trailing white space; empty lines are skipped.  A
   line starting with '[' opens a section named by the text up to the first
   ']' (or the end).  After the first header, a line with '=' is an entry:
   the key is the text before the first '=' less trailing blanks, the value
   the text after it less leading blanks.  Other lines are ignored.  Names
   and keys keep at most 127 characters; values and paths have no limit.
   Section names, keys and paths compare without case; the first section
   and the first entry of a name in file order answer.  A file may hold any
   number of sections and entries, and the cache any number of files.  Each
   file is read once per process and served from memory until
   ov_iniSetPrivate in this process rewrites it; changes made by others are
   not seen. */

/* Answers from the INI file `path`: with `section` null, the names of all
   sections; with `key` null, the section's entries (key=value when
   withValues is non-zero, else bare keys); else the key's value.  The
   answer is a list of zero-terminated strings and one more zero, within
   the first size - 1 bytes of buffer (the last byte is never written; bytes
   after the answer are untouched).  Returns S_OKAY; S_BUFFERTOOSMALL when
   the answer was cut or filled all size - 1 bytes (the last string cut and
   terminated); S_NOTFOUND for a missing section or key (buffer holds the
   empty string) or a file that cannot be read whole (buffer untouched; the
   file is tried again next time); S_NOMEMORY when memory runs out while
   the file is read (nothing cached, buffer untouched); S_INVNULL for a null
   buffer or path, and S_BUFFERTOOSMALL for size 0, without touching
   anything.  If the mutex table is full when the INI mutex is first needed,
   INI calls serialise on a private mutex instead: they never fail for it. */
OV_API OV_STATUS ov_iniGetPrivate(const char *section, const char *key, char *buffer,
                                  uint32_t size, int16_t withValues, const char *path);

/* Changes the existing INI file `path` in its first section named
   `section`: sets `key` to `value` (replacing the key's first line, else
   adding key=value as the section's last entry, else adding the section and
   the entry at the end of the file), deletes every line of `key` when value
   is null, or deletes the whole section when key is null.  A line is the
   key's when its text before '=' equals key without case and untrimmed:
   "Port = 1" is not key Port.  Other lines are copied byte for byte, each
   ending in one newline; deleting a key also drops the section's blank
   lines.  The copy goes to "_temp_.ini" beside the file, is synced to disk
   and renamed over the file in one step; only then is the cache re-read.
   Returns S_OKAY; S_INVNULL for a null section or path; S_INVPARM for a
   file named "_temp_.ini" or that is that file under another name (a
   link; another case where the file system ignores case); S_NOFILE when the
   file is missing or not read whole, or the temporary file cannot be
   created, or memory runs out for either stream; S_NOMEMORY when memory
   runs out for a working block or a line; S_FILEWRERR when the temporary
   file was not written whole (disk full) or not renamed.  On failure the
   file and the cache are unchanged and the temporary file is gone, except
   after S_NOMEMORY while copying, which leaves the partial copy in it (the
   next update of a file in that directory overwrites it).  Should memory
   run out while the cache re-reads the new file, its record is dropped and
   re-read on the next lookup; should the new file not open for reading (a
   umask that takes the owner's read permission), the cached contents stay
   as they were. */
OV_API OV_STATUS ov_iniSetPrivate(const char *section, const char *key, const char *value,
                                  const char *path);


/* ---- Local environment --------------------------------------------------- */
/* A process-local overlay of environment settings, consulted by ov_getenv
   before the process environment and never passed to child processes.
   Names are compared without regard to case (upper-cased in the current
   locale); values keep theirs.  The overlay has no lock: a put must not run
   while any other overlay call runs; lookups alone may run concurrently. */

/* Records entry, of the form NAME=value, NAME= (an empty value that hides
   the process environment's NAME) or a bare NAME (removes NAME from the
   overlay, so lookups fall back to the process environment).  A put of an
   existing name replaces its entry in place, releasing the old one, which
   ends the validity of values returned for it; an identical put changes
   nothing.  Null does nothing.  When memory runs out the overlay stays
   exactly as it was and the put is lost (there is no result to report
   it). */
OV_API void ov_putLocalEnv(const char *entry);

/* Returns the overlay's value for name in any case of letters, or null when
   the overlay has none, name is null, or name has 128 characters or more.
   The value points into the overlay: not to be changed or released. */
OV_API char *ov_getLocalEnv(const char *name);

/* Returns ov_getLocalEnv(name) when that is not null, else the process
   environment's value for the name unchanged in case (ov_OSgetenv), which
   may be null. */
OV_API char *ov_getenv(const char *name);



/* ---- File copy, move and current directory ------------------------------- */
/* Copy and move report status codes.  A bare name (no '/') or a name that
   begins with '.' is resolved against the working directory as it was at
   the first copy or move of the process that could learn it (taken once,
   kept afterwards even if the process changes directory).  When the
   working directory cannot be reported (its path needs more than 255
   characters, say), a copy that needs it for either name fails with
   S_FILEOPERR before any file is touched.  Other relative paths
   ('sub/file') are used as they are.  No locks, none of the mutex table's
   either (a caller may hold mutex 0 while copying); concurrent first calls
   agree on one directory text. */

/* Copies the bytes of from into a new file to, replacing an existing to
   (the new file gets permissions 0666 less the umask, not the source's).
   Equal names (after resolution) give S_OKAY with nothing touched.
   Results: S_OKAY; S_INVNULL for a null name; S_NOMEMORY when memory runs
   out (nothing touched); S_FILEOPERR when from cannot be opened (to is left
   alone), when a name cannot be resolved for want of the working directory
   (nothing touched), or to cannot be created for a reason other than permission;
   S_FILEWRERR when creating to is refused for lack of permission, or when a
   write fails (a full disk, a file size limit) or the new file cannot be
   closed; S_FILERDERR when a read of from fails (when the very first read
   fails, from being a directory say, to is left alone).  After a later
   failed read or write the partly written to is removed, so no short file
   stands under its name; from is never changed. */
OV_API OV_STATUS ov_fileCopy(const char *from, const char *to);

/* Moves from to to: byte-equal names give S_OKAY; otherwise a rename,
   which replaces an existing to, and when that fails (across file systems,
   say) ov_fileCopy followed by the removal of from.  Returns S_OKAY, or
   the copy's status, in which case from stays where it was. */
OV_API OV_STATUS ov_fileMove(const char *from, const char *to);



OV_END_DECLS

#endif /* OVBASE_OVUTIL_H */
