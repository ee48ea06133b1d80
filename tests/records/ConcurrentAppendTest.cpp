// Real processes on one record file: copies of the program appending at once, the save's lock
// against another copy, and copies killed with SIGKILL at random moments.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ErrorReason.h"
#include "FaultyFileSystem.h"
#include "RecordFile.h"
#include "ReferenceReader.h"
#include "TestFiles.h"
#include "Windows1252.h"

namespace records {
namespace {

using namespace testing;

// Fields of different lengths, so that a torn or interleaved write would show.
StudentRecord recordOf(int process, int index) {
  const std::string tag = std::to_string(process) + "-" + std::to_string(index);
  const std::string padding(static_cast<std::size_t>((process * 7 + index) % 40), 'x');
  const auto text = [](const std::string& ascii) { return decodeWindows1252(ascii); };
  return {text(tag), text("nombre " + tag + padding), text("calle " + padding + ", " + tag),
          text("555-" + tag), text(index % 2 == 0 ? "activo" : "baja")};
}

// The process and index of recordOf() a matricula names; -1 for a matricula cut short.
std::pair<int, int> idOf(const std::string& matricula) {
  const std::size_t dash = matricula.find('-');
  if (dash == std::string::npos || dash + 1 == matricula.size()) {
    return {-1, -1};
  }
  return {std::stoi(matricula.substr(0, dash)), std::stoi(matricula.substr(dash + 1))};
}

// A pipe between this process and a child, for handshakes in place of sleeps.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(pipe2(ends_.data(), O_CLOEXEC), 0); }
  ~Pipe() {
    closeWriteEnd();
    ::close(ends_[0]);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  // Once every child that writes is gone too, what is left to read ends at once.
  void closeWriteEnd() { ::close(std::exchange(ends_[1], -1)); }
  void send(const void* bytes, std::size_t count) const {
    [[maybe_unused]] const ssize_t sent = ::write(ends_[1], bytes, count);
  }
  // Whether `count` bytes arrived within 10 s.
  bool receive(void* bytes, std::size_t count) const {
    pollfd ready{ends_[0], POLLIN, 0};
    return poll(&ready, 1, 10000) == 1 &&
           ::read(ends_[0], bytes, count) == static_cast<ssize_t>(count);
  }
  void signal() const { send("!", 1); }
  bool awaitSignal() const {
    char byte = 0;
    return receive(&byte, 1);
  }

 private:
  std::array<int, 2> ends_{-1, -1};  // reading, writing
};

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
    children.push_back(startChild([&] {
      RecordFile file(path);
      int timedOut = 0;
      for (int index = 0; index < kRecordsEach; ++index) {
        const SaveOutcome outcome = file.AppendRecord(recordOf(process, index));
        if (outcome.status != SaveStatus::Saved && outcome.error != EAGAIN) {
          return 255;
        }
        timedOut += outcome.status == SaveStatus::Saved ? 0 : 1;
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
  const auto records = ReferenceReader(bytes).records();
  ASSERT_EQ(records.size(), static_cast<std::size_t>(saved));
  EXPECT_EQ(records.back().end, bytes.size());
  std::vector<int> next(kProcesses, 0);
  for (const auto& record : records) {
    const auto [process, index] = idOf(record.fields[0]);
    ASSERT_TRUE(process >= 0 && process < kProcesses) << record.fields[0];
    ASSERT_GE(index, next[process]);
    ASSERT_EQ(recordFrom(record.fields), recordOf(process, index));
    next[process] = index + 1;
  }
}

const StudentRecord kFirst{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};
const StudentRecord kMine{u"M-1", u"Mia", u"Este 1", u"555-0111", u"alta"};
const StudentRecord kTheirs{u"O-2", u"Olga", u"Oeste 2", u"555-0222", u"baja"};

// A second copy of the program, started before this one opens the file (so that it inherits no
// descriptor of this one's), starts its save when this save reaches `meeting` and so waits for
// the lock this save holds. Once this save ends, the other finds a record boundary and appends its
// record alone: a torn record is completed once, and a failed save's cut-back takes nothing of the
// other's.
TEST(SaveLock, AnotherCopySavingMeanwhileWaitsAndAppendsWhole) {
  const std::string torn = recordBytes(kFirst) + "\"T-1\"\r\n\"Tom";
  const struct {
    const char* behaviour;
    std::string before;
    Call meeting;
    SaveStatus mine;
    std::string after;
  } rows[] = {
      {"two copies meet one torn record", torn, Call::Write, SaveStatus::Saved,
       torn + "\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + recordBytes(kMine) + recordBytes(kTheirs)},
      {"this save fails its sync and cuts back", recordBytes(kFirst), Call::Fsync,
       SaveStatus::WriteFailed, recordBytes(kFirst) + recordBytes(kTheirs)},
  };
  for (const auto& row : rows) {
    TempFolder folder;
    const std::string path = folder.file("archivo.txt");
    writeBytes(path, row.before);
    Pipe go;
    Pipe tried;
    const pid_t other = startChild([&] {
      if (!go.awaitSignal()) {
        return 3;
      }
      FaultyFileSystem disk;
      disk.onCall = [&, told = false](Call call) mutable {
        if (call == Call::Lock && !std::exchange(told, true)) {
          tried.signal();
        }
      };
      const SaveOutcome outcome = RecordFile(path, disk).AppendRecord(kTheirs);
      return outcome.status == SaveStatus::Saved && outcome.repair == TailRepair::None ? 0 : 1;
    });
    ASSERT_GT(other, 0);

    FaultyFileSystem disk;
    disk.fail(Call::Fsync, row.mine == SaveStatus::Saved ? 0 : 1, EIO);
    bool otherWaiting = false;
    disk.onCall = [&](Call call) {
      if (call == row.meeting && !otherWaiting) {
        go.signal();
        otherWaiting = tried.awaitSignal();  // it now tries the lock this save holds
      }
    };
    const SaveOutcome mine = RecordFile(path, disk).AppendRecord(kMine);
    EXPECT_TRUE(otherWaiting) << row.behaviour;
    EXPECT_EQ(mine.status, row.mine) << row.behaviour;
    EXPECT_EQ(mine.error, row.mine == SaveStatus::Saved ? 0 : EIO) << row.behaviour;
    if (mine.status == SaveStatus::Saved) {
      EXPECT_EQ(mine.repair, TailRepair::CompletedTornRecord) << row.behaviour;
    }
    EXPECT_EQ(exitCodeOf(other), 0) << row.behaviour;
    EXPECT_EQ(readBytes(path), row.after) << row.behaviour;
    EXPECT_EQ(lookUp(path, kTheirs.matricula), kTheirs) << row.behaviour;
  }
}

// Another open of the file holds its lock, as another copy of the program in the midst of a save
// would, for longer than a save waits. The save fails with a clear reason and leaves the file as it
// was; once the lock is gone, saves succeed again.
TEST(SaveLock, ALockHeldLongerThanTheWaitFailsTheSaveCleanly) {
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  writeBytes(path, recordBytes(kFirst));
  const int holder = open(path.c_str(), O_RDWR | O_CLOEXEC);
  struct flock whole = {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  ASSERT_EQ(fcntl(holder, F_OFD_SETLK, &whole), 0);

  RecordFile file(path);
  const SaveOutcome outcome = file.AppendRecord(kMine);
  EXPECT_EQ(outcome.status, SaveStatus::WriteFailed);
  EXPECT_EQ(errorReason(outcome.error), u"otro programa tiene el archivo en uso");
  EXPECT_EQ(readBytes(path), recordBytes(kFirst));
  EXPECT_EQ(descriptorsOn(path), std::vector<int>{holder});

  close(holder);
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
  std::vector<StudentRecord> confirmed;
  for (int run = 0; run < kKills; ++run) {
    Pipe confirmations;
    const pid_t saver = startChild([&] {
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
    // Every other copy is killed in the midst of its saves rather than perhaps before its first.
    if (run % 2 == 0 && confirmations.receive(&index, sizeof index)) {
      confirmed.push_back(recordOf(run, index));
    }
    usleep(static_cast<useconds_t>(lifeMicroseconds(random)));
    kill(saver, SIGKILL);
    exitCodeOf(saver);
    while (confirmations.receive(&index, sizeof index)) {
      confirmed.push_back(recordOf(run, index));
    }
  }
  const StudentRecord last{u"FINAL", u"ultimo", u"", u"", u"fin"};
  ASSERT_EQ(RecordFile(path).AppendRecord(last).status, SaveStatus::Saved);
  EXPECT_EQ(lookUp(path, last.matricula), last);

  const std::string bytes = readBytes(path);
  const auto records = ReferenceReader(bytes).records();
  EXPECT_EQ(records.back().end, bytes.size());
  std::map<std::u16string, StudentRecord> inFile;
  for (const auto& record : records) {
    const StudentRecord found = recordFrom(record.fields);
    inFile.emplace(found.matricula, found);
    const auto [process, index] = idOf(record.fields[0]);
    // A kill that tore the record inside its matricula left nothing else of it.
    const StudentRecord saved = found == last ? last
                                : process < 0 ? StudentRecord{found.matricula, u"", u"", u"", u""}
                                              : recordOf(process, index);
    ASSERT_TRUE(cutFrom(found, saved)) << record.fields[0];
  }
  for (const StudentRecord& record : confirmed) {
    ASSERT_EQ(inFile[record.matricula], record);
  }
  EXPECT_GT(confirmed.size(), 0U);
}

}  // namespace
}  // namespace records
