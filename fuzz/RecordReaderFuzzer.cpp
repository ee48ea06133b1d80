// Drives the record file's reader and writer through an in-memory disk. The first input byte
// picks one of three checks:
// - any bytes as "archivo.txt" and any key: every route of the reader (the well-formed fast way
//   with either classifier, and the exact parser alone), at any block size, finds exactly the
//   record a plain reference reader finds first (same fields, same position after it), and tells
//   where the data stops exactly as the exact parser does; a lookup through the record file
//   reports no read failure on a healthy disk and leaves a descriptor open only while a found
//   record's handle stays open;
// - the same on records as the program writes them, with stray hand edits here and there, so that
//   long well-formed stretches meet lines that are not, and the key is often a stored field;
// - records built from the input and saved one by one: a record is refused exactly when a field
//   holds a character the file cannot store, the file holds exactly the saved records' bytes, and
//   a lookup of every saved matricula gives back the first record saved with it.

#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "MemoryFileSystem.h"
#include "RecordFile.h"
#include "RecordParser.h"
#include "RecordReader.h"
#include "ReferenceReader.h"
#include "Windows1252.h"

namespace {

using fuzzing::MemoryFileSystem;
using fuzzing::require;
using records::FindStatus;
using records::ReadRoute;
using records::StudentRecord;

constexpr const char* kFileName = "archivo.txt";

StudentRecord decodeRecord(const std::array<std::string, 5>& fields) {
  return {records::decodeWindows1252(fields[0]), records::decodeWindows1252(fields[1]),
          records::decodeWindows1252(fields[2]), records::decodeWindows1252(fields[3]),
          records::decodeWindows1252(fields[4])};
}

constexpr ReadRoute kRoutes[] = {ReadRoute::Fast, ReadRoute::FastAvx2, ReadRoute::FastPortable,
                                 ReadRoute::ExactOnly};

// What completes the record the data ends in, by the exact parser.
std::string exactCompletion(const std::string& file) {
  records::RecordParser parser("\n");
  parser.feed(file);
  return parser.completion();
}

void checkReader(const std::string& file, const std::string& key, std::size_t blockSize) {
  std::optional<records::testing::ReferenceRecord> expected;
  for (const auto& record : records::testing::ReferenceReader(file).records()) {
    if (record.fields[0] == key) {
      expected = record;
      break;
    }
  }
  const std::string completion = exactCompletion(file);
  for (const ReadRoute route : kRoutes) {
    for (const std::size_t size : {blockSize, std::size_t{4096}}) {
      MemoryFileSystem disk(kFileName);
      disk.setFile(file);
      const int fd = disk.open(kFileName, O_RDONLY, 0);
      const records::LookupResult result = records::findFirstRecord(disk, fd, key, {route, size});
      require(result.error == 0, "a healthy disk reads without failure");
      require(result.found.has_value() == expected.has_value(),
              "every route finds a record exactly when the reference reader does");
      if (expected) {
        require(result.found->fields == expected->fields, "the record found is the first one");
        require(result.found->end == expected->end &&
                    disk.position(fd) == static_cast<records::FileOffset>(expected->end),
                "the handle stands just past the record found");
      }
      const records::RecordTail tail = records::readTail(disk, fd, 0, {route, size});
      require(tail.error == 0 && tail.end == file.size() && tail.completion == completion,
              "every route tells where the data stops as the exact parser does");
      disk.close(fd);
    }
  }

  MemoryFileSystem disk(kFileName);
  disk.setFile(file);
  records::RecordFile recordFile(kFileName, disk);
  const records::FindOutcome found = recordFile.FindRecord(records::decodeWindows1252(key));
  require(found.status != FindStatus::ReadFailed, "a healthy disk reads without failure");
  require((found.status == FindStatus::Found) == expected.has_value(),
          "the record file finds a record exactly when the reference reader does");
  if (expected) {
    require(found.record == decodeRecord(expected->fields), "the record returned is the first one");
  }
  require(disk.openDescriptors() == (expected ? 1U : 0U), "only a found record's handle is open");
  recordFile.CloseRecordFile();
  require(disk.openDescriptors() == 0, "closing releases every descriptor");
  require(disk.fileBytes() == file, "a lookup never changes the file");
}

void lookUpInAnyBytes(FuzzedDataProvider& input) {
  const auto blockSize = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  // Keys past 64 bytes reach beyond the chunk after a line's start, where the probes stop.
  const std::string key = input.ConsumeRandomLengthString(100);
  checkReader(input.ConsumeRemainingBytesAsString(), key, blockSize);
}

// Records as the program writes them, from field texts without quotes or line ends, with now and
// then a stray edit: bytes a hand edit leaves (a comma between quoted fields, a missing quote, a
// blank, a lone CR or LF) put in place of one of the writer's own.
void lookUpInEditedRecords(FuzzedDataProvider& input) {
  static constexpr std::string_view kEdits[] = {",", "\"", "", " ", "\r", "\n", "\",\"", "x"};
  const auto blockSize = input.ConsumeIntegralInRange<std::size_t>(1, 200);
  const auto records = input.ConsumeIntegralInRange<int>(0, 60);
  std::vector<std::string> fields;
  std::string file;
  for (int record = 0; record < records && input.remaining_bytes() > 0; ++record) {
    for (int field = 0; field < 5; ++field) {
      // Now and then a field longer than a chunk.
      std::string text =
          input.ConsumeRandomLengthString(input.ConsumeIntegralInRange(0, 7) == 0 ? 100 : 12);
      for (char& byte : text) {
        if (byte == '"' || byte == '\r' || byte == '\n') {
          byte = '-';
        }
      }
      fields.push_back(text);
      file += '"' + text + "\"\r\n";
      if (input.ConsumeIntegralInRange(0, 15) == 0) {
        // Replaces one byte of the line just written.
        const auto at =
            file.size() - 1 - input.ConsumeIntegralInRange<std::size_t>(0, text.size() + 3);
        file.replace(at, 1,
                     kEdits[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kEdits) - 1)]);
      }
    }
  }
  if (input.ConsumeBool() && !file.empty()) {
    file.resize(file.size() - input.ConsumeIntegralInRange<std::size_t>(
                                  0, std::min<std::size_t>(file.size(), 30)));
  }
  std::string key = input.ConsumeRandomLengthString(12);
  if (!fields.empty() && input.ConsumeBool()) {
    key = fields[input.ConsumeIntegralInRange<std::size_t>(0, fields.size() - 1)];
  }
  checkReader(file, key, blockSize);
}

