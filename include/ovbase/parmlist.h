/*
 * ovbase/parmlist.h - typed parameter lists for remote calls.
 *
 * A PARMLIST is an ordered, doubly linked list of typed items with a cursor.
 * Puts insert before the cursor (so they append while it is at the end),
 * gets read the current item and step forward, seeks place the cursor.
 *
 * Conventions:
 *  - Results: functions that can fail return a status code (status.h):
 *    S_OKAY, S_PARMEND at the end of the list, S_INVNULL for a null list,
 *    out pointer or description, S_INVPARM for a type code or structure
 *    description the list cannot take, S_RPCINVDATATYPE for a malformed
 *    pl_printf format or a binding that does not fit its item,
 *    S_PARMINTERR for a damaged item or a bad seek origin, S_NOMEMORY when
 *    memory runs out.  Every failure leaves the list (or bind table) as it
 *    was, except that items put before a failing conversion of pl_printf or
 *    a failing entry of pl_putBound stay.  Functions without a result do
 *    nothing for a null list.
 *  - Storage: an item is inline when its type is a scalar (not PL_STRING,
 *    PL_WSTRING, PL_BLOB or PL_STRUCT) and PLF_ARRAY is clear; its bytes
 *    live in the item.  Every other item is by reference: it holds a
 *    pointer, and pl_get hands out that pointer, never a copy.
 *  - Ownership: the list owns its header, items and description copies.
 *    It owns the data of a by-reference item only when it copied them
 *    itself (PLF_COPY with something to copy: data not null and a length
 *    above 0) or was handed them (PLF_GIVE with data not null).  A flag
 *    that is set but made nothing change hands (PLF_COPY with nothing to
 *    copy, PLF_COPY or PLF_GIVE arriving from a structure description's
 *    first entry) never makes the list release the caller's block.  Data
 *    the list does not own must outlive the item.  pl_reset and pl_free
 *    release exactly what the list owns; pl_del and pl_delItem never
 *    release data.  With PLF_GIVE the handed block is the list's: kept
 *    when the item refers to it, released at once otherwise (an inline
 *    put, or data that were copied).  A call that fails leaves a handed
 *    block the caller's.
 *  - Memory: every block comes from ov_getMem (null memory context, tags of
 *    module 1812) and goes back through ov_freeMemory.
 *  - Threads: no locks; a list or bind table belongs to one thread at a
 *    time.  Different lists are independent.
 */
#ifndef OVBASE_PARMLIST_H
#define OVBASE_PARMLIST_H

#include "ovdefs.h"
#include "status.h"
#include <stdarg.h>

OV_BEGIN_DECLS

/* ---- Type codes and flags -------------------------------------------------- */

#define PL_CHAR     1  /* 1-byte character */
#define PL_BYTE     2  /* 1-byte value */
#define PL_WCHAR    3  /* wide character, 4 bytes */
#define PL_SHORT    4  /* 16-bit signed integer */
#define PL_USHORT   5  /* 16-bit unsigned integer */
#define PL_INT      6  /* 32-bit signed integer */
#define PL_UINT     7  /* 32-bit unsigned integer */
#define PL_LONG     8  /* 64-bit signed integer */
#define PL_ULONG    9  /* 64-bit unsigned integer */
#define PL_FLOAT    10 /* 4-byte floating-point number */
#define PL_DOUBLE   11 /* 8-byte floating-point number */
#define PL_ADDR     12 /* 6-byte value, 2-byte alignment */
#define PL_STRING   13 /* NUL-terminated narrow string, by reference */
#define PL_WSTRING  14 /* NUL-terminated string of 4-byte characters, by reference */
#define PL_BLOB     15 /* block of bytes of a given length, by reference */
#define PL_STRUCT   16 /* structure given by a structure description */
#define PL_TINY     17 /* 1-byte signed integer */
#define PL_UTINY    18 /* 1-byte unsigned integer */
#define PL_PAIR32   19 /* two 32-bit halves, 4-byte alignment */

#define PLF_ARRAY  0x0001 /* an array: len counts elements, held by reference */
#define PLF_GIVE   0x0002 /* the caller hands its data block to the list */
#define PLF_NULL   0x0004 /* the value is null */
#define PLF_BEGIN  0x0008 /* description entry opens a structure; set on PL_STRUCT items */
#define PLF_END    0x0010 /* description entry closes a structure */
#define PLF_COPY   0x0020 /* the list copies the caller's data into a block of its own */
#define PLF_SKIP   0x0040 /* description member that takes no room */

