#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RecordFile.h"
#include "ReferenceReader.h"
#include "TestFiles.h"
#include "Windows1252.h"

namespace records {
namespace {

constexpr int kProcesses = 8;
constexpr int kRecordsEach = 1000;

// Fields of different lengths, so that a torn or interleaved write would show.
StudentRecord recordOf(int process, int index) {
  const std::string tag = std::to_string(process) + "-" + std::to_string(index);
  const std::string padding(static_cast<std::size_t>((process * 7 + index) % 40), 'x');
  const auto text = [](const std::string& ascii) { return decodeWindows1252(ascii); };
  return {text(tag), text("nombre " + tag + padding), text("calle " + padding + ", " + tag),
          text("555-" + tag), text(index % 2 == 0 ? "activo" : "baja")};
}

// Eight programs append at once, as two copies of the program on one file would: every record
// arrives whole, none is lost, and each program's records keep their order.
TEST(ConcurrentAppend, EightProcessesAppendingAtOnceLoseAndTearNothing) {
  testing::TempFolder folder;
  const std::string path = folder.file("archivo.txt");
  std::vector<pid_t> children;
  std::fflush(nullptr);
  for (int process = 0; process < kProcesses; ++process) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RecordFile file(path);
      int failures = 0;
      for (int index = 0; index < kRecordsEach; ++index) {
        failures += file.AppendRecord(recordOf(process, index)).status == SaveStatus::Saved ? 0 : 1;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const std::string bytes = testing::readBytes(path);
  const auto records = testing::ReferenceReader(bytes).records();
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kProcesses * kRecordsEach));
  EXPECT_EQ(records.back().end, bytes.size());
  std::vector<int> next(kProcesses, 0);
  for (const auto& record : records) {
    const std::string& matricula = record.fields[0];
    const int process = std::stoi(matricula.substr(0, matricula.find('-')));
    ASSERT_GE(process, 0);
    ASSERT_LT(process, kProcesses);
    const StudentRecord expected = recordOf(process, next[process]++);
    ASSERT_EQ(decodeWindows1252(record.fields[1]), expected.nombre);
    ASSERT_EQ(decodeWindows1252(record.fields[2]), expected.direccion);
    ASSERT_EQ(decodeWindows1252(record.fields[4]), expected.status);
  }
  EXPECT_EQ(next, std::vector<int>(kProcesses, kRecordsEach));
}

}  // namespace
}  // namespace records
