// The record file under the failures a disk, the system or another program can cause, on real
// files. The main tables fail every low-level call of a save and of a lookup in turn (for k = 1,
// 2, ... the k-th call fails, once or from then on, until the operation completes without reaching
// k) and check the same promises each time: no success is reported that did not happen, the file
// holds exactly the bytes it should, never a record mixed from two, and no descriptor is left
// behind.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "ErrorReason.h"
#include "FaultyFileSystem.h"
#include "FileSizeSignal.h"
#include "RecordFile.h"
#include "ReferenceReader.h"
#include "TestFiles.h"

namespace records {
namespace {

using namespace testing;

const StudentRecord kFirst{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};
const StudentRecord kSecond{u"B-7", u"Ana", u"Sur 1", u"555-0202", u"baja"};
const StudentRecord kThird{u"C-33", u"Luis", u"Norte 9", u"555-0303", u"activo"};
const StudentRecord kNew{u"D-44", u"Eva", u"Este 4", u"555-0404", u"alta"};
const StudentRecord kOther{u"E-5", u"Otro", u"Oeste 5", u"555-0505", u"alta"};

const std::string kThreeRecords = recordBytes(kFirst) + recordBytes(kSecond) + recordBytes(kThird);
// A crash left the file inside its last record: two whole lines and part of the third. What
// survived is kept, and empty fields complete it.
const std::string kTornTail = recordBytes(kFirst) + "\"T-1\"\r\n\"Tomas\"\r\n\"Pla";
const std::string kTornCompletion = "\"\r\n\"\"\r\n\"\"\r\n";
const StudentRecord kTornRecord{u"T-1", u"Tomas", u"Pla", u"", u""};

// No save or lookup here comes near this many calls; reaching it means the loop never ends.
constexpr int kMostCalls = 500;

struct Failure {
  Persistence persistence;
  int error;
};

enum class Before { NothingOpen, FoundRecordOpen, SavedOnce };

class RecordFileFaultTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.file("archivo.txt");

