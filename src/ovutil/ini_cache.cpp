/*
 * ini_cache.cpp - the process-wide INI cache and ov_iniGetPrivate.
 *
 * Each INI file is parsed once, on its first successful read, into a
 * record of gINIInfo; later lookups are answered from memory until this
 * process rewrites the file (ini_update.cpp refreshes the record then).
 * Sections and entries are kept in file order, their texts in one arena
 * per file, and an index (hash chains in file order over case-folded
 * names) finds the first section or entry of a name without a scan.
 * Every use of the cache holds the INI mutex, a slot of the mutex table
 * created lazily under handle 0.
 *
 * Allocation tags (module 1820): 182000647 the file list, 182000650 a
 * record's path, 182000683 section records, 182000714 entry records,
 * 182000724 the text arena, 182000730 the index, plus the line buffer of
 * the stream reader.
 */
#include <pthread.h>
#include <strings.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <utility>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "ovutil/filestream_internal.h"
#include "ovutil/ini_internal.h"

namespace ov::ini {
namespace {

constexpr uint32_t kTagFiles = 182000647;
constexpr uint32_t kTagPath = 182000650;
constexpr uint32_t kTagSections = 182000683;
constexpr uint32_t kTagEntries = 182000714;
constexpr uint32_t kTagText = 182000724;
constexpr uint32_t kTagIndex = 182000730;

constexpr size_t kNameMax = 127;  // section names and keys are cut to this
constexpr uint32_t kNone = UINT32_MAX;

// Handle values of iniSem besides a table slot.
constexpr int16_t kNotCreated = -1;
constexpr int16_t kPrivateMutex = -2;  // the table was full: use privateMutex

// One entry: offsets of its key and value in the file's text arena.
struct INIPARM {
  uint32_t key;
  uint32_t value;
  uint32_t hash;  // folded hash of the key mixed with its section's number
  uint32_t next;  // next entry of the same index bucket, in file order
};

// One section: its name and the run of entries that belong to it (a
// section's entries follow each other in file order).
struct INISECTION {
  uint32_t name;
  uint32_t hash;
  uint32_t next;  // next section of the same index bucket, in file order
  uint32_t firstParm;
  uint32_t nNumParms;
};

// One cached file.
struct INIINFO {
  char *fileName;  // the path as the caller gave it, any length
  uint32_t fileHash;  // folded hash of fileName
  INISECTION *sections;
  uint32_t nNumSections, nMaxSections;
  INIPARM *parms;
  uint32_t nNumParms, nMaxParms;
  char *text;  // names, keys and values, each zero-terminated
  uint64_t textUsed, textMax;
  uint32_t *sectionHeads;  // index buckets; kNone when empty
  uint32_t *parmHeads;
  uint32_t sectionMask, parmMask;
};

INIINFO *gINIInfo = nullptr;
uint32_t nNumINIs = 0, nMaxINIs = 0;
uint32_t lastFound = 0;  // the record the last search found, tried first
std::atomic<int16_t> iniSem{kNotCreated};
pthread_mutex_t privateMutex = PTHREAD_MUTEX_INITIALIZER;

// Case folding for the index.  Names that strcasecmp calls equal must land
// in one bucket in every locale: ASCII letters fold to lower case, and since
// a locale may pair 'i' or 'I' with a byte above 0x7f, those and all high
// bytes share one class.  Buckets are checked with strcasecmp itself.
constexpr std::array<uint8_t, 256> makeFold() {
  std::array<uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b) {
    if (b >= 0x80 || b == 'i' || b == 'I') fold[b] = 0x80;
    else if (b >= 'A' && b <= 'Z') fold[b] = static_cast<uint8_t>(b + 32);
    else fold[b] = static_cast<uint8_t>(b);
  }
  return fold;
}
constexpr std::array<uint8_t, 256> kFold = makeFold();
static_assert(kFold['Q'] == 'q' && kFold['q'] == 'q' && kFold['I'] == kFold[0xfd] && kFold['1'] == '1');

// A rotate-and-xor pass over the folded bytes (cheap per byte), then a
// final mix so that the low bits used for buckets depend on every byte.
uint32_t foldedHash(const char *name) {
  uint32_t hash = 0x2545f491u;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p)
    hash = ((hash << 5) | (hash >> 27)) ^ kFold[*p];
  hash ^= hash >> 16;
  hash *= 0x85ebca6bu;
  hash ^= hash >> 13;
  hash *= 0xc2b2ae35u;
  return hash ^ (hash >> 16);
}
uint32_t parmHash(uint32_t keyHash, uint32_t section) { return keyHash ^ (section * 0x9e3779b1u); }

