// A fresh directory for one test, under $OV_TEST_TMP (else the system's
// temporary directory) or under a directory the test names, removed with
// everything in it when the test ends; whole-file helpers; and a scope
// that runs without root's right to ignore permissions.
#ifndef OVBASE_TESTS_SCRATCH_DIR_H
#define OVBASE_TESTS_SCRATCH_DIR_H

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

class ScratchDir {
 public:
  explicit ScratchDir(std::string parent = "") {
    if (parent.empty()) {
      const char *base = std::getenv("OV_TEST_TMP");
      parent = base != nullptr ? base : "/tmp";
    }
    mkdir(parent.c_str(), 0777);  // may exist already
    std::string pattern = parent + "/ovtest.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  }
  ~ScratchDir() {
    if (!dir_.empty())
      nftw(dir_.c_str(), [](const char *p, const struct stat *, int, FTW *) { return std::remove(p); },
           16, FTW_DEPTH | FTW_PHYS);
  }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;

  bool ok() const { return !dir_.empty(); }
  const std::string &dir() const { return dir_; }
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

inline bool writeFile(const std::string &path, const std::string &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The whole file, or nothing when it cannot be read.
inline std::optional<std::string> readFile(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  std::string bytes;
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) != 0) bytes.append(chunk, got);
  std::fclose(f);
  return bytes;
}

// Runs the enclosing scope without root's right to ignore permissions.
class WithoutRoot {
 public:
  WithoutRoot() {
    if (geteuid() == 0) dropped_ = seteuid(65534) == 0;
  }
  ~WithoutRoot() {
    if (dropped_) (void)seteuid(0);
  }

 private:
  bool dropped_ = false;
};

#endif  // OVBASE_TESTS_SCRATCH_DIR_H
