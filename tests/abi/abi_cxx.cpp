// The public headers seen from a C++ program: ovbase.h compiles under
// -std=c++17 and -std=c++20 with -Wall -Wextra -Werror -pedantic, the
// records keep the C layout, the version macros agree with each other, and
// calls through the C linkage work.
#include <ovbase.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

static_assert(sizeof(BCD) == 4 && offsetof(BCD, digits) == 4, "BCD header is four bytes");
static_assert(offsetof(BCD, length) == 0 && offsetof(BCD, point) == 1 &&
                  offsetof(BCD, status) == 2 && offsetof(BCD, sign) == 3,
              "BCD fields in their documented order");

namespace {

// MAJOR.MINOR.PATCH written out, compared with the version string.
bool versionMacrosAgree() {
  char composed[32];
  std::snprintf(composed, sizeof composed, "%d.%d.%d", OVBASE_VERSION_MAJOR, OVBASE_VERSION_MINOR,
                OVBASE_VERSION_PATCH);
  return std::strcmp(composed, OVBASE_VERSION_STRING) == 0;
}

int failures = 0;

void check(bool ok, const char *what) {
  if (!ok) {
    std::fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  check(versionMacrosAgree(), "version macros");
  char text[80];
  check(ov_errinfo(S_NOTFOUND, text, sizeof text) == S_OKAY &&
            std::strcmp(text, "record not found (S_NOTFOUND)") == 0,
        "ov_errinfo");
  BCD *x = bcd_allocate(nullptr);
  check(x != nullptr, "bcd_allocate");
  if (x != nullptr) {
    check(bcd_fromChar("-12.5", x) == 0, "bcd_fromChar");
    check(x->length == 3 && x->point == 2 && x->sign == -1 && x->digits[1] == 1 && x->digits[3] == 5,
          "BCD digits through the record");
    check(bcd_toChar(x, text, sizeof text) == 0 && std::strcmp(text, "-12.5") == 0, "bcd_toChar");
    bcd_free(x);
  }
  check(std::strncmp(ov_compiler(), "GNU C/C++ ", 10) == 0, "ov_compiler");
  if (failures == 0) std::puts("passed");
  return failures == 0 ? 0 : 1;
}
