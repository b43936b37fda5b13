/*
 * ovbase/ovutil.h - INI files, buffered line streams, the local environment, file copy and move.
 */
#ifndef OVBASE_OVUTIL_H
#define OVBASE_OVUTIL_H

#include "ovdefs.h"
#include "status.h"

OV_BEGIN_DECLS

/* ---- File streams ------------------------------------------------------- */


/* ---- INI files ----------------------------------------------------------- */


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
   characters, say), such names are left to the platform, which resolves
   them against the working directory of the moment.  Other relative paths
   ('sub/file') are used as they are.  No locks; the first resolution is
   made once under mutex 0. */

/* Copies the bytes of from into a new file to, replacing an existing to
   (the new file gets permissions 0666 less the umask, not the source's).
   Equal names (after resolution) give S_OKAY with nothing touched.
   Results: S_OKAY; S_INVNULL for a null name; S_NOMEMORY when memory runs
   out (nothing touched); S_FILEOPERR when from cannot be opened (to is left
   alone) or to cannot be created for a reason other than permission;
   S_FILEWRERR when creating to is refused for lack of permission, or when a
   write fails (a full disk, a file size limit) or the new file cannot be
   closed; S_FILERDERR when a read of from fails (from being a directory,
   say).  After a failed read or write the partly written to is removed, so
   no short file stands under its name; from is never changed. */
OV_API OV_STATUS ov_fileCopy(const char *from, const char *to);

/* Moves from to to: byte-equal names give S_OKAY; otherwise a rename,
   which replaces an existing to, and when that fails (across file systems,
   say) ov_fileCopy followed by the removal of from.  Returns S_OKAY, or
   the copy's status, in which case from stays where it was. */
OV_API OV_STATUS ov_fileMove(const char *from, const char *to);



OV_END_DECLS

#endif /* OVBASE_OVUTIL_H */
