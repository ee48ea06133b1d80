#include "RecordParser.h"

#include <algorithm>
#include <utility>

namespace records {
namespace {

constexpr bool isBlank(char byte) {
  return byte == ' ' || byte == '\t';
}
constexpr bool isDelimiter(char byte) {
  return byte == ',' || byte == '\r' || byte == '\n';
}

// The position of the first byte in [from, count) that is `stop` or a line end.
std::size_t findStop(const char* bytes, std::size_t from, std::size_t count, char stop) {
  std::size_t index = from;
  while (index < count) {
    const char byte = bytes[index];
    if (byte == stop || byte == '\r' || byte == '\n') {
      break;
    }
    ++index;
  }
  return index;
}

}  // namespace

RecordParser::RecordParser(std::string key) : key_(std::move(key)) {}

void RecordParser::appendValue(const char* bytes, std::size_t count) {
  if (fieldIndex_ == 0) {
    if (mismatchAt_ == kNone) {
      const std::size_t comparable = length_ < key_.size() ? key_.size() - length_ : 0;
      const std::size_t compared = std::min(count, comparable);
      const auto [here, there] = std::mismatch(bytes, bytes + compared,
                                               key_.begin() + static_cast<std::ptrdiff_t>(length_));
      const auto equalBytes = static_cast<std::size_t>(here - bytes);
      if (equalBytes < count) {
        mismatchAt_ = length_ + equalBytes;
      }
    }
  } else if (recordMatches_) {
    fields_[fieldIndex_].append(bytes, count);
  }
  length_ += count;
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
    matchPending_ = recordMatches_;
    recordMatches_ = false;
  }
}

// Ends the current field at the delimiter at `index` and moves past it.
bool RecordParser::takeDelimiter(char delimiter, std::size_t& index) {
  endField();
  ++index;
  if (delimiter == '\r') {
    state_ = State::AfterCarriageReturn;
    return false;
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
  const char* data = bytes.data();
  const std::size_t count = bytes.size();
  std::size_t index = 0;
  while (index < count && !matched_) {
    switch (state_) {
      case State::FieldStart: {
        const char byte = data[index];
        if (isBlank(byte)) {
          ++index;
        } else if (byte == '"') {
          state_ = State::Quoted;
          ++index;
        } else if (isDelimiter(byte)) {
          takeDelimiter(byte, index);
        } else {
          state_ = State::Unquoted;
        }
        break;
      }
      case State::Unquoted: {
        const std::size_t stop = findStop(data, index, count, ',');
        appendValue(data + index, stop - index);
        index = stop;
        if (index < count) {
          takeDelimiter(data[index], index);
        }
        break;
      }
      case State::Quoted: {
        const std::size_t stop = findStop(data, index, count, '"');
        appendValue(data + index, stop - index);
        index = stop;
        if (index == count) {
          break;
        }
        if (data[index] == '"') {
          // Tentatively part of the text, until what follows shows whether it closes the field.
          quoteMark_ = length_;
          appendValue(data + index, 1);
          state_ = State::QuotePending;
          ++index;
        } else {
          takeDelimiter(data[index], index);
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
          takeDelimiter(byte, index);
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
  return matched_;
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

}  // namespace records
