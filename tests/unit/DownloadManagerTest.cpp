// The downloader against the reference back end over real TLS: real WinHTTP and WinINet, real files
// in real folders, progress messages received by a real (message-only) window.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/DirectoryTree.h"
#include "backend/Sha256.h"
#include "backend/TransferLimits.h"
#include "download/DownloadCommon.h"
#include "download/DownloadManager.h"
#include "download/FallbackPause.h"
#include "download/RedirectUrl.h"
#include "download/TargetPath.h"
#include "support/RefServer.h"
#include "win/Handle.h"
#include "ui/AppMessageBox.h"
#include "win/Text.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr char kHelloText[] = "Hello from the Welvane reference server.\n";

std::string Utf8(const std::wstring& text) { return win::ToUtf8(text); }

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadWholeFile(const std::wstring& path) {
  win::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return "<cannot open " + Utf8(path) + ">";
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
  return bytes;
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  win::FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
  DWORD written = 0;
  ASSERT_TRUE(file && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// A file as the reference back end serves it: generated files (blobs) from its state folder, seen
// from Wine through the Z: drive.
std::string ServedFile(const std::string& name) {
  std::string folder = refserver::Control(L"GET", L"health").at("state_dir").get<std::string>() + "/files/" + name;
  for (char& c : folder) {
    if (c == '/') c = '\\';
  }
  return ReadWholeFile(L"Z:" + win::FromUtf8(folder));
}

// The names of the files (not folders) in a folder.
std::set<std::wstring> FilesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  win::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!find) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileW(find.Get(), &found));
  return names;
}

std::wstring NewFolder(const wchar_t* prefix) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  // Wine reuses process ids: a folder a killed run left behind is not reused.
  static int counter = 0;
  std::wstring folder;
  do {
    folder = std::wstring(temp) + prefix + L"-" + win::Decimal(GetCurrentProcessId()) + L"-" + win::Decimal(++counter);
  } while (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  return folder;
}

void RemoveFolder(const std::wstring& folder) {
  DeleteDirectoryTree(folder);
  RemoveDirectoryW(folder.c_str());
}

// A window that records the downloader's messages. It is message-only (never shown), so it needs
// no X display: a top-level window cannot be made when the display of the run has gone, and the
// messages would then silently go nowhere. Its owner thread pumps messages while the download
// runs on a worker thread.
class MessageRecorder {
 public:
  MessageRecorder() {
    static const ATOM windowClass = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &MessageRecorder::WindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"WelvaneDownloadMessageRecorder";
      return RegisterClassW(&wc);
    }();
    m_window = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!m_window) m_createError = GetLastError();
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~MessageRecorder() { DestroyWindow(m_window); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  HWND Window() const { return m_window; }
  DWORD CreateError() const { return m_createError; }

  // Runs `work` on a worker thread, pumping this thread's messages until it has ended and every
  // message it posted has arrived.
  template <typename Work>
  auto RunPumping(Work work) {
    auto running = Start(std::move(work));
    return Finish(running);
  }
  // The same in steps, for a test that acts while the work runs: Start, PumpUntil, Finish.
  template <typename Work>
  auto Start(Work work) {
    return std::async(std::launch::async, std::move(work));
  }
  // Pumps until `done()` holds or `bound` has passed; whether it holds.
  template <typename Done>
  bool PumpUntil(Done done, std::chrono::steady_clock::duration bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      WaitAndPump();
    }
    return true;
  }
  template <typename Result>
  Result Finish(std::future<Result>& running) {
    while (running.wait_for(0ms) != std::future_status::ready) WaitAndPump();
    Pump();
    return running.get();
  }

  std::vector<int> m_progress;      // wParam of every WM_DOWNLOADPROGRESS, in order
  int m_sizeUnknown = 0;            // number of WM_DOWNLOADSIZEUNKNOWN
  std::function<void()> m_onFirstProgress;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message == WM_DOWNLOADPROGRESS) {
      EXPECT_EQ(lParam, 0);
      self->m_progress.push_back(static_cast<int>(wParam));
      if (self->m_progress.size() == 1 && self->m_onFirstProgress) self->m_onFirstProgress();
      return 0;
    }
    if (self && message == WM_DOWNLOADSIZEUNKNOWN) {
      EXPECT_EQ(wParam, 0u);
      EXPECT_EQ(lParam, 0);
      ++self->m_sizeUnknown;
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  void WaitAndPump() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    Pump();
  }

  HWND m_window = nullptr;
  DWORD m_createError = 0;
};

// Live downloads into fresh folders of their own; the fallback pause is short. Application message
// boxes are captured: the downloader must not show any.
class DownloadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_downloadFolder = NewFolder(L"welvane-dl");
    m_tempFolder = NewFolder(L"welvane-tmp");
    SetFallbackPauseForTesting(10ms);
    SetAppMessageBoxHook([this](const std::wstring& text, UINT style) {
      std::lock_guard<std::mutex> lock(m_boxesMutex);
      m_boxes.push_back(text);
      EXPECT_EQ(style, static_cast<UINT>(MB_OK));
      return IDOK;
    });
    m_firstRequest = refserver::LastRequestId();
    ASSERT_NE(m_recorder.Window(), nullptr) << "no window: error " << m_recorder.CreateError();
  }
  void TearDown() override {
    SetAppMessageBoxHook({});
    SetFallbackPauseForTesting(2000ms);
    RemoveFolder(m_downloadFolder);
    RemoveFolder(m_tempFolder);
  }

  std::wstring Url(const wchar_t* name, const std::wstring& directives, const std::wstring& endpoint) {
    m_scenario = refserver::NewScenario(name);
    return refserver::FaultUrl(m_scenario, directives, endpoint);
  }
  json ScenarioRequests() { return refserver::RequestsSince(m_firstRequest, "/t/" + Utf8(m_scenario) + "/"); }
  DownloadManager::Result DownloadInto(DownloadManager& manager, const std::wstring& folder, const std::wstring& url,
                                       const std::wstring& fileName = L"") {
    return m_recorder.RunPumping([&] { return manager.DownloadFile(url, m_recorder.Window(), fileName, folder); });
  }
  // Into the downloads folder of the test.
  DownloadManager::Result Download(const std::wstring& url, const std::wstring& fileName = L"") {
    return DownloadInto(*DownloadManager::GetInstance(), m_downloadFolder, url, fileName);
  }
  // The same on a worker thread, for a test that acts while it runs; m_recorder.Finish ends it.
  std::future<DownloadManager::Result> StartDownload(const std::wstring& url) {
    return m_recorder.Start([this, url] {
      return DownloadManager::GetInstance()->DownloadFile(url, m_recorder.Window(), L"", m_downloadFolder);
    });
  }
  std::vector<std::wstring> Boxes() {
    std::lock_guard<std::mutex> lock(m_boxesMutex);
    return m_boxes;
  }
  std::wstring InDownloads(const std::wstring& name) const { return m_downloadFolder + L"\\" + name; }

  std::wstring m_downloadFolder, m_tempFolder;
  std::wstring m_scenario;
  long long m_firstRequest = 0;
  MessageRecorder m_recorder;
  std::mutex m_boxesMutex;
  std::vector<std::wstring> m_boxes;
};

