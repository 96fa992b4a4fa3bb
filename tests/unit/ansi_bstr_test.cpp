#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "base/ansi_bstr.h"

namespace {

// Sets the calling thread's locale and puts the previous one back.
class ThreadLocale {
 public:
  explicit ThreadLocale(LANGID language)
      : previous_(GetThreadLocale()),
        set_(SetThreadLocale(MAKELCID(language, SORT_DEFAULT)) != FALSE) {}
  ~ThreadLocale() { SetThreadLocale(previous_); }
  bool set() const { return set_; }

 private:
  LCID previous_;
  bool set_;
};

std::wstring Converted(const char* text) {
  BSTR converted = AnsiToBstr(text);
  if (!converted) return L"<null>";
  std::wstring result(converted, SysStringLen(converted));
  // The terminator a BSTR always carries beyond its length.
  if (converted[SysStringLen(converted)] != L'\0') result += L"<unterminated>";
  SysFreeString(converted);
  return result;
}

TEST(AnsiToBstr, NullGivesNull) { EXPECT_EQ(nullptr, AnsiToBstr(nullptr)); }

TEST(AnsiToBstr, EmptyGivesEmptyStringNotNull) {
  BSTR converted = AnsiToBstr("");
  ASSERT_NE(nullptr, converted);
  EXPECT_EQ(0u, SysStringLen(converted));
  EXPECT_EQ(L'\0', converted[0]);
  SysFreeString(converted);
}

struct Conversion {
  const char* name;
  LANGID threadLanguage;  // 0: the prefix's default (English, code page 1252)
  std::string ansi;
  std::wstring wide;
};

// Names the case in test listings (instead of its bytes).
void PrintTo(const Conversion& c, std::ostream* out) { *out << c.name; }

class AnsiToBstrConversion : public testing::TestWithParam<Conversion> {};

// The length is exact (no terminator counted, a double-byte character is one
// character) and every byte is read in the thread's ANSI code page.
TEST_P(AnsiToBstrConversion, ConvertsInThreadCodePage) {
  const Conversion& c = GetParam();
  ASSERT_EQ(1252u, GetACP()) << "the prefix's system code page";
  ThreadLocale locale(c.threadLanguage ? c.threadLanguage : LANGIDFROMLCID(GetThreadLocale()));
  ASSERT_TRUE(locale.set());
  EXPECT_EQ(c.wide, Converted(c.ansi.c_str()));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AnsiToBstrConversion,
    testing::Values(
        Conversion{"Ascii", 0, "Lumeno", L"Lumeno"},
        Conversion{"CommandLine", 0, "\"C:\\Temp\\LumenoUpdater_1F.exe\" /S /CALLER \"x\"",
                   L"\"C:\\Temp\\LumenoUpdater_1F.exe\" /S /CALLER \"x\""},
        // 0x80 is the euro sign in 1252, not a control character as in Latin-1.
        Conversion{"Windows1252", 0, "caf\xE9 \x80 \xFF", L"caf\u00E9 \u20AC \u00FF"},
        Conversion{"Long", 0, std::string(300, '\xE9'), std::wstring(300, L'\u00E9')},
        Conversion{"RussianThread", MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), "\xC0\xFF",
                   L"\u0410\u044F"},
        Conversion{"JapaneseThreadDoubleByte", MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT),
                   "a\x82\xA0z", L"a\u3042z"}),
    [](const testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

struct CodePageCase {
  const char* name;
  DWORD platformVersion;  // as GetVersion() gives it
  bool threadCodePage;    // CP_THREAD_ACP, otherwise the locale's ANSI code page
};

void PrintTo(const CodePageCase& c, std::ostream* out) { *out << c.name; }

class AnsiCodePage : public testing::TestWithParam<CodePageCase> {};

// Before NT 5 there is no CP_THREAD_ACP: the thread locale's own ANSI code
// page is used instead. A Russian thread locale tells it from the system's 1252.
TEST_P(AnsiCodePage, ThreadCodePageFromNtFiveOn) {
  ThreadLocale locale(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
  ASSERT_TRUE(locale.set());
  const UINT expected = GetParam().threadCodePage ? CP_THREAD_ACP : 1251u;
  EXPECT_EQ(expected, AnsiCodePageFor(GetParam().platformVersion));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, AnsiCodePage,
    testing::Values(CodePageCase{"Nt61", 0x1DB10106, true}, CodePageCase{"Nt50", 0x08930005, true},
                    CodePageCase{"Nt100", 0x47BB000A, true},
                    CodePageCase{"Nt40", 0x05650004, false},
                    CodePageCase{"Windows98", 0xC0000A04, false},
                    CodePageCase{"Windows95WithMajor5Byte", 0x80000005, false}),
    [](const testing::TestParamInfo<CodePageCase>& info) { return std::string(info.param.name); });

// The top-level filter of the death test's child: shows what was raised and
// lets the process end with the exception's code.
LONG WINAPI ReportRaised(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  fprintf(stderr, "raised code=0x%08lX flags=%lu parameters=%lu\n", record->ExceptionCode,
          record->ExceptionFlags, record->NumberParameters);
  fflush(stderr);
  return EXCEPTION_EXECUTE_HANDLER;
}

TEST(RaiseOutOfMemoryDeathTest, EndsProcessWithNonContinuableNoMemory) {
  EXPECT_EXIT(
      {
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        SetUnhandledExceptionFilter(ReportRaised);
        RaiseOutOfMemory();
      },
      testing::ExitedWithCode(static_cast<int>(STATUS_NO_MEMORY)),
      "raised code=0xC0000017 flags=1 parameters=0");
}

}  // namespace