/* ---- Records ----------------------------------------------------------------- */

/* One row of the type table. */
typedef struct PLTYPEINFO {
  uint32_t size;       /* bytes of one value or one element */
  uint32_t byRef;      /* 1 when a value of this type is always held by reference */
  uint32_t alignClass; /* alignment class (see ov_align) as a structure member */
} PLTYPEINFO;

/* One entry of a structure description.  A description is a contiguous
   array: a begin entry (PL_STRUCT, PLF_BEGIN, count = size of one
   structure), member entries, and the matching end entry (PL_STRUCT,
   PLF_END).  A member is a type code, with PLF_ARRAY an array of count
   elements; a nested structure is a begin entry (PLF_ARRAY and count for an
   array of them), its members and an end entry. */
typedef struct PLSTRUCTDESC {
  uint32_t count; /* begin entry: bytes of one structure; array member: element count */
  uint32_t type;  /* type code */
  uint16_t flags; /* PLF_ bits */
} PLSTRUCTDESC;

/* The 8-byte value field of an item: an inline value's bytes from the
   start, or the data pointer of a by-reference item. */
typedef union PLVALUE {
  void *ptr;         /* by reference: the data (null for a null value) */
  uint8_t bytes[8];  /* inline: the value's own bytes */
} PLVALUE;

/* One item of a list. */
typedef struct PARMITEM {
  struct PARMITEM *next;  /* following item, null at the end */
  struct PARMITEM *prev;  /* preceding item, null at the start */
  PLSTRUCTDESC *desc;     /* PL_STRUCT items: the item's own copy of the description */
  uint32_t len;           /* element count, string/blob bytes, structure count; 0 inline or null */
  PLVALUE value;          /* inline bytes or data pointer */
  uint32_t type;          /* type code */
  uint16_t flags;         /* PLF_ bits */
  uint16_t descCount;     /* entries in desc */
} PARMITEM;

/* A list header. */
typedef struct PARMLIST {
  PARMITEM *current; /* the cursor; null is the end, after the last item */
  PARMITEM *first;   /* first item, null when empty */
  PARMITEM *last;    /* last item, null when empty */
  void *aux;         /* the user's heap block; pl_reset releases it */
  uint64_t user;     /* the user's word; never read or changed by the library */
} PARMLIST;

/* One binding of a program variable. */
typedef struct PARMBINDITEM {
  struct PARMBINDITEM *next;  /* following entry */
  const PLSTRUCTDESC *desc;   /* structure bindings: the description (not copied) */
  void *target;               /* the bound variable or buffer */
  uint32_t len;               /* putting: the put's length; getting: buffer capacity in bytes */
  uint32_t type;              /* type code, PL_STRUCT for structures */
  uint16_t flags;             /* PLF_ bits, passed to the put */
} PARMBINDITEM;

/* A bind table: its entries in the order they were added. */
typedef struct PARMBIND {
  PARMBINDITEM *first; /* first entry, null when empty */
  PARMBINDITEM *last;  /* last entry */
} PARMBIND;

/* ---- The list ------------------------------------------------------------------ */

/* Returns a new empty list, at the end, with aux and user zero; null when
   memory runs out.  Release it with pl_free. */
OV_API PARMLIST *pl_alloc(void);

/* Empties the list: releases every item, its description copy and the data
   the list owns (see Ownership), then the aux block if not null.  Keeps
   `user`; the list is empty, at the end, and may be reused. */
OV_API void pl_reset(PARMLIST *list);

/* pl_reset, then releases the header itself. */
OV_API void pl_free(PARMLIST *list);

/* Returns the number of items, whatever the cursor; 0 for a null list. */
OV_API uint32_t pl_count(const PARMLIST *list);

/* Puts a value before the current item; the cursor does not move.
   Inline: `data` points at the value (type size bytes copied, length not
   used; null data gives S_INVNULL).  Arrays (PLF_ARRAY, PL_WSTRING too):
   the first element and the element count.  PL_BLOB: the bytes and their
   number.  PL_STRING, PL_WSTRING: the string; len becomes its byte size
   with the terminator (4 bytes a wide character).  Null by-reference data
   give a null item (PLF_NULL, len 0).  PLF_COPY copies len bytes, or len x
   type size for an array.  Returns S_OKAY; S_INVNULL for a null list;
   S_INVPARM for type 0, PL_STRUCT, a code above 19 or a string of 4 GiB or
   more; S_NOMEMORY (item or copy).  Nothing changes on failure. */
