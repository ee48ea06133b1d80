// Real processes on one record file: copies of the program appending at once, the save's lock
// against another copy, and copies killed with SIGKILL at random moments.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ErrorReason.h"
#include "FaultyFileSystem.h"
#include "RecordFile.h"
#include "ReferenceReader.h"
#include "TestFiles.h"
#include "Windows1252.h"

namespace records {
namespace {

using testing::Call;
using testing::FaultyFileSystem;
using testing::readBytes;
using testing::recordBytes;
using testing::TempFolder;
using testing::writeBytes;

// Fields of different lengths, so that a torn or interleaved write would show.
StudentRecord recordOf(int process, int index) {
  const std::string tag = std::to_string(process) + "-" + std::to_string(index);
  const std::string padding(static_cast<std::size_t>((process * 7 + index) % 40), 'x');
  const auto text = [](const std::string& ascii) { return decodeWindows1252(ascii); };
  return {text(tag), text("nombre " + tag + padding), text("calle " + padding + ", " + tag),
          text("555-" + tag), text(index % 2 == 0 ? "activo" : "baja")};
}

StudentRecord lookUp(const std::string& path, std::u16string_view matricula) {
  RecordFile file(path);
  const FindOutcome found = file.FindRecord(matricula);
  return found.status == FindStatus::Found ? found.record
                                           : StudentRecord{u"?", u"?", u"?", u"?", u"?"};
}

// A pipe between this process and a child, for handshakes in place of sleeps.
class Pipe {
 public:
  Pipe() {
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) == 0) {
      read_ = ends[0];
      write_ = ends[1];
    }
  }
  ~Pipe() {
    closeReadEnd();
    closeWriteEnd();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  void send(const void* bytes, std::size_t count) const {
    ssize_t ignored = ::write(write_, bytes, count);
    static_cast<void>(ignored);
  }
  void signal() const { send("!", 1); }
  // Waits up to `timeout` for bytes; how many were read, 0 at the end, -1 on a time-out.
  ssize_t receive(void* bytes, std::size_t count, std::chrono::milliseconds timeout) const {
    pollfd ready{read_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) != 1) {
      return -1;
    }
    return ::read(read_, bytes, count);
  }
  bool awaitSignal(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    char byte = 0;
    return receive(&byte, 1, timeout) == 1;
  }
  void closeReadEnd() { closeEnd(read_); }
  void closeWriteEnd() { closeEnd(write_); }

 private:
  static void closeEnd(int& fd) {
    if (fd >= 0) {
      ::close(fd);
    }
    fd = -1;
  }
  int read_ = -1;
  int write_ = -1;
};

pid_t forkChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    _exit(body());
  }
  return child;
}

