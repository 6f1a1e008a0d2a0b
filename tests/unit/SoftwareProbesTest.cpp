// The offer rules that look at installed and running software, against the real registry of the
// test prefix (keys made by each test in the view it names, and removed after), real files and a
// real process. Which reason a rule sent is read back from the reference back end.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/ConfigurationManager.h"
#include "backend/AnalyticsContext.h"
#include "eligibility/OfferChecker.h"
#include "support/RunChecker.h"
#include "packages/Package.h"
#include "support/RefServer.h"
#include "win/Handle.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

constexpr REGSAM k32 = KEY_WOW64_32KEY;
constexpr REGSAM k64 = KEY_WOW64_64KEY;
const std::wstring kAppPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// A name no other run of these tests uses at the same time.
std::wstring UniqueName(const wchar_t* stem) {
  static int counter = 0;
  return stem + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
}

bool KeyPresent(HKEY root, const std::wstring& path, REGSAM view) {
  win::RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
}

// A key made in one view of the registry; what had to be created for it goes again at the end.
class TestKey {
 public:
  TestKey(HKEY root, const std::wstring& path, REGSAM view) : m_root(root), m_view(view) {
    for (size_t end = path.find(L'\\'); m_created.empty() && end != std::wstring::npos;
         end = path.find(L'\\', end + 1)) {
      if (!KeyPresent(root, path.substr(0, end), view)) m_created = path.substr(0, end);
    }
    if (m_created.empty() && !KeyPresent(root, path, view)) m_created = path;
    EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, m_key.Put(), nullptr),
              ERROR_SUCCESS);
  }
  ~TestKey() {
    m_key.Reset();
    if (m_created.empty()) return;
    const size_t cut = m_created.rfind(L'\\');
    win::RegKey parent;
    if (RegOpenKeyExW(m_root, m_created.substr(0, cut).c_str(), 0, KEY_ALL_ACCESS | m_view, parent.Put()) == 0) {
      RegDeleteTreeW(parent.Get(), m_created.substr(cut + 1).c_str());
    }
  }
  TestKey(const TestKey&) = delete;
  TestKey& operator=(const TestKey&) = delete;

  void Set(const std::wstring& name, const std::wstring& text) {
    Write(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  }
  void SetDword(const std::wstring& name, DWORD value) { Write(name, REG_DWORD, &value, sizeof(value)); }
  void SetQword(const std::wstring& name, uint64_t value) { Write(name, REG_QWORD, &value, sizeof(value)); }
  void Write(const std::wstring& name, DWORD type, const void* data, size_t size) {
    EXPECT_EQ(
        RegSetValueExW(m_key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
        ERROR_SUCCESS);
  }
  HKEY Get() const { return m_key.Get(); }

 private:
  HKEY m_root;
  REGSAM m_view;
  std::wstring m_created;
  win::RegKey m_key;
};

// A value of the prefix that a test changes, put back as it was found.
class SavedValue : public TestKey {
 public:
  SavedValue(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name)
      : TestKey(root, path, view), m_name(name), m_data(4096) {
    DWORD size = static_cast<DWORD>(m_data.size());
    m_existed = RegQueryValueExW(Get(), name.c_str(), nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    m_data.resize(size);
  }
  ~SavedValue() {
    if (m_existed)
      Write(m_name, m_type, m_data.data(), m_data.size());
    else
      Remove();
  }
  void Set(const std::wstring& text) { TestKey::Set(m_name, text); }
  void Remove() { RegDeleteValueW(Get(), m_name.c_str()); }

 private:
  std::wstring m_name;
  std::vector<BYTE> m_data;
  bool m_existed = false;
  DWORD m_type = 0;
};

// A folder of its own under %TEMP%, removed with what it holds.
struct TempFolder {
  TempFolder() { std::filesystem::create_directory(path); }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::wstring MakeFile(const std::wstring& name) const {
    std::ofstream(path / name).put('x');
    return path / name;
  }
  const std::filesystem::path path = std::filesystem::temp_directory_path() / UniqueName(L"welvane-probes-");
};

// A program started by the test and ended with it.
class RunningProgram {
 public:
  RunningProgram(const std::wstring& exe, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    EXPECT_TRUE(
        CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    m_process.Reset(info.hProcess);
    win::KernelHandle thread(info.hThread);
  }
  ~RunningProgram() {
    TerminateProcess(m_process.Get(), 0);
    WaitForSingleObject(m_process.Get(), INFINITE);
  }

 private:
  win::KernelHandle m_process;
};

std::wstring BinFolder() {
  wchar_t path[MAX_PATH] = {};
  const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return self.substr(0, self.rfind(L'\\'));
}

uint64_t NowSeconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - 116444736000000000ull) / 10000000ull;
}

constexpr uint64_t kDay = 86400;

using Rule = bool (OfferChecker::*)(Package&);

class SoftwareProbesTest : public ::testing::Test {
 protected:
  void SetUp() override { m_since = refserver::Control(L"GET", L"health").at("events").get<long long>(); }

  // An offer whose ad id is unique, so that its events can be told apart.
  static std::shared_ptr<Package> NewOffer() {
    const std::string adId = win::ToUtf8(refserver::NewScenario(L"probe"));
    const json element = {{"ad", {{"o", adId}, {"f", "flow"}}},
                          {"ps", {{"i", "i.png"}, {"dn", "Name"}, {"u", "u.exe"}}}};
    return std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
  }

  // The rejection reasons the back end received for the offer.
  std::vector<std::string> Reasons(Package& offer) {
    offer.WaitForEvents();
    const json events = refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(m_since) +
                                                                 "&package=" + offer.m_adId))
                            .at("events");
    std::vector<std::string> reasons;
    for (const auto& event : events) {
      EXPECT_EQ(event.at("record").at("6"), "2");
      reasons.push_back(event.at("record").at("13").get<std::string>());
    }
    return reasons;
  }

  // Runs one rule of a fresh engine on a fresh offer set up by `configure`: the reason it sent, ""
  // when the offer passed.
  std::string Verdict(Rule rule, const std::function<void(Package&)>& configure) {
    OfferChecker checker(10, RunProgramVersion(), RunPathTokens());
    const auto offer = NewOffer();
    configure(*offer);
    const bool rejected = (checker.*rule)(*offer);
    const std::vector<std::string> reasons = Reasons(*offer);
    EXPECT_EQ(reasons.size(), rejected ? 1u : 0u) << "one event exactly when rejected";
    return reasons.empty() ? "" : reasons.front();
  }

  std::string Registry(const std::function<void(Package&)>& configure) {
    return Verdict(&OfferChecker::CheckRegistryRules, configure);
  }

  long long m_since = 0;
};

