#pragma once

#include <string>
#include <string_view>

#include "FileSystem.h"
#include "RecordOutcome.h"
#include "StudentRecord.h"

namespace records {

// The one program-wide owner of the shared handle on the record file. Every operation first closes
// the handle; a save opens it for appending and closes it again; a lookup that finds its record
// leaves it open for reading, positioned just past that record, until the next operation. The
// file name is resolved against the current working directory at each open.
//
// A save is all or nothing: the record is checked and encoded before anything is opened, goes to
// the file in one write (so two programs appending at once never interleave lines), and is synced
// before success is reported; any failure cuts off again exactly the bytes this save wrote, so a
// record that another copy of the program appended meanwhile stays.
class RecordFile {
 public:
  static constexpr std::string_view kDefaultFileName = "archivo.txt";

  explicit RecordFile(std::string fileName = std::string(kDefaultFileName),
                      FileSystem& fileSystem = posixFileSystem());
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
  SaveOutcome abandonSave(int error, off_t recordStart);
  int syncFolder();
  void cutBackClosedFile(off_t recordStart);
  FindOutcome abandonLookup(int error);

  std::string fileName_;
  FileSystem& fs_;
  int fd_ = -1;  // the shared handle: open for appending during a save, for reading after a match
};

}  // namespace records
