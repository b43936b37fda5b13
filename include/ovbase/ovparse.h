/*
 * ovbase/ovparse.h - the re-entrant driver for classic yacc parse tables.
 */
#ifndef OVBASE_OVPARSE_H
#define OVBASE_OVPARSE_H

#include "ovdefs.h"

OV_BEGIN_DECLS


OV_END_DECLS

#endif /* OVBASE_OVPARSE_H */
