#include "RecordFile.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ErrorReason.h"
#include "FaultyFileSystem.h"
#include "FileLock.h"
#include "TestFiles.h"
#include "Windows1252.h"

namespace records {
namespace {

using namespace testing;

const StudentRecord kExample{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};

class RecordFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.file("archivo.txt");
  RecordFile file_{path_};
  StudentRecord found_;

  void save(const StudentRecord& record) {
    ASSERT_EQ(file_.AppendRecord(record).status, SaveStatus::Saved);
  }
  FindStatus find(std::u16string_view matricula) {
    const FindOutcome outcome = file_.FindRecord(matricula);
    found_ = outcome.record;
    return outcome.status;
  }
};

TEST_F(RecordFileTest, RecordsAreAppendedAsQuotedLinesLeavingEarlierBytesAlone) {
  // One whole record of five fields, as a hand edit left it.
  const std::string earlier = "\"x\"\r\n\"y\"\r\nhand edited, no quotes\n\"z\"\r\n";
  writeBytes(path_, earlier);
  save(kExample);
  save({});
  EXPECT_EQ(readBytes(path_),
            earlier +
                "\"A-102\"\r\n\"Zuz Uzaro\"\r\n\"Calle 5, No. 12\"\r\n\"555-0101\"\r\n"
                "\"activo\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n");
  EXPECT_TRUE(descriptorsOn(path_).empty());
  EXPECT_EQ(find(u""), FindStatus::Found);
  EXPECT_EQ(found_, StudentRecord{});
}

TEST_F(RecordFileTest, FieldsWithCommasBlanksAndSpanishLettersRoundTrip) {
  const StudentRecord spanish{u"  2019-04871 ", u"Ñandú Güemes, José",
                              u"Av. Ángel Íñiguez 5, ¿piso? ¡3!", u"ó ú €, 555", u"  "};
  save(kExample);
  save(spanish);
  ASSERT_EQ(find(spanish.matricula), FindStatus::Found);
  EXPECT_EQ(found_, spanish);
}

// Only the whole matricula, byte for byte, matches, and the first of two duplicates wins each time.
TEST_F(RecordFileTest, ALookupFindsTheFirstExactMatch) {
  save({u"Ab-1", u"primero", u"d", u"t", u"s"});
  save({u"Ab-1", u"segundo", u"", u"", u""});
  for (int attempt = 0; attempt < 2; ++attempt) {
    ASSERT_EQ(find(u"Ab-1"), FindStatus::Found);
    EXPECT_EQ(found_.nombre, u"primero");
  }
  for (const std::u16string_view other :
       {u"ab-1", u"AB-1", u" Ab-1", u"Ab-1 ", u"Ab-", u"Ab-12", u"Ab-1\u4E2D", u"\xDC00"}) {
    EXPECT_EQ(find(other), FindStatus::NotFound);
    EXPECT_EQ(found_, StudentRecord{}) << "a miss returns no record";
    EXPECT_TRUE(descriptorsOn(path_).empty());
  }
}

// A hit leaves one reading handle open just past the record, for no program started later, until
// the next lookup or CloseRecordFile (even twice). That a miss or a save closes it is checked with
// every call failing in turn.
TEST_F(RecordFileTest, AHitLeavesTheReadingHandleOpenPastTheRecord) {
  save(kExample);
  save({u"B", u"", u"", u"", u""});
  ASSERT_EQ(find(u"A-102"), FindStatus::Found);
  EXPECT_EQ(found_, kExample);
  std::vector<int> open = descriptorsOn(path_);
  ASSERT_EQ(open.size(), 1U);
#ifndef _WIN32
  EXPECT_EQ(fdInfo(open.front(), "pos", 10), 63);
  const long long flags = fdInfo(open.front(), "flags", 8);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_NE(flags & O_CLOEXEC, 0);
#endif
  // A second lookup starts again from the first record.
  ASSERT_EQ(find(u"B"), FindStatus::Found);
  open = descriptorsOn(path_);
  ASSERT_EQ(open.size(), 1U);
#ifndef _WIN32
  EXPECT_EQ(fdInfo(open.front(), "pos", 10), 63 + 21);
#endif
  file_.CloseRecordFile();
  file_.CloseRecordFile();
  EXPECT_TRUE(descriptorsOn(path_).empty());
}

// Whether an open of the file other than this process's descriptors could take the save's lock
// now: on Linux F_OFD_GETLK on a descriptor of its own shows a conflicting lock; on Windows, which
// has no such question, a handle of its own tries to take the lock (and lets it go at once).
bool lockedByAnotherOpen(const std::string& path) {
#ifdef _WIN32
  FileSystem& disk = systemFileSystem();
  const int fd = disk.open(path.c_str(), O_RDONLY, 0);
  const bool locked = fd >= 0 && disk.lock(fd) != 0 && errno == EAGAIN;
  disk.close(fd);
#else
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  const bool locked = fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  close(fd);
#endif
  return locked;
}

// Observed from inside the save, through the file-system seam: the one descriptor is readable (to
// see how the file ends), appends, is not inherited by programs started later, and holds the
// file's lock from the reading of the tail until the record is synced.
TEST_F(RecordFileTest, TheSaveHoldsOneLockedAppendingDescriptorFromTailCheckToSync) {
  writeBytes(path_, "\"T-1\"\r\n");
  FaultyFileSystem watcher;
  RecordFile watched(path_, watcher);
  std::vector<std::size_t> open;
  [[maybe_unused]] long long flags = 0;  // as /proc shows them, on Linux
  std::vector<bool> locked;
  watcher.onCall = [&](Call call) {
    if (call == Call::Read || call == Call::Write || call == Call::Fsync) {
      const std::vector<int> descriptors = descriptorsOn(path_);
      open.push_back(descriptors.size());
#ifndef _WIN32
      flags = descriptors.empty() ? 0 : fdInfo(descriptors.front(), "flags", 8);
#endif
      locked.push_back(lockedByAnotherOpen(path_));
    }
  };
  ASSERT_EQ(watched.AppendRecord(kExample).status, SaveStatus::Saved);
  EXPECT_EQ(std::count(open.begin(), open.end(), 1U), static_cast<long>(open.size()));
#ifndef _WIN32
  EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
  EXPECT_NE(flags & O_APPEND, 0);
  EXPECT_NE(flags & O_CLOEXEC, 0);
#endif
  EXPECT_GE(locked.size(), 3U);
  EXPECT_EQ(std::count(locked.begin(), locked.end(), false), 0);
  EXPECT_TRUE(descriptorsOn(path_).empty());
  EXPECT_FALSE(lockedByAnotherOpen(path_));
}

// While another open of the file holds the save's lock, a save waits its bounded time, then fails
// with the busy message and writes nothing; a lookup is never held up, since the lock covers no
// byte of the data (which matters on Windows, whose locks stop reads). Once the lock is let go,
// the save goes through.
TEST_F(RecordFileTest, ASaveGivesUpOnALockHeldElsewhereAndALookupDoesNot) {
  save(kExample);
  FileSystem& disk = systemFileSystem();
  const int holder = disk.open(path_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC, 0);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(disk.lock(holder), 0);
  const auto start = std::chrono::steady_clock::now();
  const SaveOutcome busy = file_.AppendRecord({u"B", u"", u"", u"", u""});
  EXPECT_GE(std::chrono::steady_clock::now() - start, kLockPatience);
  EXPECT_EQ(busy.status, SaveStatus::WriteFailed);
  EXPECT_EQ(errorReason(busy.error), u"otro programa tiene el archivo en uso");
  EXPECT_EQ(readBytes(path_), recordBytes(kExample));
  EXPECT_EQ(find(kExample.matricula), FindStatus::Found);
  EXPECT_EQ(found_, kExample);
  ASSERT_EQ(disk.close(holder), 0);
  save({u"B", u"", u"", u"", u""});
  EXPECT_EQ(find(u"B"), FindStatus::Found);
}

// A later save reads only what was appended since the last one, but never trusts where that one
// ended once the file is no longer the one it wrote to.
TEST_F(RecordFileTest, ALaterSaveSeesWhatChangedSinceTheLastOne) {
  const StudentRecord kNew{u"N-2", u"Luis", u"Norte 9", u"555-0303", u"nuevo"};
  // Read from its start, the first field is quoted and cut short; read from inside the long second
  // line, it would be an unquoted field: the two readings complete it differently.
  const std::string rewritten = "\"Z-1\"\r\n\"" + std::string(200, 'z');
  const struct {
    const char* behaviour;
    void (*change)(const std::string& path, const std::string& rewritten);
    StudentRecord torn;
  } rows[] = {
      {"another program appended a torn record",
       [](const std::string& path, const std::string&) {
         std::ofstream(path, std::ios::binary | std::ios::app) << "\"T-1\"\r\n\"Tom";
       },
       {u"T-1", u"Tom", u"", u"", u""}},
      // With an empty first line, so that reading it from any byte but the first is a line short.
      {"the file was rewritten in place",
       [](const std::string& path, const std::string& bytes) { writeBytes(path, "\n" + bytes); },
       {u"", u"Z-1", decodeWindows1252(std::string(200, 'z')), u"", u""}},
      {"the file was replaced",
       [](const std::string& path, const std::string& bytes) {
         std::filesystem::remove(path);
         writeBytes(path, bytes);
       },
       {u"Z-1", decodeWindows1252(std::string(200, 'z')), u"", u"", u""}},
      // A new file, though it ends in the very bytes that the last save wrote.
      {"a file of fewer lines was moved over it",
       [](const std::string& path, const std::string&) {
         const std::string sameEnd = recordBytes(kExample).substr(22);
         writeBytes(path + ".new", "\"Z-1" + std::string(15, 'z') + "\"\r\n" + sameEnd);
         std::filesystem::rename(path + ".new", path);
       },
       {u"Z-1" + std::u16string(15, u'z'), u"Calle 5, No. 12", u"555-0101", u"activo", u""}},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(path_);
    RecordFile file(path_);
    ASSERT_EQ(file.AppendRecord(kExample).status, SaveStatus::Saved);
    row.change(path_, rewritten);
    EXPECT_EQ(file.AppendRecord(kNew).repair, TailRepair::CompletedTornRecord) << row.behaviour;
    for (const StudentRecord& expected : {row.torn, kNew}) {
      const FindOutcome found = file.FindRecord(expected.matricula);
      EXPECT_EQ(found.status, FindStatus::Found) << row.behaviour;
      EXPECT_EQ(found.record, expected) << row.behaviour;
    }
  }
}

TEST_F(RecordFileTest, RefusedFieldsWriteNothingAndNameTheFirstSuchField) {
  struct Row {
    const char* behaviour;
    StudentRecord record;
    RecordField field;
  };
  const Row rows[] = {
      {"double quote in matricula", {u"A\"1", u"", u"", u"", u""}, RecordField::Matricula},
      {"carriage return in nombre", {u"A", u"x\ry", u"", u"", u""}, RecordField::Nombre},
      {"line feed in direccion", {u"A", u"", u"x\n", u"", u""}, RecordField::Direccion},
      {"character outside the code page", {u"A", u"", u"", u"\u4E2D", u""}, RecordField::Telefono},
      {"lone surrogate", {u"A", u"", u"", u"", std::u16string(1, u'\xD800')}, RecordField::Status},
      {"first bad field in record order wins",
       {u"A", u"\"", u"\r", u"", u"\""},
       RecordField::Nombre},
  };
  for (const bool fileExists : {false, true}) {
    if (fileExists) {
      save(kExample);
    }
    const std::string before = readBytes(path_);
    for (const Row& row : rows) {
      const SaveOutcome outcome = file_.AppendRecord(row.record);
      EXPECT_EQ(outcome.status, SaveStatus::FieldNotStorable) << row.behaviour;
      EXPECT_EQ(outcome.field, row.field) << row.behaviour;
      EXPECT_EQ(std::filesystem::exists(path_), fileExists) << row.behaviour;
      EXPECT_EQ(readBytes(path_), before) << row.behaviour;
      EXPECT_TRUE(descriptorsOn(path_).empty()) << row.behaviour;
    }
  }
}

// The default file name is relative: each open resolves it against the working directory of
// that moment.
TEST(RecordFileWorkingDirectory, DefaultNameFollowsTheWorkingDirectoryAtEachOpen) {
  TempFolder first;
  TempFolder second;
  const auto original = std::filesystem::current_path();
  RecordFile file;

  std::filesystem::current_path(first.path());
  ASSERT_EQ(file.AppendRecord(kExample).status, SaveStatus::Saved);
  std::filesystem::current_path(second.path());
  EXPECT_EQ(file.FindRecord(u"A-102").status, FindStatus::NotFound);
  ASSERT_EQ(file.AppendRecord({u"B", u"", u"", u"", u""}).status, SaveStatus::Saved);
  std::filesystem::current_path(first.path());
  EXPECT_EQ(file.FindRecord(u"A-102").status, FindStatus::Found);
  EXPECT_EQ(file.FindRecord(u"B").status, FindStatus::NotFound);
  std::filesystem::current_path(original);

  EXPECT_EQ(readBytes(first.file("archivo.txt")).size(), 63U);
  EXPECT_EQ(readBytes(second.file("archivo.txt")).size(), 21U);
}

}  // namespace
}  // namespace records
