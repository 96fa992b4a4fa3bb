#include "ui/status_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "process.h"
#include "resources/resource_ids.h"

namespace {

// A loaded module released when the test ends.
struct DataModule {
  explicit DataModule(const std::string& path)
      : handle(LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (handle) FreeLibrary(handle);
  }
  HMODULE handle;
};

// The sixteen strings of one raw string-table block; false when the entries
// do not exactly fill the block.
bool SplitStringBlock(const BYTE* bytes, DWORD size, std::vector<std::wstring>* strings) {
  DWORD offset = 0;
  for (int i = 0; i < 16; ++i) {
    if (offset + 2 > size) return false;
    const WORD length = static_cast<WORD>(bytes[offset] | (bytes[offset + 1] << 8));
    offset += 2;
    if (offset + length * 2u > size) return false;
    std::wstring text(length, L'\0');
    memcpy(&text[0], bytes + offset, length * 2u);
    strings->push_back(text);
    offset += length * 2u;
  }
  return offset == size;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR context) {
  reinterpret_cast<std::set<WORD>*>(context)->insert(language);
  return TRUE;
}

std::set<WORD> LanguagesOf(HMODULE module, LPCSTR type, LPCSTR name) {
  std::set<WORD> languages;
  EnumResourceLanguagesA(module, type, name, CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

const std::set<WORD> kShippedLanguages = {
    0x0006, 0x0007, 0x000A, 0x000B, 0x000C, 0x0010, 0x0011, 0x0013, 0x0014, 0x0015,
    0x0016, 0x0019, 0x001D, 0x001F, 1028,   1033,   1042,   1046,   2052};

TEST(ShippedResources, StringBlockOneInEveryLanguageStartsWithAnEmptyString) {
  DataModule program(BuiltProgram("bootstrapper.exe"));
  ASSERT_NE(nullptr, program.handle) << "GetLastError()=" << GetLastError();

  EXPECT_EQ(kShippedLanguages, LanguagesOf(program.handle, RT_STRING, MAKEINTRESOURCEA(1)));
  for (WORD language : kShippedLanguages) {
    SCOPED_TRACE(testing::Message() << "language 0x" << std::hex << language);
    SetLastError(0xdeadbeef);
    HRSRC block = FindResourceExA(program.handle, RT_STRING, MAKEINTRESOURCEA(1), language);
    ASSERT_NE(nullptr, block) << "GetLastError()=" << GetLastError();
    const DWORD size = SizeofResource(program.handle, block);
    const BYTE* bytes =
        static_cast<const BYTE*>(LockResource(LoadResource(program.handle, block)));
    ASSERT_NE(nullptr, bytes);
    ASSERT_GT(size, 16u);

    // The status text is read at fixed offsets: the block must begin with
    // string 0's zero length word, followed by string 1's length.
    EXPECT_EQ(0, bytes[0] | (bytes[1] << 8));
    std::vector<std::wstring> strings;
    ASSERT_TRUE(SplitStringBlock(bytes, size, &strings)) << "malformed block of " << size << " bytes";
    EXPECT_TRUE(strings[0].empty());
    EXPECT_NE(std::wstring::npos, strings[IDS_STATUS_TEXT].find(L"Lumeno"));
    EXPECT_LE(strings[IDS_STATUS_TEXT].size(), kMaxBlockStatusChars);
    EXPECT_NE(std::wstring::npos, strings[IDS_STATUS_TITLE].find(L"Lumeno"));
    for (int i = 3; i < 16; ++i) EXPECT_TRUE(strings[i].empty()) << "string " << i;

    // The program's own lookup gives the same text in that exact language.
    wchar_t shown[1024];
    ASSERT_TRUE(LoadStatusText(program.handle, language, shown, 1024));
    EXPECT_EQ(strings[IDS_STATUS_TEXT], std::wstring(shown));
  }
}

TEST(ShippedResources, DialogsAndIconExistInUsEnglishOnly) {
  DataModule program(BuiltProgram("bootstrapper.exe"));
  ASSERT_NE(nullptr, program.handle);
  const std::set<WORD> usEnglish = {1033};
  EXPECT_EQ(usEnglish, LanguagesOf(program.handle, RT_DIALOG, MAKEINTRESOURCEA(IDD_STATUS)));
  EXPECT_EQ(usEnglish, LanguagesOf(program.handle, RT_DIALOG, MAKEINTRESOURCEA(IDD_DOWNLOAD)));
  EXPECT_EQ(usEnglish,
            LanguagesOf(program.handle, RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APPLICATION_ICON)));
}

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(ShippedResources, IconHasSmallMediumAndLargeImages) {
  DataModule program(BuiltProgram("bootstrapper.exe"));
  ASSERT_NE(nullptr, program.handle);
  HRSRC group = FindResourceA(program.handle, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), RT_GROUP_ICON);
  ASSERT_NE(nullptr, group);
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(program.handle, group)));
  ASSERT_NE(nullptr, bytes);
  const WORD count = static_cast<WORD>(bytes[4] | (bytes[5] << 8));
  ASSERT_EQ(6u + count * sizeof(IconGroupEntry), SizeofResource(program.handle, group));

  std::set<int> sizes;
  DWORD imageBytes = 0;
  for (WORD i = 0; i < count; ++i) {
    IconGroupEntry entry;
    memcpy(&entry, bytes + 6 + i * sizeof entry, sizeof entry);
    sizes.insert(entry.width);
    EXPECT_EQ(entry.width, entry.height);
    HRSRC image = FindResourceA(program.handle, MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_NE(nullptr, image) << "image " << entry.id;
    EXPECT_EQ(entry.bytes, SizeofResource(program.handle, image));
    imageBytes += entry.bytes;
  }
  EXPECT_EQ((std::set<int>{16, 32, 48}), sizes);
  EXPECT_LT(imageBytes, 10u * 1024) << "the icon should stay small";
}

