/*
 * ovbase/parmlist.h - typed parameter lists for remote calls.
 */
#ifndef OVBASE_PARMLIST_H
#define OVBASE_PARMLIST_H

#include "ovdefs.h"

OV_BEGIN_DECLS


OV_END_DECLS

#endif /* OVBASE_PARMLIST_H */
