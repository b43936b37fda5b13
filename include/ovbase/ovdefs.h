/*
 * ovbase/ovdefs.h - common definitions for every ovbase header.
 *
 * OV_API marks a function exported by libovbase.so; the library is built
 * with hidden visibility, so nothing without this mark is visible outside.
 * OV_BEGIN_DECLS / OV_END_DECLS give C linkage to the declarations when a
 * header is included from C++.
 */
#ifndef OVBASE_OVDEFS_H
#define OVBASE_OVDEFS_H

#include <stddef.h>
#include <stdint.h>

#if defined(OV_BUILDING_LIBRARY)
#define OV_API __attribute__((visibility("default")))
#else
#define OV_API
#endif

#ifdef __cplusplus
#define OV_BEGIN_DECLS extern "C" {
#define OV_END_DECLS }
#else
#define OV_BEGIN_DECLS
#define OV_END_DECLS
#endif

#endif /* OVBASE_OVDEFS_H */