// A record built from the input: five fields of Windows-1252 bytes, and now and then one 16-bit
// unit added to a field, which may lie outside the code page.
struct Candidate {
  StudentRecord record;
  std::array<std::string, 5> bytes;  // each field's bytes when storable
  std::optional<std::size_t> firstUnstorable;
};

// The byte of each unit the code page holds, found by decoding every byte once.
std::optional<char> byteOf(char16_t unit) {
  static const std::u16string kDecoded = [] {
    std::string all(256, '\0');
    for (std::size_t byte = 0; byte < all.size(); ++byte) {
      all[byte] = static_cast<char>(byte);
    }
    return records::decodeWindows1252(all);
  }();
  const std::size_t at = kDecoded.find(unit);
  return at == std::u16string::npos ? std::nullopt : std::optional<char>(static_cast<char>(at));
}

Candidate nextCandidate(FuzzedDataProvider& input) {
  Candidate candidate;
  std::array<std::u16string*, 5> texts = {&candidate.record.matricula, &candidate.record.nombre,
                                          &candidate.record.direccion, &candidate.record.telefono,
                                          &candidate.record.status};
  for (std::size_t field = 0; field < texts.size(); ++field) {
    candidate.bytes[field] = input.ConsumeRandomLengthString(24);
    *texts[field] = records::decodeWindows1252(candidate.bytes[field]);
  }
  std::array<bool, 5> storable{};
  for (std::size_t field = 0; field < texts.size(); ++field) {
    storable[field] = candidate.bytes[field].find_first_of("\"\r\n") == std::string::npos;
  }
  if (input.ConsumeIntegralInRange(0, 3) == 0) {
    const auto field = input.ConsumeIntegralInRange<std::size_t>(0, 4);
    const auto unit = input.ConsumeIntegral<char16_t>();
    texts[field]->push_back(unit);
    const std::optional<char> byte = byteOf(unit);
    if (byte) {
      candidate.bytes[field] += *byte;
    }
    storable[field] = storable[field] && byte && *byte != '"' && *byte != '\r' && *byte != '\n';
  }
  for (std::size_t field = 0; field < storable.size(); ++field) {
    if (!storable[field]) {
      candidate.firstUnstorable = field;
      break;
    }
  }
  return candidate;
}

void saveAndReadBack(FuzzedDataProvider& input) {
  constexpr std::size_t kMostRecords = 24;
  MemoryFileSystem disk(kFileName);
  records::RecordFile recordFile(kFileName, disk);
  std::vector<StudentRecord> saved;
  std::string expectedFile;
  while (input.remaining_bytes() > 0 && saved.size() < kMostRecords) {
    const Candidate candidate = nextCandidate(input);
    const records::SaveOutcome outcome = recordFile.AppendRecord(candidate.record);
    if (candidate.firstUnstorable) {
      require(outcome.status == records::SaveStatus::FieldNotStorable &&
                  static_cast<std::size_t>(outcome.field) == *candidate.firstUnstorable,
              "a record is refused at its first field that cannot be stored");
    } else {
      require(outcome.status == records::SaveStatus::Saved, "a storable record is saved");
      saved.push_back(candidate.record);
      for (const std::string& field : candidate.bytes) {
        expectedFile += '"' + field + "\"\r\n";
      }
    }
    require(disk.fileBytes() == expectedFile, "the file holds exactly the saved records");
    require(disk.openDescriptors() == 0, "a save leaves the handle closed");
  }
  for (const StudentRecord& wanted : saved) {
    const records::FindOutcome found = recordFile.FindRecord(wanted.matricula);
    require(found.status == FindStatus::Found, "every saved matricula is found");
    const StudentRecord* first = &wanted;
    for (const StudentRecord& record : saved) {
      if (record.matricula == wanted.matricula) {
        first = &record;
        break;
      }
    }
    require(found.record == *first,
            "a lookup gives back the first record saved with the matricula");
  }
  recordFile.CloseRecordFile();
  require(disk.openDescriptors() == 0, "closing releases every descriptor");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  FuzzedDataProvider input(data + 1, size - 1);
  switch (data[0] % 4) {
    case 1:
      saveAndReadBack(input);
      break;
    case 3:
      lookUpInEditedRecords(input);
      break;
    default:
      lookUpInAnyBytes(input);
      break;
  }
  return 0;
}
