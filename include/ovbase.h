/*
 * ovbase.h - everything of the ovbase library in one include.
 */
#ifndef OVBASE_H
#define OVBASE_H

#include "ovbase/ovversion.h"
#include "ovbase/status.h"
#include "ovbase/platform.h"
#include "ovbase/bcd.h"
#include "ovbase/datetime.h"
#include "ovbase/parmlist.h"
#include "ovbase/ovparse.h"
#include "ovbase/ovutil.h"
#include "ovbase/txtutil.h"

#endif /* OVBASE_H */
