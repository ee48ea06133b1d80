#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"
#include "LookupTuning.h"
#include "RecordAppender.h"
#include "StudentRecord.h"

namespace records {

enum class HandleState { Closed, OpenForAppending, OpenForReading };

enum class SaveStatus {
  Saved,             // the record is on disk, synced, and the handle is closed
  FieldNotStorable,  // `field` holds a character the file cannot store and read back as typed
                     // (a double quote, CR, LF, or one outside Windows-1252); nothing was written
  WriteFailed,       // the file could not be opened, locked, written or synced, or is no regular
                     // file (`error` is the errno); the bytes this save wrote were cut off again,
                     // so no partial record remains
};

struct SaveOutcome {
  SaveStatus status = SaveStatus::Saved;
  RecordField field = RecordField::Matricula;  // with FieldNotStorable
  int error = 0;                               // with WriteFailed
  TailRepair repair = TailRepair::None;        // with Saved: whether a torn record was completed
};

enum class FindStatus {
  Found,     // the first record with the matricula stands in the caller's record; handle left open
  NotFound,  // no such record, or no "archivo.txt" at all; handle closed
  ReadFailed,  // the file exists but cannot be read (`error` is the errno); handle closed
};

struct FindOutcome {
  FindStatus status = FindStatus::NotFound;
  int error = 0;
};

// The one program-wide owner of the shared handle on the record file. Every operation first closes
// the handle; a save opens it for appending and closes it again; a lookup that finds its record
// leaves it open for reading, positioned just past that record, until the next operation. The
// file name is resolved against the current working directory at each open.
//
// A save is all or nothing: the record is checked and encoded before anything is opened, then
// appended as RecordAppender tells: under the file's lock, after completing a torn last record, in
// one write, synced before success is reported; any failure cuts off again exactly the bytes this
// save wrote.
class RecordFile {
 public:
  static constexpr std::string_view kDefaultFileName = "archivo.txt";

  explicit RecordFile(std::string fileName = std::string(kDefaultFileName),
                      FileSystem& fileSystem = posixFileSystem(), LookupTuning tuning = {});
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // The instance the screens share.
  static RecordFile& shared();

  SaveOutcome AppendRecord(const StudentRecord& record);

  // Reads records from the start of the file until one's matricula equals `matricula` exactly
  // (same length, same characters; no trimming or case folding) and puts that record in
  // `lastRead`. Records passed over are not turned into text, so after a miss `lastRead` keeps
  // what it held; nothing reads it then.
  FindOutcome FindRecord(std::u16string_view matricula, StudentRecord& lastRead);

  void CloseRecordFile();

  HandleState handleState() const { return state_; }
  int descriptor() const { return fd_; }  // -1 when closed

 private:
  FindOutcome abandonLookup(int error);

  std::string fileName_;
  FileSystem& fs_;
  LookupTuning tuning_;
  HandleState state_ = HandleState::Closed;
  int fd_ = -1;
  RecordAppender appender_{fileName_, fs_};
};

}  // namespace records
