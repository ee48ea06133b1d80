// Looks one matricula up in a record file, as "Procesar" does, and prints the outcome, the time
// taken and the process's peak resident memory.
// usage: record_lookup FILE MATRICULA [scan-first|parse-only] [BLOCK_KIB]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "RecordFile.h"
#include "Windows1252.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s FILE MATRICULA [scan-first|parse-only] [BLOCK_KIB]\n", argv[0]);
    return 2;
  }
  records::LookupTuning tuning;
  if (argc > 3 && std::string_view(argv[3]) == "parse-only") {
    tuning.route = records::LookupRoute::ParseOnly;
  }
  if (argc > 4) {
    tuning.blockSize = std::strtoul(argv[4], nullptr, 10) * 1024;
  }
  records::RecordFile file(argv[1], records::posixFileSystem(), tuning);
  records::StudentRecord lastRead;
  const auto start = std::chrono::steady_clock::now();
  const records::FindOutcome outcome =
      file.FindRecord(records::decodeWindows1252(argv[2]), lastRead);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  static constexpr const char* kStatus[] = {"found", "not-found", "read-failed"};
  std::printf("%s %.4f s, peak RSS %ld KiB\n", kStatus[static_cast<int>(outcome.status)],
              elapsed.count(), usage.ru_maxrss);
  return outcome.status == records::FindStatus::ReadFailed ? 1 : 0;
}
