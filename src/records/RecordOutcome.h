#pragma once

#include "StudentRecord.h"

namespace records {

enum class SaveStatus {
  Saved,             // the record is on disk, synced, and the handle is closed
  FieldNotStorable,  // `field` holds a character the file cannot store and read back as typed
                     // (a double quote, CR, LF, or one outside Windows-1252); nothing was written
  WriteFailed,       // the file could not be opened, locked, written or synced, or is no regular
                     // file (`error` is the errno); the bytes this save wrote were cut off again,
                     // so no partial record remains
};

enum class TailRepair {
  None,                 // the file ended on a record boundary
  CompletedTornRecord,  // it ended inside a record, which the save completed with empty fields
};

struct SaveOutcome {
  SaveStatus status = SaveStatus::Saved;
  RecordField field = RecordField::Matricula;  // with FieldNotStorable
  int error = 0;                               // with WriteFailed
  TailRepair repair = TailRepair::None;        // with Saved: whether a torn record was completed
};

enum class FindStatus {
  Found,       // `record` is the first record with the matricula; the handle is left open
  NotFound,    // no such record, or no "archivo.txt" at all; the handle is closed
  ReadFailed,  // the file exists but cannot be read (`error` is the errno); the handle is closed
};

struct FindOutcome {
  FindStatus status = FindStatus::NotFound;
  int error = 0;         // with ReadFailed
  StudentRecord record;  // with Found
};

}  // namespace records
