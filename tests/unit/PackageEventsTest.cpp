// Analytics events of packages against the reference back end: delivery, the final-event rule,
// retries, the pending count and waiting for it.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "backend/RetryPause.h"
#include "packages/EventThreads.h"
#include "packages/Package.h"
#include "support/RefServer.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

class EventsTest : public ::testing::Test {
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
    SetRetryPauseForTesting(m_savedPause);
  }
  // An offer package whose ad id is unique to this test, so its events can be told apart.
  std::shared_ptr<Package> NewOffer() {
    m_adId = win::ToUtf8(refserver::NewScenario(L"offer"));
    json element = {{"ad", {{"o", m_adId}, {"f", "flow"}}}, {"ps", {{"i", "i.png"}, {"dn", "Name"}, {"u", "u.exe"}}}};
    return std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
  }
  json Events() {
    return refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(m_since) + "&package=" + m_adId))
        .at("events");
  }
  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (const auto& event : Events()) codes.push_back(event.at("record").at("6").get<std::string>());
    return codes;
  }
  // The package's events go to the back end's analytics endpoint with these fault directives.
  static void FailAnalytics(Package& package, const wchar_t* directives) {
    package.m_analyticsUrl = refserver::FaultUrl(refserver::NewScenario(L"zbd"), directives, L"zbd");
  }

  std::shared_ptr<ConfigurationManager> m_config;
  std::chrono::milliseconds m_savedPause{};
  std::wstring m_savedUrl;
  long long m_since = 0;
  std::string m_adId;
};

}  // namespace

TEST_F(EventsTest, ADeliveredFinalEventStopsLaterOnes) {
  const auto offer = NewOffer();
  offer->SendEvent(4);
  offer->WaitForEvents();
  EXPECT_TRUE(offer->m_finalEventDelivered);
  offer->SendEvent(5);
  offer->WaitForEvents();
  EXPECT_EQ(Codes(), std::vector<std::string>{"4"});
  const json event = Events().at(0);
  EXPECT_TRUE(event.at("signature_ok").get<bool>());
  EXPECT_EQ(event.at("record").at("5"), m_adId);
  EXPECT_EQ(event.at("record").at("10"), 2);
}

TEST_F(EventsTest, AnAnswerUpTo399DeliversAndMinusOneIsFinal) {
  const auto offer = NewOffer();
  FailAnalytics(*offer, L"status=399");
  offer->SendEvent(-1, {{"13", "EXEC FAILED2"}});
  offer->WaitForEvents();
  EXPECT_TRUE(offer->m_finalEventDelivered) << "one attempt, answered 399";
  offer->m_analyticsUrl = m_savedUrl;
  offer->SendEvent(5);
  offer->WaitForEvents();
  EXPECT_EQ(Codes(), std::vector<std::string>{"-1"});
}

TEST_F(EventsTest, EventOneIsNotFinal) {
  const auto offer = NewOffer();
  offer->SendEvent(1);
  offer->WaitForEvents();
  EXPECT_FALSE(offer->m_finalEventDelivered);
  offer->SendEvent(2, {{"13", "NOT ENOUGH RAM"}});
  offer->WaitForEvents();
  EXPECT_EQ(Codes(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Events().at(1).at("record").at("13"), "NOT ENOUGH RAM");
}

TEST_F(EventsTest, AFailedFinalEventDoesNotStopLaterOnes) {
  const auto offer = NewOffer();
  FailAnalytics(*offer, L"status=500");
  offer->SendEvent(4);
  offer->WaitForEvents();
  EXPECT_FALSE(offer->m_finalEventDelivered);
  EXPECT_EQ(Codes().size(), 2u) << "two attempts, both stored with status 500";
  offer->m_analyticsUrl = m_savedUrl;
  offer->SendEvent(5);
  offer->WaitForEvents();
  EXPECT_TRUE(offer->m_finalEventDelivered);
  EXPECT_EQ(Codes().back(), "5");
}

TEST_F(EventsTest, ASecondAttemptDelivers) {
  const auto offer = NewOffer();
  FailAnalytics(*offer, L"status=503:200");
  offer->SendEvent(3);
  offer->WaitForEvents();
  EXPECT_TRUE(offer->m_finalEventDelivered);
  EXPECT_EQ(Codes(), (std::vector<std::string>{"3", "3"}));
}

TEST_F(EventsTest, WaitingEndsWhenTheBackEndIsDownOrFailing) {
  const auto offer = NewOffer();
  offer->m_analyticsUrl = L"https://127.0.0.9/zbd";  // nothing listens there
  offer->SendEvent(5);
  offer->WaitForEvents();
  EXPECT_FALSE(offer->m_finalEventDelivered);
  FailAnalytics(*offer, L"status=500");
  offer->SendEvent(5);
  offer->WaitForEvents();
  EXPECT_FALSE(offer->m_finalEventDelivered);
  EXPECT_EQ(offer->m_pendingEvents, 0);
}

TEST_F(EventsTest, ManyConcurrentEventsEndWithNothingPending) {
  const auto offer = NewOffer();
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&offer] {
      for (int i = 0; i < 10; ++i) offer->SendEvent(1);
    });
  }
  for (auto& sender : senders) sender.join();
  offer->WaitForEvents();
  EXPECT_EQ(offer->m_pendingEvents, 0);
  EXPECT_EQ(Codes().size(), 40u);
}

// Nothing an event thread uses may go away under it: a package given up while its events are on
// their way lives until they end, and the process's bounded wait at its end sees them finish.
TEST_F(EventsTest, APackageLetGoLivesUntilItsEventsEnd) {
  auto offer = NewOffer();
  FailAnalytics(*offer, L"delay=1500");
  offer->SendEvent(1);
  offer->SendEvent(1);
  std::weak_ptr<Package> watched = offer;
  offer.reset();
  EXPECT_FALSE(WaitForEventThreads(std::chrono::milliseconds(1))) << "the wait is bounded";
  ASSERT_TRUE(WaitForEventThreads(std::chrono::seconds(60)));
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(Codes().size(), 2u);
}

// The configuration's arrival replaces a package's headers on the UI thread while an event may be
// on its way: each event keeps the headers it was sent with, on every attempt.
TEST_F(EventsTest, EveryAttemptCarriesTheHeadersTheEventWasSentWith) {
  const auto offer = NewOffer();
  const std::wstring scenario = refserver::NewScenario(L"zbd");
  offer->m_analyticsUrl = refserver::FaultUrl(scenario, L"status=503:200", L"zbd");
  const long long since = refserver::LastRequestId();
  ASSERT_FALSE(offer->m_requestHeaders.empty());
  const auto [name, value] = offer->m_requestHeaders.front();
  offer->SendEvent(3);
  offer->m_requestHeaders = {{name, L"replaced"}};
  offer->WaitForEvents();
  const json requests = refserver::RequestsSince(since, "/t/" + win::ToUtf8(scenario));
  ASSERT_EQ(requests.size(), 2u) << "a failed attempt and a delivered one";
  for (const auto& request : requests) {
    std::string carried;
    for (const auto& header : request.at("headers")) {  // [name, value] pairs as received
      if (_stricmp(header.at(0).get<std::string>().c_str(), win::ToUtf8(name).c_str()) == 0) {
        carried = header.at(1).get<std::string>();
      }
    }
    EXPECT_EQ(carried, win::ToUtf8(value));
  }
}
