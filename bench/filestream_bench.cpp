// Line reading: ov_fileStreamGetLine against the C library's getline over
// the same 100 MB file of lines of 10 to 300 bytes, each reading the whole
// file per iteration from the page cache.  After the run the throughput of
// both and the ratio ovbase / getline (target >= 1.0) are printed.  The
// file is made once in $TMPDIR (default /tmp) and kept for later runs.
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_report.h"
#include "ovbase/ovutil.h"
#include "ovbase/platform.h"

namespace {

constexpr size_t kFileBytes = 100u << 20;
std::string linesPath;

// Writes the file of random printable lines unless it is already there.
void makeLinesFile() {
  const char *tmp = std::getenv("TMPDIR");
  linesPath = std::string(tmp != nullptr ? tmp : "/tmp") + "/ovbase_bench_lines.txt";
  struct stat st {};
  if (stat(linesPath.c_str(), &st) == 0 && static_cast<size_t>(st.st_size) >= kFileBytes) return;
  FILE *out = std::fopen(linesPath.c_str(), "w");
  if (out == nullptr) std::abort();
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> length(10, 300), letter(' ', '~');
  std::string line;
  for (size_t written = 0; written < kFileBytes; written += line.size()) {
    line.assign(static_cast<size_t>(length(rng)) - 1, ' ');
    for (char &c : line) c = static_cast<char>(letter(rng));
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
  }
  std::fclose(out);
}

int64_t fileBytes() {
  struct stat st {};
  return stat(linesPath.c_str(), &st) == 0 ? st.st_size : 0;
}

void BM_Lines_ovbase(benchmark::State &state) {
  char *buffer = nullptr;
  uint32_t capacity = 0;
  for (auto _ : state) {
    FILESTREAM *in = ov_fileStreamOpen(linesPath.c_str(), "r");
    uint64_t lines = 0, first = 0;
    while (ov_fileStreamGetLine(in, &buffer, &capacity) != nullptr) {
      ++lines;
      first += static_cast<unsigned char>(buffer[0]);
    }
    ov_fileStreamClose(in);
    benchmark::DoNotOptimize(lines + first);
  }
  ov_freeMemory(buffer, nullptr);
  state.SetBytesProcessed(state.iterations() * fileBytes());
}

void BM_Lines_getline(benchmark::State &state) {
  char *buffer = nullptr;
  size_t capacity = 0;
  for (auto _ : state) {
    FILE *in = std::fopen(linesPath.c_str(), "r");
    uint64_t lines = 0, first = 0;
    while (getline(&buffer, &capacity, in) != -1) {
      ++lines;
      first += static_cast<unsigned char>(buffer[0]);
    }
    std::fclose(in);
    benchmark::DoNotOptimize(lines + first);
  }
  std::free(buffer);
  state.SetBytesProcessed(state.iterations() * fileBytes());
}

BENCHMARK(BM_Lines_ovbase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lines_getline)->Unit(benchmark::kMillisecond);

// Throughput of both readers and their ratio, in wall and in CPU time, from
// the times the run reported.
void printRatio(const benchreport::TimesReporter &times) {
  const char *ours = "BM_Lines_ovbase", *peer = "BM_Lines_getline";
  if (times.realNs(ours) <= 0 || times.realNs(peer) <= 0) return;
  const double mb = static_cast<double>(fileBytes()) / 1e6;
  const auto rate = [mb](double ns) { return mb / (ns * 1e-9); };
  std::printf("\nline reading over %.0f MB (target ratio >= 1.0)\n"
              "  wall time: ov_fileStreamGetLine %.0f MB/s, getline %.0f MB/s, ratio %.2f\n"
              "  CPU time:  ov_fileStreamGetLine %.0f MB/s, getline %.0f MB/s, ratio %.2f\n",
              mb, rate(times.realNs(ours)), rate(times.realNs(peer)), times.realNs(peer) / times.realNs(ours),
              rate(times.cpuNs(ours)), rate(times.cpuNs(peer)), times.cpuNs(peer) / times.cpuNs(ours));
}

}  // namespace

int main(int argc, char **argv) {
  makeLinesFile();
  return benchreport::runAndSummarize(argc, argv, printRatio);
}