// How long a test waits for what it needs to see while the server holds a download (hold=N); only
// a broken downloader takes that long. Below WinHTTP's own receive time-out (30 s), which would
// end the held attempt first.
constexpr auto kHoldWait = 20s;

// Progress percentages only grow, stay within 0..100 and come at most about once per point.
void ExpectSaneProgress(const std::vector<int>& progress) {
  for (size_t i = 0; i < progress.size(); ++i) {
    EXPECT_GE(progress[i], 0);
    EXPECT_LE(progress[i], 100);
    if (i > 0) {
      EXPECT_GE(progress[i], progress[i - 1]);
    }
  }
  EXPECT_LE(progress.size(), 102u);
}

}  // namespace

// ---- Names and paths: pure logic -----------------------------------------------------------------

TEST(DownloadTargetPath, FileNameFromUrlIsTheLastSegmentWithoutQueryOrFragment) {
  EXPECT_EQ(FileNameFromUrl(L"https://host/files/setup.exe"), L"setup.exe");
  EXPECT_EQ(FileNameFromUrl(L"https://host/get?id=5"), L"get");
  EXPECT_EQ(FileNameFromUrl(L"https://host/d/file.zip#part"), L"file.zip");
  EXPECT_EQ(FileNameFromUrl(L"https://host/d/file.zip?a=1#part"), L"file.zip");
  EXPECT_EQ(FileNameFromUrl(L"https://host/a?next=/b/c.exe"), L"a") << "a slash in the query names nothing";
  EXPECT_EQ(FileNameFromUrl(L"https://host/folder/"), L"");
  EXPECT_EQ(FileNameFromUrl(L"https://host"), L"") << "the host is not a file name";
  EXPECT_EQ(FileNameFromUrl(L"https://host?x=/y"), L"");
  EXPECT_EQ(FileNameFromUrl(L"setup.exe"), L"") << "no slash, no name";
  EXPECT_EQ(FileNameFromUrl(L"offers/setup.exe"), L"setup.exe");
}

TEST(DownloadTargetPath, TakenNamesAreNumberedBeforeTheLastExtension) {
  EXPECT_EQ(NumberedFileName(L"Setup.exe", 0), L"Setup.exe");
  EXPECT_EQ(NumberedFileName(L"Setup.exe", 1), L"Setup (1).exe");
  EXPECT_EQ(NumberedFileName(L"a.tar.gz", 12), L"a.tar (12).gz");
  EXPECT_EQ(NumberedFileName(L"README", 2), L"README (2)");
  EXPECT_EQ(NumberedFileName(L".hidden", 1), L".hidden (1)");
}

TEST(DownloadTargetPath, SafeFileNamesStayInsideTheFolder) {
  for (const wchar_t* name : {L"setup.exe", L"My Player (1).exe", L"a..b.exe", L"v1.2.3", L".hidden",
                              L"\u00fcber-\u540d\u524d.exe", L"COM10.exe", L"console.exe", L"NULL.txt", L"lpt.txt",
                              L" lead.exe"}) {
    EXPECT_TRUE(IsSafeFileName(name)) << Utf8(name);
  }
}

TEST(DownloadTargetPath, TraversalDrivesDevicesAndOddNamesAreRefused) {
  for (const wchar_t* name :
       {L"", L".", L"..", L"...", L"../x.exe", L"..\\x.exe", L"a/b.exe", L"a\\b.exe", L"\\\\server\\share\\x.exe",
        L"C:", L"C:x.exe", L"C:\\x.exe", L"file.exe:stream", L"CON", L"con", L"Con.txt", L"nul.txt", L"PRN",
        L"aux.tar.gz", L"COM1", L"com9.log", L"LPT1", L"lpt9.txt", L"COM0", L"COM\u00b9", L"LPT\u00b3.txt", L"CONIN$",
        L"conout$.txt", L"AUX .txt", L"name.", L"name ", L"a*b", L"a?b", L"a|b", L"a<b", L"a>b", L"a\"b",
        L"tab\there", L"line\nbreak"}) {
    EXPECT_FALSE(IsSafeFileName(name)) << Utf8(name);
  }
  EXPECT_TRUE(IsSafeFileName(std::wstring(255, L'a')));
  EXPECT_FALSE(IsSafeFileName(std::wstring(256, L'a')));
}

TEST(DownloadTargetPath, AppendPathJoinsWithOneBackslash) {
  std::wstring path = L"C:\\folder";
  EXPECT_TRUE(AppendPath(path, L"setup.exe"));
  EXPECT_EQ(path, L"C:\\folder\\setup.exe");
  path = L"C:\\folder\\";
  EXPECT_TRUE(AppendPath(path, L"setup.exe"));
  EXPECT_EQ(path, L"C:\\folder\\setup.exe");
  EXPECT_EQ(path.size(), wcslen(path.c_str())) << "the length ends at the first zero";

  std::wstring deep = L"C:\\" + std::wstring(250, L'd');
  const std::wstring before = deep;
  EXPECT_FALSE(AppendPath(deep, L"setup.exe")) << "longer than MAX_PATH";
  EXPECT_EQ(deep, before);
}

