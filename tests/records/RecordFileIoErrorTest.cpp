// Every low-level call of a save and of a lookup fails in turn: for k = 1, 2, ... the k-th call
// fails, once or from then on, until the operation completes without reaching k. After each run:
// no success is reported that did not happen, the file holds the bytes it should, the handle state
// matches the outcome, and no descriptor is left behind. The totals of injected failures are
// printed at the end of each suite.

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CountingFileSystem.h"
#include "RecordFile.h"
#include "TestFiles.h"

namespace records {
namespace {

using testing::CountingFileSystem;
using testing::descriptorsOn;
using testing::FailureMode;
using testing::fdInfo;
using testing::kOperationKinds;
using testing::Operation;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

const StudentRecord kFirst{u"A-102", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101", u"activo"};
const StudentRecord kSecond{u"B-7", u"Ana", u"Sur 1", u"555-0202", u"baja"};
const StudentRecord kThird{u"C-33", u"Luis", u"Norte 9", u"555-0303", u"activo"};
const StudentRecord kNew{u"D-4", u"Eva", u"Este 4", u"555-0404", u"alta"};

// No save or lookup here comes near this many calls; reaching it means the loop never ends.
constexpr int kMostCalls = 500;

// The five lines of a record whose fields are plain ASCII, written out by hand.
std::string linesOf(const StudentRecord& record) {
  std::string bytes;
  for (const std::u16string* field :
       {&record.matricula, &record.nombre, &record.direccion, &record.telefono, &record.status}) {
    bytes += '"';
    for (const char16_t c : *field) {
      bytes += static_cast<char>(c);
    }
    bytes += "\"\r\n";
  }
  return bytes;
}

const std::string kThreeRecords = linesOf(kFirst) + linesOf(kSecond) + linesOf(kThird);

std::size_t openDescriptors() {
  const auto entries = std::filesystem::directory_iterator("/proc/self/fd");
  return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

struct Failure {
  FailureMode mode;
  int error;
};

std::string describe(const char* row, const Failure& failure, int k) {
  return std::string(row) + (failure.mode == FailureMode::Once ? ", once " : ", from then on ") +
         std::strerror(failure.error) + ", call " + std::to_string(k);
}

// The failures injected over one suite, printed when it ends.
struct Tally {
  int runs = 0;
  int recordsKept = 0;  // failed saves whose record the failing disk would not let be cut back
  std::array<int, kOperationKinds> byOperation{};

  void add(const CountingFileSystem& disk) {
    ++runs;
    for (std::size_t kind = 0; kind < kOperationKinds; ++kind) {
      byOperation[kind] += disk.injectedByOperation()[kind];
    }
  }

  void print(const char* what) const {
    static constexpr std::array<const char*, kOperationKinds> kNames = {
        "open", "read", "write", "lseek", "fsync", "fstat", "ftruncate", "close"};
    int total = 0;
    std::string kinds;
    for (std::size_t kind = 0; kind < kOperationKinds; ++kind) {
      total += byOperation[kind];
      if (byOperation[kind] > 0) {
        kinds += std::string(kinds.empty() ? "" : ", ") + kNames[kind] + " " +
                 std::to_string(byOperation[kind]);
      }
    }
    std::printf("%s: %d runs with an injected failure, %d failures injected (%s)\n", what, runs,
                total, kinds.c_str());
    if (recordsKept > 0) {
      std::printf("%s: %d failed saves kept their whole record on a disk failing from then on\n",
                  what, recordsKept);
    }
  }
};

enum class Before { NothingOpen, FoundRecordOpen };

class IoErrorTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.file("archivo.txt");

  // Writes the file as it stands before the operation; no file at all for nullopt.
  void prepare(const std::optional<std::string>& bytes) {
    std::filesystem::remove(path_);
    if (bytes) {
      writeBytes(path_, *bytes);
    }
  }
  // Leaves the handle open for reading on a found record, as the viewer does.
  static void openAFoundRecord(RecordFile& file) {
    ASSERT_EQ(file.FindRecord(kSecond.matricula).status, FindStatus::Found);
  }
};

// A table of rows run under injected failures; the suite's totals are printed when it ends.
template <class Row>
class InjectionTest : public IoErrorTest, public ::testing::WithParamInterface<Row> {
 public:
  static void TearDownTestSuite() { tally_.print(Row::kOperation); }

 protected:
  static inline Tally tally_;
};

// --- Saves -------------------------------------------------------------------------------------

struct SaveRow {
  static constexpr const char* kOperation = "save";
  const char* name;
  std::optional<std::string> fileBefore;
  Before before;
};

void PrintTo(const SaveRow& row, std::ostream* os) {
  *os << row.name;
}

using SaveIoErrorTest = InjectionTest<SaveRow>;

// A full disk stays full, and a dying one keeps failing; EIO once is a passing fault.
constexpr std::array<Failure, 4> kSaveFailures = {{{FailureMode::Once, EIO},
                                                   {FailureMode::Once, ENOSPC},
                                                   {FailureMode::Persistent, ENOSPC},
                                                   {FailureMode::Persistent, EIO}}};

TEST_P(SaveIoErrorTest, NoFalseSuccessNoChangedBytesNoLeakedDescriptor) {
  const SaveRow& row = GetParam();
  const std::string before = row.fileBefore.value_or("");
  for (const Failure& failure : kSaveFailures) {
    for (int k = 1;; ++k) {
      ASSERT_LT(k, kMostCalls);
      const std::string context = describe(row.name, failure, k);
      prepare(row.fileBefore);
      const std::size_t descriptorsBefore = openDescriptors();
      CountingFileSystem disk;
      RecordFile file(path_, disk);
      if (row.before == Before::FoundRecordOpen) {
        openAFoundRecord(file);
      }
      disk.arm(k, failure.error, failure.mode);
      const SaveOutcome outcome = file.AppendRecord(kNew);
      const std::string after = readBytes(path_);

      EXPECT_EQ(openDescriptors(), descriptorsBefore) << context;
      if (disk.calls() < k) {
        // The save ran to its end without meeting the failure.
        EXPECT_EQ(outcome.status, SaveStatus::Saved) << context;
        EXPECT_EQ(after, before + linesOf(kNew)) << context;
        break;
      }
      tally_.add(disk);
      if (outcome.status == SaveStatus::Saved) {
        // Only a failing close of a descriptor that was never written may pass unnoticed.
        EXPECT_TRUE(disk.onlyReadOnlyClosesFailed()) << context;
        EXPECT_EQ(after, before + linesOf(kNew)) << context;
        continue;
      }
      EXPECT_EQ(outcome.status, SaveStatus::WriteFailed) << context;
      EXPECT_EQ(outcome.error, failure.error) << context;
      if (failure.mode == FailureMode::Once) {
        EXPECT_EQ(after, before) << context;
      } else {
        // Once the record is written, a disk that fails every later call also refuses to cut it
        // back; then the whole record stays, never a part of it.
        EXPECT_TRUE(after == before || after == before + linesOf(kNew)) << context;
        tally_.recordsKept += after == before ? 0 : 1;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EverySaveCall, SaveIoErrorTest,
    ::testing::Values(SaveRow{"appends_to_a_file_of_records", kThreeRecords, Before::NothingOpen},
                      SaveRow{"creates_the_file", std::nullopt, Before::NothingOpen},
                      SaveRow{"appends_to_an_empty_file", std::string(), Before::NothingOpen},
                      SaveRow{"closes_a_found_record_first", kThreeRecords,
                              Before::FoundRecordOpen}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Lookups -----------------------------------------------------------------------------------

struct LookupRow {
  static constexpr const char* kOperation = "lookup";
  const char* name;
  std::optional<std::string> file;
  std::u16string matricula;
  Before before;
  std::optional<StudentRecord> expected;
};

void PrintTo(const LookupRow& row, std::ostream* os) {
  *os << row.name;
}

using LookupIoErrorTest = InjectionTest<LookupRow>;

// An interrupted read is retried, so EINTR is injected once only: from then on it would never end,
// which no real disk does.
constexpr std::array<Failure, 3> kLookupFailures = {
    {{FailureMode::Once, EIO}, {FailureMode::Once, EINTR}, {FailureMode::Persistent, EIO}}};

// A failure the lookup may rightly absorb: a failing close of a handle it only read, or an
// interrupted read, which it repeats.
bool absorbable(const CountingFileSystem& disk, int error) {
  const auto& injected = disk.injectedByOperation();
  const int reads = injected[static_cast<std::size_t>(Operation::Read)];
  return disk.onlyReadOnlyClosesFailed() || (error == EINTR && reads == disk.injected());
}

TEST_P(LookupIoErrorTest, FoundOnlyIfReallyFoundAndNoLeakedDescriptor) {
  const LookupRow& row = GetParam();
  const std::string bytes = row.file.value_or("");
  const off_t endOfExpected =
      row.expected
          ? static_cast<off_t>(bytes.find(linesOf(*row.expected)) + linesOf(*row.expected).size())
          : -1;
  for (const Failure& failure : kLookupFailures) {
    for (int k = 1;; ++k) {
      ASSERT_LT(k, kMostCalls);
      const std::string context = describe(row.name, failure, k);
      prepare(row.file);
      const std::size_t descriptorsBefore = openDescriptors();
      CountingFileSystem disk;
      RecordFile file(path_, disk);
      if (row.before == Before::FoundRecordOpen) {
        openAFoundRecord(file);
      }
      disk.arm(k, failure.error, failure.mode);
      const FindOutcome outcome = file.FindRecord(row.matricula);
      const bool reached = disk.calls() >= k;
      if (reached) {
        tally_.add(disk);
      }

      switch (outcome.status) {
        case FindStatus::Found:
          ASSERT_TRUE(row.expected.has_value()) << context;
          EXPECT_EQ(outcome.record, *row.expected) << context;
          ASSERT_EQ(descriptorsOn(path_).size(), 1U) << context;
          EXPECT_EQ(fdInfo(descriptorsOn(path_).front(), "pos", 10), endOfExpected) << context;
          EXPECT_TRUE(!reached || absorbable(disk, failure.error)) << context;
          break;
        case FindStatus::NotFound:
          // A failure is never taken for "no such record".
          EXPECT_FALSE(row.expected.has_value()) << context;
          EXPECT_TRUE(!reached || absorbable(disk, failure.error)) << context;
          break;
        case FindStatus::ReadFailed:
          EXPECT_TRUE(reached) << context;
          EXPECT_EQ(outcome.error, failure.error) << context;
          break;
      }
      if (outcome.status != FindStatus::Found) {
        EXPECT_TRUE(descriptorsOn(path_).empty()) << context;
      }
      file.CloseRecordFile();
      EXPECT_EQ(openDescriptors(), descriptorsBefore) << context;
      EXPECT_EQ(std::filesystem::exists(path_), row.file.has_value()) << context;
      EXPECT_EQ(readBytes(path_), bytes) << context;
      if (!reached) {
        break;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryLookupCall, LookupIoErrorTest,
    ::testing::Values(LookupRow{"finds_the_last_record", kThreeRecords, kThird.matricula,
                                Before::NothingOpen, kThird},
                      LookupRow{"finds_the_first_record", kThreeRecords, kFirst.matricula,
                                Before::NothingOpen, kFirst},
                      LookupRow{"misses", kThreeRecords, u"Z-0", Before::NothingOpen, std::nullopt},
                      LookupRow{"misses_a_key_the_file_cannot_hold", kThreeRecords, u"\u4E00",
                                Before::NothingOpen, std::nullopt},
                      LookupRow{"closes_a_found_record_first", kThreeRecords, kThird.matricula,
                                Before::FoundRecordOpen, kThird},
                      LookupRow{"finds_nothing_without_a_file", std::nullopt, kFirst.matricula,
                                Before::NothingOpen, std::nullopt}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace records