  // Writes the file as it stands before the operation; no file at all for nullopt.
  void prepare(const std::optional<std::string>& bytes) {
    std::filesystem::remove_all(path_);
    if (bytes) {
      writeBytes(path_, *bytes);
    }
  }
  // Nothing stays open on the file or its folder (a new file's folder is opened to sync it).
  void expectNothingOpen(const std::string& context) const {
    EXPECT_TRUE(descriptorsOn(path_).empty()) << context;
    EXPECT_TRUE(descriptorsOn(folder_.path()).empty()) << context;
  }
  // What this program did with the file before the operation under test.
  bool begin(RecordFile& file, Before before) const {
    switch (before) {
      case Before::NothingOpen:
        return true;
      case Before::FoundRecordOpen:
        return file.FindRecord(kSecond.matricula).status == FindStatus::Found;
      case Before::SavedOnce:
        return file.AppendRecord(kOther).status == SaveStatus::Saved;
    }
    return false;
  }
  // For each failure, runs `operation` with the k-th low-level call failing, for k = 1, 2, ...
  // until a run ends without reaching k; each run starts from `bytes` and `before` again.
  template <typename Operation>
  void failEachCallInTurn(const char* row, const std::optional<std::string>& bytes, Before before,
                          const std::vector<Failure>& failures, Operation operation) {
    for (const Failure& failure : failures) {
      for (int k = 1;; ++k) {
        ASSERT_LT(k, kMostCalls);
        const std::string context =
            std::string(row) +
            (failure.persistence == Persistence::Once ? ", once " : ", from then on ") +
            std::strerror(failure.error) + ", call " + std::to_string(k);
        prepare(bytes);
        FaultyFileSystem disk;
        RecordFile file(path_, disk);
        ASSERT_TRUE(begin(file, before)) << context;
        disk.failCall(k, failure.error, failure.persistence);
        operation(file, disk, failure, context);
        if (!disk.reachedFailingCall()) {
          break;
        }
      }
    }
  }
};

// --- Every call of a save and of a lookup -----------------------------------------------------

// A full disk stays full, and a dying one keeps failing; EIO once is a passing fault.
TEST_F(RecordFileFaultTest, EverySaveCallFailingReportsNoFalseSuccessAndChangesNoBytes) {
  const struct {
    const char* name;
    std::optional<std::string> fileBefore;
    Before before;
    std::string completion;  // what the save adds before its record to end a torn one
  } rows[] = {
      {"appends to a file of records", kThreeRecords, Before::NothingOpen, ""},
      {"creates the file", std::nullopt, Before::NothingOpen, ""},
      {"appends to an empty file", std::string(), Before::NothingOpen, ""},
      {"closes a found record first", kThreeRecords, Before::FoundRecordOpen, ""},
      {"completes a torn record", kTornTail, Before::NothingOpen, kTornCompletion},
      {"appends again reading only the new end", kThreeRecords, Before::SavedOnce, ""},
  };
  const std::vector<Failure> failures = {{Persistence::Once, EIO},
                                         {Persistence::Once, ENOSPC},
                                         {Persistence::FromThenOn, ENOSPC},
                                         {Persistence::FromThenOn, EIO},
                                         {Persistence::Once, EINTR}};
  for (const auto& row : rows) {
    const auto save = [&](RecordFile& file, const FaultyFileSystem& disk, const Failure& failure,
                          const std::string& context) {
      const std::string before = readBytes(path_);
      const std::string saved = before + row.completion + recordBytes(kNew);
      const SaveOutcome outcome = file.AppendRecord(kNew);
      const std::string after = readBytes(path_);
      expectNothingOpen(context);
      if (!disk.reachedFailingCall()) {
        EXPECT_EQ(outcome.status, SaveStatus::Saved) << context;
        EXPECT_EQ(after, saved) << context;
        return;
      }
      if (outcome.status == SaveStatus::Saved) {
        // Only a failing close of a descriptor that was never written may pass unnoticed, a
        // passing failure to recognise the file, which costs no more than reading it whole, or an
        // interrupted wait for the lock, which the save repeats.
        const bool recognising = failure.persistence == Persistence::Once &&
                                 disk.injected(Call::Read) + disk.injected(Call::Lseek) == 1;
        const bool waitRepeated = failure.error == EINTR && disk.injected(Call::Lock) == 1;
        EXPECT_TRUE(disk.onlyReadOnlyClosesFailed() || recognising || waitRepeated) << context;
        EXPECT_EQ(after, saved) << context;
        return;
      }
      EXPECT_EQ(outcome.status, SaveStatus::WriteFailed) << context;
      EXPECT_EQ(outcome.error, failure.error) << context;
      // Once the record is written, a disk that fails every later call also refuses to cut it
      // back; then the completion and the whole record stay, never a part of them.
      const bool persistent = failure.persistence == Persistence::FromThenOn;
      EXPECT_TRUE(after == before || (persistent && after == saved)) << context;
    };
    failEachCallInTurn(row.name, row.fileBefore, row.before, failures, save);
  }
}

// An interrupted read is retried, so EINTR is injected once only: from then on it would never end,
// which no real disk does.
TEST_F(RecordFileFaultTest, EveryLookupCallFailingFindsOnlyWhatIsReallyThere) {
  const struct {
    const char* name;
    std::optional<std::string> file;
    std::u16string matricula;
    Before before;
    std::optional<StudentRecord> expected;
  } rows[] = {
      {"finds the last record", kThreeRecords, kThird.matricula, Before::NothingOpen, kThird},
      {"finds the first record", kThreeRecords, kFirst.matricula, Before::NothingOpen, kFirst},
      {"misses", kThreeRecords, u"Z-0", Before::NothingOpen, std::nullopt},
      {"misses a key the file cannot hold", kThreeRecords, u"\u4E00", Before::NothingOpen,
       std::nullopt},
      {"closes a found record first", kThreeRecords, kThird.matricula, Before::FoundRecordOpen,
       kThird},
      {"finds nothing without a file", std::nullopt, kFirst.matricula, Before::NothingOpen,
       std::nullopt},
  };
  const std::vector<Failure> failures = {
      {Persistence::Once, EIO}, {Persistence::Once, EINTR}, {Persistence::FromThenOn, EIO}};
  for (const auto& row : rows) {
    const std::string bytes = row.file.value_or("");
    [[maybe_unused]] const long long endOfExpected =
        row.expected ? static_cast<long long>(bytes.find(recordBytes(*row.expected)) +
                                              recordBytes(*row.expected).size())
                     : -1;
    const auto lookup = [&](RecordFile& file, const FaultyFileSystem& disk, const Failure& failure,
                            const std::string& context) {
      const FindOutcome outcome = file.FindRecord(row.matricula);
      // A failure the lookup may rightly absorb: a failing close of a handle it only read, or an
      // interrupted read, which it repeats.
      const bool absorbable =
          !disk.reachedFailingCall() || disk.onlyReadOnlyClosesFailed() ||
          (failure.error == EINTR && disk.injected(Call::Read) == disk.injected());
      const std::vector<int> open = descriptorsOn(path_);
      switch (outcome.status) {
        case FindStatus::Found:
          ASSERT_TRUE(row.expected.has_value()) << context;
          EXPECT_EQ(outcome.record, *row.expected) << context;
          ASSERT_EQ(open.size(), 1U) << context;
#ifndef _WIN32
          EXPECT_EQ(fdInfo(open.front(), "pos", 10), endOfExpected) << context;
#endif
          EXPECT_TRUE(absorbable) << context;
          break;
        case FindStatus::NotFound:
          // A failure is never taken for "no such record".
          EXPECT_FALSE(row.expected.has_value()) << context;
          EXPECT_TRUE(absorbable) << context;
          break;
        case FindStatus::ReadFailed:
          EXPECT_TRUE(disk.reachedFailingCall()) << context;
          EXPECT_EQ(outcome.error, failure.error) << context;
          break;
      }
      EXPECT_TRUE(outcome.status == FindStatus::Found || open.empty()) << context;
      file.CloseRecordFile();
      expectNothingOpen(context);
      EXPECT_EQ(std::filesystem::exists(path_), row.file.has_value()) << context;
      EXPECT_EQ(readBytes(path_), bytes) << context;
    };
    failEachCallInTurn(row.name, row.file, row.before, failures, lookup);
  }
}

// --- A crash in the middle of a save -----------------------------------------------------------

// The save's one write lands only its first k bytes, for every k, and then the program is gone:
// nothing it would do to clean up reaches the file. A fresh program then finds every record saved
// before exactly, never a record mixed from two, and the record it saves next.
TEST_F(RecordFileFaultTest, ACrashAfterAnyPrefixOfTheWriteLosesNoConfirmedRecord) {
  const struct {
    const char* name;
    std::string before;
    std::vector<StudentRecord> confirmed;
    std::string completion;
  } rows[] = {
      {"records before", kThreeRecords, {kFirst, kSecond, kThird}, ""},
      {"a torn record before", kTornTail, {kFirst}, kTornCompletion},
  };
  for (const auto& row : rows) {
    const std::size_t written = row.completion.size() + recordBytes(kNew).size();
    for (std::size_t k = 0; k <= written; ++k) {
      const std::string context = std::string(row.name) + ", " + std::to_string(k) + " bytes";
      prepare(row.before);
      {
        FaultyFileSystem dying;
        dying.crashInFirstWrite(k);
        RecordFile crashed(path_, dying);
        EXPECT_EQ(crashed.AppendRecord(kNew).status, SaveStatus::WriteFailed) << context;
      }
      RecordFile fresh(path_);
      ASSERT_EQ(fresh.AppendRecord(kOther).status, SaveStatus::Saved) << context;
      for (const StudentRecord& record : row.confirmed) {
        EXPECT_EQ(lookUp(path_, record.matricula), record) << context;
      }
      EXPECT_EQ(lookUp(path_, kOther.matricula), kOther) << context;
      // Every record in the file is one that was saved, or what a cut left of one.
      const std::string bytes = readBytes(path_);
      auto records = ReferenceReader(bytes).records();
      ASSERT_FALSE(records.empty()) << context;
      EXPECT_EQ(records.back().end, bytes.size()) << context;
      for (const auto& read : records) {
        const StudentRecord found = recordFrom(read.fields);
        const bool known = found == kFirst || found == kSecond || found == kThird ||
                           found == kOther || cutFrom(found, kNew) || cutFrom(found, kTornRecord);
        EXPECT_TRUE(known) << context << ": " << bytes;
      }
    }
  }
}

// One chosen call fails. A program that ignores the lock may append its record between the start
// of this save and its write: a save that then fails takes back only the bytes it wrote, never the
// other record. A new file needs its folder synced too, unless the file system cannot sync one.
TEST_F(RecordFileFaultTest, OneFailingCallFailsTheSaveAndTakesBackOnlyItsOwnBytes) {
  const std::string first = recordBytes(kFirst);
  const std::string both = first + recordBytes(kOther);
  const struct {
    const char* behaviour;
    std::optional<std::string> before;
    Call call;
    int nth;
    int error;
    int shortWrite;  // the write that lands only half its bytes; 0 for none
    bool anotherAppends;
    int expected;  // the errno the save reports; 0 when it succeeds
    std::string after;
  } rows[] = {
      {"write fails", first, Call::Write, 1, ENOSPC, 0, true, ENOSPC, both},
      {"short write, then no space", first, Call::Write, 2, ENOSPC, 1, true, ENOSPC, both},
      {"short write, then the rest written", first, Call::Fsync, 1, ENOSPC, 1, true, EIO, both},
      {"fsync fails", first, Call::Fsync, 1, EIO, 0, true, EIO, both},
      {"new file's folder cannot be opened", std::nullopt, Call::Open, 2, EACCES, 0, false, EACCES,
       ""},
      {"new file's folder sync fails", std::nullopt, Call::Fsync, 2, EIO, 0, false, EIO, ""},
      {"file system cannot sync folders", std::nullopt, Call::Fsync, 2, EINVAL, 0, false, 0,
       recordBytes(kSecond)},
  };
  for (const auto& row : rows) {
    prepare(row.before);
    FaultyFileSystem disk;
    disk.fail(row.call, row.nth, row.error);
    disk.shortenWrite(row.shortWrite);
    bool otherSaved = false;
    disk.onCall = [&](Call call) {
      if (row.anotherAppends && call == Call::Write && !otherSaved) {
        std::ofstream other(path_, std::ios::binary | std::ios::app);
        otherSaved = static_cast<bool>(other << recordBytes(kOther) << std::flush);
      }
    };
    const SaveOutcome outcome = RecordFile(path_, disk).AppendRecord(kSecond);
    EXPECT_EQ(otherSaved, row.anotherAppends) << row.behaviour;
    EXPECT_EQ(outcome.status, row.expected == 0 ? SaveStatus::Saved : SaveStatus::WriteFailed)
        << row.behaviour;
    EXPECT_EQ(outcome.error, row.expected) << row.behaviour;
    EXPECT_EQ(readBytes(path_), row.after) << row.behaviour;
    expectNothingOpen(row.behaviour);
  }
  // A file that already holds records was synced into its folder before.
  FaultyFileSystem disk;
  ASSERT_EQ(RecordFile(path_, disk).AppendRecord(kFirst).status, SaveStatus::Saved);
  EXPECT_EQ(disk.count(Call::Fsync), 1);
}

// --- What stands under the file's name ----------------------------------------------------------

TEST_F(RecordFileFaultTest, OnlyARegularFileIsWrittenOrRead) {
  const struct {
    const char* name;
    void (*make)(const std::string& path);
    int error;  // what the save and the lookup report
  } rows[] = {
      {"a folder", [](const std::string& path) { std::filesystem::create_directory(path); },
       EISDIR},
#ifndef _WIN32
      {"a device",
       [](const std::string& path) { std::filesystem::create_symlink("/dev/null", path); }, EINVAL},
      // A FIFO would block an open for reading until a writer came, and a writing one until a
      // reader did; neither may hang the program.
      {"a FIFO", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0666), 0); }, EINVAL},
