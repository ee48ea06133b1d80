#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace records::testing {

// A deliberately plain second reader of the record file's rules, written over the whole file in
// memory and field by field, to check the streaming reader and the fast lookup against.
struct ReferenceRecord {
  std::array<std::string, 5> fields;
  std::uint64_t end = 0;  // offset just past the record
};

class ReferenceReader {
 public:
  explicit ReferenceReader(std::string_view file) : file_(file) {}

  std::vector<ReferenceRecord> records() {
    std::vector<ReferenceRecord> all;
    while (position_ < file_.size()) {
      ReferenceRecord record;
      for (std::string& field : record.fields) {
        const std::optional<std::string> value = nextField();
        if (!value) {
          return all;
        }
        field = *value;
      }
      record.end = position_;
      all.push_back(record);
    }
    return all;
  }

 private:
  static bool blank(char byte) { return byte == ' ' || byte == '\t'; }
  static bool delimiter(char byte) { return byte == ',' || byte == '\r' || byte == '\n'; }

  std::optional<std::string> nextField() {
    while (position_ < file_.size() && blank(file_[position_])) {
      ++position_;
    }
    if (position_ == file_.size()) {
      return std::nullopt;
    }
    if (file_[position_] != '"') {
      std::size_t end = position_;
      while (end < file_.size() && !delimiter(file_[end])) {
        ++end;
      }
      return take(position_, end, end);
    }
    const std::size_t start = position_ + 1;
    for (std::size_t at = start; at < file_.size(); ++at) {
      if (file_[at] == '\r' || file_[at] == '\n') {
        return take(start, at, at);
      }
      if (file_[at] == '"') {
        std::size_t after = at + 1;
        while (after < file_.size() && blank(file_[after])) {
          ++after;
        }
        if (after == file_.size() || delimiter(file_[after])) {
          return take(start, at, after);
        }
      }
    }
    return std::nullopt;
  }

  // The value [from, to) and a move past the delimiter at `next`.
  std::string take(std::size_t from, std::size_t to, std::size_t next) {
    position_ = next;
    if (position_ < file_.size()) {
      const char byte = file_[position_++];
      if (byte == '\r' && position_ < file_.size() && file_[position_] == '\n') {
        ++position_;
      }
    }
    return std::string(file_.substr(from, to - from));
  }

  std::string_view file_;
  std::size_t position_ = 0;
};

}  // namespace records::testing
