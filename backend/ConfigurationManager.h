#pragma once
// Everything a run knows about itself: the build's constants, the back end's endpoints, the
// folders of the run, the main product as configured, the chosen language and the packages.
// Members are written by one thread at a time in a fixed order (see each writer) and read freely.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "backend/PathTokens.h"
#include "backend/Singleton.h"
#include "backend/WizardType.h"

class Package;
namespace Gdiplus {
class Image;
}

// The wizard-type string fixed in the build ("DLM", "ISV", ...).
extern const char* const kBuildWizardType;

class ConfigurationManager : public Singleton<ConfigurationManager> {
 public:
  // The flavour comes from the build; tests may name another one.
  // A wizard type the table does not know leaves m_wizardType at kWizardUnknown (the application tells
  // the user).
  explicit ConfigurationManager(const std::string& wizardType);

  std::string GetSessionTimestamp();
  std::string GetUserId();
  // Copies of the folder-token tables, built on first use.
  PathTokenTable GetPathTokens();
  PathTokenTable GetPathTokens64();

  int m_wizardType = kWizardUnknown;
  std::wstring m_productName;
  std::wstring m_productUrl;
  std::wstring m_productLogoUrl;
  std::wstring m_privacyUrl;
  std::wstring m_termsUrl;
  std::wstring m_downloadFolder;
  std::wstring m_productFileName;
  std::wstring m_tempFolder;
  std::wstring m_installArguments;
  std::wstring m_installerId;
  std::wstring m_launchPath;
  std::wstring m_programVersion;
  std::wstring m_configUrl;
  std::wstring m_analyticsUrl;
  std::wstring m_publisher;
  std::wstring m_sourceId;
  std::wstring m_channel;
  std::wstring m_productFlow;
  int m_maxOffers = 0;
  std::wstring m_filesUrl;
  std::wstring m_languageName;
  std::wstring m_localeCode;
  std::string m_countryCode;
  std::string m_publisherId;
  std::string m_ispb;
  std::vector<std::shared_ptr<Package>> m_acceptedOffers;
  std::vector<std::shared_ptr<Package>> m_shownOffers;
  std::shared_ptr<Package> m_mainPackage;
  std::shared_ptr<Gdiplus::Image> m_productLogo;
  std::string m_sessionTimestamp;
  std::string m_userId;
  PathTokenTable m_pathTokens;
  PathTokenTable m_pathTokens64;
  bool m_pathTokensReady = false;
  std::atomic<bool> m_closing{false};

 private:
  friend class Singleton<ConfigurationManager>;
  ConfigurationManager();
  void InitializeDownloadManager();
  void InitializeInstaller();
};

// The ordered wizard-type table: "DLM" is 1, "ISV" is 2.
const std::map<std::string, int>& WizardTypeTable();

// The first folder of the download folder's fallback chain that is available: Downloads,
// Documents, the temporary directory, and "C:\" as the last resort. Each source yields empty
// when it fails.
std::wstring ChooseDownloadFolder(const std::function<std::wstring()>& downloads,
                                  const std::function<std::wstring()>& documents,
                                  const std::function<std::wstring()>& temp);
