/*
 * testhooks.h - allocation failure injection and block accounting.
 *
 * Compiled only into the static test build (OV_TEST_HOOKS); libovbase.so has
 * none of it.  Tests arm a countdown so that the N-th allocation from now
 * fails (ov_getMem or ov_extendMem returning null), and read how many blocks
 * are outstanding to prove that an operation leaks nothing.
 */
#ifndef OVBASE_TESTHOOKS_H
#define OVBASE_TESTHOOKS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the allocation with index n (0 = the next one) fail; every later
   allocation succeeds again.  A negative n disarms the hook. */
void ov_testFailAllocation(int64_t n);

/* Number of allocation attempts since the last ov_testFailAllocation. */
int64_t ov_testAllocationCount(void);

/* Blocks handed out and not yet released (a grown block counts once). */
int64_t ov_testOutstandingBlocks(void);

#ifdef __cplusplus
}
#endif

#endif /* OVBASE_TESTHOOKS_H */
