#include "backend/ConfigurationManager.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "backend/Identity.h"
#include "machine/KnownFolder.h"
#include "win/Text.h"

#ifndef WELVANE_API_HOST
#define WELVANE_API_HOST "localhost"
#endif

namespace {

constexpr char kConfigUrl[] = "https://" WELVANE_API_HOST "/o";
constexpr char kAnalyticsUrl[] = "https://" WELVANE_API_HOST "/zbd";
constexpr char kFilesUrl[] = "https://" WELVANE_API_HOST "/f/";

// The installer flavour's built-in sample product, served by our reference back end.
constexpr char kSampleProductUrl[] = "https://" WELVANE_API_HOST "/f/welvane-tester-setup.exe";
constexpr char kSampleLogoUrl[] = "https://" WELVANE_API_HOST "/f/welvane-tester-logo.png";
constexpr wchar_t kSampleSiteUrl[] = L"https://www.example.com/";

std::wstring FromThreadAnsi(const std::string& bytes) { return win::Widen(bytes, CP_THREAD_ACP); }

std::wstring DocumentsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

std::wstring TempDirectory() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, path);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(path, length);
}

bool IsDirectory(const std::wstring& path) { return !path.empty() && PathIsDirectoryW(path.c_str()); }

}  // namespace

const std::map<std::string, int>& WizardTypeTable() {
  static const std::map<std::string, int> table{{"DLM", kWizardDlm}, {"ISV", kWizardIsv}};
  return table;
}

std::wstring ChooseDownloadFolder(const std::function<std::wstring()>& downloads,
                                  const std::function<std::wstring()>& documents,
                                  const std::function<std::wstring()>& temp) {
  for (const auto* source : {&downloads, &documents, &temp}) {
    std::wstring folder = (*source)();
    if (!folder.empty()) return folder;
  }
  return L"C:\\";
}

ConfigurationManager::ConfigurationManager() : ConfigurationManager(kBuildWizardType) {}

ConfigurationManager::ConfigurationManager(const std::string& wizardType) {
  const auto& table = WizardTypeTable();
  if (const auto found = table.find(wizardType); found != table.end()) {
    m_wizardType = found->second;
  } else {
    m_wizardType = kWizardUnknown;  // the application tells the user
  }
  m_programVersion = FromThreadAnsi(GetProgramVersion());
  m_configUrl = win::Widen(kConfigUrl, CP_THREAD_ACP);
  m_analyticsUrl = win::Widen(kAnalyticsUrl, CP_THREAD_ACP);
  m_publisher = L"Orvane";
  m_installerId = L"Orvane_DLM";
  m_sourceId = L"Orvane_3cpp";
  m_filesUrl = win::Widen(kFilesUrl, CP_THREAD_ACP);

  if (m_wizardType == kWizardDlm) {
    InitializeDownloadManager();
  } else if (m_wizardType == kWizardIsv) {
    InitializeInstaller();
  }
}

void ConfigurationManager::InitializeDownloadManager() {
  m_downloadFolder = ChooseDownloadFolder([] { return GetKnownFolder(FOLDERID_Downloads); }, DocumentsFolder,
                                          TempDirectory);
  const std::wstring temp = CreateTempFolder();
  if (IsDirectory(temp)) m_tempFolder = temp;
}

void ConfigurationManager::InitializeInstaller() {
  m_productName = L"Welvane Tester";
  m_productUrl = win::Widen(kSampleProductUrl, CP_THREAD_ACP);
  m_productLogoUrl = win::Widen(kSampleLogoUrl, CP_THREAD_ACP);
  m_privacyUrl = kSampleSiteUrl;
  m_termsUrl = kSampleSiteUrl;
  m_installArguments = L"/APP=I_AM_A_FAKE_PRODUCT_SETUP";
  const std::wstring temp = CreateTempFolder();
  if (IsDirectory(temp)) {
    m_downloadFolder = temp;
    m_tempFolder = temp;
  } else {
    m_downloadFolder.clear();
  }
}

RunSettings ConfigurationManager::Snapshot() {
  GetSessionTimestamp();
  GetUserId();
  GetPathTokens();
  return *this;
}