OV_API OV_STATUS pl_put(PARMLIST *list, uint32_t type, uint16_t flags, const void *data,
                        uint32_t length);

/* Reads the current item into `out` and moves the cursor to the next one.
   Inline item: its type size bytes.  Any other: exactly 8 bytes, the data
   pointer (null when the item carries PLF_NULL).  Returns S_OKAY;
   S_INVNULL for a null list or out; S_PARMEND at the end; S_PARMINTERR for
   an item whose type is 0 or above 19.  Nothing moves on failure. */
OV_API OV_STATUS pl_get(PARMLIST *list, void *out);

/* Reports on the current item without moving: its type, its description
   copy (PL_STRUCT items; null otherwise), its flags and the byte size of
   its data (arrays: len x element size, the element of a structure array
   being the description's first count; a structure: that count; strings
   and blobs: len; inline: the type size; capped at UINT32_MAX).  At the
   end: type 0, null, flags 0, size 0.  Each out pointer may be null. */
OV_API void pl_peek(const PARMLIST *list, uint32_t *type, PLSTRUCTDESC **desc,
                    uint16_t *flags, uint32_t *size);

/* Places the cursor: origin 0 the first item, 1 where it is, 2 the end;
   then moves `offset` items.  Forward movement stops at the end (and from
   the end nothing moves); backward movement from the end lands on the last
   item first and stops at the first item.  pl_seek(list, n, 0) is the item
   with index n, or the end.  Returns S_OKAY, or S_PARMINTERR for another
   origin (nothing moves). */
OV_API OV_STATUS pl_seek(PARMLIST *list, int32_t offset, int32_t origin);

/* Deletes the current item (its description copy and record, never its
   data); the cursor moves to the next item.  At the end nothing happens. */
OV_API void pl_del(PARMLIST *list);

/* Deletes `item` as pl_del does, moving the cursor on if it is current.
   Does nothing for a null item or one that is not in the list (checked by
   walking the list, so the cost grows with the list). */
OV_API void pl_delItem(PARMLIST *list, PARMITEM *item);

/* ORs flags into the current item's flags; nothing at the end.  The bits
   are not checked (PLF_NULL makes pl_get hand out a null pointer).  Adding
   PLF_GIVE to a by-reference item with data hands that block to the list;
   adding PLF_COPY copies nothing and owns nothing; an inline value that
   PLF_ARRAY turns into a pointer is never a block the list releases. */
OV_API void pl_flagAdd(PARMLIST *list, uint16_t flags);

/* Clears flags in the current item; nothing at the end.  Clearing the last
   of PLF_COPY and PLF_GIVE hands an owned block back to the caller (it
   stays where pl_get finds it; the caller releases it with ov_freeMemory). */
OV_API void pl_flagRemove(PARMLIST *list, uint16_t flags);

/* Returns the type table row of a code 1 to 19; null for 0 and above 19.
   The rows are constant. */
OV_API const PLTYPEINFO *pl_getTypeInfo(uint32_t type);

/* ---- Formatted building ------------------------------------------------------ */

/* Puts one item per conversion of `format` (white space between conversions
   is skipped): %[count][t|h|l|L]conv with conv c C s S d u f a o; count is
   digits or * (an int argument taken first; 0 means none; a negative one is
   a count taken as unsigned 32-bit, so %*d with -2 refers to an array of
   4294967294 without reading it).  Without a count: a scalar from the
   argument (int for c C d and t/h forms, unsigned int for u, a 64-bit
   integer for l and L forms (L stores the low 32 bits as PL_INT or
   PL_UINT), double for f), a string pointer for s S (null gives a null
   item), a pointer to the 6 bytes for a (null gives S_INVNULL).  With
   count n: a pointer to n elements, an array (s: PL_CHAR, S: PL_WCHAR);
   %no is a PL_BLOB of n bytes.  Nothing is copied.  Returns S_OKAY,
   S_RPCINVDATATYPE for a malformed format (also %o without count),
   S_INVNULL for a null format, or the first failing pl_put's status;
   earlier items stay. */
OV_API OV_STATUS pl_printf(PARMLIST *list, const char *format, ...);

