// Identity values sent to the back end: download token, versions, machine GUID, temp folders.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <regex>
#include <string>

#include "backend/ConfigurationManager.h"
#include "backend/ApiManager.h"
#include "backend/Identity.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring TempDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return path;
}

// Runs a copy of this test program under another file name and returns its exit code.
DWORD RunCopyNamed(const std::wstring& folder, const std::wstring& name, const std::wstring& arguments) {
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\" + name;
  if (!CopyFileW(ModulePath().c_str(), copy.c_str(), FALSE)) return 1000;
  std::wstring commandLine = L"\"" + copy + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  DWORD code = 1001;
  if (CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
  return code;
}

}  // namespace

TEST(DownloadToken, RulesOnPaths) {
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\Users\\me\\Downloads\\setup_ab1-c2d.exe"), L"ab1-c2d");
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\setup_abc.exe"), L"");                  // no dash, too short
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\dl_x\\setup.exe"), L"");                // "x\setup": 7 chars, no dash
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\setup_ab-cdef.v2.exe"), L"");           // "ab-cdef.v2" is 10 chars
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\setup.exe"), L"");                      // no underscore at all
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\a_b\\setup_x_12-4567.exe"), L"12-4567");  // the last underscore counts
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\setup_12-4567"), L"12-4567");           // no dot keeps it whole
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\setup_-------.exe"), L"-------");
}

// The child side of the next test: the token of this very program must be the one expected.
TEST(DownloadTokenChild, MatchesExpectation) {
  wchar_t expected[64] = {};
  if (GetEnvironmentVariableW(L"WELVANE_EXPECTED_TOKEN", expected, 64) == 0 &&
      GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    GTEST_SKIP() << "only run as a child of DownloadToken.ComesFromTheProgramsOwnFileName";
  }
  EXPECT_EQ(GetDownloadToken(), std::wstring(expected));
  // ... and it is what the configuration request sends as "u".
  EXPECT_NE(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()).find("\"u\":\"" + win::ToUtf8(expected) + "\""), std::string::npos);
}

TEST(DownloadToken, ComesFromTheProgramsOwnFileName) {
  const std::wstring folder = TempDirectory() + L"welvane-token-test";
  const std::wstring child = L"--gtest_filter=DownloadTokenChild.*";
  SetEnvironmentVariableW(L"WELVANE_EXPECTED_TOKEN", L"ab1-c2d");
  EXPECT_EQ(RunCopyNamed(folder, L"setup_ab1-c2d.exe", child), 0u);
  SetEnvironmentVariableW(L"WELVANE_EXPECTED_TOKEN", L"");
  EXPECT_EQ(RunCopyNamed(folder, L"setup_abc.exe", child), 0u);
  SetEnvironmentVariableW(L"WELVANE_EXPECTED_TOKEN", nullptr);
}

TEST(Versions, ProgramVersionComesFromTheVersionResource) { EXPECT_EQ(GetProgramVersion(), "3.0.9.1"); }

TEST(Versions, OsVersionIsMajorMinorBuild) {
  const std::string version = GetOsVersion();
  EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+)"))) << version;
  // The test prefix is set to Windows 10.
  EXPECT_EQ(version.rfind("10.0.", 0), 0u) << version;
}

class MachineGuidTest : public ::testing::Test {
 protected:
  static constexpr wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Cryptography";

  static bool ReadRaw(REGSAM view, std::wstring& value) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"MachineGuid", RRF_RT_REG_SZ | view, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
      return false;
    }
    value = buffer;
    return true;
  }
  static bool Write(const std::wstring& value) {
    win::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExW(key.Get(), L"MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
};

TEST_F(MachineGuidTest, IsReadFromThe64BitView) {
  std::wstring value64;
  ASSERT_TRUE(ReadRaw(RRF_SUBKEY_WOW6464KEY, value64)) << "the prefix has no MachineGuid";
  EXPECT_EQ(ReadMachineGuid(), win::ToUtf8(value64));
  EXPECT_EQ(ReadMachineGuid().size(), 36u);
}

TEST_F(MachineGuidTest, ValueTooLongForTheBufferGivesEmpty) {
  std::wstring original;
  ASSERT_TRUE(ReadRaw(RRF_SUBKEY_WOW6464KEY, original));
  ASSERT_TRUE(Write(std::wstring(254, L'a')));  // 254 characters and the terminator fill 255 bytes
  const std::string fits = ReadMachineGuid();
  ASSERT_TRUE(Write(std::wstring(255, L'b')));
  const std::string tooLong = ReadMachineGuid();
  ASSERT_TRUE(Write(original));
  EXPECT_EQ(fits, std::string(254, 'a'));
  EXPECT_EQ(tooLong, "");
  EXPECT_EQ(ReadMachineGuid(), win::ToUtf8(original));
}

TEST(TempFolder, EachCallMakesAFreshFolderInTheTempDirectory) {
  const std::wstring first = CreateTempFolder();
  const std::wstring second = CreateTempFolder();
  EXPECT_TRUE(PathIsDirectoryW(first.c_str()));
  EXPECT_TRUE(PathIsDirectoryW(second.c_str()));
  EXPECT_NE(first, second);
  const std::wstring temp = TempDirectory();
  EXPECT_EQ(first.rfind(temp, 0), 0u) << win::ToUtf8(first);
  EXPECT_EQ(first.substr(temp.size(), 3), L"ISV");
  RemoveDirectoryW(first.c_str());
  RemoveDirectoryW(second.c_str());
}