TEST(DownloadTargetPath, JoinPathPutsOneBackslashBetweenAnyLengths) {
  EXPECT_EQ(JoinPath(L"C:\\f", L"a\\b.exe"), L"C:\\f\\a\\b.exe");
  EXPECT_EQ(JoinPath(L"C:\\f\\", L"b.exe"), L"C:\\f\\b.exe");
  EXPECT_EQ(JoinPath(L"C:\\f", L""), L"C:\\f");
  const std::wstring deep = L"C:\\" + std::wstring(300, L'd');
  EXPECT_EQ(JoinPath(deep, L"x"), deep + L"\\x") << "no MAX_PATH limit: unpacking may go deeper";
}

TEST(DownloadTargetPath, NamesComeFromTheUrlAndUnsafeOnesAreRefused) {
  EXPECT_EQ(FileNameFromUrl(L"https://host/f/get?id=5#x"), L"get");
  EXPECT_EQ(FileNameFromUrl(L"https://host/f/"), L"");
  EXPECT_TRUE(IsSafeFileName(L"setup.exe"));
  for (const wchar_t* name : {L"..\\evil.exe", L"nul.txt", L""}) EXPECT_FALSE(IsSafeFileName(name)) << Utf8(name);
}

TEST(DownloadSystemErrorText, IsTheSystemsMessage) {
  EXPECT_EQ(GetSystemErrorText(ERROR_FILE_NOT_FOUND).rfind(L"File not found", 0), 0u)
      << Utf8(GetSystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetSystemErrorText(0xDEADu), L"");
}

// ---- Redirect targets: pure logic -------------------------------------------------------------------

TEST(DownloadRedirectUrl, RelativeLocationsAreResolvedAgainstTheCurrentUrl) {
  const std::wstring current = L"https://localhost:8443/t/s/redirect=2/f/file.bin?q=1#frag";
  EXPECT_EQ(ResolveRedirect(current, L"https://other/x"), L"https://other/x");
  EXPECT_EQ(ResolveRedirect(current, L"http://other"), L"http://other");
  EXPECT_EQ(ResolveRedirect(current, L"//cdn.example/x.exe"), L"https://cdn.example/x.exe");
  EXPECT_EQ(ResolveRedirect(current, L"/f/x"), L"https://localhost:8443/f/x");
  EXPECT_EQ(ResolveRedirect(current, L"x"), L"https://localhost:8443/t/s/redirect=2/f/x");
  EXPECT_EQ(ResolveRedirect(current, L"./x?y=2"), L"https://localhost:8443/t/s/redirect=2/f/x?y=2");
  EXPECT_EQ(ResolveRedirect(current, L"../../x"), L"https://localhost:8443/t/s/x");
  EXPECT_EQ(ResolveRedirect(current, L"../../../../../../f/x"), L"https://localhost:8443/f/x");
  EXPECT_EQ(ResolveRedirect(current, L"/a/./b/../c"), L"https://localhost:8443/a/c");
  EXPECT_EQ(ResolveRedirect(current, L"?page=2"), L"https://localhost:8443/t/s/redirect=2/f/file.bin?page=2");
  EXPECT_EQ(ResolveRedirect(current, L""), L"https://localhost:8443/t/s/redirect=2/f/file.bin?q=1");
  EXPECT_EQ(ResolveRedirect(L"https://host", L"x.exe"), L"https://host/x.exe");
  EXPECT_EQ(ResolveRedirect(L"https://host?a=b", L"x.exe"), L"https://host/x.exe");
}

TEST(DownloadRedirectUrl, DotSegments) {
  EXPECT_EQ(RemoveDotSegments(L"/a/b/c/./../../g"), L"/a/g");
  EXPECT_EQ(RemoveDotSegments(L"/a/b/.."), L"/a/");
  EXPECT_EQ(RemoveDotSegments(L"/a/b/."), L"/a/b/");
  EXPECT_EQ(RemoveDotSegments(L"/../x"), L"/x");
  EXPECT_EQ(RemoveDotSegments(L"/a//b"), L"/a//b");
}

// ---- DownloadFile against the reference back end ----------------------------------------------

TEST_F(DownloadFileTest, WithContentLengthTheFileIsCompleteAndProgressEndsAt100) {
  const std::wstring url = Url(L"length", L"-", L"f/blob-256k.bin");
  const auto result = Download(url);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.text, L"");
  const std::wstring path = InDownloads(L"blob-256k.bin");
  EXPECT_EQ(result.path, path);
  const std::string bytes = ReadWholeFile(path);
  EXPECT_EQ(bytes.size(), 256u * 1024);
  EXPECT_TRUE(bytes == ServedFile("blob-256k.bin"));

  EXPECT_EQ(m_recorder.m_sizeUnknown, 0);
  ASSERT_GE(m_recorder.m_progress.size(), 2u);
  EXPECT_EQ(m_recorder.m_progress.back(), 100);
  ExpectSaneProgress(m_recorder.m_progress);
  EXPECT_EQ(ScenarioRequests().size(), 1u) << "WinHTTP alone, no fallback";
}

TEST_F(DownloadFileTest, TheGivenFolderAndNameAreUsed) {
  const auto result = DownloadInto(*DownloadManager::GetInstance(), m_tempFolder, Url(L"temp", L"-", L"f/hello.txt"),
                                   L"greeting.txt");
  EXPECT_TRUE(result.ok) << Utf8(result.text);
  EXPECT_EQ(ReadWholeFile(m_tempFolder + L"\\greeting.txt"), kHelloText);
  EXPECT_EQ(result.path, m_tempFolder + L"\\greeting.txt");
  EXPECT_FALSE(FileExists(InDownloads(L"greeting.txt")));
}

TEST_F(DownloadFileTest, AQueryDoesNotBecomePartOfTheFileName) {
  const auto result = Download(Url(L"query", L"-", L"f/hello.txt?id=5#top"));
  EXPECT_TRUE(result.ok) << Utf8(result.text);
  EXPECT_EQ(ReadWholeFile(InDownloads(L"hello.txt")), kHelloText);
}

