/*
 * version.h - the release identification shared by the library and ovtool.
 */
#ifndef OVBASE_VERSION_H
#define OVBASE_VERSION_H

#include "ovbase/ovversion.h"

/* The what-string: the release from the project's version, then the build
   letter. */
#define OV_WHAT_STRING "@(#)Orvex Server Version " OVBASE_VERSION_STRING "H"

#endif /* OVBASE_VERSION_H */
