// INI lookup and update: a corpus of awkward files read at every buffer
// size that matters, updates compared byte for byte, faults (missing and
// unwritable places, a full disk), exhausted memory and many threads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ovbase/ovutil.h"
#include "ovbase/platform.h"
#include "ovbase/status.h"
#include "platform/testhooks.h"
#include "scratch_dir.h"

namespace {

namespace fs = std::filesystem;

class Ini : public ::testing::Test {
 protected:
  std::string file(const std::string &name) const { return scratch_.path(name); }
  // Writes a file into the scratch directory and returns its path.
  std::string iniFile(const std::string &name, const std::string &content) const {
    writeFile(file(name), content);
    return file(name);
  }
  ScratchDir scratch_;
};
using IniThreads = Ini;

constexpr char kUntouched = '#';

// The outcome of one lookup: its status and the whole buffer.
using Reply = std::pair<OV_STATUS, std::string>;

Reply get(const char *section, const char *key, uint32_t size, int16_t withValues,
          const std::string &path) {
  std::string buffer(size, kUntouched);
  return {ov_iniGetPrivate(section, key, buffer.data(), size, withValues, path.c_str()), buffer};
}

// The value of section/key from a large buffer, or "<status N>".
std::string value(const char *section, const char *key, const std::string &path) {
  const auto [status, bytes] = get(section, key, 20000, 0, path);
  if (status != S_OKAY) return "<status " + std::to_string(status) + ">";
  return bytes.c_str();
}

// A whole answer: each string with its zero, then one more zero.
std::string answerOf(const std::vector<std::string> &strings) {
  std::string answer;
  for (const std::string &s : strings) answer += s + '\0';
  return answer + '\0';
}

// What a buffer of `size` bytes must hold for that answer: the zero written
// first, then as much of the answer as fits in size - 1 bytes (a cut one
// ends in a zero and reports S_BUFFERTOOSMALL), and the rest untouched.
Reply expected(const std::string &answer, size_t size) {
  const size_t room = size - 1, used = std::min(room, answer.size());
  std::string bytes = answer.substr(0, used) + std::string(size - used, kUntouched);
  if (used == 0) bytes[0] = '\0';
  if (answer.size() > room && room > 0) bytes[room - 1] = '\0';
  return {static_cast<OV_STATUS>(answer.size() > room ? S_BUFFERTOOSMALL : S_OKAY), bytes};
}

const char *orNull(const char *text) { return text ? text : "(null)"; }

const std::string kLongName(200, 'N');    // a section name over 127 characters
const std::string kLongKey(150, 'K');     // a key over 127 characters
const std::string kValue200(200, 'v');    // a value that does not fit a record
const std::string kValue9000(9000, 'w');  // a line over 8192 bytes

TEST_F(Ini, TrickyFileAtEveryBufferSize) {
  // Comments, CRLF, tabs, blanks before '[' and keys, a repeated section in
  // other case, long names and values, entries before the first header, an
  // unclosed header and no newline at the end.
  const std::string path = iniFile(
      "tricky.ini",
      "orphan=before any header\n; a comment line\n"
      "[Server] ; the first of two\n"
      "Port = 1523 ; old port\nname=  My Server  \t\n\ttabbed=t\nkey\t=v\n"
      "=novalue\nk=\nsemi=a;b\neq=a=b=c\nno equals sign here\n   \t  \n [Indented]=yes\n"
      "[server]\nPort=9\n"
      "[" + kLongName + "]\n" + kLongKey + "=long key\n"
      "long=" + kValue200 + "\nhuge=" + kValue9000 + "\n"
      "[CRLF]trailing text\r\na=1\r\nA=2\r\n\r\n"
      "[Empty]\n[NoClose\nz=last");
  const std::string name127 = kLongName.substr(0, 127), key127 = kLongKey.substr(0, 127);
  struct Row {
    const char *section, *key;
    int16_t withValues;
    std::vector<std::string> answer;
    bool found = true;  // false: a miss, which leaves the empty string
  };
  const Row rows[] = {
      {nullptr, nullptr, 0, {"Server", "server", name127, "CRLF", "Empty", "NoClose"}},
      {"SERVER", nullptr, 1,
       {"Port=1523", "name=My Server", "\ttabbed=t", "key\t=v", "k=", "semi=a", "eq=a=b=c",
        " [Indented]=yes"}},
      {"Server", "k", 0, {""}},
      {name127.c_str(), key127.c_str(), 0, {"long key"}},
      {name127.c_str(), "LONG", 0, {kValue200}},
      {name127.c_str(), "huge", 0, {kValue9000}},
      {name127.c_str(), nullptr, 0, {key127, "long", "huge"}},
      {"crlf", nullptr, 1, {"a=1", "A=2"}},
      {"Empty", nullptr, 1, {}},
      {"NoClose", "z", 0, {"last"}},
      {"Missing", nullptr, 1, {}, false},
      {"Server", "key", 0, {}, false},
      {kLongName.c_str(), nullptr, 1, {}, false},
      {name127.c_str(), kLongKey.c_str(), 0, {}, false},
      {"Server", "", 0, {}, false},
  };
  for (const Row &row : rows) {
    const std::string answer = answerOf(row.answer);
    const uint32_t exact = static_cast<uint32_t>(answer.size() + 1);  // the last byte stays
    for (uint32_t size : {1u, 2u, exact - 2, exact - 1, exact, exact + 5}) {
      if (size == 0 || (!row.found && size < 2)) continue;
      SCOPED_TRACE(::testing::Message() << orNull(row.section) << "/" << orNull(row.key) << " size "
                                        << size);
      Reply want = expected(answer, size);
      if (!row.found) want.first = S_NOTFOUND;
      EXPECT_EQ(get(row.section, row.key, size, row.withValues, path), want);
    }
  }
}

// A large file full of repeated names in mixed case: every lookup answers
// with the first section and the first entry of the name in file order, as
// a plain scan finds them.
TEST_F(Ini, FirstMatchInFileOrderAmongManyRepeats) {
  std::mt19937 rng(11);
  auto mixCase = [&](std::string name) {
    for (char &c : name) c = static_cast<char>(rng() % 2 ? std::toupper(c) : c);  // ASCII only
    return name;
  };
  std::map<std::pair<int, int>, std::string> want;  // section, key number -> first value
  std::set<int> seen;                                // section numbers met so far
  std::string content;
  for (int s = 0; s < 400; ++s) {
    const int section = static_cast<int>(rng() % 60);
    const bool first = seen.insert(section).second;
    content += "[" + mixCase("sect" + std::to_string(section)) + "]\n";
    for (int e = static_cast<int>(rng() % 20); e > 0; --e) {
      const int key = static_cast<int>(rng() % 25);
      const std::string val = std::to_string(s) + "." + std::to_string(e);
      content += mixCase("key" + std::to_string(key)) + "=" + val + "\n";
      if (first) want.emplace(std::make_pair(section, key), val);  // keeps the first
    }
  }
  const std::string path = iniFile("repeats.ini", content);
  for (int section = 0; section < 62; ++section)
    for (int key = 0; key < 27; ++key) {
      const std::string name = mixCase("SECT" + std::to_string(section));
      const std::string k = mixCase("KEY" + std::to_string(key));
      const auto found = want.find({section, key});
      ASSERT_EQ(value(name.c_str(), k.c_str(), path),
                found == want.end() ? "<status 2>" : found->second) << name << "/" << k;
    }
}

// Each file is read once; the cache is keyed by the whole path without case.
TEST_F(Ini, CacheIsReadOnceAndKeyedByPathWithoutCase) {
  const std::string path = file("app.ini");
  for (const std::string &unreadable : {path, scratch_.dir()})  // no file yet; a directory
    EXPECT_EQ(get("A", "k", 8, 0, unreadable), Reply(S_NOTFOUND, std::string(8, kUntouched)));
  writeFile(path, "[A]\nk=1\n");
  EXPECT_EQ(value("A", "k", path), "1");  // read once it exists
  writeFile(path, "[A]\nk=2\n");
  EXPECT_EQ(value("A", "k", path), "1");  // changed behind our back: not seen
  // The same path in other case names the same record, though no such file
  // exists on disk; a different spelling of the path is another record.
  EXPECT_EQ(value("a", "K", file("APP.INI")), "1");
  EXPECT_EQ(value("A", "k", scratch_.dir() + "/./app.ini"), "2");
  fs::remove(path);
  EXPECT_EQ(value("A", "k", path), "1");

  char buffer[4] = "abc";
  EXPECT_EQ(ov_iniGetPrivate("A", "k", nullptr, 4, 0, path.c_str()), S_INVNULL);
  EXPECT_EQ(ov_iniGetPrivate("A", "k", buffer, 4, 0, nullptr), S_INVNULL);
  EXPECT_EQ(ov_iniGetPrivate("A", "k", buffer, 0, 0, path.c_str()), S_BUFFERTOOSMALL);
  EXPECT_STREQ(buffer, "abc");
}

TEST_F(Ini, UpdatesChangeExactlyTheirLines) {
  const std::string base = "[A]\nk1=1\n\n[B]\nk2=2\n";
  struct Row {
    std::string before;
    const char *section, *key, *value;
    std::string after;
    const char *readBack;  // lookup of section/key (or k) afterwards; null: not found
  };
  const Row rows[] = {
      {base, "A", "k1", "5", "[A]\nk1=5\n\n[B]\nk2=2\n", "5"},
      {base, "A", "k3", "3", "[A]\nk1=1\nk3=3\n\n[B]\nk2=2\n", "3"},
      {base, "B", "k3", "3", base + "k3=3\n", "3"},
      {base, "Z", "k", "v", base + "[Z]\nk=v\n", "v"},
      {base, "A", "k1", nullptr, "[A]\n[B]\nk2=2\n", nullptr},
      {base, "A", nullptr, nullptr, "[B]\nk2=2\n", nullptr},
      {base, "Z", nullptr, nullptr, base, nullptr},
      {base, "a", "K1", "7", "[A]\nK1=7\n\n[B]\nk2=2\n", "7"},
      {"[A]\nPort = 1\n", "A", "Port", "2", "[A]\nPort = 1\nPort=2\n", "1"},
      {"[A]\n; note\n  indented text\nk=1\n", "A", "k", "2", "[A]\n; note\n  indented text\nk=2\n", "2"},
      {"[A]\r\nk1=1\r\nk2=2\r\n", "A", "k2", "5", "[A]\r\nk1=1\r\nk2=5\n", "5"},
      {"[A]\r\nk=1\r\n\r\n[B]\r\n", "A", "n", "2", "[A]\r\nk=1\r\nn=2\n\n[B]\r\n", "2"},
      {"[A]\nk=1", "A", "j", "2", "[A]\nk=1\nj=2\n", "2"},
      {"[A]\nk=1\nK=2\nx=3\n", "A", "k", nullptr, "[A]\nx=3\n", nullptr},
      {"[A]\nk=1\nk=2\n", "A", "k", "9", "[A]\nk=9\nk=2\n", "9"},
      {"[A]\nx=1\n[A]\ny=2\n", "A", "y", "3", "[A]\nx=1\ny=3\n[A]\ny=2\n", "3"},
      {"[A]\nk=1\n\n\n", "A", "n", "2", "[A]\nk=1\nn=2\n", "2"},
      {"[A] ; note\nk=1\n", "a", "k", "2", "[A] ; note\nk=2\n", "2"},
      {"[A\nk=1\n", "A", "k", "2", "[A\nk=1\n[A]\nk=2\n", "1"},  // lookups read "[A" as A
      {"[A]\nk=1\n; c\n\n[B]\nx\n[A]\nz=1\n", "A", nullptr, nullptr, "[B]\nx\n[A]\nz=1\n", nullptr},
      {"", "S", "k", "v", "[S]\nk=v\n", "v"},
      {"[A]\nk=1\n\n", "B", "k", nullptr, "[A]\nk=1\n\n", nullptr},
      {"[A]\nk=1\n\n[B]\n", "A", "zz", nullptr, "[A]\nk=1\n[B]\n", nullptr},
      {"[A]\n", "A", "k", "a = b ; c", "[A]\nk=a = b ; c\n", "a = b"},
      {"k=0\n[A]\nk=1\n", "A", "k", "2", "k=0\n[A]\nk=2\n", "2"},
      {"[A]\n k=1\n", "A", "k", "2", "[A]\n k=1\nk=2\n", "2"},
      {"[A]\n", "A", "k", "", "[A]\nk=\n", ""},
  };
  // The files live in a directory whose path is over 255 characters long.
  const std::string dir = std::string(250, 'd') + "/";
  fs::create_directory(file(dir));
  for (const Row &row : rows) {
    const std::string n = std::to_string(&row - rows);
    SCOPED_TRACE(::testing::Message() << "row " << n << ": " << row.before << " | " << row.section
                                      << "/" << orNull(row.key) << "=" << orNull(row.value));
    const std::string path = iniFile(dir + "u" + n + ".ini", row.before);
    value("A", "k", path);  // cache the old contents first
    EXPECT_EQ(ov_iniSetPrivate(row.section, row.key, row.value, path.c_str()), S_OKAY);
    EXPECT_EQ(readFile(path), row.after);
    EXPECT_FALSE(fs::exists(file(dir + "_temp_.ini")));
    writeFile(path, "[junk]\n");  // not seen: lookups answer from the records the update refreshed
    EXPECT_EQ(value(row.section, row.key ? row.key : "k", path),
              row.readBack ? row.readBack : "<status 2>");
  }
}

TEST_F(Ini, RefusalsLeaveFileAndCacheAlone) {
  const std::string content = "[A]\nk=1\n", path = iniFile("app.ini", content);
  const std::string temp = file("_temp_.ini");
  EXPECT_EQ(value("A", "k", path), "1");
  EXPECT_EQ(ov_iniSetPrivate(nullptr, "k", "2", path.c_str()), S_INVNULL);
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", nullptr), S_INVNULL);
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", file("missing.ini").c_str()), S_NOFILE);
  EXPECT_FALSE(fs::exists(file("missing.ini")));
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", scratch_.dir().c_str()), S_NOFILE);  // a directory

  // A file that would be its own temporary file, by its name or through a
  // link; another spelling of that name is another file, updated as any other.
  writeFile(temp, content);
  fs::create_symlink(temp, file("link.ini"));
  for (const std::string &name : {temp, file("link.ini")}) {
    EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", name.c_str()), S_INVPARM) << name;
    EXPECT_EQ(readFile(temp), content);
  }
  fs::remove(temp);
  writeFile(file("_TEMP_.INI"), content);
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", file("_TEMP_.INI").c_str()), S_OKAY);
  EXPECT_EQ(readFile(file("_TEMP_.INI")), "[A]\nk=2\n");

  // The temporary file cannot be created: a directory holds its name, or
  // the directory is not writable (root, who may write anywhere, steps down).
  fs::create_directory(temp);
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", path.c_str()), S_NOFILE);
  EXPECT_TRUE(fs::is_directory(temp));
  fs::remove(temp);
  chmod(scratch_.dir().c_str(), 0555);
  {
    WithoutRoot guard;
    if (geteuid() != 0 && access(path.c_str(), R_OK) == 0) {
      EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", path.c_str()), S_NOFILE);
    }
  }
  chmod(scratch_.dir().c_str(), 0777);
  EXPECT_EQ(readFile(path), content);
  EXPECT_EQ(value("A", "k", path), "1");
  EXPECT_FALSE(fs::exists(temp));

  // A rewrite that the umask leaves unreadable to its owner is done, and the
  // cache keeps the old contents rather than losing the file's record.
  WithoutRoot guard;
  const mode_t saved = umask(0400);
  if (geteuid() != 0 && access(path.c_str(), R_OK) == 0) {
    EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", path.c_str()), S_OKAY);
    EXPECT_EQ(value("A", "k", path), "1");
    EXPECT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(readFile(path), "[A]\nk=2\n");
  }
  umask(saved);
}

// A disk that fills while the temporary file is written: the INI file is
// never replaced by a short copy, and the cache keeps its contents.
TEST_F(Ini, FullDiskNeverReplacesTheFile) {
  std::string content = "[Big]\n";
  for (int i = 0; i < 3000; ++i) content += "key" + std::to_string(i) + "=some value\n";
  const std::string path = iniFile("big.ini", content);
  EXPECT_EQ(value("Big", "key7", path), "some value");
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  // The last limit is one byte short of the changed file ("some value" becomes "changed").
  for (rlim_t limit : {rlim_t{0}, rlim_t{100}, rlim_t{4096}, rlim_t{10000}, content.size() - 4}) {
    SCOPED_TRACE(limit);
    const struct rlimit small = {limit, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const OV_STATUS status = ov_iniSetPrivate("Big", "key7", "changed", path.c_str());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(status, S_FILEWRERR);
    EXPECT_EQ(readFile(path), content);
    EXPECT_FALSE(fs::exists(file("_temp_.ini")));
    EXPECT_EQ(value("Big", "key7", path), "some value");
  }
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ov_iniSetPrivate("Big", "key7", "changed", path.c_str()), S_OKAY);
  EXPECT_EQ(value("Big", "key7", path), "changed");
}

// Every allocation of a lookup and of an update fails once in turn: the
// call reports its status and changes nothing, or it succeeds whole.
TEST_F(Ini, ExhaustedMemory) {
  const std::string longValue(5000, 'x');
  std::string content = "[A]\nk=1\n" + std::string(300, ';') + "\n[B]\nlong=" + longValue + "\n";
  for (int i = 0; i < 40; ++i)
    content += "[S" + std::to_string(i) + "]\nkey=" + std::to_string(i) + "\n";
  const std::string path = iniFile("mem.ini", content), temp = file("_temp_.ini");
  const int64_t before = ov_testOutstandingBlocks();
  for (int64_t failAt = 0, failed = 1; failed; ++failAt) {
    ov_testFailAllocation(failAt);
    const Reply got = get("S39", "key", 16, 0, path);
    failed = ov_testAllocationCount() > failAt;
    ov_testFailAllocation(-1);
    const Reply untouched(S_NOMEMORY, std::string(16, kUntouched));
    EXPECT_EQ(got, failed ? untouched : expected(answerOf({"39"}), 16)) << "failing " << failAt;
    EXPECT_EQ(ov_testOutstandingBlocks() > before, !failed) << "only a cached file holds blocks";
  }

  const int64_t cached = ov_testOutstandingBlocks();
  // key=39 ends the file.
  const std::string changed = content.substr(0, content.size() - 3) + "new\n";
  for (int64_t failAt = 0, failed = 1; failed; ++failAt) {
    SCOPED_TRACE(failAt);
    ov_testFailAllocation(failAt);
    const OV_STATUS status = ov_iniSetPrivate("S39", "key", "new", path.c_str());
    failed = ov_testAllocationCount() > failAt;
    ov_testFailAllocation(-1);
    // After the temporary name and the header text come the two stream
    // records: a stream that cannot be had is a file that cannot be opened.
    // Running out while copying leaves the partial copy beside the file.
    // After a success whose re-read of the cache ran out of memory, the next
    // lookup reads the new file.
    const bool done = status == S_OKAY;
    EXPECT_TRUE(done || status == (failAt == 2 || failAt == 3 ? S_NOFILE : S_NOMEMORY)) << status;
    EXPECT_EQ(fs::remove(temp), !done && failAt > 3);
    EXPECT_EQ(readFile(path), done ? changed : content);
    EXPECT_EQ(value("S39", "key", path), done ? "new" : "39");
    EXPECT_EQ(value("B", "long", path), longValue);
    EXPECT_EQ(ov_testOutstandingBlocks(), cached);
    ASSERT_EQ(ov_iniSetPrivate("S39", "key", "39", path.c_str()), S_OKAY);  // start over
  }
}

// With the mutex table full when the INI mutex is first needed, INI calls
// work all the same, and do not grab a slot once one is free again.
TEST_F(Ini, FullMutexTableIsNoFailure) {
  std::vector<int32_t> handles;
  for (int32_t h; (h = ov_syncCreate("filler", 1, 0)) > 0;) handles.push_back(h);
  ASSERT_EQ(handles.size(), 50u);  // no INI call has taken a slot yet
  const std::string path = iniFile("full.ini", "[A]\nk=1\n");
  EXPECT_EQ(value("A", "k", path), "1");
  EXPECT_EQ(ov_iniSetPrivate("A", "k", "2", path.c_str()), S_OKAY);
  ov_syncDelete(static_cast<int16_t>(handles[10]));
  EXPECT_EQ(value("A", "k", path), "2");
  EXPECT_EQ(ov_syncCreate("again", 1, 0), handles[10]);
}

// Eight threads look up and update three files at once for two seconds.
// Every update is applied exactly once and every lookup sees a whole file.
TEST_F(IniThreads, LookupsAndUpdatesOnSeveralFiles) {
  constexpr int kThreads = 8, kFiles = 3;
  std::string content = "[begin]\nv=1\n\n";
  for (int t = 0; t < kThreads; ++t) content += "[T" + std::to_string(t) + "]\n\n";
  content += "[end]\nv=1\n";
  std::vector<std::string> paths;
  for (int f = 0; f < kFiles; ++f)
    paths.push_back(iniFile("f" + std::to_string(f) + ".ini", content));
  // listed[t * kFiles + f]: the keys thread t left in file f, each with its zero, in order.
  std::vector<std::string> listed(kThreads * kFiles);
  std::atomic<int> failures{0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = "T" + std::to_string(t);
      const char *section = name.c_str();
      for (int i = 0; std::chrono::steady_clock::now() < deadline; ++i) {
        const char *path = paths[i % kFiles].c_str();
        const std::string &other = paths[(i + t) % kFiles];
        const std::string key = "k" + std::to_string(i), val = std::to_string(i);
        if (ov_iniSetPrivate(section, key.c_str(), val.c_str(), path) != S_OKAY) ++failures;
        const bool drop = i % 5 == 4;
        if (drop && ov_iniSetPrivate(section, key.c_str(), nullptr, path) != S_OKAY) ++failures;
        if (!drop) listed[t * kFiles + i % kFiles] += key + '\0';
        if (value(section, key.c_str(), path) != (drop ? "<status 2>" : val)) ++failures;
        if (value("begin", "v", other) != "1" || value("end", "v", other) != "1") ++failures;
      }
    });
  }
  for (std::thread &thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);

  // Each section lists exactly its thread's keys once, from the cache and
  // from a fresh read of the file (another spelling of its path).
  for (int t = 0; t < kThreads; ++t)
    for (int f = 0; f < kFiles; ++f) {
      const std::string want = listed[t * kFiles + f] + '\0', section = "T" + std::to_string(t);
      EXPECT_GT(want.size(), 1u) << section << " has keys in every file";
      for (const std::string &path : {paths[f], file("./f" + std::to_string(f) + ".ini")}) {
        const auto [status, bytes] = get(section.c_str(), nullptr, 1 << 20, 0, path);
        EXPECT_EQ(status, S_OKAY);
        EXPECT_EQ(bytes.substr(0, want.size()), want) << section << " in " << path;
      }
    }
}

}  // namespace
