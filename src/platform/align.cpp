/*
 * align.cpp - the platform's alignment rules.
 *
 * Two constant tables: the boundary of each alignment class, and the class
 * of each of the callers' type codes 0 to 14.  Classes are numbered so that
 * a higher class never has a smaller boundary; structure layout relies on
 * that when it takes a structure's highest member class as its own.
 */
#include <array>
#include <cstddef>
#include <cwchar>

#include "ovbase/platform.h"

namespace {

constexpr std::array<uint64_t, 7> alignData = {1, 2, 4, 4, 4, 8, 8};

constexpr std::array<uint32_t, 15> alignTypes = {0, 2, 1, 3, 5, 4, 6, 1, 3, 0, 0, 3, 3, 3, 0};

constexpr bool boundariesArePowersOfTwo() {
  for (uint64_t b : alignData)
    if (b == 0 || (b & (b - 1)) != 0) return false;
  return true;
}
constexpr bool boundariesNeverShrink() {
  for (std::size_t c = 1; c < alignData.size(); ++c)
    if (alignData[c] < alignData[c - 1]) return false;
  return true;
}
constexpr bool typesHaveKnownClasses() {
  for (uint32_t c : alignTypes)
    if (c >= alignData.size()) return false;
  return true;
}

static_assert(boundariesArePowersOfTwo());
static_assert(boundariesNeverShrink());
static_assert(typesHaveKnownClasses());

// The boundaries are the compiler's own for the types each class stands for.
static_assert(alignData[0] == alignof(char));
static_assert(alignData[1] == alignof(short));
static_assert(alignData[2] == alignof(wchar_t));
static_assert(alignData[3] == alignof(int32_t));
static_assert(alignData[4] == alignof(float));
static_assert(alignData[5] == alignof(int64_t));
static_assert(alignData[6] == alignof(double));

}  // namespace

extern "C" {

OV_API uint32_t ov_getAlignType(uint16_t typeCode) {
  return typeCode < alignTypes.size() ? alignTypes[typeCode] : 0;
}

OV_API uint64_t ov_align(uint64_t offset, uint32_t alignClass) {
  if (alignClass >= alignData.size()) return offset;  // taken as class 0
  const uint64_t boundary = alignData[alignClass];
  const uint64_t remainder = offset % boundary;
  if (remainder == 0) return offset;
  // Past the last multiple of the boundary nothing aligned is left above
  // the offset; rather than wrap to a small offset, stay at the top.
  const uint64_t step = boundary - remainder;
  return offset > UINT64_MAX - step ? UINT64_MAX : offset + step;
}

}  // extern "C"
