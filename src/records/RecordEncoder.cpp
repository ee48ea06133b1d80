#include "RecordEncoder.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "Windows1252.h"

namespace records {

std::variant<std::string, RecordField> encodeRecord(const StudentRecord& record) {
  const std::array<std::pair<RecordField, const std::u16string*>, 5> fields = {{
      {RecordField::Matricula, &record.matricula},
      {RecordField::Nombre, &record.nombre},
      {RecordField::Direccion, &record.direccion},
      {RecordField::Telefono, &record.telefono},
      {RecordField::Status, &record.status},
  }};
  std::string bytes;
  for (const auto& [field, text] : fields) {
    if (text->find_first_of(u"\"\r\n") != std::u16string::npos) {
      return field;
    }
    const std::optional<std::string> encoded = encodeWindows1252(*text);
    if (!encoded) {
      return field;
    }
    bytes += '"';
    bytes += *encoded;
    bytes += "\"\r\n";
  }
  return bytes;
}

}  // namespace records