TEST_F(DownloadFileTest, WithoutContentLengthTheSizeIsUnknownAndTheFileKept) {
  for (const wchar_t* directives : {L"length=none", L"chunked=4096"}) {
    SCOPED_TRACE(Utf8(directives));
    m_recorder.m_progress.clear();
    m_recorder.m_sizeUnknown = 0;
    const auto result = Download(Url(L"nolength", directives, L"f/blob-64k.bin"));
    EXPECT_TRUE(result.ok) << Utf8(result.text);
    EXPECT_EQ(result.text, L"");
    EXPECT_EQ(m_recorder.m_sizeUnknown, 1);
    EXPECT_TRUE(m_recorder.m_progress.empty()) << "no percentages, no final 100";
    EXPECT_TRUE(ReadWholeFile(InDownloads(L"blob-64k.bin")) == ServedFile("blob-64k.bin"));
  }
}

TEST_F(DownloadFileTest, ABodyShorterThanAnnouncedFailsBothTransportsAndLeavesNoFile) {
  // 400 bytes sent, more announced (also a length beyond 32 bits, read whole, not cut or taken as
  // unknown), then the connection is closed.
  for (const std::wstring announced : {L"1000", L"4294967696"}) {
    const std::wstring extra = std::to_wstring(std::stoull(announced) - 400);
    const auto result = Download(Url(L"short", L"length=+" + extra, L"f/blob-400.bin"));
    EXPECT_FALSE(result.ok);
    const std::wstring incomplete = L"Download was incomplete: content length: " + announced + L", downloaded: 400";
    EXPECT_EQ(result.text, L"[WINHTTP] " + incomplete + L" [WININET] " + incomplete);
    EXPECT_FALSE(FileExists(InDownloads(L"blob-400.bin")));
  }
}

TEST(DownloadContentLength, SixtyFourBitDecimalsOnly) {
  uint64_t length = 1;
  EXPECT_TRUE(download::ParseContentLength(L"18446744073709551615", length));
  EXPECT_EQ(length, UINT64_MAX);
  EXPECT_TRUE(download::ParseContentLength(L" 4294967296 ", length));
  EXPECT_EQ(length, 4294967296ull);
  for (const wchar_t* bad : {L"", L" ", L"18446744073709551616", L"-1", L"12abc", L"0x10", L"1 2"}) {
    EXPECT_FALSE(download::ParseContentLength(bad, length)) << Utf8(bad);
    EXPECT_EQ(length, 0u);
  }
}

TEST_F(DownloadFileTest, Status404FailsBothTransports) {
  const auto result = Download(Url(L"s404", L"status=404", L"f/hello.txt"));
  EXPECT_FALSE(result.ok);
  const std::wstring expected =
      L"[WINHTTP] Download failed: Server returned status code: 404 [WININET] Server returned status code: HTTP 404 - ";
  EXPECT_EQ(result.text.substr(0, expected.size()), expected) << Utf8(result.text);
  EXPECT_FALSE(FileExists(InDownloads(L"hello.txt")));
  EXPECT_EQ(ScenarioRequests().size(), 2u);
}

TEST_F(DownloadFileTest, FiveRedirectsAreFollowed) {
  const auto result = Download(Url(L"redirect5", L"redirect=5", L"f/hello.txt"));
  EXPECT_TRUE(result.ok) << Utf8(result.text);
  EXPECT_EQ(result.text, L"");
  EXPECT_EQ(ReadWholeFile(InDownloads(L"hello.txt")), kHelloText);
  EXPECT_EQ(ScenarioRequests().size(), 6u) << "five hops and the file, all on WinHTTP";
}

TEST_F(DownloadFileTest, ASixthRedirectFailsWinHttpAndTheFallbackStartsFromTheGivenUrl) {
  const std::wstring url = Url(L"redirect6", L"redirect=6", L"f/hello.txt");
  const auto result = Download(url);
  const json requests = ScenarioRequests();
  // WinHTTP stops after six answers; WinINet follows redirects by itself (Wine allows more than six),
  // starting again at the URL that was given.
  ASSERT_EQ(requests.size(), 13u) << requests.dump();
  const std::string first = requests[0]["path"];
  EXPECT_EQ(requests[6]["path"], first) << "the fallback starts from the URL that was passed in";
  EXPECT_TRUE(result.ok) << Utf8(result.text);
  EXPECT_EQ(result.text, L"[WINHTTP] Too many redirects.");
  EXPECT_EQ(ReadWholeFile(InDownloads(L"hello.txt")), kHelloText);
}

TEST_F(DownloadFileTest, WinHttpTakesAny2xxWinInetOnly200) {
  const auto direct = Download(Url(L"s203", L"status=203", L"f/hello.txt"));
  EXPECT_TRUE(direct.ok) << Utf8(direct.text);
  EXPECT_EQ(direct.text, L"");

  // Six hops stop WinHTTP; WinINet follows them and then refuses the 203.
  const auto fallback = Download(Url(L"s203hops", L"redirect=6,status=203", L"f/hello.txt"));
  EXPECT_FALSE(fallback.ok);
  const std::wstring expected = L"[WINHTTP] Too many redirects. [WININET] Server returned status code: HTTP 203 - ";
  EXPECT_EQ(fallback.text.substr(0, expected.size()), expected) << Utf8(fallback.text);
  EXPECT_EQ(ReadWholeFile(InDownloads(L"hello.txt")), kHelloText) << "the first download's file stays";
}

TEST_F(DownloadFileTest, RelativeRedirectsAreFollowed) {
  struct Case {
    const wchar_t* directives;
    const wchar_t* endpoint;
    size_t scenarioRequests;
  };
  const Case cases[] = {
      // Three "/t/..." Locations.
      {L"redirect=3,loc=rel", L"f/hello.txt", 4},
      // A bare "hello.txt", taken from the folder of the current path; that path redirects once
      // more (its own first request), then answers.
      {L"redirect=1:-,to=hello.txt", L"f/start.txt", 3},
      // "../../../../f/hello.txt" climbs to the root: the plain /f/hello.txt answers.
      {L"redirect=1,to=..%2F..%2F..%2F..%2Ff%2Fhello.txt", L"f/start.txt", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.directives));
    const auto result = Download(Url(L"relative", c.directives, c.endpoint), L"hello-rel.txt");
    EXPECT_TRUE(result.ok) << Utf8(result.text);
    EXPECT_EQ(result.text, L"") << "WinHTTP itself succeeded";
    EXPECT_EQ(ReadWholeFile(InDownloads(L"hello-rel.txt")), kHelloText);
    EXPECT_EQ(ScenarioRequests().size(), c.scenarioRequests);
  }
}

