// The status window speaks the user's language: the probe shows it with the
// program's real resources and reports its texts. The probe inherits this
// test's locale: CTest runs this test once more under each of several
// LC_ALL values, naming the language it must give in STATUS_TEST_LANGID, and
// all of them again with STATUS_PROBE naming a copy of the probe whose
// resources payloadtool rewrote.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "process.h"

namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return L"<not UTF-8>";
  std::wstring result(size, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      &result[0], size);
  return result;
}

// The value of a "key=value" line of the probe's output.
std::wstring LineValue(const std::string& output, const std::string& key) {
  const std::string start = key + "=";
  size_t at = output.find(start);
  if (at == std::string::npos) return L"<missing " + FromUtf8(key) + L">";
  at += start.size();
  const size_t end = output.find_first_of("\r\n", at);
  return FromUtf8(output.substr(at, end == std::string::npos ? std::string::npos : end - at));
}

struct ExpectedTexts {
  LANGID language;
  const wchar_t* title;
  const wchar_t* status;
};

const ExpectedTexts kExpected[] = {
    {0x0409, L"Lumeno Setup", L"Please wait while Lumeno is being installed..."},
    // Germany's German has no table of its own: the platform's choice falls
    // back to the language-neutral German one.
    {0x0407, L"Lumeno-Installation", L"Bitte warten Sie, w\u00e4hrend Lumeno installiert wird..."},
    {0x0411, L"Lumeno \u30bb\u30c3\u30c8\u30a2\u30c3\u30d7",
     L"Lumeno \u3092\u30a4\u30f3\u30b9\u30c8\u30fc\u30eb\u3057\u3066\u3044\u307e\u3059\u3002"
     L"\u3057\u3070\u3089\u304f\u304a\u5f85\u3061\u304f\u3060\u3055\u3044..."},
    // Brazil's Portuguese has a table in exactly its language.
    {0x0416, L"Instala\u00e7\u00e3o do Lumeno",
     L"Aguarde enquanto o Lumeno est\u00e1 sendo instalado..."},
};

TEST(UserLanguage, StatusWindowShowsTheUsersLanguage) {
  const char* wanted = getenv("STATUS_TEST_LANGID");
  const LANGID language = static_cast<LANGID>(wanted ? strtoul(wanted, nullptr, 16) : 0x0409);
  // The locale must really have changed the language, or this would only
  // test English again.
  ASSERT_EQ(language, GetUserDefaultLangID()) << "LC_ALL=" << (getenv("LC_ALL") ? getenv("LC_ALL") : "");
  const ExpectedTexts* expected = nullptr;
  for (const ExpectedTexts& texts : kExpected)
    if (texts.language == language) expected = &texts;
  ASSERT_NE(nullptr, expected) << "no texts known for language " << std::hex << language;

  const char* probe = getenv("STATUS_PROBE");
  const ProcessResult result =
      RunProcess(Quote(probe ? std::string(probe) : BuiltProgram("status_probe.exe")), 30000);
  ASSERT_TRUE(result.started);
  ASSERT_EQ(0u, result.exitCode) << result.output;
  char languageText[8];
  snprintf(languageText, sizeof languageText, "%04x", language);
  EXPECT_EQ(FromUtf8(languageText), LineValue(result.output, "lang"));
  EXPECT_EQ(expected->title, LineValue(result.output, "title"));
  EXPECT_EQ(expected->status, LineValue(result.output, "status"));
}

}  // namespace