// --- Registry rules -------------------------------------------------------------------------------

TEST_F(SoftwareProbesTest, KeysAreFoundUnderEverySoftwareRootAndView) {
  const std::wstring vendor = UniqueName(L"WelvaneVendor"), other = UniqueName(L"WelvaneOther");
  const auto forbid = [&](Package& o) { o.m_excludeIfRegistryKey = {L"hkcu\\software\\" + other, vendor + L"\\APP"}; };
  const auto require = [&](Package& o) { o.m_requireAnyRegistryKey = {L"", L"HKLM\\Software\\" + other, vendor}; };

  EXPECT_EQ(Registry(forbid), "");
  EXPECT_EQ(Registry(require), "NONE OF THE REGISTRY KEYS EXISTS");
  for (const auto& [root, view] :
       {std::pair{HKEY_CURRENT_USER, k64}, {HKEY_LOCAL_MACHINE, k64}, {HKEY_LOCAL_MACHINE, k32}}) {
    TestKey key(root, L"Software\\" + vendor + L"\\App", view);
    EXPECT_EQ(Registry(forbid), "REGISTRY KEY EXISTS") << root << " " << view;
    EXPECT_EQ(Registry(require), "") << root << " " << view;
  }
  // An explicit hklm\software path names the 64-bit view only.
  TestKey key32(HKEY_LOCAL_MACHINE, L"Software\\" + other, k32);
  EXPECT_EQ(Registry(require), "NONE OF THE REGISTRY KEYS EXISTS");
  TestKey key64(HKEY_LOCAL_MACHINE, L"Software\\" + other, k64);
  EXPECT_EQ(Registry(require), "");
}