// Names equal without regard to case; callers mostly spell them as the
// file does, so the exact comparison usually settles it.
bool sameName(const char *a, const char *b) { return std::strcmp(a, b) == 0 || strcasecmp(a, b) == 0; }

// Grows an array of records so that one more fits; doubles its room.
template <typename T>
bool reserveOne(T **array, uint32_t used, uint32_t *max, uint32_t tag) {
  if (used < *max) return true;
  const uint32_t room = *max == 0 ? 16 : *max * 2;
  void *grown = ov_extendMem(*array, uint64_t{room} * sizeof(T), nullptr, 0, 0, tag);
  if (grown == nullptr) return false;
  *array = static_cast<T *>(grown);
  *max = room;
  return true;
}

// Appends length bytes of text and a zero to the arena; kNone when memory
// runs out.
uint32_t addText(INIINFO *info, const char *text, size_t length) {
  const uint64_t need = info->textUsed + length + 1;
  if (need > UINT32_MAX) return kNone;
  if (need > info->textMax) {
    uint64_t room = info->textMax == 0 ? 4096 : info->textMax * 2;
    while (room < need) room *= 2;
    void *grown = ov_extendMem(info->text, room, nullptr, 0, 0, kTagText);
    if (grown == nullptr) return kNone;
    info->text = static_cast<char *>(grown);
    info->textMax = room;
  }
  const auto at = static_cast<uint32_t>(info->textUsed);
  std::memcpy(info->text + at, text, length);
  info->text[at + length] = '\0';
  info->textUsed = need;
  return at;
}

void releaseContents(INIINFO *info) {
  ov_freeMemory(info->fileName, nullptr);
  ov_freeMemory(info->sections, nullptr);
  ov_freeMemory(info->parms, nullptr);
  ov_freeMemory(info->text, nullptr);
  ov_freeMemory(info->sectionHeads, nullptr);
  *info = INIINFO{};
}

const char *textAt(const INIINFO *info, uint32_t offset) { return info->text + offset; }

// Cuts a line at its first newline, carriage return or semicolon, then
// drops trailing white space.  Returns the length left.
size_t stripComments(char *line) {
  size_t length = std::strcspn(line, "\n\r;");
  while (length > 0 && std::isspace(static_cast<unsigned char>(line[length - 1]))) --length;
  line[length] = '\0';
  return length;
}

// Files one line into the record.  False when memory runs out.
bool parseLine(INIINFO *info, char *line) {
  const size_t length = stripComments(line);
  if (length == 0) return true;
  if (line[0] == '[') {
    const char *name = line + 1;
    const char *close = std::strchr(name, ']');
    size_t nameLength = close != nullptr ? static_cast<size_t>(close - name) : length - 1;
    if (nameLength > kNameMax) nameLength = kNameMax;
    if (!reserveOne(&info->sections, info->nNumSections, &info->nMaxSections, kTagSections)) return false;
    const uint32_t at = addText(info, name, nameLength);
    if (at == kNone) return false;
    INISECTION &section = info->sections[info->nNumSections++];
    section = INISECTION{at, 0, kNone, info->nNumParms, 0};
    return true;
  }
  if (info->nNumSections == 0) return true;  // entries before the first header
  char *equals = std::strchr(line, '=');
  if (equals == nullptr) return true;
  size_t keyLength = static_cast<size_t>(equals - line);
  while (keyLength > 0 && line[keyLength - 1] == ' ') --keyLength;
  if (keyLength == 0) return true;
  if (keyLength > kNameMax) keyLength = kNameMax;
  const char *value = equals + 1;
  while (*value == ' ') ++value;
  if (!reserveOne(&info->parms, info->nNumParms, &info->nMaxParms, kTagEntries)) return false;
  const uint32_t key = addText(info, line, keyLength);
  if (key == kNone) return false;
  const uint32_t valueAt = addText(info, value, length - static_cast<size_t>(value - line));
  if (valueAt == kNone) return false;
  info->parms[info->nNumParms++] = INIPARM{key, valueAt, 0, kNone};
  info->sections[info->nNumSections - 1].nNumParms++;
  return true;
}