/* pl_printf with a started argument list.  The arguments the conversions
   take are consumed from `args` itself: a second call with the same list
   goes on with the arguments after them. */
OV_API OV_STATUS pl_printfV(PARMLIST *list, const char *format, va_list args);

/* ---- Structures ---------------------------------------------------------------- */

/* Puts a structure (count 0 or 1) or an array of `count` structures as one
   PL_STRUCT item before the current item.  The item keeps its own copy of
   the description, carries the caller's flags ORed with the first entry's
   (so PLF_BEGIN), PLF_ARRAY and len = count when count >= 2 (else neither),
   and PLF_NULL when data is null.  With PLF_COPY among the caller's flags,
   pl_calcStruct's size x count bytes are copied (a size of 0 leaves a null
   pointer).  Returns S_OKAY; S_INVNULL for a null list or description;
   S_INVPARM for a malformed description (see pl_calcStruct); S_NOMEMORY.
   Nothing changes on failure. */
OV_API OV_STATUS pl_putStruct(PARMLIST *list, const PLSTRUCTDESC *desc, uint16_t flags,
                              const void *data, uint32_t count);

/* Computes the size and alignment class of the structure the description
   opens, as the compiler lays out the equivalent C structure (members in
   order, each at its class boundary, the whole padded to its largest
   class; PLF_SKIP members take no room and their type is not read; an
   empty structure is size 0, class 0).  Malformed, giving S_INVPARM: a
   first entry that is not a PL_STRUCT begin, a type 0, a member type above
   19 not skipped, a PL_STRUCT entry that neither begins nor ends or
   carries PLF_SKIP, more than 65535 entries through the closing one (what
   an item's descCount can record; nesting is limited by nothing else), or
   a size above UINT32_MAX.  Reading stops at the closing entry.  Takes 8
   bytes of stack per nesting level.  size and alignClass may be null.
   Returns S_OKAY, S_INVPARM or S_INVNULL for a null description. */
OV_API OV_STATUS pl_calcStruct(const PLSTRUCTDESC *desc, uint32_t *size, uint32_t *alignClass);

/* ---- Binding ------------------------------------------------------------------- */

/* Returns a new empty bind table, or null when memory runs out. */
OV_API PARMBIND *pl_allocBind(void);

/* Releases every entry and the table (never the variables or descriptions).
   Null does nothing. */
OV_API void pl_freeBind(PARMBIND *bind);

/* Appends a binding of a variable, without a description.  The type code
   is not checked here: pl_putBound reports what pl_put refuses (S_INVPARM
   for 0, PL_STRUCT or a code above 19), and pl_getBound never matches a
   binding of 0 or above 19 with an item.  Returns S_OKAY; S_INVNULL for a
   null table; S_NOMEMORY (table unchanged). */
OV_API OV_STATUS pl_bind(PARMBIND *bind, uint32_t type, uint16_t flags, void *target,
                         uint32_t len);

/* Appends a structure binding.  The description is neither copied (it
   must outlive the table) nor checked here: pl_putBound reports a
   malformed one (S_INVPARM).  Results as pl_bind, with S_INVNULL for a
   null description. */
OV_API OV_STATUS pl_bindStruct(PARMBIND *bind, const PLSTRUCTDESC *desc, uint16_t flags,
                               void *target, uint32_t len);

/* Puts every binding in order (pl_put, or pl_putStruct with len as count).
   Returns S_OKAY, or the first failing put's status (earlier items stay);
   S_INVNULL for a null list or table. */
OV_API OV_STATUS pl_putBound(PARMLIST *list, const PARMBIND *bind);

/* Reads items from the cursor into the bindings in order.  A scalar binding
   takes the item's bytes; any other copies min(len, item data size) bytes
   through the item's pointer (no terminator added; a null item copies
   nothing; target may overlap the item's data).  A binding must meet an
   item of its kind: a scalar binding an inline item of the same size, any
   other a by-reference item, and a binding of type 0 or above 19 none;
   otherwise S_RPCINVDATATYPE with the cursor on
   that item and its variable untouched.  Returns S_OKAY, or the first
   failure (S_PARMEND when the list runs out); earlier variables keep their
   new values.  S_INVNULL for a null list or table. */
OV_API OV_STATUS pl_getBound(PARMLIST *list, const PARMBIND *bind);

OV_END_DECLS

#endif /* OVBASE_PARMLIST_H */
