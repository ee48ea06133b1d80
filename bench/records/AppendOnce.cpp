// Saves the same record COUNT times, as "Grabar" does (each one written, synced and closed), and
// prints the median time of one save.
// usage: record_append FILE COUNT

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "RecordFile.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FILE COUNT\n", argv[0]);
    return 2;
  }
  const long count = std::max(1L, std::strtol(argv[2], nullptr, 10));
  records::RecordFile file(argv[1]);
  const records::StudentRecord record{u"2019-04870", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101",
                                      u"activo"};
  std::vector<double> times;
  for (long index = 0; index < count; ++index) {
    const auto start = std::chrono::steady_clock::now();
    const records::SaveOutcome outcome = file.AppendRecord(record);
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (outcome.status != records::SaveStatus::Saved) {
      std::fprintf(stderr, "save failed: errno %d\n", outcome.error);
      return 1;
    }
    times.push_back(elapsed.count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%.4f ms median of %ld saves\n", times[times.size() / 2], count);
  return 0;
}