uint32_t maskFor(uint32_t count) {
  uint32_t size = 16;
  while (size < 2 * uint64_t{count}) size *= 2;
  return size - 1;
}

// Builds the hash chains; each bucket lists its records in file order, so
// the first match along a chain is the first match in the file.
bool buildIndex(INIINFO *info) {
  info->sectionMask = maskFor(info->nNumSections);
  info->parmMask = maskFor(info->nNumParms);
  const uint64_t heads = uint64_t{info->sectionMask} + 1 + info->parmMask + 1;
  info->sectionHeads = static_cast<uint32_t *>(
      ov_getMem(heads * sizeof(uint32_t), nullptr, MEM_PLAIN, nullptr, kTagIndex));
  if (info->sectionHeads == nullptr) return false;
  std::memset(info->sectionHeads, 0xff, heads * sizeof(uint32_t));
  info->parmHeads = info->sectionHeads + info->sectionMask + 1;
  for (uint32_t s = info->nNumSections; s-- > 0;) {
    INISECTION &section = info->sections[s];
    section.hash = foldedHash(textAt(info, section.name));
    uint32_t &head = info->sectionHeads[section.hash & info->sectionMask];
    section.next = head;
    head = s;
    for (uint32_t p = section.firstParm + section.nNumParms; p-- > section.firstParm;) {
      INIPARM &parm = info->parms[p];
      parm.hash = parmHash(foldedHash(textAt(info, parm.key)), s);
      uint32_t &parmHead = info->parmHeads[parm.hash & info->parmMask];
      parm.next = parmHead;
      parmHead = p;
    }
  }
  return true;
}

// kNoFile: the file did not open; kUnreadable: it opened but was not read
// whole (a read error, a directory).
enum class ReadResult { kCached, kNoFile, kUnreadable, kNoMemory };

// Reads path into a fresh record.  A file that cannot be opened, or whose
// bytes read fall short of its length (a read error, a directory), is
// unreadable.
ReadResult readFile(const char *path, INIINFO *info) {
  bool noMemory = false;
  FILESTREAM *in = stream::open(path, "r", &noMemory);
  if (in == nullptr) return noMemory ? ReadResult::kNoMemory : ReadResult::kNoFile;
  *info = INIINFO{};
  ReadResult result = ReadResult::kCached;
  char *line = nullptr;
  uint32_t lineSize = 0, length = 0;
  uint64_t consumed = 0;
  for (;;) {
    const stream::LineResult got = stream::getLine(in, &line, &lineSize, &length);
    if (got == stream::LineResult::kEnd) break;
    if (got == stream::LineResult::kNoMemory || !parseLine(info, line)) {
      result = ReadResult::kNoMemory;
      break;
    }
    consumed += length;
  }
  if (result == ReadResult::kCached && !stream::readWhole(in, consumed)) result = ReadResult::kUnreadable;
  ov_freeMemory(line, nullptr);
  ov_fileStreamClose(in);
  if (result == ReadResult::kCached) {
    info->fileName = static_cast<char *>(ov_getMem(0, nullptr, MEM_STRDUP, path, kTagPath));
    if (info->fileName == nullptr || !buildIndex(info)) result = ReadResult::kNoMemory;
    else info->fileHash = foldedHash(path);
  }
  if (result != ReadResult::kCached) releaseContents(info);
  return result;
}