// LoadStatusText against this test program's own tables (status_window_test.rc).
struct LookupCase {
  const char* name;
  LANGID language;
  bool found;
  std::wstring text;
};

void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }

const std::wstring kEnglish = L"Test status (English)";

class LoadStatusTextTest : public testing::TestWithParam<LookupCase> {};

TEST_P(LoadStatusTextTest, PicksTheExactLanguageOrFallsBack) {
  const LookupCase& c = GetParam();
  // The fallback follows the platform's choice, which is US English here.
  ASSERT_EQ(1033, GetUserDefaultUILanguage()) << "run the tests without LC_ALL/LC_MESSAGES";
  wchar_t buffer[1024];
  wmemset(buffer, 0xCCCC, 1024);
  EXPECT_EQ(c.found, LoadStatusText(GetModuleHandleA(nullptr), c.language, buffer, 1024));
  EXPECT_EQ(c.text, std::wstring(buffer));
}

INSTANTIATE_TEST_SUITE_P(
    Languages, LoadStatusTextTest,
    testing::Values(
        LookupCase{"ExactUsEnglish", 0x0409, true, kEnglish},
        LookupCase{"ExactGerman", 0x0407, true, L"Teststatus (Deutsch, \u00e4)"},
        // Swiss German has no table of its own: the platform picks English.
        LookupCase{"NoTableFallsBack", 0x0807, true, kEnglish},
        LookupCase{"Exactly512Characters", 0x040F, true, L"<" + std::wstring(510, L'a') + L">"},
        LookupCase{"513CharactersKeepTheTemplate", 0x0408, false, L""},
        LookupCase{"BlockTooSmallFallsBack", 0x0405, true, kEnglish},
        LookupCase{"LengthPastTheBlockFallsBack", 0x040E, true, kEnglish}),
    [](const testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

TEST(LoadStatusText, TextLongerThanTheBufferIsNotCut) {
  wchar_t buffer[100];
  wmemset(buffer, 0xCCCC, 100);
  EXPECT_FALSE(LoadStatusText(GetModuleHandleA(nullptr), 0x040F, buffer, 100));
  EXPECT_EQ(L'\0', buffer[0]);
}

TEST(LoadStatusText, ModuleWithoutStringsGivesNothing) {
  DataModule noStrings(BuiltProgram("core_tests.exe"));
  ASSERT_NE(nullptr, noStrings.handle);
  wchar_t buffer[64];
  wmemset(buffer, 0xCCCC, 64);
  EXPECT_FALSE(LoadStatusText(noStrings.handle, 0x0409, buffer, 64));
  EXPECT_EQ(L'\0', buffer[0]);
}

}  // namespace
