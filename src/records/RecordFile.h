#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"
#include "RecordAppender.h"
#include "RecordOutcome.h"
#include "StudentRecord.h"

namespace records {

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
                      FileSystem& fileSystem = systemFileSystem());
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // The instance the screens share.
  static RecordFile& shared();

  SaveOutcome AppendRecord(const StudentRecord& record);

  // Reads records from the start of the file until one's matricula equals `matricula` exactly
  // (same length, same characters; no trimming or case folding) and returns that record.
  FindOutcome FindRecord(std::u16string_view matricula);

  void CloseRecordFile();

 private:
  FindOutcome abandonLookup(int error);

  std::string fileName_;
  FileSystem& fs_;
  int fd_ = -1;  // open for reading after a match; a save opens and closes its own
  RecordAppender appender_{fileName_, fs_};
};

}  // namespace records
