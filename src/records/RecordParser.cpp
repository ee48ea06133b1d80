#include "RecordParser.h"

#include <algorithm>
#include <utility>

#include "WellFormedScan.h"

namespace records {
namespace {

constexpr bool isBlank(char byte) {
  return byte == ' ' || byte == '\t';
}
constexpr bool isDelimiter(char byte) {
  return byte == ',' || byte == '\r' || byte == '\n';
}

}  // namespace

RecordParser::RecordParser(std::string key, std::uint64_t startOffset)
    : key_(std::move(key)), offset_(startOffset) {}

// Notes where the matricula read so far first leaves the key (a byte beyond its end counts).
void RecordParser::compareWithKey(const char* bytes, std::size_t count) {
  const std::size_t comparable = length_ < key_.size() ? key_.size() - length_ : 0;
  const std::size_t compared = std::min(count, comparable);
  const auto keyPart = key_.begin() + static_cast<std::ptrdiff_t>(length_);
  const auto equalBytes =
      static_cast<std::size_t>(std::mismatch(bytes, bytes + compared, keyPart).first - bytes);
  if (equalBytes < count) {
    mismatchAt_ = length_ + equalBytes;
  }
}

void RecordParser::rollBackValue(std::size_t length) {
  length_ = length;
  if (fieldIndex_ == 0) {
    if (mismatchAt_ != kNone && mismatchAt_ >= length) {
      mismatchAt_ = kNone;
    }
  } else if (recordMatches_) {
    fields_[fieldIndex_].resize(length);
  }
}

void RecordParser::endField() {
  if (fieldIndex_ == 0) {
    recordMatches_ = mismatchAt_ == kNone && length_ == key_.size();
    if (recordMatches_) {
      fields_ = {key_, {}, {}, {}, {}};
    }
  }
  length_ = 0;
  mismatchAt_ = kNone;
  if (++fieldIndex_ == fields_.size()) {
    fieldIndex_ = 0;
    recordEnded_ = true;
    matchPending_ = recordMatches_;
    recordMatches_ = false;
  }
}

// Ends the current field at the delimiter at `index` and moves past it; a CR takes the LF after
// it along when that is in the block already.
bool RecordParser::takeDelimiter(const char* data, std::size_t count, std::size_t& index) {
  const char delimiter = data[index++];
  endField();
  if (delimiter == '\r') {
    if (index == count) {
      state_ = State::AfterCarriageReturn;
      return false;
    }
    if (data[index] == '\n') {
      ++index;
    }
  }
  state_ = State::FieldStart;
  return settleMatch(offset_ + index);
}

bool RecordParser::settleMatch(std::uint64_t end) {
  if (matchPending_) {
    matched_ = true;
    matchEnd_ = end;
  }
  return matched_;
}

bool RecordParser::feed(std::string_view bytes) {
  run(bytes, Stop::AtMatch);
  return matched_;
}

std::size_t RecordParser::feedRecord(std::string_view bytes) {
  return run(bytes, Stop::AtRecordEnd);
}

// One switch over the states, each case short: the per-byte path of a 1 GiB lookup runs through
// here, and splitting the cases into functions measured 1.6 times slower.
std::size_t RecordParser::run(std::string_view bytes, Stop until) {
  const char* data = bytes.data();
  const std::size_t count = bytes.size();
  std::size_t index = 0;
  recordEnded_ = false;
  const auto stopsHere = [&] {
    return until == Stop::AtRecordEnd && recordEnded_ && state_ == State::FieldStart;
  };
  while (index < count && !matched_ && !stopsHere()) {
    switch (state_) {
      case State::FieldStart: {
        const char byte = data[index];
        if (isBlank(byte)) {
          ++index;
        } else if (byte == '"') {
          state_ = State::Quoted;
          ++index;
        } else if (isDelimiter(byte)) {
          takeDelimiter(data, count, index);
        } else {
          state_ = State::Unquoted;
        }
        break;
      }
      case State::Unquoted: {
        const std::size_t stop = findFieldStop(data, index, count, ',');
        appendValue(data + index, stop - index);
        index = stop;
        if (index < count) {
          takeDelimiter(data, count, index);
        }
        break;
      }
      case State::Quoted: {
        const std::size_t stop = findFieldStop(data, index, count, '"');
        appendValue(data + index, stop - index);
        index = stop;
        if (index == count) {
          break;
        }
        if (data[index] != '"') {
          takeDelimiter(data, count, index);
        } else if (index + 1 < count && isDelimiter(data[index + 1])) {
          ++index;  // the closing quote of a line as the writer writes it
          takeDelimiter(data, count, index);
        } else {
          // Tentatively part of the text, until what follows shows whether it closes the field.
          quoteMark_ = length_;
          appendValue(data + index, 1);
          state_ = State::QuotePending;
          ++index;
        }
        break;
      }
      case State::QuotePending: {
        const char byte = data[index];
        if (isBlank(byte)) {
          appendValue(data + index, 1);
          ++index;
        } else if (isDelimiter(byte)) {
          rollBackValue(quoteMark_);
          takeDelimiter(data, count, index);
        } else if (byte == '"') {
          quoteMark_ = length_;
          appendValue(data + index, 1);
          ++index;
        } else {
          state_ = State::Quoted;
        }
        break;
      }
      case State::AfterCarriageReturn:
        if (data[index] == '\n') {
          ++index;
        }
        state_ = State::FieldStart;
        settleMatch(offset_ + index);
        break;
    }
  }
  offset_ += index;
  return index;
}

bool RecordParser::finish() {
  if (matched_) {
    return true;
  }
  switch (state_) {
    case State::QuotePending:
      rollBackValue(quoteMark_);
      endField();
      break;
    case State::Unquoted:
      endField();
      break;
    case State::FieldStart:
    case State::Quoted:
    case State::AfterCarriageReturn:
      break;
  }
  return settleMatch(offset_);
}

std::string RecordParser::completion() const {
  std::string bytes;
  std::size_t nextField = fieldIndex_;
  switch (state_) {
    case State::FieldStart:
      break;  // no field open: only the missing ones are added
    case State::Quoted:
      bytes.append("\"\r\n");
      ++nextField;
      break;
    case State::QuotePending:
    case State::Unquoted:
      bytes.append("\r\n");
      ++nextField;
      break;
    case State::AfterCarriageReturn:
      bytes.append("\n");  // the field ended with its CR; the LF makes the writer's own line end
      break;
  }
  for (; nextField % fields_.size() != 0; ++nextField) {
    bytes += "\"\"\r\n";
  }
  return bytes;
}

}  // namespace records
