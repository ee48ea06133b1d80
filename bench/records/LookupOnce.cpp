// Looks the first record with a matricula's bytes up in a record file with the reader that
// "Procesar" uses, or (with the key "--tail") tells where the data stops, as a save checks it;
// prints the outcome, the time taken and the process's
// peak resident memory. THREADS is 1 (read, then follow, on one thread) or 2 (a helper thread reads
// ahead); without it, the program's own choice.
// usage: record_lookup FILE MATRICULA|--tail [fast|avx2|portable|exact] [BLOCK_KIB] [THREADS]

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "RecordReader.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: %s FILE MATRICULA|--tail [fast|avx2|portable|exact] [BLOCK_KIB] [THREADS]\n",
        argv[0]);
    return 2;
  }
  records::ReaderTuning tuning;
  if (argc > 3) {
    const std::string_view route = argv[3];
    tuning.route = route == "exact"      ? records::ReadRoute::ExactOnly
                   : route == "portable" ? records::ReadRoute::FastPortable
                   : route == "avx2"     ? records::ReadRoute::FastAvx2
                                         : records::ReadRoute::Fast;
  }
  if (argc > 4 && std::strtoul(argv[4], nullptr, 10) > 0) {
    tuning.blockSize = std::strtoul(argv[4], nullptr, 10) * 1024;
  }
  if (argc > 5) {
    tuning.threads =
        std::string_view(argv[5]) == "1" ? records::ReadThreads::One : records::ReadThreads::Two;
  }
  const int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  const std::string_view key = argv[2];
  auto& disk = records::systemFileSystem();
  const auto start = std::chrono::steady_clock::now();
  std::string outcome;
  int error = 0;
  if (key == "--tail") {
    const records::RecordTail tail = records::readTail(disk, fd, 0, tuning);
    error = tail.error;
    outcome = "data ends at " + std::to_string(tail.end) + ", completion of " +
              std::to_string(tail.completion.size()) + " bytes";
  } else {
    const records::LookupResult result =
        records::findFirstRecord(disk, fd, std::string(key), tuning);
    error = result.error;
    outcome = result.found ? "found, ends at " + std::to_string(result.found->end) : "not-found";
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  close(fd);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%s %.4f s, peak RSS %ld KiB\n", error != 0 ? "read-failed" : outcome.c_str(),
              elapsed.count(), usage.ru_maxrss);
  return error != 0 ? 1 : 0;
}
