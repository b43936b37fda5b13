// INI files: loading a file of 200 sections x 50 keys and one cached
// lookup, against GLib's GKeyFile loading the same file and looking up the
// same keys.  Each ovbase load is the first lookup under a new spelling of
// the path (the cache keeps every file it has read, so the iterations are
// capped).  After the run the ratio ovbase / GKeyFile is printed (target
// <= 1.0).  The file is written to $TMPDIR (default /tmp).
#include <benchmark/benchmark.h>
#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "ovbase/ovutil.h"
#include "ovbase/status.h"

namespace {

constexpr int kSections = 200, kKeys = 50, kLoads = 40;
std::string dir, iniPath;

struct Name {
  std::string section, key;
};
std::vector<Name> names;  // random section/key pairs present in the file

void makeIniFile() {
  const char *tmp = std::getenv("TMPDIR");
  dir = tmp != nullptr ? tmp : "/tmp";
  iniPath = dir + "/ovbase_bench.ini";
  FILE *out = std::fopen(iniPath.c_str(), "w");
  if (out == nullptr) std::abort();
  for (int s = 0; s < kSections; ++s) {
    std::fprintf(out, "[Section%03d]\n", s);
    for (int k = 0; k < kKeys; ++k) std::fprintf(out, "key%02d=value %d of section %d, some text\n", k, k, s);
    std::fputs("\n", out);
  }
  std::fclose(out);
  std::mt19937 rng(7);
  for (int i = 0; i < 4096; ++i) {
    char section[16], key[8];
    std::snprintf(section, sizeof section, "Section%03d", static_cast<int>(rng() % kSections));
    std::snprintf(key, sizeof key, "key%02d", static_cast<int>(rng() % kKeys));
    names.push_back({section, key});
  }
}

void BM_Load_ovbase(benchmark::State &state) {
  static int loads = 0;  // a fresh cache record each time, also across repetitions
  char buffer[256];
  for (auto _ : state) {
    std::string path = dir + "/";
    for (int j = 0; j <= loads; ++j) path += "./";
    ++loads;
    if (ov_iniGetPrivate("Section000", "key00", buffer, sizeof buffer, 0, (path + "ovbase_bench.ini").c_str()) != S_OKAY)
      state.SkipWithError("lookup failed");
  }
}

void BM_Load_GKeyFile(benchmark::State &state) {
  for (auto _ : state) {
    GKeyFile *file = g_key_file_new();
    if (!g_key_file_load_from_file(file, iniPath.c_str(), G_KEY_FILE_NONE, nullptr)) state.SkipWithError("load failed");
    g_key_file_free(file);
  }
}

void BM_Lookup_ovbase(benchmark::State &state) {
  char buffer[256];
  ov_iniGetPrivate("Section000", "key00", buffer, sizeof buffer, 0, iniPath.c_str());
  size_t i = 0;
  for (auto _ : state) {
    const Name &n = names[i++ & 4095];
    benchmark::DoNotOptimize(ov_iniGetPrivate(n.section.c_str(), n.key.c_str(), buffer, sizeof buffer, 0, iniPath.c_str()));
  }
}

void BM_Lookup_GKeyFile(benchmark::State &state) {
  GKeyFile *file = g_key_file_new();
  g_key_file_load_from_file(file, iniPath.c_str(), G_KEY_FILE_NONE, nullptr);
  size_t i = 0;
  for (auto _ : state) {
    const Name &n = names[i++ & 4095];
    gchar *value = g_key_file_get_value(file, n.section.c_str(), n.key.c_str(), nullptr);
    benchmark::DoNotOptimize(value);
    g_free(value);
  }
  g_key_file_free(file);
}

BENCHMARK(BM_Load_ovbase)->Unit(benchmark::kMicrosecond)->Iterations(kLoads);
BENCHMARK(BM_Load_GKeyFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lookup_ovbase);
BENCHMARK(BM_Lookup_GKeyFile);

// Ratio ovbase / GKeyFile in CPU time (the wall clock of a shared machine
// is noisier), from the times the run reported.
void printRatios(const benchreport::TimesReporter &times) {
  static const char *const ops[][3] = {{"load", "BM_Load_ovbase", "BM_Load_GKeyFile"},
                                       {"lookup", "BM_Lookup_ovbase", "BM_Lookup_GKeyFile"}};
  std::printf("\nratio ovbase / GKeyFile, CPU time (target <= 1.0):\n");
  for (const auto &op : ops) {
    const double ours = times.cpuNs(op[1]), peer = times.cpuNs(op[2]);
    if (ours < 0 || peer <= 0) continue;
    std::printf("  %-8s %10.1f ns vs %10.1f ns  ratio %.2f\n", op[0], ours, peer, ours / peer);
  }
}

}  // namespace

int main(int argc, char **argv) {
  makeIniFile();
  return benchreport::runAndSummarize(argc, argv, printRatios);
}
