#pragma once

#include <cstdint>
#include <string>

#include "FileSystem.h"

namespace records {

// Where the data of the record file ends, by the reader's rules: on a record boundary, or inside a
// record that a crash, a full disk or an editor left torn.
struct RecordTail {
  int error = 0;           // errno when the file could not be read; then nothing else is known
  std::uint64_t end = 0;   // the offset where the reading stopped: the file's size as read
  std::string completion;  // bytes that, appended, end a line cut short and fill the torn record up
                           // to its fifth field with empty fields; empty on a record boundary
};

// Reads the file open on `fd` from offset `from` to its end. `from` must be a record boundary: 0,
// or an `end` whose check found an empty completion.
RecordTail checkTail(FileSystem& fileSystem, int fd, std::uint64_t from);

}  // namespace records