#endif
  };
  for (const auto& row : rows) {
    std::filesystem::remove_all(path_);
    row.make(path_);
    const std::vector<int> openBefore = descriptorsOn(path_);  // /dev/null may be open already
    RecordFile file(path_);
    const SaveOutcome saved = file.AppendRecord(kFirst);
    EXPECT_EQ(saved.status, SaveStatus::WriteFailed) << row.name;
    EXPECT_EQ(saved.error, row.error) << row.name;
    const FindOutcome found = file.FindRecord(u"A-102");
    EXPECT_EQ(found.status, FindStatus::ReadFailed) << row.name;
    EXPECT_EQ(found.error, row.error) << row.name;
    EXPECT_EQ(descriptorsOn(path_), openBefore) << row.name;
  }
}

// FIFOs, file-size limits and permission bits are Linux's; the tests below fork a child for them.
#ifndef _WIN32
// With a reader at the other end of a FIFO, a record written to it would be gone: nothing may
// leave the program before the save knows that it holds a regular file.
TEST_F(RecordFileFaultTest, AFifoWithAReaderReceivesNothing) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0666), 0);
  const int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  RecordFile file(path_);
  const SaveOutcome outcome = file.AppendRecord(kFirst);
  char arrived[64];
  const ssize_t got = read(reader, arrived, sizeof arrived);
  const bool nothingArrived = got == 0 || (got < 0 && errno == EAGAIN);
  close(reader);
  EXPECT_TRUE(nothingArrived) << got << " bytes arrived";
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(errorReason(outcome.error), u"no es un archivo normal");
  expectNothingOpen("fifo");
}

