// The main package's moments in a run and the final events sent on close.
#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>

#include <chrono>

#include <nlohmann/json.hpp>

#include "app/MainPackage.h"
#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "backend/RetryPause.h"
#include "download/DownloadManager.h"
#include "packages/EventThreads.h"
#include "packages/Package.h"
#include "support/RefServer.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

// Runs against the process-wide configuration and downloader and puts them back afterwards.
class MainPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_config = ConfigurationManager::GetInstance();
    m_savedUrl = m_config->m_analyticsUrl;
    m_savedPause = RetryPause();  // put back as it was found, so the default stays checked
    SetRetryPauseForTesting(std::chrono::milliseconds(20));
    m_since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  }
  void TearDown() override {
    // Events still on their way belong to this test: they must not arrive during the next one.
    EXPECT_TRUE(WaitForEventThreads(std::chrono::seconds(60)));
    m_config->m_analyticsUrl = m_savedUrl;
    m_config->m_mainPackage.reset();
    m_config->m_shownOffers.clear();
    m_config->m_productName.clear();
    m_config->m_closing = false;
    DownloadManager::GetInstance()->m_cancelled = false;
    SetRetryPauseForTesting(m_savedPause);
  }
  std::shared_ptr<Package> ShownOffer(const std::string& adId) {
    json element = {{"ad", {{"o", adId}, {"f", "f"}}}, {"ps", {{"i", "i.png"}, {"dn", "N"}, {"u", "u.exe"}}}};
    auto offer = std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
    m_config->m_shownOffers.push_back(offer);
    return offer;
  }
  // (package, code) of the events stored since the test began, in arrival order.
  std::vector<std::pair<std::string, std::string>> Stored() {
    std::vector<std::pair<std::string, std::string>> stored;
    const json found = refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(m_since)));
    for (const auto& event : found.at("events")) {
      stored.emplace_back(event.at("record").at("5").get<std::string>(), event.at("record").at("6").get<std::string>());
    }
    return stored;
  }

  std::shared_ptr<ConfigurationManager> m_config;
  std::chrono::milliseconds m_savedPause{};
  std::wstring m_savedUrl;
  long long m_since = 0;
};

}  // namespace

TEST_F(MainPackageTest, CreatedWithEmptyTextsSendsEventOneThenTakesTheConfiguredTitle) {
  const auto main = CreateMainPackage();
  EXPECT_EQ(m_config->m_mainPackage, main);
  main->WaitForEvents();
  EXPECT_EQ(main->m_eventRecord["22"], "");
  EXPECT_EQ(main->m_eventRecord["5"], "");

  m_config->m_productName = L"Demo Player";
  ReinitializeMainPackage();
  EXPECT_EQ(main->m_adId, "Demo Player");  // this test program is the download manager
  EXPECT_EQ(main->m_displayName, "Demo Player");
  EXPECT_EQ(main->m_eventRecord["22"], "Demo Player");
  EXPECT_EQ(main->m_eventRecord["5"], "Demo Player");
  EXPECT_FALSE(main->m_finalEventDelivered) << "event 1 is not final";
  EXPECT_EQ(Stored(), (std::vector<std::pair<std::string, std::string>>{{"", "1"}}));
}

TEST_F(MainPackageTest, ClosingSendsEventFiveToShownOffersAndTheMainProductTogether) {
  const std::string first = win::ToUtf8(refserver::NewScenario(L"first"));
  const std::string second = win::ToUtf8(refserver::NewScenario(L"second"));
  ShownOffer(first);
  ShownOffer(second)->SendEvent(4);  // declined: its final event is already in
  m_config->m_shownOffers.back()->WaitForEvents();
  m_config->m_productName = L"Demo Player";
  CreateMainPackage()->WaitForEvents();
  ReinitializeMainPackage();

  SendClosingEvents();
  EXPECT_TRUE(m_config->m_closing);
  EXPECT_TRUE(DownloadManager::GetInstance()->m_cancelled);
  auto stored = Stored();
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(std::vector(stored.begin(), stored.begin() + 2),
            (std::vector<std::pair<std::string, std::string>>{{second, "4"}, {"Demo Player", "1"}}));
  // Sent at once, so they may arrive in either order.
  std::sort(stored.begin() + 2, stored.end());
  EXPECT_EQ(std::vector(stored.begin() + 2, stored.end()),
            (std::vector<std::pair<std::string, std::string>>{{"Demo Player", "5"}, {first, "5"}}));
}

TEST_F(MainPackageTest, ClosingEndsWhenTheBackEndIsDownOrFailing) {
  ShownOffer("down-offer");
  m_config->m_analyticsUrl = L"https://127.0.0.9/zbd";
  CreateMainPackage();
  SendClosingEvents();
  EXPECT_EQ(m_config->m_mainPackage->m_pendingEvents, 0);

  m_config->m_analyticsUrl = refserver::FaultUrl(refserver::NewScenario(L"close500"), L"status=500", L"zbd");
  m_config->m_closing = false;
  SendClosingEvents();
  EXPECT_FALSE(m_config->m_mainPackage->m_finalEventDelivered);
  EXPECT_EQ(m_config->m_shownOffers[0]->m_pendingEvents, 0);
}

TEST(MainPackage, WithoutAMainPackageClosingSendsNothing) {
  const auto config = ConfigurationManager::GetInstance();
  ASSERT_FALSE(config->m_mainPackage);
  const long long since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  SendClosingEvents();
  config->m_closing = false;
  DownloadManager::GetInstance()->m_cancelled = false;
  const json found = refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(since)));
  EXPECT_EQ(found.at("events").size(), 0u);
}
