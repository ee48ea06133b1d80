#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "ErrorReason.h"
#include "FaultyFileSystem.h"
#include "RecordEncoder.h"
#include "RecordFile.h"
#include "TestFiles.h"

namespace records {
namespace {

using testing::Call;
using testing::descriptorsOn;
using testing::FaultyFileSystem;
using testing::Persistence;
using testing::readBytes;
using testing::runUnprivileged;
using testing::TempFolder;
using testing::writeBytes;

const StudentRecord kFirst{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};
const StudentRecord kSecond{u"B-7", u"Ana", u"Sur 1", u"555-0202", u"baja"};

std::string bytesOf(const StudentRecord& record) {
  return std::get<std::string>(encodeRecord(record));
}

class RecordFileFaultTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.file("archivo.txt");

  void expectClosed(const RecordFile& /*file*/) { EXPECT_TRUE(descriptorsOn(path_).empty()); }
};

TEST_F(RecordFileFaultTest, SaveToAFullDiskFailsWithNoSpace) {
  std::filesystem::create_symlink("/dev/full", path_);
  RecordFile file(path_);
  const SaveOutcome outcome = file.AppendRecord(kFirst);
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(outcome.error, ENOSPC);
  expectClosed(file);
  // A device is no record file: a lookup reports it instead of reading it.
  EXPECT_EQ(file.FindRecord(u"A-102").status, FindStatus::ReadFailed);
  expectClosed(file);
}

TEST_F(RecordFileFaultTest, SaveInAReadOnlyFolderFailsAndCreatesNothing) {
  // Root ignores permission bits, so the save runs in a child process as the user "nobody".
  ASSERT_EQ(chmod(folder_.path().c_str(), 0555), 0);
  const int status = runUnprivileged([this] {
    RecordFile file(path_);
    const SaveOutcome outcome = file.AppendRecord(kFirst);
    return outcome.status == SaveStatus::WriteFailed && outcome.error == EACCES ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(RecordFileFaultTest, SaveOnAReadOnlyFileSystemFails) {
  writeBytes(path_, bytesOf(kFirst));
  FaultyFileSystem readOnly;
  readOnly.fail(Call::Open, 1, EROFS, Persistence::FromThenOn);
  RecordFile file(path_, readOnly);
  const SaveOutcome outcome = file.AppendRecord(kSecond);
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(outcome.error, EROFS);
  EXPECT_EQ(readBytes(path_), bytesOf(kFirst));
  expectClosed(file);
}

TEST_F(RecordFileFaultTest, UnreadableFileIsReportedNotTakenForEmpty) {
  writeBytes(path_, bytesOf(kFirst));
  ASSERT_EQ(chmod(path_.c_str(), 0), 0);
  ASSERT_EQ(chmod(folder_.path().c_str(), 0755), 0);
  const int status = runUnprivileged([this] {
    RecordFile file(path_);
    const FindOutcome found = file.FindRecord(u"A-102");
    const SaveOutcome saved = file.AppendRecord(kSecond);
    const bool ok = found.status == FindStatus::ReadFailed && found.error == EACCES &&
                    saved.status == SaveStatus::WriteFailed && saved.error == EACCES &&
                    descriptorsOn(path_).empty();
    return ok ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readBytes(path_), bytesOf(kFirst));
}

TEST_F(RecordFileFaultTest, FolderNamedLikeTheFileFailsBothWays) {
  std::filesystem::create_directory(path_);
  RecordFile file(path_);
  const SaveOutcome saved = file.AppendRecord(kFirst);
  EXPECT_EQ(saved.status, SaveStatus::WriteFailed);
  EXPECT_EQ(saved.error, EISDIR);
  const FindOutcome found = file.FindRecord(u"A-102");
  EXPECT_EQ(found.status, FindStatus::ReadFailed);
  EXPECT_EQ(found.error, EISDIR);
  expectClosed(file);
  EXPECT_TRUE(std::filesystem::is_empty(path_));
}

// A FIFO would block an open for reading until a writer came, and a writing one until a reader
// did; neither may hang the program.
TEST_F(RecordFileFaultTest, FifoNamedLikeTheFileNeverBlocks) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0666), 0);
  RecordFile file(path_);
  const FindOutcome found = file.FindRecord(u"A-102");
  EXPECT_EQ(found.status, FindStatus::ReadFailed);
  EXPECT_EQ(found.error, EINVAL);
  const SaveOutcome saved = file.AppendRecord(kFirst);
  EXPECT_EQ(saved.status, SaveStatus::WriteFailed);
  EXPECT_EQ(saved.error, ENXIO);
  expectClosed(file);

  // With a reader at the other end the record goes down the pipe, and no file keeps it.
  const int reader = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const SaveOutcome piped = file.AppendRecord(kFirst);
  close(reader);
  EXPECT_EQ(piped.status, SaveStatus::WriteFailed);
  EXPECT_EQ(errorReason(piped.error), u"no es un archivo normal");
  expectClosed(file);
}

TEST_F(RecordFileFaultTest, MissingFileIsNoRecordAndIsNotCreated) {
  RecordFile file(path_);
  const FindOutcome found = file.FindRecord(u"A-102");
  EXPECT_EQ(found.status, FindStatus::NotFound);
  EXPECT_EQ(found.error, 0);
  expectClosed(file);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(RecordFileFaultTest, EmptyFileIsNoRecord) {
  writeBytes(path_, "");
  RecordFile file(path_);
  EXPECT_EQ(file.FindRecord(u"").status, FindStatus::NotFound);
  EXPECT_EQ(file.FindRecord(u"A-102").status, FindStatus::NotFound);
  expectClosed(file);
}

// Cut the last record at every length: the records before it are still found, and the last one
// only once its fifth closing quote is in the file.
TEST_F(RecordFileFaultTest, TruncatedLastRecordEndsTheData) {
  const std::string first = bytesOf(kFirst);
  const std::string last = bytesOf(kSecond);
  const std::size_t complete = last.size() - 2;  // just past the fifth closing quote
  for (std::size_t cut = 0; cut < last.size(); ++cut) {
    writeBytes(path_, first + last.substr(0, cut));
    RecordFile file(path_);
    EXPECT_EQ(file.FindRecord(u"A-102").status, FindStatus::Found) << cut;
    EXPECT_EQ(file.FindRecord(u"B-7").status,
              cut >= complete ? FindStatus::Found : FindStatus::NotFound)
        << cut;
    EXPECT_EQ(file.FindRecord(u"").status, FindStatus::NotFound) << cut;
    EXPECT_TRUE(descriptorsOn(path_).empty()) << cut;
  }
}

struct SaveFault {
  const char* behaviour;
  Call call;
  int nth;  // counted over the save alone
  int error;
  int expected;  // the errno the save reports
  Persistence persistence = Persistence::Once;
};

// Each low-level step of a save fails in turn. The file is left as it was (a new file is left
// empty), nothing reports success, and no descriptor is left behind.
TEST_F(RecordFileFaultTest, EveryFailingStepOfASaveLeavesTheFileAsItWas) {
  const SaveFault rows[] = {
      {"open refused", Call::Open, 1, EACCES, EACCES},
      {"size unknown", Call::Fstat, 1, EIO, EIO},
      {"write fails", Call::Write, 1, ENOSPC, ENOSPC},
      {"quota exceeded", Call::Write, 1, EDQUOT, EDQUOT},
      {"short write, then no space", Call::Write, 2, ENOSPC, ENOSPC},
      {"fsync fails", Call::Fsync, 1, EIO, EIO},
      // A new file's folder is closed first; its failure alone loses nothing.
      {"close fails after sync", Call::Close, 1, EIO, EIO, Persistence::FromThenOn},
  };
  for (const bool existing : {true, false}) {
    for (const SaveFault& row : rows) {
      std::filesystem::remove(path_);
      if (existing) {
        writeBytes(path_, bytesOf(kFirst));
      }
      FaultyFileSystem disk;
      disk.fail(row.call, row.nth, row.error, row.persistence);
      if (row.call == Call::Write && row.nth == 2) {
        disk.shortenWrite(1);
      }
      RecordFile file(path_, disk);
      const SaveOutcome outcome = file.AppendRecord(kSecond);
      const std::string context = std::string(row.behaviour) + (existing ? ", existing" : ", new");
      EXPECT_EQ(outcome.status, SaveStatus::WriteFailed) << context;
      EXPECT_EQ(outcome.error, row.expected) << context;
      EXPECT_EQ(readBytes(path_), existing ? bytesOf(kFirst) : "") << context;
      expectClosed(file);
    }
  }
}

// Another copy of the program may append its record between the start of this save and its
// write. A save that then fails takes back only the bytes it wrote, never the other record.
TEST_F(RecordFileFaultTest, AFailedSaveKeepsARecordAnotherProgramAppendedFirst) {
  const StudentRecord kOther{u"C-3", u"Otro", u"Este 3", u"555-0303", u"alta"};
  const SaveFault rows[] = {
      {"write fails", Call::Write, 1, ENOSPC, ENOSPC},
      {"short write, then no space", Call::Write, 2, ENOSPC, ENOSPC},
      {"fsync fails", Call::Fsync, 1, EIO, EIO},
  };
  for (const SaveFault& row : rows) {
    writeBytes(path_, bytesOf(kFirst));
    FaultyFileSystem disk;
    disk.fail(row.call, row.nth, row.error);
    if (row.call == Call::Write && row.nth == 2) {
      disk.shortenWrite(1);
    }
    bool otherSaved = false;
    disk.onCall = [&](Call call) {
      if (call == Call::Write && !otherSaved) {
        RecordFile other(path_);
        otherSaved = other.AppendRecord(kOther).status == SaveStatus::Saved;
      }
    };
    RecordFile file(path_, disk);
    const SaveOutcome outcome = file.AppendRecord(kSecond);
    ASSERT_TRUE(otherSaved) << row.behaviour;
    EXPECT_EQ(outcome.status, SaveStatus::WriteFailed) << row.behaviour;
    EXPECT_EQ(outcome.error, row.expected) << row.behaviour;
    EXPECT_EQ(readBytes(path_), bytesOf(kFirst) + bytesOf(kOther)) << row.behaviour;
    expectClosed(file);
  }
}

TEST_F(RecordFileFaultTest, ShortWriteWhoseRestSucceedsIsStillAFailure) {
  writeBytes(path_, bytesOf(kFirst));
  FaultyFileSystem disk;
  disk.shortenWrite(1);
  RecordFile file(path_, disk);
  const SaveOutcome outcome = file.AppendRecord(kSecond);
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(outcome.error, EIO);
  EXPECT_EQ(readBytes(path_), bytesOf(kFirst));
}

TEST_F(RecordFileFaultTest, NewFileNeedsItsFolderSynced) {
  const struct {
    const char* behaviour;
    Call call;
    int nth;
    int error;
    SaveStatus expected;
  } rows[] = {
      {"folder cannot be opened", Call::Open, 2, EACCES, SaveStatus::WriteFailed},
      {"folder sync fails", Call::Fsync, 2, EIO, SaveStatus::WriteFailed},
      {"file system cannot sync folders", Call::Fsync, 2, EINVAL, SaveStatus::Saved},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(path_);
    FaultyFileSystem disk;
    disk.fail(row.call, row.nth, row.error);
    RecordFile file(path_, disk);
    EXPECT_EQ(file.AppendRecord(kSecond).status, row.expected) << row.behaviour;
    EXPECT_EQ(readBytes(path_), row.expected == SaveStatus::Saved ? bytesOf(kSecond) : "")
        << row.behaviour;
    expectClosed(file);
  }
  // A file that already holds records was synced into its folder before.
  FaultyFileSystem disk;
  RecordFile file(path_, disk);
  ASSERT_EQ(file.AppendRecord(kFirst).status, SaveStatus::Saved);
  EXPECT_EQ(disk.count(Call::Fsync), 1);
}

// Every call of a save fails at every position in turn, once and from then on: a save reported
// as done left exactly the record behind, any other left the file as it was.
TEST_F(RecordFileFaultTest, InjectedFailuresNeverFakeASave) {
  for (const Call call :
       {Call::Open, Call::Fstat, Call::Write, Call::Fsync, Call::Ftruncate, Call::Close}) {
    for (const Persistence persistence : {Persistence::Once, Persistence::FromThenOn}) {
      for (int nth = 1; nth <= 3; ++nth) {
        writeBytes(path_, bytesOf(kFirst));
        FaultyFileSystem disk;
        disk.fail(call, nth, EIO, persistence);
        RecordFile file(path_, disk);
        const SaveStatus status = file.AppendRecord(kSecond).status;
        const std::string after = readBytes(path_);
        if (status == SaveStatus::Saved) {
          EXPECT_EQ(after, bytesOf(kFirst) + bytesOf(kSecond));
        } else {
          EXPECT_EQ(after, bytesOf(kFirst));
        }
        if (disk.count(call) >= nth && call != Call::Ftruncate) {
          EXPECT_EQ(status, SaveStatus::WriteFailed) << static_cast<int>(call) << " " << nth;
        }
        expectClosed(file);
      }
    }
  }
}

// Every call of a lookup fails at every position in turn: a failure that happened is reported,
// never taken for "no record", and leaves the caller's record and no descriptor behind.
TEST_F(RecordFileFaultTest, InjectedFailuresInALookupAreReported) {
  writeBytes(path_, bytesOf(kFirst) + bytesOf(kSecond));
  for (const Call call : {Call::Open, Call::Fstat, Call::Read, Call::Lseek}) {
    for (int nth = 1; nth <= 12; ++nth) {
      FaultyFileSystem disk;
      disk.fail(call, nth, EIO);
      RecordFile file(path_, disk);
      const FindOutcome outcome = file.FindRecord(u"B-7");
      const bool fired = disk.count(call) >= nth;
      const std::string context =
          std::to_string(static_cast<int>(call)) + " " + std::to_string(nth);
      EXPECT_EQ(outcome.status, fired ? FindStatus::ReadFailed : FindStatus::Found) << context;
      if (fired) {
        EXPECT_EQ(outcome.error, EIO) << context;
        expectClosed(file);
      } else {
        EXPECT_EQ(outcome.record, kSecond) << context;
      }
    }
  }
}

}  // namespace
}  // namespace records