// Paths are unique without regard to case among the records, so an exact
// match with the last record found is the answer.
INIINFO *FindCachedINIFile(const char *path) {
  if (lastFound < nNumINIs && std::strcmp(gINIInfo[lastFound].fileName, path) == 0) return &gINIInfo[lastFound];
  const uint32_t hash = foldedHash(path);
  for (uint32_t i = 0; i < nNumINIs; ++i)
    if (gINIInfo[i].fileHash == hash && sameName(gINIInfo[i].fileName, path)) {
      lastFound = i;
      return &gINIInfo[i];
    }
  return nullptr;
}

// Reads path into the cache: replaces the contents of its record, or adds
// one.  On failure an existing record is kept as it was.
ReadResult CacheINIFile(const char *path, INIINFO **record) {
  INIINFO fresh;
  const ReadResult result = readFile(path, &fresh);
  if (result != ReadResult::kCached) return result;
  INIINFO *info = FindCachedINIFile(path);
  if (info == nullptr) {
    if (!reserveOne(&gINIInfo, nNumINIs, &nMaxINIs, kTagFiles)) {
      releaseContents(&fresh);
      return ReadResult::kNoMemory;
    }
    info = &gINIInfo[nNumINIs++];
  } else {
    releaseContents(info);
  }
  *info = fresh;
  *record = info;
  return result;
}

const INISECTION *FindSection(const INIINFO *info, const char *name) {
  const uint32_t hash = foldedHash(name);
  for (uint32_t s = info->sectionHeads[hash & info->sectionMask]; s != kNone; s = info->sections[s].next) {
    const INISECTION &section = info->sections[s];
    if (section.hash == hash && sameName(textAt(info, section.name), name)) return &section;
  }
  return nullptr;
}

const INIPARM *FindParm(const INIINFO *info, const INISECTION *section, const char *key) {
  const auto number = static_cast<uint32_t>(section - info->sections);
  const uint32_t hash = parmHash(foldedHash(key), number);
  for (uint32_t p = info->parmHeads[hash & info->parmMask]; p != kNone; p = info->parms[p].next) {
    const INIPARM &parm = info->parms[p];
    if (parm.hash == hash && p >= section->firstParm && p - section->firstParm < section->nNumParms &&
        sameName(textAt(info, parm.key), key))
      return &parm;
  }
  return nullptr;
}

// Builds an answer in the caller's buffer: strings, each with its zero,
// within room bytes; a string that does not fit whole is cut to the room
// left and marks the answer as cut.
class Answer {
 public:
  Answer(char *buffer, uint32_t room) : out_(buffer), room_(room) {}
  bool full() const { return used_ >= room_; }
  // Appends one string.
  void add(const char *text) {
    if (used_ >= room_) {
      cut_ = true;
      return;
    }
    const size_t length = std::strlen(text);
    size_t take = length;
    if (take + 1 > room_ - used_) {
      take = room_ - used_ - 1;
      cut_ = true;
    }
    std::memcpy(out_ + used_, text, take);
    out_[used_ + take] = '\0';
    used_ += static_cast<uint32_t>(take + 1);
  }
  // Appends the concatenation of three pieces as one string.
  void add(const char *a, const char *b, const char *c) {
    if (used_ >= room_) {  // not even a terminator fits
      cut_ = true;
      return;
    }
    const size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
    uint64_t take = la + lb + lc + 1;
    if (take > room_ - used_) {
      take = room_ - used_;
      cut_ = true;
    }
    char *at = out_ + used_;
    size_t left = take - 1;
    for (const auto &[text, length] : {std::pair{a, la}, std::pair{b, lb}, std::pair{c, lc}}) {
      const size_t n = length < left ? length : left;
      std::memcpy(at, text, n);
      at += n;
      left -= n;
    }
    *at = '\0';
    used_ += static_cast<uint32_t>(take);
  }
  OV_STATUS finish() {
    if (used_ < room_) out_[used_] = '\0';
    else cut_ = true;
    return cut_ ? S_BUFFERTOOSMALL : S_OKAY;
  }

