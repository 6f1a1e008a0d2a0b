// Removing the run's temporary folder, including files another process keeps open.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/DirectoryTree.h"
#include "win/Folder.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

std::wstring FreshFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name;
  DeleteDirectoryTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteFile(const std::wstring& path, const std::string& content) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << content;
}

std::wstring PendingRemovals() {
  wchar_t buffer[32768] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring all(buffer, size / sizeof(wchar_t));
  for (auto& c : all) c = c == L'\0' ? L'|' : towlower(c);
  return all;
}

std::wstring Lower(std::wstring text) {
  for (auto& c : text) c = towlower(c);
  return text;
}

}  // namespace

TEST(DeleteDirectoryTree, MissingPathAndEmptyFolderAreLeftAlone) {
  const std::wstring folder = FreshFolder(L"welvane-tree-empty");
  DeleteDirectoryTree(folder + L"\\does-not-exist");
  DeleteDirectoryTree(folder);
  EXPECT_TRUE(PathIsDirectoryW(folder.c_str())) << "an empty folder stays in place";
  RemoveDirectoryW(folder.c_str());
}

TEST(DeleteDirectoryTree, RemovesANestedTree) {
  const std::wstring folder = FreshFolder(L"welvane-tree-nested");
  CreateDirectoryW((folder + L"\\a").c_str(), nullptr);
  CreateDirectoryW((folder + L"\\a\\b").c_str(), nullptr);
  CreateDirectoryW((folder + L"\\empty").c_str(), nullptr);
  WriteFile(folder + L"\\top.txt", "top");
  WriteFile(folder + L"\\a\\middle.bin", std::string(100000, 'x'));
  WriteFile(folder + L"\\a\\b\\deep.exe", "MZ");
  SetFileAttributesW((folder + L"\\a\\b\\deep.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str()));
}

// Child side of the next test: holds a file open without sharing until told to let go.
TEST(HoldFileChild, KeepsTheFileOpen) {
  wchar_t path[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"WELVANE_HOLD_FILE", path, MAX_PATH) == 0) GTEST_SKIP() << "child only";
  win::FileHandle file(CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  win::KernelHandle held(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"WelvaneTestFileHeld"));
  win::KernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, L"WelvaneTestReleaseFile"));
  ASSERT_TRUE(held && release);
  SetEvent(held.Get());
  WaitForSingleObject(release.Get(), 30000);
}

TEST(DeleteDirectoryTree, AFileInUseStaysAndNothingIsScheduledForTheNextStart) {
  const std::wstring folder = FreshFolder(L"welvane-tree-locked");
  CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
  const std::wstring locked = folder + L"\\sub\\locked.dat";
  WriteFile(locked, "in use");
  WriteFile(folder + L"\\free.dat", "free");

  win::KernelHandle held(CreateEventW(nullptr, TRUE, FALSE, L"WelvaneTestFileHeld"));
  win::KernelHandle release(CreateEventW(nullptr, TRUE, FALSE, L"WelvaneTestReleaseFile"));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=HoldFileChild.*";
  SetEnvironmentVariableW(L"WELVANE_HOLD_FILE", locked.c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  SetEnvironmentVariableW(L"WELVANE_HOLD_FILE", nullptr);
  win::KernelHandle child(process.hProcess);
  CloseHandle(process.hThread);
  ASSERT_EQ(WaitForSingleObject(held.Get(), 30000), WAIT_OBJECT_0);

  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW((folder + L"\\free.dat").c_str())) << "the rest is removed";
  EXPECT_TRUE(PathFileExistsW(locked.c_str())) << "the file in use cannot go now";
  EXPECT_EQ(PendingRemovals().find(Lower(folder)), std::wstring::npos)
      << "nothing in a user-writable folder is left to a removal at the next start: " << win::ToUtf8(PendingRemovals());

  SetEvent(release.Get());
  WaitForSingleObject(child.Get(), 30000);
  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str()));
}

