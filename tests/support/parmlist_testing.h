// Helpers shared by the parameter-list tests: owning handles for a list and a
// bind table, the items of a list walked both ways, and what pl_peek reports.
#ifndef OVBASE_TESTS_PARMLIST_TESTING_H
#define OVBASE_TESTS_PARMLIST_TESTING_H

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "ovbase/parmlist.h"
#include "ovbase/platform.h"
#include "platform/testhooks.h"

namespace pltest {

template <auto Release>
struct Deleter {
  void operator()(auto *pointer) const { Release(pointer); }
};
using List = std::unique_ptr<PARMLIST, Deleter<pl_free>>;
using Bind = std::unique_ptr<PARMBIND, Deleter<pl_freeBind>>;

// Items from first along next, checked against the walk from last along prev.
inline std::vector<PARMITEM *> items(const PARMLIST *list) {
  std::vector<PARMITEM *> forward, backward;
  for (PARMITEM *i = list->first; i; i = i->next) forward.push_back(i);
  for (PARMITEM *i = list->last; i; i = i->prev) backward.insert(backward.begin(), i);
  EXPECT_EQ(forward, backward);
  return forward;
}

// pl_peek's report on the current item: type, description, flags, size.
using Peeked = std::tuple<uint32_t, PLSTRUCTDESC *, uint16_t, uint32_t>;
inline Peeked peek(const PARMLIST *list) {
  Peeked got{99, reinterpret_cast<PLSTRUCTDESC *>(1), 99, 99};  // each one must be written
  pl_peek(list, &std::get<0>(got), &std::get<1>(got), &std::get<2>(got), &std::get<3>(got));
  return got;
}

}  // namespace pltest

#endif  // OVBASE_TESTS_PARMLIST_TESTING_H
