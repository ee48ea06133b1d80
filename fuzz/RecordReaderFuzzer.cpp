// Drives the record file's reader and writer through an in-memory disk. The first input byte
// picks one of two checks:
// - any bytes as "archivo.txt" and any key: the lookup ends, reports no read failure on a healthy
//   disk, finds exactly the record a plain reference reader finds first (same fields, same
//   position after it), whatever the route and block size, and leaves a descriptor open only
//   while a found record's handle stays open; the byte search agrees with the standard library's;
// - records built from the input and saved one by one: a record is refused exactly when a field
//   holds a character the file cannot store, the file holds exactly the saved records' bytes, and
//   a lookup of every saved matricula gives back the first record saved with it.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteSearch.h"
#include "FuzzCheck.h"
#include "MemoryFileSystem.h"
#include "RecordFile.h"
#include "ReferenceReader.h"
#include "Windows1252.h"

namespace {

using fuzzing::MemoryFileSystem;
using fuzzing::require;
using records::FindStatus;
using records::HandleState;
using records::StudentRecord;

constexpr const char* kFileName = "archivo.txt";

StudentRecord decodeRecord(const std::array<std::string, 5>& fields) {
  return {records::decodeWindows1252(fields[0]), records::decodeWindows1252(fields[1]),
          records::decodeWindows1252(fields[2]), records::decodeWindows1252(fields[3]),
          records::decodeWindows1252(fields[4])};
}

void checkByteSearch(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) {
    return;
  }
  const std::size_t expected = haystack.find(needle);
  for (const auto kernel : {records::SearchKernel::Fastest, records::SearchKernel::Avx2,
                            records::SearchKernel::Sse2, records::SearchKernel::Portable}) {
    require(records::findBytes(haystack, needle, kernel) == expected,
            "every byte search kernel finds the first occurrence");
  }
}

void lookUpInAnyBytes(FuzzedDataProvider& input) {
  const auto blockSize = input.ConsumeIntegralInRange<std::size_t>(1, 64);
  const std::string key = input.ConsumeRandomLengthString(32);
  const std::string file = input.ConsumeRemainingBytesAsString();
  checkByteSearch(file, key);

  std::optional<records::testing::ReferenceRecord> expected;
  for (const auto& record : records::testing::ReferenceReader(file).records()) {
    if (record.fields[0] == key) {
      expected = record;
      break;
    }
  }
  const StudentRecord untouched{u"x", u"x", u"x", u"x", u"x"};
  for (const auto route : {records::LookupRoute::ScanFirst, records::LookupRoute::ParseOnly}) {
    for (const std::size_t size : {blockSize, std::size_t{1} << 16}) {
      MemoryFileSystem disk(kFileName);
      disk.setFile(file);
      records::RecordFile recordFile(kFileName, disk, {route, size});
      StudentRecord lastRead = untouched;
      const records::FindOutcome found =
          recordFile.FindRecord(records::decodeWindows1252(key), lastRead);
      require(found.status != FindStatus::ReadFailed, "a healthy disk reads without failure");
      require((found.status == FindStatus::Found) == expected.has_value(),
              "the lookup finds a record exactly when the reference reader does");
      if (expected) {
        require(lastRead == decodeRecord(expected->fields), "the record found is the first one");
        require(recordFile.handleState() == HandleState::OpenForReading,
                "a found record leaves the handle open for reading");
        require(disk.position(recordFile.descriptor()) == static_cast<off_t>(expected->end),
                "the handle stands just past the record found");
      } else {
        require(lastRead == untouched, "a miss leaves the caller's record alone");
        require(recordFile.handleState() == HandleState::Closed, "a miss closes the handle");
      }
      require(disk.openDescriptors() == (expected ? 1U : 0U),
              "only a found record's handle is open");
      recordFile.CloseRecordFile();
      require(disk.openDescriptors() == 0, "closing releases every descriptor");
      require(disk.fileBytes() == file, "a lookup never changes the file");
    }
  }
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
  records::RecordFile recordFile(kFileName, disk, {records::LookupRoute::ScanFirst, 16});
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
    require(recordFile.handleState() == HandleState::Closed && disk.openDescriptors() == 0,
            "a save leaves the handle closed");
  }
  for (const StudentRecord& wanted : saved) {
    StudentRecord lastRead;
    const records::FindOutcome found = recordFile.FindRecord(wanted.matricula, lastRead);
    require(found.status == FindStatus::Found, "every saved matricula is found");
    const StudentRecord* first = &wanted;
    for (const StudentRecord& record : saved) {
      if (record.matricula == wanted.matricula) {
        first = &record;
        break;
      }
    }
    require(lastRead == *first, "a lookup gives back the first record saved with the matricula");
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
  if (data[0] % 2 == 0) {
    lookUpInAnyBytes(input);
  } else {
    saveAndReadBack(input);
  }
  return 0;
}
