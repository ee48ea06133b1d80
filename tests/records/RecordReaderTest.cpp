#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "RecordFile.h"
#include "RecordReader.h"
#include "RecordTail.h"
#include "ReferenceReader.h"
#include "TestFiles.h"
#include "Windows1252.h"

namespace records {
namespace {

using namespace std::string_literals;
using testing::positionOf;
using testing::readBytes;
using testing::ReferenceReader;
using testing::TempFolder;
using testing::writeBytes;

using Fields = std::array<std::string, 5>;

// Records as the program writes them, long enough that the reader classifies them 64 bytes at a
// time before reaching what follows.
const std::string kRecord =
    testing::recordBytes({u"2019-0487", u"Ana Vega", u"Calle 5, No. 12", u"555-0101", u"activo"});
const std::string kPadding = kRecord + kRecord + kRecord;
// What most rows find.
const Fields kAtoE{"a", "b", "c", "d", "e"};
// 60 bytes: the line after it ends the first 64-byte chunk.
const std::string kLeadIn =
    "\"2019-04870\"\r\n\"Ana Vega\"\r\n\"Calle 5, No. 1\"\r\n\"555-0101\"\r\n\"\"\r\n";
const std::string kKeyRecord = "\"k\"\r\n\"f\"\r\n\"g\"\r\n\"h\"\r\n\"i\"\r\n";
const Fields kKtoI{"k", "f", "g", "h", "i"};
// Two records of lines of two letters.
const std::string kShortLines = [] {
  std::string lines;
  for (int line = 0; line < 10; ++line) {
    lines += "\"ab\"\r\n";
  }
  return lines;
}();
// Twelve records whose every line has a byte between its closing quote and its CR.
const std::string kTextAfterQuotes = [] {
  std::string lines;
  for (int line = 0; line < 60; ++line) {
    lines += "\"a\"x\r\n";
  }
  return lines;
}();
// A key that stands in other fields, in a later matricula and as the start of an earlier one.
const std::string kDecoys =
    "\"2019-048710\"\r\n\"2019-04871\"\r\n\"x 2019-04871\"\r\n\"\"\r\n\"\"\r\n"
    "\"B\"\r\n\"a\"\r\n\"2019-04871\"\r\n\"2019-04871\"\r\n\"2019-04871\"\r\n"
    "\"2019-04871\"\r\n\"found\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n";

struct ReadRow {
  const char* behaviour;
  std::string file;
  std::string key;
  std::optional<Fields> found;
};

// How lines the writer never produces read back. Each row looks up `key` in `file`.
const ReadRow kReadRows[] = {
    {"writer's own lines", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n", "a", kAtoE},
    {"commas and blanks inside quotes belong to the text",
     "\" a, b \"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n", " a, b ",
     Fields{" a, b ", "1", "2", "3", "4"}},
    {"blanks before a field are skipped", "  \"a\"\r\n \t\"b\"\r\n  c\r\n\"d\"\r\n\"e\"\r\n", "a",
     kAtoE},
    {"unquoted field keeps its trailing blanks", "a  \r\nb\r\nc\r\nd\r\ne\r\n", "a  ",
     Fields{"a  ", "b", "c", "d", "e"}},
    {"unquoted field without trailing blanks does not match them", "a  \r\nb\r\nc\r\nd\r\ne\r\n",
     "a", std::nullopt},
    {"comma outside quotes ends a field", "\"a\",\"b\",c,d,e\r\n", "a", kAtoE},
    {"lone LF ends a line", "\"a\"\n\"b\"\n\"c\"\n\"d\"\n\"e\"\n", "a", kAtoE},
    {"lone CR ends a line", "\"a\"\r\"b\"\r\"c\"\r\"d\"\r\"e\"\r", "a", kAtoE},
    {"empty line is an empty field", "\"a\"\r\n\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n", "a",
     Fields{"a", "", "c", "d", "e"}},
    {"quote inside a stored field reads back whole",
     "\"a\"\r\n\"He said \"hi\" twice\"\r\n\"\"hi\"\"\r\n\"d\"\r\n\"e\"\r\n", "a",
     Fields{"a", "He said \"hi\" twice", "\"hi\"", "d", "e"}},
    {"closing quote may be followed by blanks", "\"a\"  \r\n\"b\" ,\"c\"\t\r\n\"d\"\r\n\"e\"", "a",
     kAtoE},
    {"a line end closes a quote left open", "\"a\r\n\"b\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n", "a",
     kAtoE},
    {"text after a closing quote keeps the quote", "\"a\"x\r\nb\r\nc\r\nd\r\ne\r\n", "a\"x",
     Fields{"a\"x", "b", "c", "d", "e"}},
    {"last record without a final line end", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\ne", "a", kAtoE},
    {"file ending inside a quoted field ends the data", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e",
     "a", std::nullopt},
    {"file ending before the fifth field ends the data", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n",
     "a", std::nullopt},
    {"a comma at a line's end gives an empty field", "\"x\",\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n", "x",
     Fields{"x", "", "b", "c", "d"}},
    {"matching is on whole records only", "\"x\"\r\n\"a\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n", "a",
     std::nullopt},
    {"empty key finds the first empty matricula",
     "\"x\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"
     "\"\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n",
     "", Fields{"", "1", "2", "3", "4"}},
    {"an all-blank line is an empty field", "   \r\nb\r\nc\r\nd\r\ne\r\n", "",
     Fields{"", "b", "c", "d", "e"}},
    {"NUL and high bytes are text", "\"\0\x81\xFF\"\r\nb\r\nc\r\nd\r\ne\r\n"s, "\0\x81\xFF"s,
     Fields{"\0\x81\xFF"s, "b", "c", "d", "e"}},
    // Where the well-formed stretches of a longer file meet what is not.
    {"key on the file's first line", "\"k\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n" + kPadding,
     "k", Fields{"k", "b", "c", "d", "e"}},
    {"key line across two chunks",
     kLeadIn + "\"2019-0486\"\r\n\"b\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + kPadding, "2019-0486",
     Fields{"2019-0486", "b", "", "", ""}},
    {"key as another field of well-formed records", kPadding + kPadding, "activo", std::nullopt},
    {"key as a matricula after another field's copy of it",
     kPadding + "\"x\"\r\n\"activo\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"activo\"\r\n\"y\"\r\n\"\"\r\n\"\""
                "\r\n\"\"\r\n",
     "activo", Fields{"activo", "y", "", "", ""}},
    {"two fields on one line just before a key line",
     kPadding + "\"x\",\"k\"\r\n\"k\"\r\n\"c\"\r\n\"d\"\r\n" + kKeyRecord + kPadding, "k", kKtoI},
    {"unquoted field and a comma on a line ending in a quote",
     kPadding + "x,k\"\r\n\"k\"\r\n\"c\"\r\n\"d\"\r\n" + kKeyRecord + kPadding, "k", kKtoI},
    {"lone CR after a closing quote at the end of a chunk",
     kLeadIn + "\"a\"\rcd\"\r\n\"k\"\r\n\"c\"\r\n\"d\"\r\n" + kKeyRecord + kPadding, "k", kKtoI},
    {"closing quote and a comma at the end of a chunk",
     kLeadIn + "\"ab\",c\"\r\n\"k\"\r\n\"c\"\r\n\"d\"\r\n" + kKeyRecord + kPadding, "k", kKtoI},
    {"record ending in a comma before well-formed lines",
     kPadding + "\"a\",\"b\",\"c\",\"d\",\"e\",\"k\"\r\n\"1\"\r\n\"2\"\r\n\"3\"\r\n\"4\"\r\n" +
         kPadding,
     "k", Fields{"k", "1", "2", "3", "4"}},
    {"line of one quote at the start of a chunk is an empty field",
     "\"2019-04870\"\r\n\"Ana Vega\"\r\n\"Calle 5, No. 12\"\r\n\"555-0101\"\r\n\"abc\"\r\n"
     "\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n" +
         kPadding,
     "", Fields{"", "b", "c", "d", "e"}},
    {"lone CR inside quoted text among well-formed lines ends a line",
     kPadding + "\"x\"\r\n\"a\rk\"\r\n\"c\"\r\n\"d\"\r\n" + kKeyRecord + kPadding, "k", kKtoI},
    {"line of one quote opening the file is an empty field",
     "\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n" + kPadding, "", Fields{"", "b", "c", "d", "e"}},
    {"key bytes in other fields and matriculas", kDecoys, "2019-04871",
     Fields{"2019-04871", "found", "", "", ""}},
    {"start of a matricula is no match", kDecoys, "2019-0487", std::nullopt},
    {"text of another field is no match", kDecoys, "x 2019-04871", std::nullopt},
    {"key opening the second of two records that end in one chunk",
     kShortLines + "\"kk\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n" + kPadding, "kk",
     Fields{"kk", "b", "c", "d", "e"}},
    {"a line of two fields among short lines shifts the records after it",
     kShortLines + "\"xy\",z\r\n" + kShortLines.substr(0, 24) + "\"kk\"\r\n" + kShortLines +
         kShortLines,
     "kk", std::nullopt},
    {"key longer than a chunk, its line opening at the end of one",
     kLeadIn + "\"" + std::string(70, 'm') + "\"\r\n\"b\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + kPadding,
     std::string(70, 'm'), Fields{std::string(70, 'm'), "b", "", "", ""}},
    {"text after the closing quote on every line of a long run",
     kTextAfterQuotes + "\"k\"x\r\n\"b\"x\r\n\"c\"x\r\n\"d\"x\r\n\"e\"x\r\n" + kTextAfterQuotes,
     "k\"x", Fields{"k\"x", "b\"x", "c\"x", "d\"x", "e\"x"}},
    {"key line cut by the end of the file", kPadding + "\"k\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e",
     "k", std::nullopt},
};

// The reader by one route over `file`, on a real file, read `block` bytes at a time.
LookupResult lookUp(const std::string& file, const std::optional<std::string>& key, ReadRoute route,
                    std::size_t block) {
  const TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  writeBytes(path, file);
  FileSystem& disk = systemFileSystem();
  const int fd = disk.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  EXPECT_GE(fd, 0);
  LookupResult result = findFirstRecord(disk, fd, key, {route, block});
  if (result.found) {
    EXPECT_EQ(positionOf(fd), static_cast<long long>(result.found->end));
  }
  disk.close(fd);
  return result;
}

constexpr ReadRoute kRoutes[] = {ReadRoute::Fast, ReadRoute::FastAvx2, ReadRoute::FastPortable,
                                 ReadRoute::ExactOnly};

// The first record the plain reader finds with `key` as its matricula.
std::optional<testing::ReferenceRecord> referenceMatch(const std::string& file,
                                                       const std::string& key) {
  for (const auto& record : ReferenceReader(file).records()) {
    if (record.fields[0] == key) {
      return record;
    }
  }
  return std::nullopt;
}

// The plain reader and every route of the reader, at any read size, read each row as pinned.
TEST(RecordReader, IrregularLinesReadAsPinned) {
  for (const ReadRow& row : kReadRows) {
    const auto reference = referenceMatch(row.file, row.key);
    ASSERT_EQ(reference.has_value(), row.found.has_value()) << row.behaviour;
    // Both present or both absent, as asserted; asked of both, clang-tidy sees the access checked.
    if (reference && row.found) {
      EXPECT_EQ(reference->fields, *row.found) << row.behaviour;
    }
    for (const std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{4096}}) {
      for (const ReadRoute route : kRoutes) {
        const LookupResult result = lookUp(row.file, row.key, route, block);
        EXPECT_EQ(result.error, 0) << row.behaviour;
        ASSERT_EQ(result.found.has_value(), row.found.has_value())
            << row.behaviour << ", block " << block << ", route " << static_cast<int>(route);
        if (result.found && reference) {
          EXPECT_EQ(result.found->fields, row.found) << row.behaviour;
          EXPECT_EQ(result.found->end, reference->end) << row.behaviour;
        }
      }
    }
  }
}

// Text made mostly of the bytes the reader stops at, in runs of records that look right
// and bytes that do not, so that keys occur inside other fields, across lines and across reads.
std::string irregularFile(std::mt19937& random) {
  static constexpr std::string_view kBytes = "\"\",,\r\n\r\n  \tab2-1ab";
  std::string file;
  const int pieces = std::uniform_int_distribution<int>(0, 30)(random);
  for (int piece = 0; piece < pieces; ++piece) {
    if (random() % 3 == 0) {
      for (int field = 0; field < 5; ++field) {
        file += '"';
        // Now and then longer than the reader's 16-byte strides.
        const auto longest = random() % 4 == 0 ? 40U : 4U;
        for (auto length = random() % longest; length > 0; --length) {
          file += "ab2-1"[random() % 5];
        }
        file += "\"\r\n";
      }
    } else {
      for (int length = static_cast<int>(random() % 8); length > 0; --length) {
        file += kBytes[random() % kBytes.size()];
      }
    }
  }
  return file;
}

std::string keyFor(std::mt19937& random, const std::vector<testing::ReferenceRecord>& records) {
  if (!records.empty() && random() % 2 == 0) {
    const auto& record = records[random() % records.size()];
    return record.fields[random() % 5];
  }
  std::string key;
  for (int length = static_cast<int>(random() % 4); length > 0; --length) {
    key += "ab2-1\" "[random() % 7];
  }
  return key;
}

// Every route of the reader and the reference reader give one answer, at any read size: the same
// record, the handle at the same place.
TEST(RecordReader, EveryRouteAgreesWithTheReferenceReader) {
  std::mt19937 random(20261207);
  int found = 0;
  for (int round = 0; round < 1500; ++round) {
    const std::string file = irregularFile(random);
    const std::string key = keyFor(random, ReferenceReader(file).records());
    const auto expected = referenceMatch(file, key);
    found += expected ? 1 : 0;
    const std::size_t block = random() % 2 == 0 ? 1 + random() % 9 : 17 + random() % 80;
    for (const ReadRoute route : kRoutes) {
      const LookupResult result = lookUp(file, key, route, block);
      ASSERT_EQ(result.found.has_value(), expected.has_value())
          << ::testing::PrintToString(file) << " key " << ::testing::PrintToString(key);
      if (expected && result.found) {
        EXPECT_EQ(result.found->fields, expected->fields);
        EXPECT_EQ(result.found->end, expected->end);
      }
    }
  }
  EXPECT_GT(found, 300) << "the rounds should find records often";
}

// Blocks read ahead on a second thread, and what happens to the file between two reads. Its first
// block ends with the last byte of a record whose matricula is kBlockKey; a record whose matricula
// is kTailKey comes blocks later.
struct ReadAheadRow {
  const char* behaviour;
  std::string key;
  std::function<void(const std::string& path, testing::FaultyFileSystem& disk)> beforeSecondRead;
  int error;  // what the lookup reports
  std::optional<Fields> found;
  std::uint64_t end = 0;  // where a found record ends; 0: at the end of the file as it was
};

const std::string kBlockKey = "2019-00002";
const std::string kTailKey = "2019-00009";
constexpr std::size_t kAheadBlock = 512;
const std::string kBlockOpening = "\"" + kBlockKey + "\"\r\n\"";
const std::string kBlockClosing = "\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n";
// Long enough that the record's first line starts more than a chunk and its lookahead before the
// block's end.
const std::string kBlockName(kAheadBlock - kPadding.size() - kBlockOpening.size() -
                                 kBlockClosing.size(),
                             'n');

std::string fileOfBlocks() {
  std::string file = kPadding + kBlockOpening + kBlockName + kBlockClosing;
  for (int record = 0; record < 12; ++record) {
    file += kRecord;
  }
  return file + "\"" + kTailKey + "\"\r\n\"t\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + kPadding;
}

void resizeTo(const std::string& path, std::uintmax_t size) {
  std::filesystem::resize_file(path, size);
}

const Fields kBlockRecord{kBlockKey, kBlockName, "c", "d", "e"};
const Fields kTailRecord{kTailKey, "t", "", "", ""};
const std::string kAppended = "\"2031-1\"\r\n\"late\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n";

const ReadAheadRow kReadAheadRows[] = {
    {"match in a block's last bytes, the next block's read failing", kBlockKey,
     [](const std::string&, testing::FaultyFileSystem& disk) {
       disk.fail(testing::Call::Read, 2, EIO);
     },
     0, kBlockRecord, kAheadBlock},
    {"match blocks after a read that fails", kTailKey,
     [](const std::string&, testing::FaultyFileSystem& disk) {
       disk.fail(testing::Call::Read, 2, EIO);
     },
     EIO, std::nullopt},
    {"file cut at the end of the first block", kTailKey,
     [](const std::string& path, testing::FaultyFileSystem&) { resizeTo(path, kAheadBlock); }, 0,
     std::nullopt},
    {"file cut inside a record after the first block", kTailKey,
     [](const std::string& path, testing::FaultyFileSystem&) { resizeTo(path, kAheadBlock + 40); },
     0, std::nullopt},
    {"file cut below what the first read took", kBlockKey,
     [](const std::string& path, testing::FaultyFileSystem&) { resizeTo(path, 100); }, 0,
     kBlockRecord, kAheadBlock},
    {"record appended while the file is read", "2031-1",
     [](const std::string& path, testing::FaultyFileSystem&) {
       std::ofstream(path, std::ios::binary | std::ios::app) << kAppended;
     },
     0, Fields{"2031-1", "late", "", "", ""}},
};

// Whatever the route, with or without a helper reading ahead, a lookup reads the blocks in order
// and stops at the first match: failures and changes past the block that holds the match are never
// seen, and the handle stands just past the record.
TEST(RecordReader, ReadingAheadFindsWhatReadingInTurnFinds) {
  const std::string file = fileOfBlocks();
  ASSERT_GT(kBlockName.size(), std::size_t{64 + 64} + kBlockKey.size());
  const TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  for (const ReadAheadRow& row : kReadAheadRows) {
    for (const ReadThreads threads : {ReadThreads::One, ReadThreads::Two}) {
      for (const ReadRoute route : kRoutes) {
        const std::string context = std::string(row.behaviour) + ", " +
                                    (threads == ReadThreads::One ? "one thread" : "two threads") +
                                    ", route " + std::to_string(static_cast<int>(route));
        writeBytes(path, file);
        testing::FaultyFileSystem disk;
        int reads = 0;
        disk.onCall = [&](testing::Call call) {
          if (call == testing::Call::Read && ++reads == 2) {
            row.beforeSecondRead(path, disk);
          }
        };
        const int fd = disk.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        errno = 0;  // a failure reported comes from this lookup, not from an earlier one
        const LookupResult result =
            findFirstRecord(disk, fd, row.key, {route, kAheadBlock, threads});
        EXPECT_EQ(result.error, row.error) << context;
        ASSERT_EQ(result.found.has_value(), row.found.has_value()) << context;
        if (result.found && row.found) {
          const std::uint64_t end = row.end != 0 ? row.end : file.size() + kAppended.size();
          EXPECT_EQ(result.found->fields, row.found) << context;
          EXPECT_EQ(result.found->end, end) << context;
          EXPECT_EQ(positionOf(fd), static_cast<long long>(end)) << context;
        }
        if (row.end != kAheadBlock) {
          EXPECT_GE(reads, 2) << "the change came before the lookup ended: " << context;
        }
        disk.close(fd);
      }
    }
  }
}

struct TailRow {
  const char* behaviour;
  std::string file;
  std::string completion;
};

// Where a torn file's data stops, and what a save writes first so that its record starts in step.
const TailRow kTailRows[] = {
    {"empty file", "", ""},
    {"whole record", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n", ""},
    {"one line of a record", "\"a\"\r\n", "\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"four lines of a record", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n", "\"\"\r\n"},
    {"opening quote only", "\"", "\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"line cut inside its text", "\"a\"\r\n\"Lu", "\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"closing quote without line end", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"", "\r\n"},
    {"closing quote and blanks", "\"a\"\r\n\"b\" ", "\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"cut between CR and LF", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r", "\n"},
    {"unquoted field cut", "\"a\"\r\nLu", "\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"comma awaiting a field", "\"a\",", "\"\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n"},
    {"blanks after a whole record", "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n  ", ""},
};

// checkTail, each route after well-formed records read 64 bytes at a time, and a real save, which
// completes a torn record with what survived and empty fields and leaves earlier bytes alone.
TEST(RecordTail, CompletesATornRecordSoThatTheNextOneStartsInStep) {
  TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  const StudentRecord next{u"N-2", u"Luis", u"", u"", u"x"};
  for (const TailRow& row : kTailRows) {
    for (const std::string& before : {std::string(), kPadding}) {
      const std::string file = before + row.file;
      writeBytes(path, file);
      FileSystem& disk = systemFileSystem();
      const int fd = disk.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
      ASSERT_GE(fd, 0);
      std::vector<RecordTail> tails = {checkTail(disk, fd, 0)};
      for (const ReadRoute route : kRoutes) {
        tails.push_back(readTail(disk, fd, 0, {route, 7}));
      }
      tails.push_back(readTail(disk, fd, before.size()));
      disk.close(fd);
      for (const RecordTail& tail : tails) {
        EXPECT_EQ(tail.error, 0) << row.behaviour;
        EXPECT_EQ(tail.end, file.size()) << row.behaviour;
        EXPECT_EQ(tail.completion, row.completion) << row.behaviour << " after " << before.size();
      }
      // A real save writes the completion first; its record then reads back in step, and the next
      // save needs no completion.
      RecordFile recordFile(path);
      const SaveOutcome saved = recordFile.AppendRecord(next);
      EXPECT_EQ(saved.repair,
                row.completion.empty() ? TailRepair::None : TailRepair::CompletedTornRecord)
          << row.behaviour;
      const std::string bytes = readBytes(path);
      EXPECT_EQ(bytes, file + row.completion + testing::recordBytes(next)) << row.behaviour;
      const auto records = ReferenceReader(bytes).records();
      ASSERT_FALSE(records.empty()) << row.behaviour;
      EXPECT_EQ(testing::recordFrom(records.back().fields), next) << row.behaviour;
      EXPECT_EQ(records.back().end, bytes.size()) << row.behaviour;
      EXPECT_EQ(recordFile.AppendRecord(next).repair, TailRepair::None) << row.behaviour;
      EXPECT_EQ(readBytes(path), bytes + testing::recordBytes(next)) << row.behaviour;
    }
  }
}

}  // namespace
}  // namespace records
