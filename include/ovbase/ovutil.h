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


OV_END_DECLS

#endif /* OVBASE_OVUTIL_H */
