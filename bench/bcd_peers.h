// The decimal benchmarks' peers: GCC's _Decimal128 type in C++ and libdfp's
// text conversions for it, loaded at run time (so that the _Decimal128
// arithmetic stays the compiler's own and the benchmark needs no extra link
// library), and the seeded operand texts both sides read.
#ifndef OVBASE_BENCH_BCD_PEERS_H
#define OVBASE_BENCH_BCD_PEERS_H

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace bcdbench {

typedef float Dec128 __attribute__((mode(TD)));  // _Decimal128 in C++

// libdfp's strtod128 and strfromd128.
struct Libdfp {
  Dec128 (*strtod128)(const char *, char **) = nullptr;
  int (*strfromd128)(char *, size_t, const char *, Dec128) = nullptr;
};

// Loads libdfp or exits with a message: the comparison means nothing
// without it (scripts/setup.sh installs libdfp-dev).
inline const Libdfp &libdfp() {
  static const Libdfp loaded = [] {
    Libdfp l;
    void *handle = dlopen("libdfp.so.1", RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) {
      l.strtod128 = reinterpret_cast<decltype(l.strtod128)>(dlsym(handle, "strtod128"));
      l.strfromd128 = reinterpret_cast<decltype(l.strfromd128)>(dlsym(handle, "strfromd128"));
    }
    if (l.strtod128 == nullptr || l.strfromd128 == nullptr) {
      std::fprintf(stderr, "libdfp (strtod128, strfromd128) not found: install libdfp-dev\n");
      std::exit(1);
    }
    // The value must arrive with the text's exponent: 123.45 is 12345E-2.
    if (l.strtod128("123.45", nullptr) != static_cast<Dec128>(12345) / 100) {
      std::fprintf(stderr, "strtod128 disagrees with _Decimal128 arithmetic\n");
      std::exit(1);
    }
    return l;
  }();
  return loaded;
}

// Seeded texts as a ledger holds them: intDigits integer digits (the first
// nonzero), a point and fracDigits fraction digits, half of them negative.
inline std::vector<std::string> makeTexts(size_t count, int intDigits, int fracDigits, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<std::string> texts;
  for (size_t i = 0; i < count; ++i) {
    std::string t = rng() % 2 ? "-" : "";
    for (int k = 0; k < intDigits; ++k) t += static_cast<char>(k == 0 ? '1' + rng() % 9 : '0' + rng() % 10);
    t += '.';
    for (int k = 0; k < fracDigits; ++k) t += static_cast<char>('0' + rng() % 10);
    texts.push_back(t);
  }
  return texts;
}

}  // namespace bcdbench

#endif  // OVBASE_BENCH_BCD_PEERS_H