TEST_F(SoftwareProbesTest, ValuesAndTheirData) {
  const std::wstring vendor = UniqueName(L"WelvaneVendor");
  TestKey key(HKEY_LOCAL_MACHINE, L"Software\\" + vendor + L"\\App", k32);
  key.Set(L"Version", L"2.0-Beta");
  key.SetDword(L"Count", 7);
  const std::wstring app = vendor + L"\\App\\";
  const auto names = [&](std::vector<std::wstring> entries) {
    return Registry([&](Package& o) { o.m_registryValueNames = entries; });
  };
  const auto data = [&](std::vector<std::wstring> entries) {
    return Registry([&](Package& o) { o.m_registryValueData = entries; });
  };

  EXPECT_EQ(names({app + L"Missing", app + L"COUNT"}), "REGISTRY VALUE EXISTS");
  EXPECT_EQ(names({app + L"Missing"}), "");
  EXPECT_EQ(names({L"", app + L"Count"}), "") << "an empty entry ends the rule";
  EXPECT_EQ(data({app + L"version\\2.0-BETA"}), "REGISTRY VALUE DATA MATCHES");
  EXPECT_EQ(data({app + L"version\\2.0", app + L"count\\8"}), "");
  EXPECT_EQ(data({L"", app + L"count\\ 7"}), "REGISTRY VALUE DATA MATCHES") << "an empty entry is skipped";
  EXPECT_EQ(data({app + L"missing\\seven"}), "") << "no value, nothing to convert";

  // A text that is not a number, compared with a number here, rejects its offer alone: whether it is
  // compared as a number depends on the machine.
  for (const wchar_t* text : {L"seven", L"12abc", L"7 or so", L"4294967296"}) {
    EXPECT_EQ(data({app + L"count\\" + text}), "RULE CHECK FAILED") << win::ToUtf8(text);
  }
}

// --- Files and processes --------------------------------------------------------------------------

TEST_F(SoftwareProbesTest, FilesAndARunningProcess) {
  TempFolder folder;
  const std::wstring missing = folder.path / L"missing.txt", present = folder.MakeFile(L"present.txt");
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens());
  EXPECT_FALSE(checker.AnyFileExists({}));
  EXPECT_FALSE(checker.AnyFileExists({missing}));
  EXPECT_TRUE(checker.AnyFileExists({missing, present}));

  const std::wstring exe = folder.path / L"my.tool.exe", log = folder.path / L"install.log";
  ASSERT_TRUE(CopyFileW((BinFolder() + L"\\fakeinstaller.exe").c_str(), exe.c_str(), TRUE));
  RunningProgram program(exe, L"my.tool.exe /SLEEP=600000 \"/LOG=" + log + L"\"");
  const auto running = [&](const std::string& name) {
    return Verdict(&OfferChecker::CheckRunningApplications, [&](Package& o) { o.m_excludeIfRunning = {"x", name}; });
  };
  EXPECT_EQ(running("my.tool"), "APPLICATION RUNNING");
  EXPECT_EQ(running("MY.TOOL.EXE"), "APPLICATION RUNNING");
  EXPECT_EQ(running("tool"), "");
  EXPECT_EQ(running("my"), "");
}

// --- App Paths ------------------------------------------------------------------------------------

