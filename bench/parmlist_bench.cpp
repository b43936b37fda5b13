// Parameter lists: one remote call's worth of parameters, eight scalars
// (int, unsigned, short, tiny, long, unsigned long, double and a char) and
// two strings, taken through a full round trip: put each, rewind, get each
// back, reset for the next call.  Once item by item with pl_put, once with
// a single pl_printf.  No other implementation of these lists exists to run
// beside it; the figures (ns per round trip) are tracked from one change to
// the next.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "ovbase/parmlist.h"

namespace {

struct Call {
  int32_t i = -123456;
  uint32_t u = 4000000000u;
  int16_t s = -1234;
  int8_t t = -12;
  int64_t l = -1234567890123;
  uint64_t ul = 12345678901234u;
  double d = 2.5;
  char c = 'x';
  const char *name = "customer";
  const char *where = "city = 'Lisbon' and balance > 1000";
};

// Reads the ten items back and checks them, so nothing is optimised away.
void getAll(PARMLIST *list, const Call &want) {
  Call got;
  const char *name = nullptr, *where = nullptr;
  if (pl_seek(list, 0, 0) != S_OKAY) std::abort();
  OV_STATUS status = pl_get(list, &got.i);
  status |= pl_get(list, &got.u);
  status |= pl_get(list, &got.s);
  status |= pl_get(list, &got.t);
  status |= pl_get(list, &got.l);
  status |= pl_get(list, &got.ul);
  status |= pl_get(list, &got.d);
  status |= pl_get(list, &got.c);
  status |= pl_get(list, &name);
  status |= pl_get(list, &where);
  if (status != S_OKAY || got.l != want.l || name != want.name || where != want.where) std::abort();
  benchmark::DoNotOptimize(got);
}

void BM_PutRoundTrip(benchmark::State &state) {
  PARMLIST *list = pl_alloc();
  const Call call;
  for (auto _ : state) {
    OV_STATUS status = pl_put(list, PL_INT, 0, &call.i, 0);
    status |= pl_put(list, PL_UINT, 0, &call.u, 0);
    status |= pl_put(list, PL_SHORT, 0, &call.s, 0);
    status |= pl_put(list, PL_TINY, 0, &call.t, 0);
    status |= pl_put(list, PL_LONG, 0, &call.l, 0);
    status |= pl_put(list, PL_ULONG, 0, &call.ul, 0);
    status |= pl_put(list, PL_DOUBLE, 0, &call.d, 0);
    status |= pl_put(list, PL_CHAR, 0, &call.c, 0);
    status |= pl_put(list, PL_STRING, 0, call.name, 0);
    status |= pl_put(list, PL_STRING, 0, call.where, 0);
    if (status != S_OKAY) std::abort();
    getAll(list, call);
    pl_reset(list);
  }
  pl_free(list);
}

void BM_PrintfRoundTrip(benchmark::State &state) {
  PARMLIST *list = pl_alloc();
  const Call call;
  for (auto _ : state) {
    if (pl_printf(list, "%d %u %hd %td %ld %lu %f %c %s %s", call.i, call.u, call.s, call.t, call.l,
                  call.ul, call.d, call.c, call.name, call.where) != S_OKAY)
      std::abort();
    getAll(list, call);
    pl_reset(list);
  }
  pl_free(list);
}

BENCHMARK(BM_PutRoundTrip);
BENCHMARK(BM_PrintfRoundTrip);

}  // namespace

BENCHMARK_MAIN();
