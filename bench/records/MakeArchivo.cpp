// Writes a realistic record file of about the given size: Spanish names, addresses, phones and
// statuses, matriculas like "2019-04871", in Windows-1252, exactly as the program writes them.
// With --hand-edited-half, the records of the first half read the same but look hand-edited: every
// other one on a single line of quoted fields between commas, the others with their fields
// unquoted (but the address, which holds commas).
// usage: make_archivo [--hand-edited-half] FILE SIZE_MIB [MATRICULA_TO_LEAVE_OUT]

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Texts in Windows-1252: \xE1 a acute, \xE9 e acute, \xED i acute, \xF3 o acute, \xFA u acute,
// \xF1 n tilde, \xD1 N tilde, \xFC u diaeresis.
constexpr std::array<std::string_view, 24> kNames = {
    "Mar\xED"
    "a",
    "Jos\xE9",
    "Luis",
    "Ana",
    "Mar\xED"
    "a Jos\xE9",
    "Carmen",
    "Javier",
    "Luc\xED"
    "a",
    "Sof\xED"
    "a",
    "Ra\xFAl",
    "Andr\xE9s",
    "In\xE9s",
    "\xC1ngel",
    "Roc\xEDo",
    "Sebasti\xE1n",
    "Jes\xFAs",
    "Elena",
    "Pablo",
    "Nuria",
    "Iv\xE1n",
    "Marta",
    "Diego",
    "Luz",
    "Zuz"};
constexpr std::array<std::string_view, 24> kSurnames = {
    "Garc\xED"
    "a",
    "Mart\xEDnez",
    "L\xF3pez",
    "S\xE1nchez",
    "P\xE9rez",
    "G\xF3mez",
    "Fern\xE1ndez",
    "Rodr\xEDguez",
    "Mu\xF1oz",
    "Ib\xE1\xF1"
    "ez",
    "N\xFA\xF1"
    "ez",
    "Pe\xF1"
    "a",
    "Ord\xF3\xF1"
    "ez",
    "Ruiz",
    "D\xED"
    "az",
    "Moreno",
    "Jim\xE9nez",
    "Alonso",
    "Guti\xE9rrez",
    "Castillo",
    "Ortega",
    "Uzaro",
    "Ag\xFC"
    "ero",
    "Vega"};
constexpr std::array<std::string_view, 6> kStreetKinds = {"Calle", "Av.",    "Paseo",
                                                          "Plaza", "Camino", "Ronda"};
constexpr std::array<std::string_view, 16> kStreets = {"Mayor",
                                                       "de la Constituci\xF3n",
                                                       "del Sol",
                                                       "San Andr\xE9s",
                                                       "Real",
                                                       "de Espa\xF1"
                                                       "a",
                                                       "Col\xF3n",
                                                       "de los Olmos",
                                                       "Nueva",
                                                       "del Carmen",
                                                       "Castellana",
                                                       "Ibi\xFA",
                                                       "de Am\xE9rica",
                                                       "Cervantes",
                                                       "del Pr\xEDncipe",
                                                       "de Ib\xE9rica"};
constexpr std::array<std::string_view, 10> kCities = {"Madrid",
                                                      "C\xE1"
                                                      "diz",
                                                      "M\xE1laga",
                                                      "Le\xF3n",
                                                      "Ja\xE9n",
                                                      "A Coru\xF1"
                                                      "a",
                                                      "Sevilla",
                                                      "Logro\xF1o",
                                                      "\xC1vila",
                                                      "C\xF3rdoba"};
constexpr std::array<std::string_view, 6> kStatuses = {"activo",   "activo",     "baja",
                                                       "egresado", "suspendido", "inactivo"};

class Random {
 public:
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }
  template <typename List>
  std::string_view pick(const List& list) {
    return list[below(list.size())];
  }

 private:
  std::uint64_t state_ = 0x2026120720261207ULL;
};

void digits(std::string& out, Random& random, int count) {
  for (int digit = 0; digit < count; ++digit) {
    out += static_cast<char>('0' + random.below(10));
  }
}

enum class Style { AsWritten, OneLine, Unquoted };

void appendFields(std::string& out, const std::array<std::string, 5>& fields, Style style) {
  for (std::size_t field = 0; field < fields.size(); ++field) {
    const bool quoted = style != Style::Unquoted || field == 2;
    if (quoted) {
      out += '"';
    }
    out += fields[field];
    if (quoted) {
      out += '"';
    }
    out += style == Style::OneLine && field + 1 < fields.size() ? "," : "\r\n";
  }
}

void appendRecord(std::string& out, Random& random, std::string_view leftOut, Style style) {
  std::string matricula;
  do {
    matricula = std::to_string(2000 + random.below(27)) + "-";
    digits(matricula, random, 5);
  } while (matricula == leftOut);
  std::string nombre = std::string(random.pick(kNames)) + " " + std::string(random.pick(kSurnames));
  if (random.below(2) == 0) {
    nombre += " ";
    nombre += random.pick(kSurnames);
  }
  std::string direccion = std::string(random.pick(kStreetKinds)) + " " +
                          std::string(random.pick(kStreets)) + " " +
                          std::to_string(1 + random.below(200));
  if (random.below(3) == 0) {
    direccion += ", " + std::to_string(1 + random.below(9)) + "\xBA " + "AB"[random.below(2)];
  }
  direccion += ", ";
  direccion += random.pick(kCities);
  std::string telefono = random.below(2) == 0 ? "6" : "9";
  digits(telefono, random, 2);
  telefono += ' ';
  digits(telefono, random, 3);
  telefono += ' ';
  digits(telefono, random, 3);
  appendFields(out, {matricula, nombre, direccion, telefono, std::string(random.pick(kStatuses))},
               style);
}

}  // namespace

int main(int argc, char** argv) {
  const bool handEditedHalf = argc > 1 && std::string_view(argv[1]) == "--hand-edited-half";
  if (handEditedHalf) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_archivo [--hand-edited-half] FILE SIZE_MIB [MATRICULA]\n");
    return 2;
  }
  const std::uint64_t target = std::strtoull(argv[2], nullptr, 10) << 20;
  const std::string_view leftOut = argc > 3 ? argv[3] : "";
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  Random random;
  std::string block;
  std::uint64_t written = 0;
  std::uint64_t records = 0;
  while (written < target) {
    block.clear();
    while (block.size() < (std::size_t{1} << 20)) {
      Style style = Style::AsWritten;
      if (handEditedHalf && written < target / 2) {
        style = records % 2 == 0 ? Style::OneLine : Style::Unquoted;
      }
      appendRecord(block, random, leftOut, style);
      ++records;
    }
    if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) {
      std::perror(argv[1]);
      return 1;
    }
    written += block.size();
  }
  if (std::fclose(file) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::printf("%llu records, %llu bytes\n", static_cast<unsigned long long>(records),
              static_cast<unsigned long long>(written));
  return 0;
}
