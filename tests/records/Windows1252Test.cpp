#include "Windows1252.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>

#include "ErrorReason.h"
#include "FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#endif

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
  for (const int error : {ENOSPC, EACCES, EISDIR, EROFS, EIO, kDiskQuotaExceeded, ENOENT, EINVAL,
                          EAGAIN, ENOLCK, 12345}) {
    for (const char16_t unit : errorReason(error)) {
      EXPECT_LT(unit, 0x80) << "plain ASCII, for error " << error;
    }
  }
}

#ifdef _WIN32
// A failure reads the same to the user on Windows as on Linux.
TEST(ErrorReason, WindowsErrorsReadAsTheirLinuxNamesakes) {
  const struct {
    unsigned long code;
    int error;
  } rows[] = {
      {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},
      {kWin32DiskQuotaExceeded, kDiskQuotaExceeded},
      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_WRITE_PROTECT, EROFS},
      {ERROR_CRC, EIO},
      {ERROR_FILE_NOT_FOUND, ENOENT},
      {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_SHARING_VIOLATION, EBUSY},
      {ERROR_LOCK_VIOLATION, EAGAIN},
      {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(errorReason(errnoFromWin32(row.code)), errorReason(row.error)) << row.code;
  }
  EXPECT_EQ(errorReason(errnoFromWin32(kWin32DiskQuotaExceeded)),
            u"se ha superado la cuota de disco");
  EXPECT_EQ(errorReason(errnoFromWin32(ERROR_LOCK_VIOLATION)),
            u"otro programa tiene el archivo en uso");
  // One with no errno keeps its own number, which the user can look up.
  EXPECT_EQ(errorReason(errnoFromWin32(ERROR_NO_SYSTEM_RESOURCES)),
            u"error del sistema numero 1450");
}
#endif

}  // namespace
}  // namespace records
