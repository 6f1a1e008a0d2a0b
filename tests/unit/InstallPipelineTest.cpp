// The install pipeline's parts that are not about archives: which URLs are fetched as given, the
// command line, starting real programs, the folders of installers still running, and refused
// redirects.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/DirectoryTree.h"
#include "download/DownloadManager.h"
#include "download/InstallerStep.h"
#include "download/PackageRequest.h"
#include "download/RunProcess.h"
#include "support/RefServer.h"
#include "support/ScratchFolder.h"
#include "win/Text.h"

namespace {

std::wstring OwnFolder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  PathRemoveFileSpecW(self);
  return self;
}

// A copy of the test installer (built next to this program) at `path`.
void CopyInstaller(const std::wstring& path) {
  ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\fakeinstaller.exe").c_str(), path.c_str(), FALSE)) << GetLastError();
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in{std::filesystem::path(path), std::ios::binary};
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::vector<std::wstring>& items, const std::wstring& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

}  // namespace

TEST(PackageUrl, OnlyHttpAndHttpsUrlsAreFetchedAsGiven) {
  const std::wstring files = L"https://localhost/f/";
  for (const wchar_t* absolute : {L"http://x/setup.exe", L"https://cdn.example.com/a/b.exe", L"HTTPS://X/Y.EXE",
                                  L"Http://host"}) {
    EXPECT_TRUE(IsAbsoluteUrl(absolute)) << win::ToUtf8(absolute);
    EXPECT_EQ(OfferDownloadUrl(files, absolute), absolute);
  }
  // Bare names, dotted or not, relative paths and other schemes name files under the files URL.
  for (const wchar_t* relative : {L"setup.exe", L"offers/beta.exe", L"cdn.example.com/x.exe", L"setup", L"http:/x",
                                  L"ftp://host/x.exe", L"", L"https:"}) {
    EXPECT_FALSE(IsAbsoluteUrl(relative)) << win::ToUtf8(relative);
    EXPECT_EQ(OfferDownloadUrl(files, relative), files + relative);
  }
}

TEST(PackageFolders, EachPackageHasItsOwnFolder) {
  ScratchFolder temp(L"welvane-package-folders");
  const std::wstring main = MakePackageFolder(temp.Path() + L"\\", 0);
  const std::wstring offer = MakePackageFolder(temp.Path(), 1);
  EXPECT_EQ(main, temp / L"0");
  EXPECT_EQ(offer, temp / L"1");
  EXPECT_TRUE(PathIsDirectoryW(offer.c_str()));
  EXPECT_EQ(MakePackageFolder(temp.Path(), 1), offer) << "asking again gives the same folder";
  EXPECT_EQ(MakePackageFolder(L"", 1), L"");
  EXPECT_EQ(MakePackageFolder(temp / L"missing\\deeper", 1), L"") << "the run's folder must exist";
}

TEST(RunProcess, StartsWithTheQuotedPathAndTheArgumentsAsGiven) {
  EXPECT_EQ(InstallerCommandLine(L"C:\\a b\\setup.exe", L""), L"\"C:\\a b\\setup.exe\" ");
  EXPECT_EQ(InstallerCommandLine(L"x.exe", L"/S /D=\"C:\\x y\""), L"\"x.exe\" /S /D=\"C:\\x y\"");

  ScratchFolder folder(L"welvane-run-process");
  const std::wstring installer = folder / L"my setup.exe";
  CopyInstaller(installer);
  const std::wstring log = folder / L"installs.log";
  const StartedProcess waited = RunProcess(installer, L"/EXIT=7 /LOG=\"" + log + L"\" /PUB=x", true);
  EXPECT_EQ(waited.exitCode, 7u) << "the exit code when waited for";
  EXPECT_EQ(waited.error, 0u);
  const std::string logged = ReadText(log);
  EXPECT_NE(logged.find("cmd=\"" + win::ToUtf8(installer) + "\" /EXIT=7"), std::string::npos) << logged;

  // Programs that cannot be started give the start's error and no exit code.
  const std::wstring text = folder / L"not-a-program.exe";
  std::ofstream(std::filesystem::path(text)) << "plain text";
  const StartedProcess notAProgram = RunProcess(text, L"", false);
  EXPECT_EQ(notAProgram.exitCode, kNoExitCode);
  EXPECT_NE(notAProgram.error, 0u);
  const StartedProcess missing = RunProcess(folder / L"missing.exe", L"", true);
  EXPECT_EQ(missing.exitCode, kNoExitCode);
  EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ExecFailedText(ERROR_BAD_EXE_FORMAT), L"EXEC FAILED193");
}

// Finish or close while an installer this run started still runs: its folder stays, everything
// else of the run's folder goes.
TEST(RunningInstallers, TheFolderOfARunningInstallerIsKept) {
  ScratchFolder temp(L"welvane-running-installer");
  const std::wstring running = MakePackageFolder(temp.Path(), 1);
  const std::wstring done = MakePackageFolder(temp.Path(), 2);
  CopyInstaller(running + L"\\setup.exe");
  CopyInstaller(done + L"\\setup.exe");
  const std::wstring log = temp / L"log.txt";
  ASSERT_EQ(RunProcess(done + L"\\setup.exe", L"/LOG=\"" + log + L"\"", true, done).error, 0u);
  ASSERT_EQ(RunProcess(running + L"\\setup.exe", L"/SLEEP=8000 /LOG=\"" + log + L"\"", false, running).error, 0u);

  const auto inUse = RunningInstallers::Instance().FoldersInUse();
  EXPECT_TRUE(Contains(inUse, running));
  EXPECT_FALSE(Contains(inUse, done)) << "an installer that ended holds nothing";
  DeleteDirectoryTree(temp.Path(), inUse);
  EXPECT_TRUE(PathFileExistsW((running + L"\\setup.exe").c_str())) << "the running installer's files stay";
  EXPECT_FALSE(PathFileExistsW(done.c_str()));
  EXPECT_FALSE(PathFileExistsW(log.c_str()));

  // Bounded only so that a broken build cannot hang the suite.
  for (int i = 0; i < 600 && Contains(RunningInstallers::Instance().FoldersInUse(), running); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_FALSE(Contains(RunningInstallers::Instance().FoldersInUse(), running));
}

TEST(FailurePayloads, TextsGoOutAsUtf8) {
  const nlohmann::json payload = FailurePayload(std::wstring(kDownloadFailed) + L"Caf\u00e9 \u65e5\u672c.exe");
  EXPECT_NO_THROW((void)payload.dump()) << "the event record is serialised with strict UTF-8 checks";
  EXPECT_EQ(payload.at("12").get<std::string>(), "DOWNLOAD FAILED: Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.exe");
}

// What comes back from a redirect to a connection without TLS would be started as a program.
TEST(DownloadRedirects, HttpsToHttpIsRefused) {
  ScratchFolder folder(L"welvane-downgrade");
  DownloadManager manager;
  const std::wstring scenario = refserver::NewScenario(L"downgrade");
  const auto result = manager.DownloadFile(
      refserver::FaultUrl(scenario, L"redirect=1,to=http%3A%2F%2F127.0.0.1%3A9%2Ff%2Fhello.txt", L"f/x.exe"),
      nullptr, L"", folder.Path());
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.text.find(L"[WINHTTP] Refused a redirect from HTTPS to a connection without TLS: "
                               L"http://127.0.0.1:9/f/hello.txt"),
            std::wstring::npos)
      << win::ToUtf8(result.text);
  EXPECT_TRUE(TreeOf(folder.Path()).empty());
}
