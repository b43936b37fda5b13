/*
 * ovbase/datetime.h - dates, times of day and timestamps as plain integers.
 */
#ifndef OVBASE_DATETIME_H
#define OVBASE_DATETIME_H

#include "ovdefs.h"

OV_BEGIN_DECLS


OV_END_DECLS

#endif /* OVBASE_DATETIME_H */