TEST_F(SoftwareProbesTest, AppPathsNeedARegistrationNamingAnExistingFile) {
  TempFolder folder;
  const std::wstring present = folder.MakeFile(L"app.exe");
  const std::wstring machine32 = UniqueName(L"m32-") + L"app.exe", machine64 = UniqueName(L"m64-") + L"app.exe",
                     user = UniqueName(L"u-") + L"app.exe", gone = UniqueName(L"gone-") + L"app.exe",
                     unregistered = UniqueName(L"none-") + L"app.exe";
  TestKey m32(HKEY_LOCAL_MACHINE, kAppPaths + machine32, k32), m64(HKEY_LOCAL_MACHINE, kAppPaths + machine64, k64),
      u(HKEY_CURRENT_USER, kAppPaths + user, k64), g(HKEY_CURRENT_USER, kAppPaths + gone, k64);
  m32.Set(L"", present);
  m64.Set(L"", present);
  u.Set(L"", present);
  g.Set(L"", folder.path / L"gone.exe");
  const auto apps = [&](std::vector<std::wstring> include, std::vector<std::wstring> exclude) {
    return Verdict(&OfferChecker::CheckInstalledApplications, [&](Package& o) {
      o.m_includeApps = include;
      o.m_excludeApps = exclude;
    });
  };

  for (const auto& name : {machine32, machine64, user}) {
    EXPECT_EQ(apps({name}, {}), "");
    EXPECT_EQ(apps({}, {name}), "REGISTRY EXCLUDE APP FOUND");
  }
  for (const auto& name : {gone, unregistered}) {
    EXPECT_EQ(apps({name}, {}), "REGISTRY INCLUDE APP NOT FOUND");
    EXPECT_EQ(apps({}, {name}), "");
  }
  // Names are looked up as configured; the registered ones are kept in lower case.
  std::wstring capital = user;
  capital[0] = L'U';
  EXPECT_EQ(apps({}, {capital}), "");
  EXPECT_EQ(apps({gone}, {user}), "REGISTRY INCLUDE APP NOT FOUND") << "required applications come first";

  // Both views are read on 64-bit Windows (Wine shares App Paths between them, Windows does not).
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens());
  checker.LoadAppPaths();
  const auto listed = [&](const std::wstring& name, REGSAM view) {
    int count = 0;
    for (auto [it, end] = checker.m_appPaths.equal_range(name); it != end; ++it) count += it->second.view == view;
    return count;
  };
  EXPECT_EQ(listed(machine32, 0), 1);
  EXPECT_EQ(listed(machine64, k64), 1);
  EXPECT_EQ(listed(user, 0) + listed(user, k64), 2) << "HKCU's software keys are shared";
}

// --- Uninstall time stamps ------------------------------------------------------------------------

TEST_F(SoftwareProbesTest, AnUninstallKeepsTheOfferAwayForItsDays) {
  const std::wstring path = L"Software\\" + UniqueName(L"WelvaneVendor");
  TestKey user(HKEY_CURRENT_USER, path, k64), machine(HKEY_LOCAL_MACHINE, path, k32);
  const uint64_t now = NowSeconds();
  user.Set(L"ThreeDays", std::to_wstring(now - 3 * kDay));
  user.Set(L"EightDays", std::to_wstring(now - 8 * kDay));
  user.SetQword(L"ThreeDaysMs", (now - 3 * kDay) * 1000 + 999);
  user.SetQword(L"EightDaysMs", (now - 8 * kDay) * 1000 + 999);
  machine.Set(L"Removed", std::to_wstring(now - 3 * kDay));
  const auto uninstall = [&](const std::wstring& hive, const std::wstring& value, bool milliseconds) {
    return Verdict(&OfferChecker::CheckUninstallChecks, [&](Package& o) {
      o.m_uninstallChecks = {{hive, path, value, L"", 7, milliseconds}};
    });
  };

  EXPECT_EQ(uninstall(L"HKEY_CURRENT_USER", L"THREEDAYS", false), "MIN DAYS UNINSTALL CHECKER");
  EXPECT_EQ(uninstall(L"hkey_current_user", L"EightDays", false), "");
  EXPECT_EQ(uninstall(L"hkey_current_user", L"ThreeDaysMs", true), "MIN DAYS UNINSTALL CHECKER");
  EXPECT_EQ(uninstall(L"hkey_current_user", L"EightDaysMs", true), "");
  EXPECT_EQ(uninstall(L"hkey_current_user", L"Missing", false), "");
  EXPECT_EQ(uninstall(L"hkey_local_machine", L"Removed", false), "MIN DAYS UNINSTALL CHECKER") << "32-bit view";

  user.Set(L"Letters", L"abc");
  user.Set(L"Empty", L"");
  user.Set(L"Huge", L"99999999999999999999999");
  for (const wchar_t* value : {L"Letters", L"Empty", L"Huge"}) {
    EXPECT_EQ(uninstall(L"hkey_current_user", value, false), "RULE CHECK FAILED") << win::ToUtf8(value);
  }
  // Such a stamp costs only its offer: the pass goes on.
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens());
  const auto bad = NewOffer(), good = NewOffer(), unknownHive = NewOffer();
  bad->m_uninstallChecks = {{L"hkey_current_user", path, L"letters", L"", 7, false}};
  good->m_vertical = 1;
  bool stop = false;
  EXPECT_FALSE(checker.IsEligible(bad, stop));
  EXPECT_TRUE(checker.IsEligible(good, stop));
  EXPECT_EQ(Reasons(*bad), std::vector<std::string>{"RULE CHECK FAILED"});
  // A hive name that is none of the five is the configuration's fault and leaves the engine.
  unknownHive->m_uninstallChecks = {{L"hkey_elsewhere", path, L"letters", L"", 7, false}};
  EXPECT_THROW(checker.IsEligible(unknownHive, stop), std::out_of_range);
}

