#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FileSystem.h"
#include "RecordOutcome.h"
#include "RecordTail.h"

namespace records {

struct AppendResult {
  int error = 0;  // 0 when the record is on disk and synced; otherwise the errno
  TailRepair repair = TailRepair::None;
};

// Appends encoded records to the record file so that neither a failure nor a crash nor another
// copy of the program writing at the same time can tear a record or put later records out of step.
//
// Each append opens the file, refuses anything but a regular file before a byte is written, takes
// the file's exclusive lock (waiting a bounded time), asks the reader whether the file ends inside
// a record, and writes the completion of such a torn record together with the new one in a single
// write, then syncs. On any failure it cuts off exactly the bytes it wrote, still under the lock,
// so that a record another copy appended meanwhile stays. The lock ends when the file is closed.
//
// Finding the tail means reading the file once; afterwards only what was appended since the last
// save is read, as long as the file is still the same one (same identity, and the bytes this
// program wrote still standing where it wrote them).
class RecordAppender {
 public:
  RecordAppender(const std::string& fileName, FileSystem& fileSystem);

  AppendResult append(std::string_view record);

 private:
  // Where the last successful save left the file: on a record boundary, just past its bytes.
  struct LearntEnd {
    FileIdentity identity;
    std::uint64_t boundary = 0;
    std::string lastBytes;  // the bytes just before `boundary`, as this program wrote them
  };

  int lockRegularFile(int fd, FileStatus& status);
  AppendResult writeDurably(int fd, const std::string& bytes, const RecordTail& tail,
                            const FileStatus& status);
  std::uint64_t knownBoundary(int fd, const FileStatus& status);
  void learn(const FileStatus& status, std::uint64_t end, std::string_view written);
  AppendResult abandon(int fd, int error, FileOffset cutAt);
  void cutBackClosedFile(FileOffset recordStart, FileOffset recordEnd);
  int syncFolder();

  const std::string& fileName_;
  FileSystem& fs_;
  std::optional<LearntEnd> learnt_;
};

}  // namespace records
