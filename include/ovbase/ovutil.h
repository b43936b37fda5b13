/*
 * ovbase/ovutil.h - INI files, buffered line streams, the local environment, file copy and move.
 */
#ifndef OVBASE_OVUTIL_H
#define OVBASE_OVUTIL_H

#include "ovdefs.h"

OV_BEGIN_DECLS

/* ---- File streams ------------------------------------------------------- */


/* ---- INI files ----------------------------------------------------------- */


/* ---- Local environment --------------------------------------------------- */


/* ---- File copy, move and current directory ------------------------------- */


OV_END_DECLS

#endif /* OVBASE_OVUTIL_H */