// --- Chrome and Internet Explorer -----------------------------------------------------------------

TEST_F(SoftwareProbesTest, ChromeIsFoundThroughItsRegistrations) {
  const auto chrome = [&](bool absentRejects) {
    return Verdict(&OfferChecker::CheckChrome, [&](Package& o) {
      o.m_rejectIfChromeAbsent = absentRejects;
      o.m_rejectIfChromePresent = !absentRejects;
    });
  };
  ASSERT_FALSE(KeyPresent(HKEY_LOCAL_MACHINE, kAppPaths + L"chrome.exe", k32)) << "the prefix has no Chrome";
  EXPECT_EQ(chrome(true), "NO CHROME");
  EXPECT_EQ(chrome(false), "");

  TempFolder folder;
  {
    // The App Paths registration names the folder.
    TestKey registration(HKEY_LOCAL_MACHINE, kAppPaths + L"chrome.exe", k32);
    registration.Set(L"Path", folder.path);
    EXPECT_EQ(chrome(true), "NO CHROME") << "no chrome.exe in the folder yet";
    folder.MakeFile(L"chrome.exe");
    EXPECT_EQ(chrome(true), "");
    EXPECT_EQ(chrome(false), "HAVE CHROME");
  }
  // The update beacon names the executable itself.
  {
    TestKey beacon(HKEY_CURRENT_USER, L"Software\\Google\\Chrome\\BLBeacon", k64);
    beacon.Set(L"Path", folder.path / L"chrome.exe");
    EXPECT_EQ(chrome(false), "HAVE CHROME");
  }
  // Where Chrome installs itself, without any registration: for all users or for one.
  for (const KNOWNFOLDERID& known : {FOLDERID_ProgramFilesX86, FOLDERID_LocalAppData}) {
    wchar_t* base = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(known, 0, nullptr, &base), S_OK);
    const std::filesystem::path google = std::filesystem::path(base) / L"Google";
    CoTaskMemFree(base);
    ASSERT_FALSE(std::filesystem::exists(google)) << "the prefix has no Google folder of its own";
    std::filesystem::create_directories(google / L"Chrome" / L"Application");
    std::ofstream(google / L"Chrome" / L"Application" / L"chrome.exe").put('x');
    EXPECT_EQ(chrome(true), "") << google;
    EXPECT_EQ(chrome(false), "HAVE CHROME") << google;
    std::filesystem::remove_all(google);
  }
}

TEST_F(SoftwareProbesTest, InternetExplorerOlderThanNineIsRejected) {
  SavedValue version(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", k32, L"Version");
  const auto ie = [&](bool rule) {
    return Verdict(&OfferChecker::CheckInternetExplorer, [&](Package& o) { o.m_rejectIfOldIe = rule; });
  };
  version.Set(L"8.0.7601.17514");
  EXPECT_EQ(ie(true), "OLD IE VERSION");
  EXPECT_EQ(ie(false), "");
  version.Set(L"9.11.19041.0");
  EXPECT_EQ(ie(true), "");
  version.Set(L"abc");
  EXPECT_EQ(ie(true), "RULE CHECK FAILED");
  version.Remove();
  EXPECT_EQ(ie(true), "");
}

TEST_F(SoftwareProbesTest, RulesWithoutDataPass) {
  for (Rule rule : {&OfferChecker::CheckRegistryRules, &OfferChecker::CheckRunningApplications,
                    &OfferChecker::CheckInstalledApplications, &OfferChecker::CheckUninstallChecks,
                    &OfferChecker::CheckChrome, &OfferChecker::CheckInternetExplorer}) {
    EXPECT_EQ(Verdict(rule, [](Package&) {}), "");
  }
}

}  // namespace
