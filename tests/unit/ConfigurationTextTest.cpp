// Texts of the back end's configuration are JSON strings, so UTF-8: they reach the screen as the
// characters that were sent, whatever the ANSI code page, and go back to the back end as the bytes
// that were sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/ApiManager.h"
#include "backend/ConfigurationManager.h"
#include "backend/ConfigurationResponse.h"
#include "packages/Package.h"
#include "support/ConfigFixture.h"
#include "support/RefServer.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

const std::string kCafeUtf8 = "Caf\xc3\xa9";
const std::wstring kCafe = L"Caf\u00e9";
const std::string kCjkUtf8 = "\xe4\xb8\xad\xe6\x96\x87\xe7\x89\x88";  // three Chinese characters
const std::wstring kCjk = L"\u4e2d\u6587\u7248";

struct Config : ConfigurationManager {
  Config() : ConfigurationManager("DLM") {}
  ~Config() { RemoveDirectoryW(m_tempFolder.c_str()); }
};

json Product() {
  return {{"ct", kCafeUtf8}, {"cu", "https://127.0.0.1/f/" + kCjkUtf8 + ".exe"}, {"ch", kCjkUtf8}, {"cfl", kCafeUtf8}};
}

void ExpectProductTexts(const ConfigurationManager& config) {
  EXPECT_EQ(config.m_productName, kCafe);
  EXPECT_EQ(config.m_productFileName, kCafe + L".exe");
  EXPECT_EQ(config.m_productUrl, L"https://127.0.0.1/f/" + kCjk + L".exe");
  EXPECT_EQ(config.m_channel, kCjk);
  EXPECT_EQ(config.m_productFlow, kCafe);
}

// The thread's ANSI code page is Japanese (932, double-byte) while it lives.
class JapaneseThreadLocale {
 public:
  JapaneseThreadLocale() { SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT)); }
  ~JapaneseThreadLocale() { SetThreadLocale(m_saved); }

 private:
  LCID m_saved = GetThreadLocale();
};

class ConfigurationTexts : public ConfigFixture {
 protected:
  void TakeProductTexts(const ConfigurationManager& from) {
    m_config->m_productName = from.m_productName;
    m_config->m_productFlow = from.m_productFlow;
    m_config->m_channel = from.m_channel;
  }

};

}  // namespace

TEST(ConfigurationResponseText, ProductTextsAreWidenedAsUtf8InAnyThreadCodePage) {
  {
    Config config;
    ASSERT_FALSE(ApplyConfigurationResponse({{"i", Product()}}, config).configurationError);
    ExpectProductTexts(config);
  }
  JapaneseThreadLocale japanese;
  Config config;
  ApplyConfigurationResponse({{"i", Product()}}, config);
  ExpectProductTexts(config);
}

TEST(ConfigurationResponseText, OfferFileRulesAreWidenedAsUtf8) {
  const json element = {{"ad", {{"o", "o"}, {"f", "f"}}},
                        {"ps", {{"i", "i.png"}, {"dn", kCafeUtf8}, {"u", "u.exe"},
                                {"fe", {"C:\\" + kCafeUtf8 + "\\a.exe"}}, {"ife", {"C:\\" + kCjkUtf8}}}}};
  JapaneseThreadLocale japanese;
  const Package offer(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
  EXPECT_EQ(offer.m_excludeIfFileExists, std::vector<std::wstring>{L"C:\\" + kCafe + L"\\a.exe"});
  EXPECT_EQ(offer.m_requireAnyFile, std::vector<std::wstring>{L"C:\\" + kCjk});
}

TEST_F(ConfigurationTexts, AnalyticsRecordsCarryTheBytesTheBackEndSent) {
  m_config->m_productName = kCafe;
  m_config->m_productFlow = kCjk;
  m_config->m_channel = kCafe + kCjk;
  const AnalyticsContext context = CreateAnalyticsContext(*ConfigurationManager::GetInstance());
  EXPECT_EQ(context.record.at("22"), kCafeUtf8);
  EXPECT_EQ(context.record.at("19"), kCjkUtf8);
  EXPECT_EQ(context.record.at("21"), kCafeUtf8 + kCjkUtf8);

  // The main product's package takes its texts from the same configuration.
  const auto main = std::make_shared<Package>(context, true, kCafe, kCjk, kCafe, kCjk);
  EXPECT_EQ(main->m_displayName, kCafeUtf8);
  EXPECT_EQ(main->m_adId, kCafeUtf8);
  EXPECT_EQ(main->m_adFlow, kCjkUtf8);
  EXPECT_EQ(main->m_channel, kCjkUtf8);
  EXPECT_EQ(main->m_eventRecord.at("5"), kCafeUtf8);
  EXPECT_NO_THROW(MakeAnalyticsEnvelope(main->m_eventRecord));
}

TEST_F(ConfigurationTexts, ReferenceBackEndGetsItsOwnBytesBack) {
  // A configuration served by the reference back end, applied, and an event about it stored there.
  const std::wstring set = refserver::NewScenario(L"utf8");
  const std::string configuration = json{{"i", Product()}}.dump();
  refserver::Control(L"POST", L"config",
                     json{{"set", win::ToUtf8(set)}, {"installer", "Orvane_DLM"}, {"lang", "default"},
                          {"config", configuration}}
                         .dump());
  m_config->m_configUrl = refserver::FaultUrl(refserver::NewScenario(L"o"), L"set=" + set, L"o");
  const auto response = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
  Config applied;
  ApplyConfigurationResponse(*response, applied);
  ExpectProductTexts(applied);
  TakeProductTexts(applied);

  const std::string adId = win::ToUtf8(refserver::NewScenario(L"offer"));
  const json element = {{"ad", {{"o", adId}, {"f", "f"}}}, {"ps", {{"i", "i.png"}, {"dn", "d"}, {"u", "u.exe"}}}};
  const long long since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  const auto offer = std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
  offer->SendEvent(1);
  offer->WaitForEvents();
  const json events =
      refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(since) + "&package=" + adId))
          .at("events");
  ASSERT_EQ(events.size(), 1u);
  const json& record = events.at(0).at("record");
  EXPECT_EQ(record.at("22"), kCafeUtf8);
  EXPECT_EQ(record.at("21"), kCjkUtf8);
  EXPECT_EQ(record.at("19"), kCafeUtf8);
}
