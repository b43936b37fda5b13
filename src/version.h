/*
 * version.h - the release identification shared by the library and ovtool.
 */
#ifndef OVBASE_VERSION_H
#define OVBASE_VERSION_H

#define OV_WHAT_STRING "@(#)Orvex Server Version 6.0.653H"

#endif /* OVBASE_VERSION_H */
