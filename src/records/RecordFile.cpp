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

// O_NONBLOCK keeps a FIFO named like the record file from blocking the program in open(); it
// changes nothing for a regular file.
constexpr int kAppendFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

// A failed save's cut point when no byte of it reached the file.
constexpr off_t kNothingWritten = -1;

std::string folderOf(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : fileName.substr(0, slash);
}

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
  const auto& bytes = std::get<std::string>(encoded);

  const int fd = fs_.open(fileName_.c_str(), kAppendFlags, 0666);
  if (fd < 0) {
    return {SaveStatus::WriteFailed, RecordField::Matricula, errno};
  }
  fd_ = fd;
  struct stat status {};
  if (fs_.fstat(fd, &status) != 0) {
    return abandonSave(errno, kNothingWritten);
  }
  const off_t previousSize = status.st_size;

  const ssize_t written = fs_.write(fd, bytes.data(), bytes.size());
  if (written < 0) {
    // A failed write wrote nothing, so there is nothing to take back.
    return abandonSave(errno, kNothingWritten);
  }
  // The record begins where the append put it, not where the file ended before: another copy of
  // the program may have appended in between, and a cut must leave that record alone.
  const off_t end = fs_.lseek(fd, 0, SEEK_CUR);
  if (end < 0) {
    return abandonSave(errno, previousSize);  // the best guess without the offset
  }
  const off_t recordStart = end - written;
  if (static_cast<std::size_t>(written) != bytes.size()) {
    // A short write leaves no errno; writing the rest tells why (usually a full disk). The record
    // is cut back either way: only one whole write keeps concurrent appends apart.
    const auto rest = static_cast<std::size_t>(written);
    const bool restFailed = fs_.write(fd, bytes.data() + rest, bytes.size() - rest) < 0;
    return abandonSave(restFailed ? errno : EIO, recordStart);
  }
  if (fs_.fsync(fd) != 0) {
    return abandonSave(errno, recordStart);
  }
  if (previousSize == 0) {
    // The file may have just been created: its name must be durable too.
    if (const int error = syncFolder(); error != 0) {
      return abandonSave(error, recordStart);
    }
  }
  fd_ = -1;
  if (fs_.close(fd) != 0) {
    const int error = errno;
    cutBackClosedFile(recordStart);
    return {SaveStatus::WriteFailed, RecordField::Matricula, error};
  }
  return {};
}

// Cuts the file back to `recordStart`, where this save's bytes begin (unless nothing was written),
// closes it and reports the failure.
SaveOutcome RecordFile::abandonSave(int error, off_t recordStart) {
  if (recordStart != kNothingWritten) {
    fs_.ftruncate(fd_, recordStart);
  }
  fs_.close(fd_);
  fd_ = -1;
  return {SaveStatus::WriteFailed, RecordField::Matricula, error};
}

// After a failing close the descriptor is gone; the file is opened again to cut the record off.
void RecordFile::cutBackClosedFile(off_t recordStart) {
  const int fd = fs_.open(fileName_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK, 0);
  if (fd >= 0) {
    fs_.ftruncate(fd, recordStart);
    fs_.close(fd);
  }
}

// Returns 0 or the errno. A file system that cannot sync folders (EINVAL) has nothing to sync.
int RecordFile::syncFolder() {
  const int fd = fs_.open(folderOf(fileName_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) {
    return errno;
  }
  int error = 0;
  if (fs_.fsync(fd) != 0 && errno != EINVAL) {
    error = errno;
  }
  fs_.close(fd);
  return error;
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
  struct stat status {};
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
