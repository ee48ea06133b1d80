#pragma once

#include <string>
#include <variant>

#include "StudentRecord.h"

namespace records {

// Turns a student record into the exact bytes of its five lines in the record file: for each
// field, a double quote, its Windows-1252 text, a double quote, CR LF. A field that would not read
// back as typed (one holding a double quote, a CR, a LF, or a character outside the code page) is
// refused: the result is then the first such field in record order.
std::variant<std::string, RecordField> encodeRecord(const StudentRecord& record);

}  // namespace records