int exitCodeOf(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

enum SaverExit { SavedAlone = 0, SavedAfterCompleting = 1, SaveFailed = 2 };

// A second copy of the program, started before this one opens the file (so that it inherits no
// descriptor of this one's): on `go` it saves `record`, signalling `tried` at its first attempt to
// lock the file.
pid_t forkSaver(const std::string& path, const StudentRecord& record, const Pipe& go,
                const Pipe& tried) {
  return forkChild([&] {
    if (!go.awaitSignal()) {
      return 3;
    }
    FaultyFileSystem disk;
    bool told = false;
    disk.onCall = [&](Call call) {
      if (call == Call::Lock && !told) {
        told = true;
        tried.signal();
      }
    };
    RecordFile file(path, disk);
    const SaveOutcome outcome = file.AppendRecord(record);
    if (outcome.status != SaveStatus::Saved) {
      return static_cast<int>(SaveFailed);
    }
    return static_cast<int>(outcome.repair == TailRepair::None ? SavedAlone : SavedAfterCompleting);
  });
}

// Eight programs append at once, as eight copies of the program on one file would: every record
// saved arrives whole, and each program's records keep their order. Saving back to back with no
// pause, a copy may now and then wait out the lock's patience; that save fails as such and writes
// nothing.
TEST(ConcurrentAppend, EightProcessesAppendingAtOnceLoseAndTearNothing) {
  constexpr int kProcesses = 8;
  constexpr int kRecordsEach = 200;
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  std::vector<pid_t> children;
  children.reserve(kProcesses);
  for (int process = 0; process < kProcesses; ++process) {
    children.push_back(forkChild([&] {
      RecordFile file(path);
      int timedOut = 0;
      for (int index = 0; index < kRecordsEach; ++index) {
        const SaveOutcome outcome = file.AppendRecord(recordOf(process, index));
        if (outcome.status != SaveStatus::Saved) {
          if (outcome.error != EAGAIN) {
            return 255;
          }
          ++timedOut;
        }
      }
      return timedOut;
    }));
  }
  int saved = 0;
  for (const pid_t child : children) {
    const int timedOut = exitCodeOf(child);
    EXPECT_GE(timedOut, 0);
    EXPECT_LT(timedOut, kRecordsEach / 2);
    saved += kRecordsEach - timedOut;
  }

  const std::string bytes = readBytes(path);
  const auto records = testing::ReferenceReader(bytes).records();
  ASSERT_EQ(records.size(), static_cast<std::size_t>(saved));
  EXPECT_EQ(records.back().end, bytes.size());
  std::vector<int> next(kProcesses, 0);
  for (const auto& record : records) {
    const std::string& matricula = record.fields[0];
    const std::size_t dash = matricula.find('-');
    const int process = std::stoi(matricula.substr(0, dash));
    const int index = std::stoi(matricula.substr(dash + 1));
    ASSERT_GE(process, 0);
    ASSERT_LT(process, kProcesses);
    ASSERT_GE(index, next[process]);
    ASSERT_EQ(testing::recordFrom(record.fields), recordOf(process, index));
    next[process] = index + 1;
  }
}

const StudentRecord kFirst{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};
const StudentRecord kMine{u"M-1", u"Mia", u"Este 1", u"555-0111", u"alta"};
const StudentRecord kTheirs{u"O-2", u"Olga", u"Oeste 2", u"555-0222", u"baja"};

// Two copies meet the same torn record at the end of the file. The first to hold the lock
// completes it; the other, waiting meanwhile, then finds a record boundary and adds its record
// alone, so that both records are read in step.
TEST(SaveLock, TwoCopiesMeetingOneTornRecordCompleteItOnce) {
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  const std::string torn = recordBytes(kFirst) + "\"T-1\"\r\n\"Tom";
  writeBytes(path, torn);
  Pipe go;
  Pipe tried;
  const pid_t other = forkSaver(path, kTheirs, go, tried);
  ASSERT_GT(other, 0);

  FaultyFileSystem disk;
  bool otherWaiting = false;
  disk.onCall = [&](Call call) {
    if (call == Call::Write && !otherWaiting) {
      go.signal();
      otherWaiting = tried.awaitSignal();  // it now tries the lock this save holds
    }
  };
  RecordFile file(path, disk);
  const SaveOutcome mine = file.AppendRecord(kMine);
  EXPECT_TRUE(otherWaiting);
  EXPECT_EQ(mine.status, SaveStatus::Saved);
  EXPECT_EQ(mine.repair, TailRepair::CompletedTornRecord);
  EXPECT_EQ(exitCodeOf(other), SavedAlone);

  EXPECT_EQ(readBytes(path),
            torn + "\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + recordBytes(kMine) + recordBytes(kTheirs));
  const StudentRecord tornRecord{u"T-1", u"Tom", u"", u"", u""};
  for (const StudentRecord& record : {kFirst, tornRecord, kMine, kTheirs}) {
    EXPECT_EQ(lookUp(path, record.matricula), record);
  }
}

// A failed save cuts its bytes off again while it still holds the lock: another copy appending
// meanwhile waits, and its record stays whole after the cut.
TEST(SaveLock, AFailedSavesCutBackLeavesARecordAppendedMeanwhileWhole) {
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  writeBytes(path, recordBytes(kFirst));
  Pipe go;
  Pipe tried;
  const pid_t other = forkSaver(path, kTheirs, go, tried);
  ASSERT_GT(other, 0);

  FaultyFileSystem disk;
  disk.fail(Call::Fsync, 1, EIO);
  bool otherWaiting = false;
  disk.onCall = [&](Call call) {
    if (call == Call::Fsync && !otherWaiting) {
      go.signal();
      otherWaiting = tried.awaitSignal();
    }
  };
  RecordFile file(path, disk);
  const SaveOutcome mine = file.AppendRecord(kMine);
  EXPECT_TRUE(otherWaiting);
  EXPECT_EQ(mine.status, SaveStatus::WriteFailed);
  EXPECT_EQ(mine.error, EIO);
  EXPECT_EQ(exitCodeOf(other), SavedAlone);
  EXPECT_EQ(readBytes(path), recordBytes(kFirst) + recordBytes(kTheirs));
}

// Another program keeps the file locked for 5 s. A save waits a bounded time, then fails with a
// clear reason and leaves the file as it was; once the lock is gone, saves succeed again.
TEST(SaveLock, ALockHeldLongerThanTheWaitFailsTheSaveCleanly) {
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  writeBytes(path, recordBytes(kFirst));
  Pipe locked;
  const pid_t holder = forkChild([&] {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fd < 0 || fcntl(fd, F_OFD_SETLK, &whole) != 0) {
      return 1;
    }
    locked.signal();
    sleep(5);
    return 0;
  });
  ASSERT_GT(holder, 0);
  ASSERT_TRUE(locked.awaitSignal());

  RecordFile file(path);
  const SaveOutcome outcome = file.AppendRecord(kMine);
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(errorReason(outcome.error), u"otro programa tiene el archivo en uso");
  EXPECT_EQ(readBytes(path), recordBytes(kFirst));
  EXPECT_TRUE(testing::descriptorsOn(path).empty());

  kill(holder, SIGKILL);
  exitCodeOf(holder);
  EXPECT_EQ(file.AppendRecord(kMine).status, SaveStatus::Saved);
  EXPECT_EQ(lookUp(path, kMine.matricula), kMine);
}

// A copy of the program saves records in a loop and reports each confirmation down a pipe; it is
// killed with SIGKILL at random moments and started again, over and over. In the end every
// confirmed record is in the file with exactly its fields, every record there is one that was
// saved (or, if a kill tore it, what survived of one), and a final save is found too.
TEST(KilledSaves, EveryConfirmedRecordSurvivesRandomKills) {
  constexpr int kKills = 200;
  constexpr int kMostRecordsEach = 100000;
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> lifeMicroseconds(0, 12000);
  std::vector<std::int32_t> confirmed;
  int kills = 0;
  for (int run = 0; run < kKills; ++run) {
    Pipe confirmations;
    const pid_t saver = forkChild([&] {
      confirmations.closeReadEnd();
      RecordFile file(path);
      for (std::int32_t index = 0; index < kMostRecordsEach; ++index) {
        if (file.AppendRecord(recordOf(run, index)).status == SaveStatus::Saved) {
          confirmations.send(&index, sizeof index);
        }
      }
      return 0;
    });
    ASSERT_GT(saver, 0);
    confirmations.closeWriteEnd();
    std::int32_t index = 0;
    if (run % 2 == 0 && confirmations.receive(&index, sizeof index, std::chrono::seconds(5)) ==
                            static_cast<ssize_t>(sizeof index)) {
      // Every other copy is killed in the midst of its saves rather than perhaps before its first.
      confirmed.push_back(run * kMostRecordsEach + index);
    }
    const auto life = std::chrono::microseconds(lifeMicroseconds(random));
    usleep(static_cast<useconds_t>(life.count()));
    kills += kill(saver, SIGKILL) == 0 ? 1 : 0;
    exitCodeOf(saver);
    while (confirmations.receive(&index, sizeof index, std::chrono::seconds(5)) ==
           static_cast<ssize_t>(sizeof index)) {
      confirmed.push_back(run * kMostRecordsEach + index);
    }
  }
  const StudentRecord last{u"FINAL", u"ultimo", u"", u"", u"fin"};
  RecordFile file(path);
  ASSERT_EQ(file.AppendRecord(last).status, SaveStatus::Saved);
  EXPECT_EQ(lookUp(path, last.matricula), last);

  const std::string bytes = readBytes(path);
  const auto records = testing::ReferenceReader(bytes).records();
  std::map<std::u16string, StudentRecord> inFile;
  int torn = 0;
  for (const auto& record : records) {
    const StudentRecord found = testing::recordFrom(record.fields);
    inFile.emplace(found.matricula, found);
    if (found == last) {
      continue;
    }
    const std::string tag = record.fields[0];
    const std::size_t dash = tag.find('-');
    if (dash == std::string::npos || dash + 1 == tag.size()) {
      // A kill tore the record inside its matricula: nothing else of it survived.
      ASSERT_TRUE(testing::cutFrom(found, {found.matricula, u"", u"", u"", u""})) << tag;
      ++torn;
      continue;
    }
    const StudentRecord saved =
        recordOf(std::stoi(tag.substr(0, dash)), std::stoi(tag.substr(dash + 1)));
    ASSERT_TRUE(found == saved || testing::cutFrom(found, saved)) << tag;
    torn += found == saved ? 0 : 1;
  }
  int found = 0;
  for (const std::int32_t id : confirmed) {
    const StudentRecord expected = recordOf(id / kMostRecordsEach, id % kMostRecordsEach);
    const auto in = inFile.find(expected.matricula);
    found += in != inFile.end() && in->second == expected ? 1 : 0;
  }
  std::printf(
      "kill test: %d kills, %zu records confirmed, %d confirmed records found exactly, "
      "%zu records in the file (%d torn by a kill and completed), final save found\n",
      kills, confirmed.size(), found, records.size(), torn);
  EXPECT_EQ(kills, kKills);
  EXPECT_EQ(found, static_cast<int>(confirmed.size()));
  EXPECT_GT(confirmed.size(), 0U);
  EXPECT_EQ(records.back().end, bytes.size());
}

}  // namespace
}  // namespace records
