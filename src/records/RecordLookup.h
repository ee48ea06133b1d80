#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "FileSystem.h"
#include "LookupTuning.h"
#include "RecordFile.h"

namespace records {

struct LookupResult {
  FindStatus status = FindStatus::NotFound;
  int error = 0;                      // with ReadFailed
  std::array<std::string, 5> fields;  // with Found: the record's bytes, field by field
};

// Looks the first record whose matricula's bytes are `key` up in the file open for reading on
// `fd`, from the file's first byte. With a match, `fd` is left positioned just past the record.
// A key that has no bytes (a text the code page cannot hold) matches nothing; the file is still
// read to its end, so that a read error is reported as it would be for any other key.
LookupResult lookUpRecord(FileSystem& fileSystem, int fd, const std::optional<std::string>& key,
                          const LookupTuning& tuning);

}  // namespace records
