#include "RecordFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "FaultyFileSystem.h"
#include "TestFiles.h"

namespace records {
namespace {

using testing::descriptorsOn;
using testing::fdInfo;
using testing::hex;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

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
  // The one descriptor open on the record file.
  int openDescriptor() const {
    const std::vector<int> open = descriptorsOn(path_);
    return open.size() == 1 ? open.front() : -1;
  }
};

TEST_F(RecordFileTest, ExampleRecordIsStoredAsItsSixtyThreeBytes) {
  save(kExample);
  EXPECT_EQ(hex(readBytes(path_)),
            "22 41 2D 31 30 32 22 0D 0A "
            "22 5A 75 7A 20 55 7A 61 72 6F 22 0D 0A "
            "22 43 61 6C 6C 65 20 35 2C 20 4E 6F 2E 20 31 32 22 0D 0A "
            "22 35 35 35 2D 30 31 30 31 22 0D 0A "
            "22 61 63 74 69 76 6F 22 0D 0A");
  EXPECT_EQ(readBytes(path_).size(), 63U);
  EXPECT_TRUE(descriptorsOn(path_).empty());
}

TEST_F(RecordFileTest, EmptyRecordIsTwentyBytes) {
  save({});
  EXPECT_EQ(readBytes(path_), "\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n");
  EXPECT_EQ(readBytes(path_).size(), 20U);
  EXPECT_EQ(find(u""), FindStatus::Found);
  EXPECT_EQ(found_, StudentRecord{});
}

TEST_F(RecordFileTest, AppendingLeavesEarlierBytesUnchanged) {
  const std::string earlier = "\"x\"\r\n\"y\"\r\nhand edited, no quotes\n";
  writeBytes(path_, earlier);
  save(kExample);
  save(kExample);
  const std::string after = readBytes(path_);
  ASSERT_EQ(after.size(), earlier.size() + std::size_t{2} * 63);
  EXPECT_EQ(after.substr(0, earlier.size()), earlier);
  EXPECT_EQ(after.substr(earlier.size(), 63), after.substr(earlier.size() + 63));
}

TEST_F(RecordFileTest, FieldsWithCommasBlanksAndSpanishLettersRoundTrip) {
  const StudentRecord spanish{u"  2019-04871 ", u"Ñandú Güemes, José",
                              u"Av. Ángel Íñiguez 5, ¿piso? ¡3!", u"ó ú €, 555", u"  "};
  save(kExample);
  save(spanish);
  ASSERT_EQ(find(spanish.matricula), FindStatus::Found);
  EXPECT_EQ(found_, spanish);
  // One byte per character in Windows-1252: the euro sign is 0x80, the n with tilde 0xD1.
  const std::string bytes = readBytes(path_);
  EXPECT_NE(bytes.find("\"\xD1"
                       "and\xFA G\xFC"
                       "emes, Jos\xE9\"\r\n"),
            std::string::npos);
  EXPECT_NE(bytes.find("\"\xF3 \xFA \x80, 555\"\r\n"), std::string::npos);
}

TEST_F(RecordFileTest, FirstOfTwoDuplicatesIsFoundEveryTime) {
  save({u"7", u"primero", u"", u"", u""});
  save({u"7", u"segundo", u"", u"", u""});
  for (int attempt = 0; attempt < 2; ++attempt) {
    ASSERT_EQ(find(u"7"), FindStatus::Found);
    EXPECT_EQ(found_.nombre, u"primero");
  }
}

TEST_F(RecordFileTest, CaseAndBlankDifferencesDoNotMatch) {
  save({u"Ab-1", u"n", u"d", u"t", u"s"});
  for (const std::u16string_view other : {u"ab-1", u"AB-1", u" Ab-1", u"Ab-1 ", u"Ab-", u"Ab-12"}) {
    EXPECT_EQ(find(other), FindStatus::NotFound);
    EXPECT_EQ(found_, StudentRecord{}) << "a miss returns no record";
  }
  EXPECT_EQ(find(u"Ab-1"), FindStatus::Found);
}

TEST_F(RecordFileTest, HandleStaysOpenAfterMatchPositionedPastTheRecord) {
  save(kExample);
  save({u"B", u"", u"", u"", u""});
  ASSERT_EQ(find(u"A-102"), FindStatus::Found);
  EXPECT_EQ(found_, kExample);
  const int fd = openDescriptor();
  ASSERT_GE(fd, 0);
  EXPECT_EQ(fdInfo(fd, "pos", 10), 63);
  const long long flags = fdInfo(fd, "flags", 8);
  EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
  EXPECT_NE(flags & O_CLOEXEC, 0);

  // A second lookup starts again from the first record.
  ASSERT_EQ(find(u"B"), FindStatus::Found);
  EXPECT_EQ(fdInfo(openDescriptor(), "pos", 10), 63 + 21);
}

TEST_F(RecordFileTest, HandleIsClosedAfterMiss) {
  save(kExample);
  ASSERT_EQ(find(u"A-102"), FindStatus::Found);
  EXPECT_EQ(find(u"A-103"), FindStatus::NotFound);
  EXPECT_TRUE(descriptorsOn(path_).empty());
}

TEST_F(RecordFileTest, CloseRecordFileReleasesTheReadingHandleAndMayRepeat) {
  save(kExample);
  ASSERT_EQ(find(u"A-102"), FindStatus::Found);
  file_.CloseRecordFile();
  file_.CloseRecordFile();
  EXPECT_TRUE(descriptorsOn(path_).empty());
}

TEST_F(RecordFileTest, SaveAfterSuccessfulLookupSucceedsAndIsFoundLater) {
  save(kExample);
  ASSERT_EQ(find(u"A-102"), FindStatus::Found);
  const StudentRecord later{u"C-9", u"Luz", u"", u"", u"baja"};
  save(later);
  EXPECT_TRUE(descriptorsOn(path_).empty());
  ASSERT_EQ(find(u"C-9"), FindStatus::Found);
  EXPECT_EQ(found_, later);
}

TEST_F(RecordFileTest, AppendingDescriptorIsCloseOnExecAndAppendOnly) {
  // Observed from inside the save, through the file-system seam.
  testing::FaultyFileSystem watcher;
  RecordFile watched(path_, watcher);
  long long flags = -1;
  watcher.onCall = [&](testing::Call call) {
    if (call == testing::Call::Write) {
      flags = fdInfo(openDescriptor(), "flags", 8);
    }
  };
  ASSERT_EQ(watched.AppendRecord(kExample).status, SaveStatus::Saved);
  EXPECT_EQ(flags & O_ACCMODE, O_WRONLY);
  EXPECT_NE(flags & O_APPEND, 0);
  EXPECT_NE(flags & O_CLOEXEC, 0);
  EXPECT_TRUE(descriptorsOn(path_).empty());
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

TEST_F(RecordFileTest, UnencodableKeyFindsNothing) {
  save(kExample);
  EXPECT_EQ(find(u"A-102\u4E2D"), FindStatus::NotFound);
  EXPECT_EQ(find(std::u16string(1, u'\xDC00')), FindStatus::NotFound);
  EXPECT_TRUE(descriptorsOn(path_).empty());
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
