/*
 * ini_update.cpp - ov_iniSetPrivate: changes one INI file on disk.
 *
 * The file is copied line by line into "_temp_.ini" in its directory,
 * with the change made on the way (scanINI); the copy is flushed to disk,
 * checked to hold every byte handed to it, and renamed over the old name
 * in one step.  Only then is the cached copy of the file re-read.  The
 * whole update holds the INI mutex.
 *
 * Allocation tags (module 1820): 182000844 a new section's header line,
 * 182000857 the entry line, 182001065 the temporary path, 182001075 the
 * section header text.
 */
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovutil/filestream_internal.h"
#include "ovutil/ini_internal.h"

namespace {

constexpr uint32_t kTagHeaderLine = 182000844;
constexpr uint32_t kTagEntryLine = 182000857;
constexpr uint32_t kTagTempPath = 182001065;
constexpr uint32_t kTagHeader = 182001075;
constexpr char kTempName[] = "_temp_.ini";

// The output stream and the bytes handed to it, to be compared with the
// file's length before the swap: streams do not report failed writes.
struct Writer {
  FILESTREAM *out;
  uint64_t handed = 0;
  void line(const char *text, size_t length) { handed += ov::stream::putLine(out, text, length); }
  void line(const char *text) { line(text, std::strlen(text)); }
};

// Writes an optional header line, then key=value.
OV_STATUS AddLine(Writer *out, const char *header, const char *key, const char *value) {
  if (header != nullptr) {
    const size_t length = std::strlen(header);
    char *line = static_cast<char *>(ov_getMem(length + 2, nullptr, MEM_PLAIN, nullptr, kTagHeaderLine));
    if (line == nullptr) return S_NOMEMORY;
    std::memcpy(line, header, length + 1);
    out->line(line, length);
    ov_freeMemory(line, nullptr);
  }
  const size_t size = std::strlen(key) + std::strlen(value) + 4;
  char *entry = static_cast<char *>(ov_getMem(size, nullptr, MEM_PLAIN, nullptr, kTagEntryLine));
  if (entry == nullptr) return S_NOMEMORY;
  const int length = std::snprintf(entry, size, "%s=%s", key, value);
  out->line(entry, static_cast<size_t>(length));
  ov_freeMemory(entry, nullptr);
  return S_OKAY;
}

bool isBlank(const char *line) {
  for (; *line != '\0'; ++line)
    if (!std::isspace(static_cast<unsigned char>(*line))) return false;
  return true;
}

// The line's text up to and including its first ']' equals header.
bool isHeaderOf(const char *line, const char *header) {
  const char *close = std::strchr(line, ']');
  if (close == nullptr) return false;
  const size_t length = static_cast<size_t>(close - line) + 1;
  return std::strlen(header) == length && strncasecmp(line, header, length) == 0;
}

// The line's text before its first '=' (all of it without one) equals key.
bool hasKey(const char *line, const char *key) {
  const char *equals = std::strchr(line, '=');
  const size_t length = equals != nullptr ? static_cast<size_t>(equals - line) : std::strlen(line);
  return std::strlen(key) == length && strncasecmp(line, key, length) == 0;
}

enum class State { kBefore, kInside, kDone };

// Copies in to out line by line, making the change: set key=value (value
// given), delete the key (value null) or delete the section (key null).
// Blank lines inside the section are held back while setting, so that a
// new entry goes before the blank lines that end the section.
OV_STATUS scanINI(const char *header, const char *key, const char *value, FILESTREAM *in, Writer *out,
                  uint64_t *consumed) {
  const bool setting = key != nullptr && value != nullptr;
  State state = State::kBefore;
  bool found = false;
  uint32_t heldBlanks = 0;
  char *line = nullptr;
  uint32_t lineSize = 0, length = 0;
  OV_STATUS status = S_OKAY;
  auto writeHeldBlanks = [&] {
    for (; heldBlanks > 0; --heldBlanks) out->line("", 0);
  };
  for (;;) {
    const ov::stream::LineResult got = ov::stream::getLine(in, &line, &lineSize, &length);
    if (got == ov::stream::LineResult::kEnd) break;
    if (got == ov::stream::LineResult::kNoMemory) {
      status = S_NOMEMORY;
      break;
    }
    *consumed += length;
    if (length > 0 && line[length - 1] == '\n') line[--length] = '\0';
    const bool isHeader = line[0] == '[';

    if (state == State::kDone) {
      out->line(line, length);
    } else if (state == State::kBefore) {
      if (isHeader && isHeaderOf(line, header)) {
        state = State::kInside;
        found = true;
        if (key == nullptr) continue;  // deleting the section: drop its header
      }
      out->line(line, length);
    } else if (key == nullptr) {  // inside a section being deleted
      if (isHeader) {
        out->line(line, length);
        state = State::kDone;
      }
    } else if (isBlank(line)) {
      if (setting) ++heldBlanks;
    } else if (isHeader) {  // the section ends without the key
      state = State::kDone;
      if (setting) {
        if ((status = AddLine(out, nullptr, key, value)) != S_OKAY) break;
        writeHeldBlanks();
      }
      out->line(line, length);
    } else {
      writeHeldBlanks();
      if (!hasKey(line, key)) {
        out->line(line, length);
      } else if (setting) {
        if ((status = AddLine(out, nullptr, key, value)) != S_OKAY) break;
        state = State::kDone;
      }  // deleting: drop every line of that key
    }
  }
  if (status == S_OKAY && state != State::kDone && setting)
    status = AddLine(out, found ? nullptr : header, key, value);
  ov_freeMemory(line, nullptr);
  return status;
}

bool sameFile(int fd, const char *path) {
  struct stat a {}, b {};
  return fstat(fd, &a) == 0 && stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writes the changed copy of path into tempPath.  On failure the temporary
// file is removed again (when this call created it), except when memory ran
// out while copying: the partial copy then stays, closed, in tempPath.  A
// stream that cannot be opened, for want of memory too, is a file that
// cannot be opened.
OV_STATUS writeChangedCopy(const char *header, const char *key, const char *value, const char *path,
                           const char *tempPath) {
  FILESTREAM *in = ov_fileStreamOpen(path, "r");
  if (in == nullptr) return S_NOFILE;
  if (sameFile(in->fd, tempPath)) {  // reached through a link: would truncate itself
    ov_fileStreamClose(in);
    return S_INVPARM;
  }
  FILESTREAM *outStream = ov_fileStreamOpen(tempPath, "w");
  if (outStream == nullptr) {
    ov_fileStreamClose(in);
    return S_NOFILE;
  }
  Writer out{outStream};
  uint64_t consumed = 0;
  OV_STATUS status = scanINI(header, key, value, in, &out, &consumed);
  const bool keepPartial = status == S_NOMEMORY;
  if (status == S_OKAY && !ov::stream::readWhole(in, consumed)) status = S_NOFILE;
  if (status == S_OKAY) {
    const int64_t written = ov::stream::syncWritten(outStream);
    if (written < 0 || static_cast<uint64_t>(written) != out.handed) status = S_FILEWRERR;
  }
  ov_fileStreamClose(outStream);
  ov_fileStreamClose(in);
  if (status != S_OKAY && !keepPartial) ov_fileRemove(tempPath);
  return status;
}

// Flushes the directory entry of the rename; dir is the directory part of
// a path ("" for the current directory).
void syncDirectory(const char *dir) {
  const int fd = open(*dir != '\0' ? dir : ".", O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

extern "C" OV_API OV_STATUS ov_iniSetPrivate(const char *section, const char *key, const char *value,
                                             const char *path) {
  if (section == nullptr || path == nullptr) return S_INVNULL;
  const char *slash = std::strrchr(path, '/');
  const char *base = slash != nullptr ? slash + 1 : path;
  // The file named like the temporary file would be truncated before it is
  // read; other names of it (links, other case on a case-blind file
  // system) are caught once it is open.
  if (std::strcmp(base, kTempName) == 0) return S_INVPARM;
  ov::ini::iniInit();

  const size_t dirLength = static_cast<size_t>(base - path);
  char *tempPath = static_cast<char *>(
      ov_getMem(std::strlen(path) + sizeof kTempName, nullptr, MEM_PLAIN, nullptr, kTagTempPath));
  if (tempPath == nullptr) return S_NOMEMORY;
  std::memcpy(tempPath, path, dirLength);
  std::memcpy(tempPath + dirLength, kTempName, sizeof kTempName);
  const size_t sectionLength = std::strlen(section);
  char *header = static_cast<char *>(ov_getMem(sectionLength + 3, nullptr, MEM_PLAIN, nullptr, kTagHeader));
  if (header == nullptr) {
    ov_freeMemory(tempPath, nullptr);
    return S_NOMEMORY;
  }
  header[0] = '[';
  std::memcpy(header + 1, section, sectionLength);
  std::memcpy(header + 1 + sectionLength, "]", 2);

  OV_STATUS status;
  {
    ov::ini::IniLock lock;
    status = writeChangedCopy(header, key, value, path, tempPath);
    if (status == S_OKAY) {
      if (ov_fileRename(tempPath, path) != 0) {
        status = S_FILEWRERR;
        ov_fileRemove(tempPath);
      } else {
        tempPath[dirLength] = '\0';
        syncDirectory(tempPath);
        ov::ini::refreshCachedFile(path);
      }
    }
  }
  ov_freeMemory(header, nullptr);
  ov_freeMemory(tempPath, nullptr);
  return status;
}