TEST(DeleteDirectoryTree, KeptFoldersStayWholeAndEverythingElseGoes) {
  // A run's folder: two packages, the first one's installer still running (kept), the second done.
  const std::wstring folder = FreshFolder(L"welvane-tree-keep");
  for (const wchar_t* sub : {L"\\1", L"\\1\\unpacked", L"\\2"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
  WriteFile(folder + L"\\1\\setup.exe", "running");
  WriteFile(folder + L"\\1\\unpacked\\data.bin", "needed");
  WriteFile(folder + L"\\2\\setup.exe", "done");
  WriteFile(folder + L"\\top.txt", "x");
  DeleteDirectoryTree(folder, {folder + L"\\1"});
  EXPECT_TRUE(PathFileExistsW((folder + L"\\1\\setup.exe").c_str()));
  EXPECT_TRUE(PathFileExistsW((folder + L"\\1\\unpacked\\data.bin").c_str()));
  EXPECT_FALSE(PathFileExistsW((folder + L"\\2").c_str()));
  EXPECT_FALSE(PathFileExistsW((folder + L"\\top.txt").c_str()));
  EXPECT_EQ(PendingRemovals().find(Lower(folder)), std::wstring::npos);
  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str()));
}

TEST(DeleteDirectoryTree, SchedulesNothingThatWasRemoved) {
  const std::wstring folder = FreshFolder(L"welvane-tree-clean");
  CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
  WriteFile(folder + L"\\sub\\file.txt", "x");
  WriteFile(folder + L"\\top.txt", "x");
  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str()));
  EXPECT_EQ(PendingRemovals().find(Lower(folder)), std::wstring::npos)
      << "removed entries are not scheduled again: " << win::ToUtf8(PendingRemovals());
}

// A link planted in the run's folder must not lead the removal outside it.
TEST(DeleteDirectoryTree, LinksAreRemovedNotFollowed) {
  const std::wstring outside = FreshFolder(L"welvane-tree-outside");
  WriteFile(outside + L"\\precious.txt", "keep me");
  CreateDirectoryW((outside + L"\\inner").c_str(), nullptr);
  WriteFile(outside + L"\\inner\\also.txt", "keep me too");
  const std::wstring folder = FreshFolder(L"welvane-tree-links");
  WriteFile(folder + L"\\own.txt", "x");
  const std::wstring folderLink = folder + L"\\to-outside";
  const std::wstring fileLink = folder + L"\\to-precious.txt";
  // Some systems report success and make nothing (Wine 8 among them).
  const auto isLink = [](const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  if (!CreateSymbolicLinkW(folderLink.c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !CreateSymbolicLinkW(fileLink.c_str(), (outside + L"\\precious.txt").c_str(), 0) || !isLink(folderLink)) {
    DeleteDirectoryTree(folder);
    DeleteDirectoryTree(outside);
    GTEST_SKIP() << "this system makes no symbolic links (error " << GetLastError() << ")";
  }

  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str())) << "the folder and its links are gone";
  EXPECT_TRUE(PathFileExistsW((outside + L"\\precious.txt").c_str()));
  EXPECT_TRUE(PathFileExistsW((outside + L"\\inner\\also.txt").c_str()));
  EXPECT_EQ(PendingRemovals().find(Lower(outside)), std::wstring::npos);

  // A run folder that is itself a link: only the link goes.
  ASSERT_TRUE(CreateSymbolicLinkW(folder.c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY));
  DeleteDirectoryTree(folder);
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(PathFileExistsW((outside + L"\\precious.txt").c_str()));
  DeleteDirectoryTree(outside);
}

// Unpacking and removal hold each folder they work in: while held, nothing can move it away and
// put a link in its place.
TEST(DeleteDirectoryTree, AHeldFolderStaysWhereItIs) {
  const std::wstring folder = FreshFolder(L"welvane-tree-held");
  WriteFile(folder + L"\\file.txt", "x");
  EXPECT_FALSE(win::OpenRealFolder(folder + L"\\file.txt")) << "a file is not a folder";
  EXPECT_FALSE(win::OpenRealFolder(folder + L"\\missing"));
  {
    const win::FileHandle held = win::OpenRealFolder(folder);
    ASSERT_TRUE(held);
    EXPECT_EQ(win::ListFolder(held.Get()), std::vector<std::wstring>{L"file.txt"});
    EXPECT_FALSE(MoveFileW(folder.c_str(), (folder + L"-moved").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  DeleteDirectoryTree(folder);
  EXPECT_FALSE(PathFileExistsW(folder.c_str()));
}
