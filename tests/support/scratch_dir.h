// A fresh directory for one test, under $OV_TEST_TMP (else /tmp) or under a
// directory the test names, removed with everything in it when the test
// ends; whole-file helpers; and a scope that runs without root's right to
// ignore permissions.
#ifndef OVBASE_TESTS_SCRATCH_DIR_H
#define OVBASE_TESTS_SCRATCH_DIR_H

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

class ScratchDir {
 public:
  explicit ScratchDir(std::string parent = "") {
    const char *base = std::getenv("OV_TEST_TMP");
    if (parent.empty()) parent = base != nullptr ? base : "/tmp";
    mkdir(parent.c_str(), 0777);  // may exist already
    std::string pattern = parent + "/ovtest.XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
  }
  ~ScratchDir() {
    auto removeOne = [](const char *p, const struct stat *, int, FTW *) { return std::remove(p); };
    if (!dir_.empty()) nftw(dir_.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS);
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush().good();
}

// The whole file, or nothing when it cannot be read.
inline std::optional<std::string> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the enclosing scope without root's right to ignore permissions.
class WithoutRoot {
 public:
  WithoutRoot() : dropped_(geteuid() == 0 && seteuid(65534) == 0) {}
  ~WithoutRoot() {
    if (dropped_) (void)seteuid(0);
  }

 private:
  bool dropped_;
};

#endif  // OVBASE_TESTS_SCRATCH_DIR_H