TEST_F(DownloadFileTest, ALocationLongerThan260CharactersIsReadWhole) {
  // Every hop keeps the directives, so the Location repeats this long list; the file name is last.
  std::wstring directives = L"redirect=1";
  for (int i = 0; i < 40; ++i) directives += L",delay=0";
  const auto result = Download(Url(L"longloc", directives, L"f/hello.txt"));
  EXPECT_TRUE(result.ok) << Utf8(result.text);
  EXPECT_EQ(result.text, L"");
  EXPECT_EQ(ReadWholeFile(InDownloads(L"hello.txt")), kHelloText);
  const json requests = ScenarioRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GT(std::string("https://localhost").size() + requests[1]["path"].get<std::string>().size(), 260u);
}

TEST_F(DownloadFileTest, ACancelledDownloadEndsAtOnceOnBothTransports) {
  // An instance of its own, so the process-wide flag stays clear. The body trickles (20 s for the
  // whole file); the user closes at the first percentage.
  DownloadManager manager;
  m_recorder.m_onFirstProgress = [&manager] { manager.m_cancelled = true; };
  const auto result = DownloadInto(manager, m_downloadFolder, Url(L"cancel", L"rate=50000", L"f/blob-1m.bin"));
  EXPECT_TRUE(manager.m_cancelled);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.text, L"[WINHTTP] Download cancelled.") << "no fallback after a cancel";
  EXPECT_EQ(ScenarioRequests().size(), 1u);
  EXPECT_FALSE(FileExists(InDownloads(L"blob-1m.bin")));

  // Cancelled during the pause before the fallback: the fallback never starts.
  manager.m_cancelled = false;
  SetFallbackPauseForTesting(30s);
  const std::wstring notFound = Url(L"cancel3", L"status=404", L"f/blob-1m.bin");
  auto paused = m_recorder.Start([&] { return manager.DownloadFile(notFound, nullptr, L"", m_downloadFolder); });
  m_recorder.PumpUntil([&] { return ScenarioRequests().size() == 1; }, kHoldWait);
  manager.m_cancelled = true;
  const auto afterPause = m_recorder.Finish(paused);
  EXPECT_EQ(afterPause.text.rfind(L"[WINHTTP] ", 0), 0u) << Utf8(afterPause.text);
  EXPECT_EQ(afterPause.text.find(L"[WININET]"), std::wstring::npos) << Utf8(afterPause.text);
  EXPECT_EQ(ScenarioRequests().size(), 1u);
  SetFallbackPauseForTesting(10ms);

  // The fallback transport alone stops too.
  const auto winInet = manager.DownloadFileWinInet(Url(L"cancel2", L"-", L"f/blob-1m.bin"), nullptr, L"", m_downloadFolder);
  EXPECT_FALSE(winInet.ok);
  EXPECT_EQ(winInet.text, L" [WININET] Download cancelled.");
  EXPECT_FALSE(FileExists(InDownloads(L"blob-1m.bin")));
  EXPECT_FALSE(DownloadManager::GetInstance()->m_cancelled);
}

TEST_F(DownloadFileTest, AConnectionResetWithoutALengthFailsBothTransports) {
  // Slow enough that the headers and the first chunks have arrived when the connection is reset.
  const auto result = Download(Url(L"resetnolength", L"length=none,rate=400000,reset=262144", L"f/blob-1m.bin"));
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.text.rfind(L"[WINHTTP] Failed to ", 0), 0u) << Utf8(result.text);
  EXPECT_NE(result.text.find(L" [WININET] Failed to read data: "), std::wstring::npos) << Utf8(result.text);
  EXPECT_FALSE(FileExists(InDownloads(L"blob-1m.bin"))) << "a broken body is never put in place";
}

TEST_F(DownloadFileTest, ABrokenBodyGoesOnWhereItStoppedWhenTheServerAnswersRanges) {
  // Slow enough that the bytes before the break have been read when it comes.
  struct Case {
    const wchar_t* directives;
    size_t requests;
    bool fallback;
  };
  for (const Case& c : {Case{L"rate=4000000,reset=262144:-", 2, false},     // reset once, then the rest
                        Case{L"rate=4000000,truncate=262144:-", 2, false},  // closed early once
                        Case{L"rate=4000000,ranges=off,reset=262144:-", 2, true},  // no ranges: WinINet
                        Case{L"rate=4000000,reset=262144", 5, true}}) {      // three resumes, then WinINet
    SCOPED_TRACE(Utf8(c.directives));
    const auto result = Download(Url(L"resume", c.directives, L"f/blob-2m.bin"));
    const json requests = ScenarioRequests();
    EXPECT_EQ(requests.size(), c.requests);
    EXPECT_EQ(result.text.empty(), !c.fallback) << Utf8(result.text);
    if (c.requests == 5) {
      EXPECT_FALSE(result.ok);
      continue;
    }
    EXPECT_TRUE(result.ok) << Utf8(result.text);
    EXPECT_TRUE(ReadWholeFile(result.path) == ServedFile("blob-2m.bin"));
    DeleteFileW(result.path.c_str());
    if (!c.fallback && requests.size() == 2) {
      const std::string range = requests[1]["headers"].dump();
      EXPECT_NE(range.find("\"bytes="), std::string::npos) << range;
      EXPECT_EQ(range.find("\"bytes=0-"), std::string::npos) << "it goes on, not from the start: " << range;
    }
  }
}

