#include "app/MainPackage.h"

#include <algorithm>

#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "download/DownloadManager.h"
#include "packages/EventThreads.h"
#include "packages/Package.h"

std::shared_ptr<Package> CreateMainPackage() {
  const auto config = ConfigurationManager::GetInstance();
  const AnalyticsContext context = CreateAnalyticsContext(*config);
  std::shared_ptr<Package> main;
  if (config->m_wizardType == kWizardIsv) {
    main = std::make_shared<Package>(context, true, config->m_installerId, config->m_productFlow,
                                     config->m_productName, config->m_channel);
  } else {
    main = std::make_shared<Package>(context, true, L"", L"", L"", L"");
  }
  config->m_mainPackage = main;
  main->SendEvent(1);
  return main;
}

void ReinitializeMainPackage() {
  const auto config = ConfigurationManager::GetInstance();
  if (!config->m_mainPackage) return;
  std::wstring adId;
  if (config->m_wizardType == kWizardDlm) {
    adId = config->m_productName;
  } else if (config->m_wizardType == kWizardIsv) {
    adId = config->m_installerId;
  }
  config->m_mainPackage->ReinitializeMain(CreateAnalyticsContext(*config), adId, config->m_productFlow,
                                          config->m_productName, config->m_channel);
}

void BeginClosing() {
  ConfigurationManager::GetInstance()->m_closing = true;
  DownloadManager::GetInstance()->m_cancelled = true;
}

void SendClosingEvents(const std::vector<std::shared_ptr<Package>>& started) {
  BeginClosing();
  const auto config = ConfigurationManager::GetInstance();
  std::vector<std::shared_ptr<Package>> closing = config->m_shownOffers;
  if (config->m_mainPackage) closing.push_back(config->m_mainPackage);
  for (const auto& package : closing) {
    if (std::find(started.begin(), started.end(), package) == started.end()) package->SendEvent(5);
  }
  WaitForEventThreads(kClosingEventsLimit);
}
