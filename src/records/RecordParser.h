#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace records {

// The definition of a record in the record file: reads its bytes as a stream of fields, five to a
// record, and stops at the first complete record whose matricula's bytes equal a key. The bytes
// may come in blocks of any size; a field may straddle blocks. Memory stays bounded: only the
// matching record is kept. The reader's faster way through well-formed stretches must agree with
// it on every input.
//
// A line as the writer produces it ("text" CR LF) gives the text between the quotes. Lines the
// writer never produces (a hand-edited file) read as follows:
// - blanks (spaces, tabs) before a field are skipped;
// - a comma outside quotes ends a field, like a line end; CR LF, a lone CR and a lone LF each end
//   a line;
// - a field that begins with a double quote runs to the first double quote followed (after
//   optional blanks) by a comma, a line end or the end of the file; other double quotes belong to
//   the text, so a stored field with a quote inside it reads back whole. A line end ends the field
//   even without a closing quote, so a damaged line never swallows the next one;
// - any other field runs to the next comma or line end, trailing blanks included;
// - a file that ends before a record's fifth field is complete (a missing field, or a quoted field
//   with neither closing quote nor line end) ends the data there.
class RecordParser {
 public:
  // Starts at a record boundary, `startOffset` bytes into the file.
  explicit RecordParser(std::string key, std::uint64_t startOffset = 0);

  // Reads the next bytes of the file. Returns true once they complete the matching record; then
  // nothing more is read.
  bool feed(std::string_view bytes);
  // Reads the next bytes up to the end of the record in progress (its line end included) or of a
  // matching one, and returns how many it took: all of them when neither ends in them.
  std::size_t feedRecord(std::string_view bytes);
  bool matched() const { return matched_; }
  // No byte of a record has been read since the last one ended.
  bool atRecordStart() const { return state_ == State::FieldStart && fieldIndex_ == 0; }
  // Tells the parser that the file ends here. Returns true when a matching record is complete.
  bool finish();

  // The bytes that, appended to what was fed so far, end a line cut short and fill the record it
  // belongs to with empty fields, so that whatever is appended next starts a record of its own.
  // Empty when the bytes end on a record boundary. Asked instead of finish(), with no match.
  std::string completion() const;

  // With a match: the file offset just past the record, its line end included, and the bytes of
  // its five fields.
  std::uint64_t matchEnd() const { return matchEnd_; }
  const std::array<std::string, 5>& matchFields() const { return fields_; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  enum class State { FieldStart, Quoted, QuotePending, Unquoted, AfterCarriageReturn };
  enum class Stop { AtMatch, AtRecordEnd };

  // Most fields are neither a matricula nor part of the match: they only count their bytes.
  void appendValue(const char* bytes, std::size_t count) {
    if (fieldIndex_ == 0) {
      if (mismatchAt_ == kNone) {
        compareWithKey(bytes, count);
      }
    } else if (recordMatches_) {
      fields_[fieldIndex_].append(bytes, count);
    }
    length_ += count;
  }
  std::size_t run(std::string_view bytes, Stop until);
  void compareWithKey(const char* bytes, std::size_t count);
  void rollBackValue(std::size_t length);
  void endField();
  bool takeDelimiter(const char* data, std::size_t count, std::size_t& index);
  bool settleMatch(std::uint64_t end);

  std::string key_;
  State state_ = State::FieldStart;
  std::size_t fieldIndex_ = 0;      // field of the current record being read, 0 to 4
  bool recordMatches_ = false;      // the current record's matricula equals the key
  std::size_t length_ = 0;          // bytes of the current field's value so far
  std::size_t mismatchAt_ = kNone;  // first position where the matricula leaves the key
  std::size_t quoteMark_ = 0;       // value length before a quote that may close the field
  bool matchPending_ = false;       // a matching record waits only for the LF after its CR
  bool recordEnded_ = false;        // the fifth field of a record ended in the current feed
  bool matched_ = false;
  std::uint64_t offset_ = 0;  // file offset of the first byte of the next block
  std::uint64_t matchEnd_ = 0;
  std::array<std::string, 5> fields_;
};

}  // namespace records
