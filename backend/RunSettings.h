#pragma once
// What a run knows about itself, as a plain value: the build's constants, the back end's endpoints,
// the run's folders, the main product as configured, the chosen language and the packages. The
// configuration manager is the run's one instance; a worker is given a copy and hands back a copy.
#include <memory>
#include <string>
#include <vector>

#include "backend/PathTokens.h"
#include "backend/WizardType.h"

class Package;
namespace Gdiplus {
class Image;
}

struct RunSettings {
  // The run's identity and folder tokens, made on first use. A copy made after the first use of
  // each carries the same values.
  std::string GetSessionTimestamp();
  std::string GetUserId();
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
  std::wstring m_productSha256;  // the product file's SHA-256 as the back end gave it ("": none)
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
};
