// Saves the same record COUNT times to each FILE, as "Grabar" does (each save written, synced and
// closed), taking the files in turn so that both see the same machine, and prints per file the
// median time of one save and the time of the first, which alone reads the whole file to learn
// where its data ends.
// usage: record_append COUNT FILE...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "RecordFile.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s COUNT FILE...\n", argv[0]);
    return 2;
  }
  const long count = std::max(1L, std::strtol(argv[1], nullptr, 10));
  const records::StudentRecord record{u"2019-04870", u"Zuz Uzaro", u"Calle 5, No. 12", u"555-0101",
                                      u"activo"};
  std::vector<std::unique_ptr<records::RecordFile>> files;
  for (int arg = 2; arg < argc; ++arg) {
    files.push_back(std::make_unique<records::RecordFile>(argv[arg]));
  }
  std::vector<std::vector<double>> times(files.size());
  for (long round = 0; round < count; ++round) {
    for (std::size_t index = 0; index < files.size(); ++index) {
      const auto start = std::chrono::steady_clock::now();
      const records::SaveOutcome outcome = files[index]->AppendRecord(record);
      const std::chrono::duration<double, std::milli> elapsed =
          std::chrono::steady_clock::now() - start;
      if (outcome.status != records::SaveStatus::Saved) {
        std::fprintf(stderr, "%s: save failed, errno %d\n", argv[index + 2], outcome.error);
        return 1;
      }
      times[index].push_back(elapsed.count());
    }
  }
  for (std::size_t index = 0; index < files.size(); ++index) {
    const double first = times[index].front();
    std::sort(times[index].begin(), times[index].end());
    std::printf("%.4f ms median of %ld saves to %s, the first %.4f ms\n",
                times[index][times[index].size() / 2], count, argv[index + 2], first);
  }
  return 0;
}
