#include "RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>
#include <variant>

#include "RecordEncoder.h"
#include "RecordReader.h"
#include "Windows1252.h"

namespace records {
namespace {

// O_NONBLOCK keeps a FIFO named like the record file from blocking the program in open().
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

}  // namespace

RecordFile::RecordFile(std::string fileName, FileSystem& fileSystem)
    : fileName_(std::move(fileName)), fs_(fileSystem) {}

RecordFile::~RecordFile() {
  CloseRecordFile();
}

RecordFile& RecordFile::shared() {
  static RecordFile instance;
  return instance;
}

void RecordFile::CloseRecordFile() {
  if (fd_ >= 0) {
    // Only a reading handle can be open here (a save closes its own), so a failing close loses
    // nothing.
    fs_.close(fd_);
  }
  fd_ = -1;
}

SaveOutcome RecordFile::AppendRecord(const StudentRecord& record) {
  CloseRecordFile();
  const std::variant<std::string, RecordField> encoded = encodeRecord(record);
  if (const auto* refused = std::get_if<RecordField>(&encoded)) {
    return {SaveStatus::FieldNotStorable, *refused, 0};
  }
  const AppendResult appended = appender_.append(std::get<std::string>(encoded));
  if (appended.error != 0) {
    return {SaveStatus::WriteFailed, RecordField::Matricula, appended.error};
  }
  return {SaveStatus::Saved, RecordField::Matricula, 0, appended.repair};
}

FindOutcome RecordFile::FindRecord(std::u16string_view matricula) {
  CloseRecordFile();
  const int fd = fs_.open(fileName_.c_str(), kReadFlags, 0);
  if (fd < 0) {
    const int error = errno;
    // No file yet is the same as an empty one: no record.
    return error == ENOENT ? FindOutcome{} : FindOutcome{FindStatus::ReadFailed, error, {}};
  }
  fd_ = fd;
  struct stat status = {};
  if (fs_.fstat(fd, &status) != 0) {
    return abandonLookup(errno);
  }
  if (!S_ISREG(status.st_mode)) {
    // A folder cannot be read, and a device or FIFO might never end.
    return abandonLookup(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);
  }

  const LookupResult result = findFirstRecord(fs_, fd, encodeWindows1252(matricula));
  if (!result.found) {
    CloseRecordFile();
    return result.error == 0 ? FindOutcome{}
                             : FindOutcome{FindStatus::ReadFailed, result.error, {}};
  }
  const auto& fields = result.found->fields;
  return {FindStatus::Found,
          0,
          {decodeWindows1252(fields[0]), decodeWindows1252(fields[1]), decodeWindows1252(fields[2]),
           decodeWindows1252(fields[3]), decodeWindows1252(fields[4])}};
}

FindOutcome RecordFile::abandonLookup(int error) {
  CloseRecordFile();
  return {FindStatus::ReadFailed, error, {}};
}

}  // namespace records
