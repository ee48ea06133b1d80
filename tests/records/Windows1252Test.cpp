#include "Windows1252.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "ErrorReason.h"

namespace records {
namespace {

TEST(Windows1252, EveryByteDecodesToADistinctCharacterThatEncodesBack) {
  std::set<char16_t> seen;
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const std::u16string text = decodeWindows1252(byte);
    ASSERT_EQ(text.size(), 1U) << value;
    seen.insert(text[0]);
    EXPECT_EQ(encodeWindows1252(text), byte) << value;
  }
  EXPECT_EQ(seen.size(), 256U);
}

TEST(Windows1252, SpanishTextAndPunctuation) {
  const struct {
    const char* behaviour;
    std::u16string text;
    std::string bytes;
  } rows[] = {
      {"ASCII is itself", u"A-102, No. 5", "A-102, No. 5"},
      {"Spanish letters and marks are their Latin-1 bytes", u"áéíóúÁÉÍÓÚñÑüÜ¿¡",
       "\xE1\xE9\xED\xF3\xFA\xC1\xC9\xCD\xD3\xDA\xF1\xD1\xFC\xDC\xBF\xA1"},
      {"euro and typographic quotes", u"€‘’“”–—…", "\x80\x91\x92\x93\x94\x96\x97\x85"},
      {"undefined bytes stand for themselves", u"\u0081\u008D\u008F\u0090\u009D",
       "\x81\x8D\x8F\x90\x9D"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(encodeWindows1252(row.text), row.bytes) << row.behaviour;
    EXPECT_EQ(decodeWindows1252(row.bytes), row.text) << row.behaviour;
  }
}

TEST(Windows1252, CharactersWithoutAByteAreRefused) {
  const struct {
    const char* behaviour;
    std::u16string text;
  } rows[] = {
      {"C1 control that the euro sign replaces", u"\u0080"},
      {"C1 control that a letter replaces", u"a\u008A"},
      {"Latin Extended letter", u"\u0100"},
      {"CJK character", u"\u4E2D"},
      {"lone high surrogate", std::u16string(1, u'\xD83D')},
      {"lone low surrogate", std::u16string(1, u'\xDE00')},
      {"character outside the basic plane", u"\U0001F600"},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(encodeWindows1252(row.text).has_value()) << row.behaviour;
  }
}

TEST(ErrorReason, NamesTheCommonReasonsInPlainSpanish) {
  EXPECT_EQ(errorReason(ENOSPC), u"no queda espacio en el disco");
  EXPECT_EQ(errorReason(EISDIR), u"es una carpeta");
  EXPECT_EQ(errorReason(EACCES), errorReason(EPERM));
  EXPECT_EQ(errorReason(12345), u"error del sistema numero 12345");
  for (const int error :
       {ENOSPC, EACCES, EISDIR, EROFS, EIO, EDQUOT, ENOENT, EINVAL, EAGAIN, ENOLCK, 12345}) {
    for (const char16_t unit : errorReason(error)) {
      EXPECT_LT(unit, 0x80) << "plain ASCII, for error " << error;
    }
  }
}

}  // namespace
}  // namespace records