// A write that crosses the process's file-size limit must not kill the program half a record into
// the file: the save fails, says why, and leaves the file as it was.
TEST_F(RecordFileFaultTest, AFileSizeLimitFailsTheSaveAndTheProgramLives) {
  writeBytes(path_, kThreeRecords);
  for (const rlim_t room : {rlim_t{0}, rlim_t{30}}) {
    const int status = runChild([&] {
      std::signal(SIGXFSZ, SIG_DFL);  // as a program starts
      surviveFileSizeLimit();
      const rlimit limit{kThreeRecords.size() + room, RLIM_INFINITY};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return 2;
      }
      const SaveOutcome outcome = RecordFile(path_).AppendRecord(kNew);
      return outcome.status == SaveStatus::WriteFailed && outcome.error == EFBIG ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "a signal killed it if -1; room " << room;
    EXPECT_EQ(readBytes(path_), kThreeRecords) << room;
  }
  EXPECT_EQ(errorReason(EFBIG), u"el archivo es demasiado grande");
}

// Root ignores permission bits, so these saves and lookups run in a child process as "nobody".
TEST_F(RecordFileFaultTest, WhatPermissionsForbidFailsAndChangesNothing) {
  const struct {
    const char* behaviour;
    std::optional<std::string> file;
    mode_t fileMode;
    mode_t folderMode;
  } rows[] = {
      {"a read-only folder gets no new file", std::nullopt, 0, 0555},
      {"an unreadable file is reported, not taken for empty", recordBytes(kFirst), 0, 0755},
  };
  for (const auto& row : rows) {
    prepare(row.file);
    ASSERT_TRUE(!row.file || chmod(path_.c_str(), row.fileMode) == 0);
    ASSERT_EQ(chmod(folder_.path().c_str(), row.folderMode), 0);
    const int status = runChild(
        [&] {
          RecordFile file(path_);
          const FindOutcome found = file.FindRecord(kFirst.matricula);
          const SaveOutcome saved = file.AppendRecord(kSecond);
          const bool findRight =
              row.file ? found.status == FindStatus::ReadFailed && found.error == EACCES
                       : found.status == FindStatus::NotFound;
          const bool saveFailed = saved.status == SaveStatus::WriteFailed && saved.error == EACCES;
          return findRight && saveFailed ? 0 : 1;
        },
        As::Unprivileged);
    EXPECT_EQ(status, 0) << row.behaviour;
    ASSERT_EQ(chmod(folder_.path().c_str(), 0755), 0);
    EXPECT_EQ(std::filesystem::exists(path_), row.file.has_value()) << row.behaviour;
    EXPECT_EQ(readBytes(path_), row.file.value_or("")) << row.behaviour;
  }
}
#endif

}  // namespace
}  // namespace records
