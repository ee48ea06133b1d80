#pragma once

#include <string>

namespace records {

// The five fields of a student record, in the order in which the record file stores them. Every
// field is free text as typed; an empty field is valid.
struct StudentRecord {
  std::u16string matricula;
  std::u16string nombre;
  std::u16string direccion;
  std::u16string telefono;
  std::u16string status;

  friend bool operator==(const StudentRecord&, const StudentRecord&) = default;
};

enum class RecordField { Matricula, Nombre, Direccion, Telefono, Status };

}  // namespace records
