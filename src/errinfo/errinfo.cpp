/*
 * errinfo.cpp - the status-code table and its lookups.
 *
 * Exports ov_errinfo, ov_errorinfo and ov_errorname.  The table is generated
 * from OV_STATUS_MAP in ovbase/status.h, so names, codes and messages cannot
 * drift apart.  The texts are packed into one constant block and the rows
 * hold 16-bit offsets into it: no relocations, one read-only object.
 */
#include "ovbase/status.h"

#include <cstddef>
#include <cstring>

namespace {

// One member per text, in table order; its offset in the struct is the
// text's offset in the packed block.
struct Texts {
#define OV_TEXT_FIELDS_(code, name, message) \
  char name##_name[sizeof #name];            \
  char name##_msg[sizeof message];
  OV_STATUS_MAP(OV_TEXT_FIELDS_)
#undef OV_TEXT_FIELDS_
};

constexpr Texts texts = {
#define OV_TEXT_INIT_(code, name, message) #name, message,
    OV_STATUS_MAP(OV_TEXT_INIT_)
#undef OV_TEXT_INIT_
};

static_assert(sizeof(Texts) < 65536, "text offsets must fit 16 bits");

struct Row {
  int16_t code;
  uint16_t name;     // offset of the symbolic name in `texts`
  uint16_t message;  // offset of the message in `texts`
};

constexpr Row rows[] = {
#define OV_ROW_(code, name, message) \
  {(code), offsetof(Texts, name##_name), offsetof(Texts, name##_msg)},
    OV_STATUS_MAP(OV_ROW_)
#undef OV_ROW_
};

static_assert(rows[0].code == 0, "the table starts with S_OKAY");

const char *text(uint16_t offset) {
  return reinterpret_cast<const char *>(&texts) + offset;
}

// First row whose code equals the argument reduced to 16 bits, or null.
const Row *getErrorInfo(int32_t code) {
  const auto key = static_cast<int16_t>(code);
  for (const Row &row : rows)
    if (row.code == key) return &row;
  return nullptr;
}

// Appends `piece` to the text of length *len in buf, never letting the text
// grow past `limit` characters.  The buffer was cleared beforehand, so the
// result stays terminated.
void appendLimited(char *buf, size_t *len, size_t limit, const char *piece) {
  if (*len >= limit) return;
  size_t n = std::strlen(piece);
  if (n > limit - *len) n = limit - *len;
  std::memcpy(buf + *len, piece, n);
  *len += n;
}

}  // namespace

extern "C" {

OV_API OV_STATUS ov_errinfo(int32_t code, char *buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return S_OKAY;
  const Row *row = getErrorInfo(code);
  std::memset(buffer, 0, size);
  const size_t limit = size - 1;
  size_t len = 0;
  appendLimited(buffer, &len, limit, row ? text(row->message) : "NO MESSAGE AVAILABLE");
  appendLimited(buffer, &len, limit, " (");
  appendLimited(buffer, &len, limit, row ? text(row->name) : "UNKNOWN");
  appendLimited(buffer, &len, limit, ")");
  return S_OKAY;
}

OV_API OV_STATUS ov_errorinfo(int32_t code, const char **message) {
  if (message == nullptr) return S_INVNULL;
  const Row *row = getErrorInfo(code);
  *message = row ? text(row->message) : nullptr;
  return S_OKAY;
}

OV_API const char *ov_errorname(int32_t code) {
  const Row *row = getErrorInfo(code);
  return row ? text(row->name) : "UNKNOWN";
}

}  // extern "C"
