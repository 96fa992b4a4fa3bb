// Programs written by payloadtool's own PE writer, read back through the
// platform: the loader finds every resource of the stub with its bytes and
// languages and each packed one as a run looks it up, the image helper agrees
// with the checksum, and signed and tagged copies (made by the sign_and_tag
// setup with osslsigncode and both payloadtools) pass WinVerifyTrust, carry
// their tag and still run.
#include <gtest/gtest.h>
#include <imagehlp.h>
#include <softpub.h>
#include <windows.h>
#include <wintrust.h>

#include <map>

#include "padding_rule.h"
#include "process.h"
#include "resource_pack.h"
#include "scratch_dir.h"
#include "trust/tag_block.h"

namespace {

// "type/name/language" (numbers as #N) -> bytes, as the loader enumerates them.
using PlatformResources = std::map<std::string, std::string>;

std::string IdText(const char* id) {
  return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id)) : id;
}

struct Enumeration {
  HMODULE module;
  PlatformResources* found;
  const char* type;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
  auto* walk = reinterpret_cast<Enumeration*>(param);
  HRSRC resource = FindResourceExA(module, type, name, language);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  (*walk->found)[IdText(type) + "/" + IdText(name) + "/" + std::to_string(language)] =
      bytes ? std::string(bytes, SizeofResource(module, resource)) : "<cannot load>";
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param) {
  EnumResourceLanguagesA(module, type, name, OnLanguage, param);
  return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR param) {
  EnumResourceNamesA(module, type, OnName, param);
  return TRUE;
}

PlatformResources ReadThroughLoader(const std::string& path) {
  PlatformResources found;
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(nullptr, module) << path << ": " << GetLastError();
  if (!module) return found;
  Enumeration walk{module, &found, nullptr};
  EXPECT_TRUE(EnumResourceTypesA(module, OnType, reinterpret_cast<LONG_PTR>(&walk)));
  FreeLibrary(module);
  return found;
}

// What a run finds: FindResourceA without a language.
std::string FoundByRun(const std::string& path, const char* name, const char* type) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return "<cannot load the program>";
  HRSRC resource = FindResourceA(module, name, type);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  const std::string data = bytes ? std::string(bytes, SizeofResource(module, resource)) : "<none>";
  FreeLibrary(module);
  return data;
}

LONG VerifyTrust(const std::string& path) {
  std::wstring wide(path.begin(), path.end());
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = wide.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return result;
}

std::string Tag(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes)) return "<unreadable>";
  const auto* file = reinterpret_cast<const unsigned char*>(bytes.data());
  char buffer[32768];
  int32_t size = sizeof buffer;
  return ExtractTagFromBytes(file, bytes.size(), buffer, &size) ? buffer : "<no tag>";
}

TEST(PackedProgram, LoaderFindsEveryResourceWithItsBytes) {
  ScratchDir dir("packed");
  const std::string stub = BuiltProgram("bootstrapper.exe");
  const std::string out = dir.path() + "setup.exe";
  const std::string payload = "<payload><rootkey>HKEY_LOCAL_MACHINE</rootkey></payload>";
  const std::string installer(300000, 'I');
  std::string error;
  ASSERT_TRUE(WriteEditedCopy(stub, out,
                              {ResourceEdit{ResourceName{"PAYLOAD", "XML"}, false, payload},
                               ResourceEdit{ResourceName{"LUMENO2_ADMIN", "EXE"}, false, installer},
                               ResourceEdit{ResourceName{"NOTES", "TXT"}, false, "notes"}},
                              &error))
      << error;

  PlatformResources expected = ReadThroughLoader(stub);
  ASSERT_EQ(1u, expected.erase("XML/PAYLOAD/0"));
  ASSERT_EQ(1u, expected.erase("EXE/LUMENO2_ADMIN/0"));
  expected["XML/PAYLOAD/0"] = payload;
  expected["EXE/LUMENO2_ADMIN/0"] = installer;
  expected["TXT/NOTES/0"] = "notes";
  const PlatformResources packed = ReadThroughLoader(out);
  EXPECT_EQ(expected.size(), packed.size());
  for (const auto& resource : expected) {
    const auto found = packed.find(resource.first);
    ASSERT_NE(packed.end(), found) << resource.first << " is missing";
    EXPECT_EQ(resource.second.size(), found->second.size()) << resource.first;
    EXPECT_TRUE(resource.second == found->second) << resource.first << ": other bytes";
  }
  size_t stringTables = 0;
  for (const auto& resource : packed) stringTables += resource.first.rfind("#6/#1/", 0) == 0;
  EXPECT_EQ(19u, stringTables);
  EXPECT_EQ(payload, FoundByRun(out, "PAYLOAD", "XML"));
  EXPECT_EQ(installer, FoundByRun(out, "lumeno2_admin", "exe")) << "names are found in any case";

  DWORD inHeader = 0, computed = 0;
  ASSERT_EQ(static_cast<DWORD>(CHECKSUM_SUCCESS),
            MapFileAndCheckSumA(const_cast<char*>(out.c_str()), &inHeader, &computed));
  EXPECT_EQ(computed, inHeader);
}

// Made by tests/e2e/sign_and_tag.sh before these run.
std::string Signed(const char* name) { return std::string(SIGNED_PROGRAMS_DIR) + "/" + name; }

TEST(SignedProgram, PackedSignedAndTaggedCopiesVerifyCarryTheTagAndRun) {
  const LONG kTampered = static_cast<LONG>(0x80096010), kUnsigned = static_cast<LONG>(0x800B0100);
  EXPECT_EQ(kUnsigned, VerifyTrust(Signed("packed.exe")));
  EXPECT_EQ(kTampered, VerifyTrust(Signed("tampered.exe")));
  EXPECT_EQ("<no tag>", Tag(Signed("signed.exe")));
  // Each copy verifies and carries its tag; the padding rule holds for the
  // signed copy and the tags inside the signature, and fails for the tag
  // after the blob, as the strict check would fail it.
  const struct {
    const char* program;
    const char* tag;
    bool keepsPadding;
  } copies[] = {
      {"signed.exe", "<no tag>", true},
      {"tagged.exe", "campaign=spring&source=mail", true},
      {"retagged.exe", "c=2", false},
      {"retagged_back.exe", "c=3", true},
      {"tagged_after.exe", "campaign=spring&source=mail", false},
  };
  for (const auto& copy : copies) {
    EXPECT_EQ(0, VerifyTrust(Signed(copy.program))) << copy.program;
    EXPECT_EQ(copy.tag, Tag(Signed(copy.program))) << copy.program;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(Signed(copy.program), &bytes));
    EXPECT_EQ(copy.keepsPadding, PaddingRuleBroken(bytes).empty())
        << copy.program << ": " << PaddingRuleBroken(bytes);
  }
  for (const char* program : {"signed.exe", "tagged.exe", "tagged_after.exe"}) {
    const ProcessResult run = RunProcess(Quote(Signed(program)), 30000);
    EXPECT_TRUE(run.started && !run.timedOut) << program;
    EXPECT_EQ(0u, run.exitCode) << program << "\n" << run.output;
  }
}

}  // namespace