 private:
  char *out_;
  uint32_t room_;
  uint32_t used_ = 0;
  bool cut_ = false;
};

// Lists a section's entries, bare keys or key=value.
void ReadSection(const INIINFO *info, const INISECTION *section, Answer *answer, bool withValues) {
  for (uint32_t p = section->firstParm; p < section->firstParm + section->nNumParms && !answer->full(); ++p) {
    const INIPARM &parm = info->parms[p];
    if (withValues) answer->add(textAt(info, parm.key), "=", textAt(info, parm.value));
    else answer->add(textAt(info, parm.key));
  }
}

OV_STATUS lookup(const char *sectionName, const char *key, char *buffer, uint32_t size,
                 bool withValues, const char *path) {
  INIINFO *info = FindCachedINIFile(path);
  if (info == nullptr) {
    switch (CacheINIFile(path, &info)) {
      case ReadResult::kCached: break;
      case ReadResult::kNoFile:
      case ReadResult::kUnreadable: return S_NOTFOUND;
      case ReadResult::kNoMemory: return S_NOMEMORY;
    }
  }
  Answer answer(buffer, size - 1);
  buffer[0] = '\0';
  if (sectionName == nullptr) {
    for (uint32_t s = 0; s < info->nNumSections && !answer.full(); ++s)
      answer.add(textAt(info, info->sections[s].name));
    return answer.finish();
  }
  const INISECTION *section = FindSection(info, sectionName);
  if (section == nullptr) return S_NOTFOUND;
  if (key == nullptr) {
    ReadSection(info, section, &answer, withValues);
  } else {
    const INIPARM *parm = FindParm(info, section, key);
    if (parm == nullptr) return S_NOTFOUND;
    answer.add(textAt(info, parm->value));
  }
  return answer.finish();
}

}  // namespace

void iniInit() {
  if (iniSem.load(std::memory_order_acquire) != kNotCreated) return;
  ov_syncEnterExcl(0);
  if (iniSem.load(std::memory_order_relaxed) == kNotCreated) {
    const int32_t handle = ov_syncCreate("iniSem", 1, 0);
    iniSem.store(handle > 0 ? static_cast<int16_t>(handle) : kPrivateMutex, std::memory_order_release);
  }
  ov_syncExitExcl(0);
}

IniLock::IniLock() : handle_(iniSem.load(std::memory_order_acquire)) {
  if (handle_ == kPrivateMutex) pthread_mutex_lock(&privateMutex);
  else ov_syncEnterExcl(handle_);
}

IniLock::~IniLock() {
  if (handle_ == kPrivateMutex) pthread_mutex_unlock(&privateMutex);
  else ov_syncExitExcl(handle_);
}

void refreshCachedFile(const char *path) {
  INIINFO *info = nullptr;
  const ReadResult result = CacheINIFile(path, &info);
  if (result == ReadResult::kCached || result == ReadResult::kNoFile) return;  // not opened: keep the old record
  info = FindCachedINIFile(path);
  if (info == nullptr) return;
  releaseContents(info);
  *info = gINIInfo[--nNumINIs];
}

}  // namespace ov::ini

extern "C" OV_API OV_STATUS ov_iniGetPrivate(const char *section, const char *key, char *buffer,
                                             uint32_t size, int16_t withValues, const char *path) {
  if (buffer == nullptr || path == nullptr) return S_INVNULL;
  if (size == 0) return S_BUFFERTOOSMALL;
  ov::ini::iniInit();
  ov::ini::IniLock lock;
  return ov::ini::lookup(section, key, buffer, size, withValues != 0, path);
}
