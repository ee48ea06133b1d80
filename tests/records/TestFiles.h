#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "RecordFile.h"
#include "StudentRecord.h"
#include "Windows1252.h"

namespace records::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto path =
          std::filesystem::temp_directory_path() / ("records-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(path, error)) {
        path_ = path.string();
      }
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::array<const std::u16string*, 5> fieldsOf(const StudentRecord& record) {
  return {&record.matricula, &record.nombre, &record.direccion, &record.telefono, &record.status};
}

// The five lines of a record whose fields are plain ASCII, written out by hand, as the file holds
// them: each field between double quotes, ending in CR LF.
inline std::string recordBytes(const StudentRecord& record) {
  std::string bytes;
  for (const std::u16string* field : fieldsOf(record)) {
    bytes += '"' + std::string(field->begin(), field->end()) + "\"\r\n";
  }
  return bytes;
}

// What a fresh lookup of `matricula` finds in the file at `path`; every field "?" when nothing.
inline StudentRecord lookUp(const std::string& path, std::u16string_view matricula) {
  RecordFile file(path);
  const FindOutcome found = file.FindRecord(matricula);
  return found.status == FindStatus::Found ? found.record
                                           : StudentRecord{u"?", u"?", u"?", u"?", u"?"};
}

// Whether `found` is `whole` as far as a cut kept it: its first fields equal, then one field cut
// short, then empty fields, as a save completes a record torn by a crash. A record mixed from two
// records is never so.
inline bool cutFrom(const StudentRecord& found, const StudentRecord& whole) {
  const auto got = fieldsOf(found);
  const auto want = fieldsOf(whole);
  std::size_t field = 0;
  while (field < got.size() && *got[field] == *want[field]) {
    ++field;
  }
  if (field < got.size() && !want[field]->starts_with(*got[field])) {
    return false;
  }
  return std::all_of(got.begin() + std::min(field + 1, got.size()), got.end(),
                     [](const std::u16string* rest) { return rest->empty(); });
}

// A record as read back: its five fields' bytes turned into text.
inline StudentRecord recordFrom(const std::array<std::string, 5>& fields) {
  return {decodeWindows1252(fields[0]), decodeWindows1252(fields[1]), decodeWindows1252(fields[2]),
          decodeWindows1252(fields[3]), decodeWindows1252(fields[4])};
}

#ifdef _WIN32
// Whether anything holds `path` (a file or a folder) open: only then does opening it without
// sharing fail. Windows shows no program which handles it holds, so one -1 stands for them all.
inline std::vector<int> descriptorsOn(const std::string& path) {
  const std::wstring wide = std::filesystem::path(path).wstring();
  const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return {};
  }
  return GetLastError() == ERROR_SHARING_VIOLATION ? std::vector<int>{-1} : std::vector<int>{};
}

// Where the descriptor `fd` of the file system seam stands.
inline long long positionOf(int fd) {
  return systemFileSystem().lseek(fd, 0, SEEK_CUR);
}
#else
// The descriptors of this process that the operating system shows open on `path`.
inline std::vector<int> descriptorsOn(const std::string& path) {
  const std::string wanted = std::filesystem::weakly_canonical(path).string();
  std::vector<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target.string() == wanted) {
      found.push_back(std::stoi(entry.path().filename().string()));
    }
  }
  return found;
}

// A line of /proc/self/fdinfo for `fd`, such as "pos" or "flags", as a number in `base`.
inline long long fdInfo(int fd, std::string_view key, int base) {
  std::ifstream in("/proc/self/fdinfo/" + std::to_string(fd));
  std::string name;
  std::string value;
  while (in >> name >> value) {
    if (name == std::string(key) + ":") {
      return std::stoll(value, nullptr, base);
    }
  }
  return -1;
}

// Where the descriptor `fd` stands, as the system shows it.
inline long long positionOf(int fd) {
  return fdInfo(fd, "pos", 10);
}

enum class As { ThisUser, Unprivileged };

// Runs `body` in a forked child, which exits with what it returns; as the user "nobody" when this
// process is root and `as` is Unprivileged, since root ignores permission bits.
inline pid_t startChild(const std::function<int()>& body, As as = As::ThisUser) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (as == As::Unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(100);
    }
    _exit(body());
  }
  return child;
}

// The child's exit status, or -1 when it did not exit on its own (a signal killed it).
inline int exitCodeOf(pid_t child) {
  int status = 0;
  if (child <= 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

inline int runChild(const std::function<int()>& body, As as = As::ThisUser) {
  return exitCodeOf(startChild(body, as));
}
#endif

}  // namespace records::testing
