#include "app/MainPackage.h"

#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "download/DownloadManager.h"
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

void SendClosingEvents() {
  const auto config = ConfigurationManager::GetInstance();
  config->m_closing = true;
  DownloadManager::GetInstance()->m_cancelled = true;
  const std::vector<std::shared_ptr<Package>> shown = config->m_shownOffers;
  for (const auto& offer : shown) {
    offer->SendEvent(5);
    offer->WaitForEvents();
  }
  if (const auto main = config->m_mainPackage) {
    main->SendEvent(5);
    main->WaitForEvents();
  }
}