TEST_F(DownloadFileTest, AGivenSha256DecidesWhatIsKeptAndPlainHttpNeedsOne) {
  auto& manager = *DownloadManager::GetInstance();
  // Other bytes than named: neither transport keeps them. (This first request also has the back end
  // make the file, so its bytes can be read below.)
  const std::wstring wrong(64, L'0');
  const auto other = m_recorder.RunPumping(
      [&] { return manager.DownloadFile(Url(L"hash", L"-", L"f/blob-1k.bin"), nullptr, L"", m_downloadFolder, wrong); });
  EXPECT_FALSE(other.ok);
  EXPECT_EQ(other.text.rfind(L"[WINHTTP] SHA-256 mismatch: expected " + wrong + L", got ", 0), 0u) << Utf8(other.text);
  EXPECT_NE(other.text.find(L" [WININET] SHA-256 mismatch: "), std::wstring::npos) << Utf8(other.text);
  EXPECT_TRUE(FilesIn(m_downloadFolder).empty());

  std::string upper = Sha256Hex(ServedFile("blob-1k.bin"));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::wstring right = win::FromUtf8(upper);
  const auto kept = m_recorder.RunPumping(
      [&] { return manager.DownloadFile(Url(L"hash", L"-", L"f/blob-1k.bin"), nullptr, L"", m_downloadFolder, right); });
  EXPECT_TRUE(kept.ok) << Utf8(kept.text);
  EXPECT_TRUE(ReadWholeFile(kept.path) == ServedFile("blob-1k.bin"));
  DeleteFileW(kept.path.c_str());

  // Refused before any request: plain HTTP without a hash, and a hash that is not one.
  const std::wstring plain = L"http://127.0.0.1/t/" + refserver::NewScenario(L"plain") + L"/-/f/blob-1k.bin";
  EXPECT_EQ(manager.DownloadFile(plain, nullptr, L"", m_downloadFolder).text,
            L"Refused without TLS and without a SHA-256: " + plain);
  EXPECT_EQ(manager.DownloadFile(plain, nullptr, L"", m_downloadFolder, L"12ab").text, L"Invalid SHA-256: 12ab");
  EXPECT_TRUE(FilesIn(m_downloadFolder).empty());
}

TEST_F(DownloadFileTest, AMissingFolderFailsWithInvalidPathBeforeAnyRequest) {
  const std::wstring missing = m_downloadFolder + L"\\missing";
  const std::wstring url = Url(L"nofolder", L"-", L"f/hello.txt");
  auto& manager = *DownloadManager::GetInstance();
  for (const DownloadResult& result : {DownloadInto(manager, missing, url), manager.DownloadFileWinInet(url, nullptr, L"", missing)}) {
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, L"Invalid path");
  }
  EXPECT_TRUE(ScenarioRequests().empty());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(FilesIn(m_downloadFolder).empty());
}

TEST_F(DownloadFileTest, NoPartialFileIsLeftWhenBothTransportsFail) {
  // Both connections are reset after 64 KiB. WinHTTP's is held there until its progress has
  // arrived, so the reset cannot throw away bytes it has not read yet; the fallback's is not held.
  auto download = StartDownload(Url(L"reset", L"hold=65536:-,reset=65536", L"f/blob-1m.bin"));
  const bool progressed = m_recorder.PumpUntil([this] { return !m_recorder.m_progress.empty(); }, kHoldWait);
  refserver::Release(m_scenario);
  const auto result = m_recorder.Finish(download);
  EXPECT_TRUE(progressed) << "bytes were written before the reset";
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.text.rfind(L"[WINHTTP] ", 0), 0u) << Utf8(result.text);
  EXPECT_NE(result.text.find(L" [WININET] "), std::wstring::npos) << Utf8(result.text);
  EXPECT_FALSE(FileExists(InDownloads(L"blob-1m.bin")));
}

TEST_F(DownloadFileTest, EachPercentageCountsEveryByteReadSoFar) {
  // Every read is more than one point of the file here, so every read posts its share: WinHTTP's
  // file has fewer than 100 bytes, WinINet reads 4096 bytes at a time of 99 times that. The body
  // stops after 50 of its 99 parts until their share has arrived: 50/99 is 50.5%, so 50; a share
  // that left out the last read would be 49/99 (49.5%) or less.
  struct Case {
    const wchar_t* transport;
    const wchar_t* directives;
    const wchar_t* endpoint;
  };
  for (const Case& c : {Case{L"WinHTTP", L"hold=50:-", L"f/blob-99.bin"},
                        Case{L"WinINet", L"hold=204800", L"f/blob-405504.bin"}}) {
    SCOPED_TRACE(Utf8(c.transport));
    m_recorder.m_progress.clear();
    const std::wstring url = Url(L"share", c.directives, c.endpoint);
    const bool winInet = c.transport == std::wstring(L"WinINet");
    auto download = m_recorder.Start([&] {
      auto& manager = *DownloadManager::GetInstance();
      return winInet ? manager.DownloadFileWinInet(url, m_recorder.Window(), L"", m_downloadFolder)
                     : manager.DownloadFile(url, m_recorder.Window(), L"", m_downloadFolder);
    });
    m_recorder.PumpUntil([this] { return !m_recorder.m_progress.empty() && m_recorder.m_progress.back() >= 50; },
                         kHoldWait);
    const std::vector<int> held = m_recorder.m_progress;
    refserver::Release(m_scenario);
    const auto result = m_recorder.Finish(download);
    EXPECT_TRUE(result.ok) << Utf8(result.text);
    EXPECT_EQ(result.text, L"");
    ASSERT_FALSE(held.empty());
    EXPECT_EQ(held.back(), 50) << ::testing::PrintToString(held);
    EXPECT_EQ(m_recorder.m_progress.back(), 100);
    ExpectSaneProgress(m_recorder.m_progress);
  }
}

TEST_F(DownloadFileTest, AUsersFileIsNeverReplacedAndAFailedDownloadLeavesNothing) {
  const std::wstring path = InDownloads(L"blob-1m.bin");
  const std::string own = "the user's own bytes";
  WriteWholeFile(path, own);
  // Both transports fail: before the body, after 64 KiB of it, and for want of disk room.
  for (const wchar_t* directives : {L"status=404", L"truncate=65536", L"length=1125899906842624"}) {
    SCOPED_TRACE(Utf8(directives));
    const auto result = Download(Url(L"userfile", directives, L"f/blob-1m.bin"));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.text.find(L" [WININET] "), std::wstring::npos) << Utf8(result.text);
    EXPECT_EQ(FilesIn(m_downloadFolder), std::set<std::wstring>{L"blob-1m.bin"}) << "no temporary file is left";
  }
  EXPECT_NE(Download(Url(L"noroom", L"length=1125899906842624", L"f/blob-1m.bin"))
                .text.find(L"[WINHTTP] Not enough disk space: 1125899906842624 bytes needed, "),
            std::wstring::npos);
  // Complete downloads take the next free name, on either transport (WinINet after six hops), also
  // beside a file another program holds open without sharing.
  const std::wstring locked = InDownloads(L"locked.bin");
  WriteWholeFile(locked, own);
  win::FileHandle lock(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  struct Case {
    const wchar_t* directives;
    const wchar_t* name;
    const wchar_t* saved;
  };
  for (const Case& c : {Case{L"redirect=6", L"", L"blob-1m (1).bin"}, Case{L"-", L"", L"blob-1m (2).bin"},
                        Case{L"-", L"locked.bin", L"locked (1).bin"}}) {
    SCOPED_TRACE(Utf8(c.saved));
    const auto result = Download(Url(L"userfile", c.directives, L"f/blob-1m.bin"), c.name);
    EXPECT_TRUE(result.ok) << Utf8(result.text);
    EXPECT_EQ(result.path, InDownloads(c.saved));
    EXPECT_TRUE(ReadWholeFile(result.path) == ServedFile("blob-1m.bin"));
  }
  lock.Reset();
  EXPECT_EQ(ReadWholeFile(path), own);
  EXPECT_EQ(ReadWholeFile(locked), own);
  EXPECT_EQ(FilesIn(m_downloadFolder), (std::set<std::wstring>{L"blob-1m.bin", L"blob-1m (1).bin", L"blob-1m (2).bin",
                                                                L"locked.bin", L"locked (1).bin"}));
}

TEST_F(DownloadFileTest, ATricklingOrSilentBodyFailsAndAMovingOneGoesOn) {
  TransferLimits limits;
  limits.receive = 3s;
  limits.stallWindow = 2s;
  limits.stallBytes = 8192;  // more than one WinINet read (4096 bytes, which returns only when full)
  SetTransferLimitsForTesting(limits);
  struct Case {
    const wchar_t* directives;
    const wchar_t* endpoint;
    const wchar_t* failure;  // in both transports' texts; null: the download succeeds
  };
  // 1000 bytes a second; 40 KB a second.
  for (const Case& c : {Case{L"rate=1000", L"f/blob-1m.bin", L"Download stalled: fewer than 8192 bytes in 2 s."},
                        Case{L"rate=40000", L"f/blob-200k.bin", nullptr}}) {
    SCOPED_TRACE(Utf8(c.directives));
    const auto result = Download(Url(L"stall", c.directives, c.endpoint));
    if (!c.failure) {
      EXPECT_TRUE(result.ok) << Utf8(result.text);
      continue;
    }
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text.rfind(L"[WINHTTP] " + std::wstring(c.failure), 0), 0u) << Utf8(result.text);
    EXPECT_NE(result.text.find(L" [WININET] " + std::wstring(c.failure)), std::wstring::npos) << Utf8(result.text);
    EXPECT_TRUE(FilesIn(m_downloadFolder).empty());
  }
  // Silent after 64 KiB on the first attempt (held longer than the test runs), from a server without
  // ranges: WinHTTP's receive time-out ends it, and the fallback fetches the file.
  const auto silent = Download(Url(L"silent", L"hold=65536:-,ranges=off", L"f/blob-1m.bin"));
  refserver::Control(L"POST", L"reset", json{{"scenario", Utf8(m_scenario)}}.dump());  // the held answer ends
  EXPECT_TRUE(silent.ok);
  EXPECT_EQ(silent.text.rfind(L"[WINHTTP] Failed to query data: ", 0), 0u) << Utf8(silent.text);
  SetTransferLimitsForTesting(TransferLimits{});
}

TEST_F(DownloadFileTest, NamesThatWouldLeaveTheFolderAreRefusedBeforeAnyRequest) {
  const std::wstring outside = m_downloadFolder + L"-escape.bin";
  for (const std::wstring& name : {std::wstring(L"..\\escape.bin"), std::wstring(L"../escape.bin"),
                                  std::wstring(L"C:escape.bin"), std::wstring(L"CON"), std::wstring(L".."), outside}) {
    SCOPED_TRACE(Utf8(name));
    const auto result = Download(Url(L"badname", L"-", L"f/hello.txt"), name);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, L"[WINHTTP] Invalid file name: " + name + L" [WININET] Invalid file name: " + name);
    EXPECT_TRUE(ScenarioRequests().empty()) << "nothing was asked of the server";
  }
  // A name taken from the URL follows the same rules.
  const auto result = Download(Url(L"badname", L"-", L"f/nul.txt"));
  EXPECT_EQ(result.text, L"[WINHTTP] Invalid file name: nul.txt [WININET] Invalid file name: nul.txt");
  const auto noName = Download(Url(L"badname", L"-", L"f/"));
  EXPECT_EQ(noName.text, L"[WINHTTP] Invalid file name:  [WININET] Invalid file name: ");
  EXPECT_FALSE(FileExists(outside));
  EXPECT_FALSE(FileExists(m_downloadFolder.substr(0, m_downloadFolder.rfind(L'\\') + 1) + L"escape.bin"));
  EXPECT_TRUE(Boxes().empty());
}

// ---- Memory downloads ----------------------------------------------------------------------------

using DownloadToMemoryTest = DownloadFileTest;

TEST_F(DownloadToMemoryTest, TheBytesEqualTheFile) {
  const auto bytes = DownloadManager::GetInstance()->DownloadToMemory(Url(L"mem", L"-", L"f/blob-100k.bin"));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 100u * 1024);
  EXPECT_TRUE(std::string(bytes->begin(), bytes->end()) == ServedFile("blob-100k.bin"));
  const json requests = ScenarioRequests();
  ASSERT_EQ(requests.size(), 1u);
  bool agent = false;
  for (const auto& header : requests[0]["headers"]) {
    if (header[0] == "User-Agent") agent = header[1] == "A WinHTTP Example Program/1.0";
  }
  EXPECT_TRUE(agent) << requests[0]["headers"].dump();
}

TEST_F(DownloadToMemoryTest, TheSecondAttemptMaySucceed) {
  const auto bytes = DownloadManager::GetInstance()->DownloadToMemory(Url(L"mem2", L"status=500:200", L"f/hello.txt"));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), kHelloText);
  EXPECT_EQ(ScenarioRequests().size(), 2u);
}

TEST_F(DownloadToMemoryTest, TwoFailedAttemptsOrABodyOver4MiBGiveAnEmptyVector) {
  const auto bytes = DownloadManager::GetInstance()->DownloadToMemory(Url(L"mem500", L"status=500", L"f/hello.txt"));
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(bytes->empty());
  EXPECT_EQ(ScenarioRequests().size(), 2u) << "two attempts, no more";
  EXPECT_EQ(DownloadManager::GetInstance()->DownloadToMemory(Url(L"memcap", L"-", L"f/blob-4m.bin"))->size(), 4u << 20);
  EXPECT_TRUE(DownloadManager::GetInstance()->DownloadToMemory(Url(L"memcap", L"-", L"f/blob-4194305.bin"))->empty());

  // A host nobody listens on fails both attempts at the transport level.
  const auto unreachable = DownloadManager::GetInstance()->DownloadToMemory(L"https://127.0.0.1:1/f/hello.txt");
  ASSERT_TRUE(unreachable);
  EXPECT_TRUE(unreachable->empty());
}

TEST_F(DownloadToMemoryTest, RedirectsAreFollowedAndTheSecondAttemptStartsWhereTheFirstEnded) {
  const auto manager = DownloadManager::GetInstance();
  const auto relative = manager->DownloadToMemory(Url(L"memrel", L"redirect=2,loc=rel", L"f/hello.txt"));
  EXPECT_EQ(std::string(relative->begin(), relative->end()), kHelloText);

  // Three hops to a path that answers 500 once: the second attempt asks that path again, not the first.
  const auto carried = manager->DownloadToMemory(Url(L"memhops", L"redirect=3,status=500:200", L"f/hello.txt"));
  EXPECT_EQ(std::string(carried->begin(), carried->end()), kHelloText);
  const json requests = ScenarioRequests();
  ASSERT_EQ(requests.size(), 5u) << requests.dump();
  EXPECT_EQ(requests[3]["path"], requests[4]["path"]);
}

TEST_F(DownloadToMemoryTest, RedirectsAreCountedOverBothAttempts) {
  // Three hops lead to T, which answers 500 first and then redirects three more times: the sixth
  // redirect of the call ends the second attempt (an own count per attempt would ask once more).
  const std::wstring scenario = refserver::NewScenario(L"memcount");
  const std::wstring target = L"%2Ft%2F" + scenario + L"%2Fstatus%3D500%3A-%2Credirect%3D-%3A3%2Ff%2Fhello.txt";
  m_scenario = scenario;
  const auto bytes = DownloadManager::GetInstance()->DownloadToMemory(
      refserver::FaultUrl(scenario, L"redirect=3,to=" + target, L"f/start.txt"));
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(bytes->empty());
  EXPECT_EQ(ScenarioRequests().size(), 7u) << ScenarioRequests().dump();
}

TEST_F(DownloadToMemoryTest, ACancelledManagerGetsNothing) {
  DownloadManager manager;
  manager.m_cancelled = true;
  const auto bytes = manager.DownloadToMemory(Url(L"memcancel", L"-", L"f/hello.txt"));
  ASSERT_TRUE(bytes);
  EXPECT_TRUE(bytes->empty());
  EXPECT_TRUE(ScenarioRequests().empty()) << "no attempt after a cancel";
}

namespace {
// Waits for one call of the completion callable and keeps what it was given.
struct Completion {
  std::mutex mutex;
  std::condition_variable called;
  int calls = 0;
  DWORD thread = 0;
  bool null = false;
  std::string bytes;

  std::function<void(DownloadManager::Bytes)> Callable() {
    return [this](DownloadManager::Bytes received) {
      std::lock_guard<std::mutex> lock(mutex);
      ++calls;
      thread = GetCurrentThreadId();
      null = !received;
      if (received) bytes.assign(received->begin(), received->end());
      called.notify_all();
    };
  }
  // The wait bound only keeps a broken build from hanging the suite.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    return called.wait_for(lock, 120s, [this] { return calls > 0; });
  }
};
}  // namespace

TEST_F(DownloadToMemoryTest, AsyncCallsItsCallableOnceOnAnotherThread) {
  Completion completion;
  DownloadManager::GetInstance()->DownloadToMemoryAsync(Url(L"async", L"-", L"f/hello.txt"), completion.Callable());
  ASSERT_TRUE(completion.Wait());
  std::lock_guard<std::mutex> lock(completion.mutex);
  EXPECT_EQ(completion.calls, 1);
  EXPECT_NE(completion.thread, GetCurrentThreadId());
  EXPECT_FALSE(completion.null);
  EXPECT_EQ(completion.bytes, kHelloText);
}

TEST_F(DownloadToMemoryTest, AsyncAfterCancelHandsNull) {
  DownloadManager manager;
  manager.m_cancelled = true;
  Completion completion;
  manager.DownloadToMemoryAsync(Url(L"asynccancel", L"-", L"f/hello.txt"), completion.Callable());
  ASSERT_TRUE(completion.Wait());
  std::lock_guard<std::mutex> lock(completion.mutex);
  EXPECT_EQ(completion.calls, 1);
  EXPECT_TRUE(completion.null);
}

TEST_F(DownloadToMemoryTest, AsyncWantsACallable) {
  EXPECT_THROW(DownloadManager::GetInstance()->DownloadToMemoryAsync(L"https://localhost/f/hello.txt", {}),
               std::invalid_argument);
}
