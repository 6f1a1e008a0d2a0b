// POSTs to the reference back end over real TLS: statuses, retries, bodies, URL handling.
#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <chrono>

#include <nlohmann/json.hpp>

#include "backend/ApiManager.h"
#include "backend/ConfigurationManager.h"
#include "backend/Request.h"
#include "backend/RetryPause.h"
#include "backend/WelvaneException.h"
#include "backend/WinHttpSession.h"
#include "support/RefServer.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

std::string Utf8(const std::wstring& text) { return win::ToUtf8(text); }

class ReferenceBackEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    m_config = ConfigurationManager::GetInstance();
    m_savedUrl = m_config->m_configUrl;
    m_config->m_localeCode = L"en_US";
    m_savedPause = RetryPause();  // put back as it was found, so the default stays checked
    SetRetryPauseForTesting(std::chrono::milliseconds(20));
  }
  void TearDown() override {
    m_config->m_configUrl = m_savedUrl;
    SetRetryPauseForTesting(m_savedPause);
  }
  // Points the configuration request at a fault path of the reference back end.
  std::wstring UseConfigFaults(const wchar_t* name, const std::wstring& directives) {
    m_scenario = refserver::NewScenario(name);
    m_config->m_configUrl = refserver::FaultUrl(m_scenario, directives, L"o");
    return m_scenario;
  }
  json ConfigRequests() { return refserver::RequestsSince(m_firstRequest, "/t/" + Utf8(m_scenario) + "/"); }

  std::shared_ptr<ConfigurationManager> m_config;
  std::chrono::milliseconds m_savedPause{};
  std::wstring m_savedUrl;
  std::wstring m_scenario;
  long long m_firstRequest = refserver::LastRequestId();
};

}  // namespace

TEST(SecureProtocols, TlsOnlyNeverSsl3) {
  const unsigned long protocols = SecureProtocolsForThisSystem();
  EXPECT_EQ(protocols & WINHTTP_FLAG_SECURE_PROTOCOL_SSL3, 0u);
  // The test prefix is Windows 10: TLS 1.0, 1.1 and 1.2.
  EXPECT_EQ(protocols, 0x0A80u);
}

TEST(WinHttpSessionProxy, TheAutomaticProxyIsAskedForFromWindows8On) {
  EXPECT_EQ(ProxyAccessTypeFor(5, 1), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  EXPECT_EQ(ProxyAccessTypeFor(6, 0), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  EXPECT_EQ(ProxyAccessTypeFor(6, 1), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  EXPECT_EQ(ProxyAccessTypeFor(6, 2), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY));
  EXPECT_EQ(ProxyAccessTypeFor(6, 3), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY));
  EXPECT_EQ(ProxyAccessTypeFor(10, 0), static_cast<DWORD>(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY));
}

TEST(WinHttpSessionProxy, ARefusedAutomaticProxyFallsBackToTheDefaultSetting) {
  // The real WinHttpOpen, except that the automatic proxy is refused as Windows 8.0 refuses it.
  std::vector<DWORD> asked;
  const auto openAsWindows8 = [&asked](DWORD accessType) -> HINTERNET {
    asked.push_back(accessType);
    if (accessType == WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    return WinHttpOpen(nullptr, accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  };
  EXPECT_TRUE(OpenWithProxyFallback(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, openAsWindows8));
  EXPECT_EQ(asked, (std::vector<DWORD>{WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY}));

  // A refused default setting is not asked again: the failure is the caller's.
  asked.clear();
  EXPECT_FALSE(OpenWithProxyFallback(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, [&asked](DWORD accessType) -> HINTERNET {
    asked.push_back(accessType);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(asked, std::vector<DWORD>{WINHTTP_ACCESS_TYPE_DEFAULT_PROXY});
}

TEST(WinHttpSessionProxy, ASystemThatKnowsTheAutomaticProxyOpensWithIt) {
  // Wine's WinHTTP, like Windows 8.1 and later, accepts it at once.
  std::vector<DWORD> asked;
  EXPECT_TRUE(OpenWithProxyFallback(WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, [&asked](DWORD accessType) {
    asked.push_back(accessType);
    return WinHttpOpen(nullptr, accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  }));
  EXPECT_EQ(asked, std::vector<DWORD>{WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY});

  const WinHttpSession session = OpenWinHttpSession(nullptr, ProxyAccessTypeForThisSystem());
  EXPECT_TRUE(session.handle);
  EXPECT_EQ(session.failedStep, WinHttpSession::Step::None);
}

using PostJsonTest = ReferenceBackEnd;

TEST_F(PostJsonTest, AnyStatusIsAResponse) {
  std::string response = "kept:";
  uint32_t status = 0;
  EXPECT_TRUE(PostJson(L"https://localhost/o", MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()), {}, response, status));
  EXPECT_EQ(status, 200u);
  EXPECT_EQ(response.rfind("kept:{", 0), 0u) << "the body is appended to what the caller had";

  response.clear();
  const std::wstring scenario = refserver::NewScenario(L"s500");
  EXPECT_TRUE(PostJson(refserver::FaultUrl(scenario, L"status=500", L"o"), "{}", {}, response, status));
  EXPECT_EQ(status, 500u);
}

TEST_F(PostJsonTest, SendsTheFixedHeadersAfterTheCallersAndTheBodyUpToItsZeroByte) {
  const std::wstring scenario = refserver::NewScenario(L"headers");
  std::string response;
  uint32_t status = 0;
  const HeaderList headers{{L"Authorization", L"Signature=abc"}};
  ASSERT_TRUE(PostJson(refserver::FaultUrl(scenario, L"-", L"zbd"), std::string("{\"a\":1}\0tail", 12), headers,
                       response, status));
  const json seen = refserver::RequestsSince(m_firstRequest, "/t/" + Utf8(scenario) + "/");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["method"], "POST");
  EXPECT_EQ(seen[0]["body"], "{\"a\":1}");
  std::vector<std::string> names;
  for (const auto& header : seen[0]["headers"]) names.push_back(header[0].get<std::string>());
  const auto at = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  EXPECT_LT(at("Authorization"), at("Expect"));
  EXPECT_LT(at("Expect"), at("Content-Type"));
  for (const auto& header : seen[0]["headers"]) {
    if (header[0] == "Expect") {
      EXPECT_EQ(header[1], "100-continue");
    } else if (header[0] == "Content-Type") {
      EXPECT_EQ(header[1], "application/json");
    }
  }
}

TEST_F(PostJsonTest, HttpSchemeAndQueryStillGoOverTlsToThePath) {
  const std::wstring scenario = refserver::NewScenario(L"scheme");
  std::string response;
  uint32_t status = 0;
  ASSERT_TRUE(PostJson(L"http://localhost:8080/t/" + scenario + L"/-/o?x=1&y=2#frag", MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()),
                       {}, response, status));
  EXPECT_EQ(status, 200u);
  const json seen = refserver::RequestsSince(m_firstRequest, "/t/" + Utf8(scenario) + "/");
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["path"], "/t/" + Utf8(scenario) + "/-/o");
}

TEST_F(PostJsonTest, ZeroByteInsideAChunkLosesTheRestOfThatChunkOnly) {
  std::string plain;
  uint32_t status = 0;
  ASSERT_TRUE(PostJson(L"https://localhost/o", MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()), {}, plain, status));
  std::string cut;
  const std::wstring scenario = refserver::NewScenario(L"nul");
  ASSERT_TRUE(PostJson(refserver::FaultUrl(scenario, L"chunked=16,nul=20", L"o"), MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()), {},
                       cut, status));
  // Chunks reach WinHTTP's reads in pieces we do not control; what is certain: the text before the
  // zero byte arrives, something after it is lost, and the end of the body still arrives.
  EXPECT_EQ(cut.substr(0, 20), plain.substr(0, 20));
  EXPECT_LT(cut.size(), plain.size());
  EXPECT_EQ(cut.back(), plain.back());
}

TEST_F(PostJsonTest, UnreachableHostOrUnparsableUrlThrows) {
  std::string response;
  uint32_t status = 0;
  EXPECT_THROW(PostJson(L"https://127.0.0.9/o", "{}", {}, response, status), WelvaneException);
  EXPECT_THROW(PostJson(L"not a url", "{}", {}, response, status), WelvaneException);
}

using RequestConfigurationTest = ReferenceBackEnd;

TEST_F(RequestConfigurationTest, ParsesTheConfigurationAndSendsTheBody) {
  UseConfigFaults(L"plain", L"-");
  const auto config = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
  ASSERT_TRUE(config);
  EXPECT_TRUE(config->contains("i"));
  const json seen = ConfigRequests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0]["body"], MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()));
}

TEST_F(RequestConfigurationTest, AFailedAttemptIsRetriedAndOnlyTheLastBodyCounts) {
  UseConfigFaults(L"retry", L"status=503:200");
  const auto config = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
  EXPECT_TRUE(config->contains("i"));
  EXPECT_EQ(ConfigRequests().size(), 2u);
}

// Success is any status from 200 to 399; a 3xx that WinHTTP does not follow (no Location) included.
TEST_F(RequestConfigurationTest, StatusesUpTo399AreAnswersAndFrom400Failures) {
  for (const auto& [directives, attempts] :
       std::vector<std::pair<const wchar_t*, size_t>>{{L"status=399", 1}, {L"status=400:200", 2}}) {
    SCOPED_TRACE(Utf8(directives));
    UseConfigFaults(L"range", directives);
    const auto config = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
    EXPECT_TRUE(config->contains("i"));
    EXPECT_EQ(ConfigRequests().size(), attempts);
  }
}

TEST(RetryPause, TheProductWaitsFiveSecondsBeforeAnotherAttempt) {
  EXPECT_EQ(RetryPause(), std::chrono::milliseconds(5000));
}

TEST_F(RequestConfigurationTest, AfterThreeFailuresTheLastBodyIsParsedAnyway) {
  UseConfigFaults(L"three", L"status=500,body=json-error");
  const auto config = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
  EXPECT_EQ(*config, json::parse(R"({"error":"injectedfault"})"));  // white space removed
  EXPECT_EQ(ConfigRequests().size(), 3u);
}

TEST_F(RequestConfigurationTest, WhiteSpaceIsRemovedEverywhere) {
  // The configuration file's title is written with \u0020 escapes; real blanks would be removed.
  UseConfigFaults(L"ws", L"-");
  const auto config = ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance());
  const std::string title = config->at("i").at("ct").get<std::string>();
  EXPECT_NE(title.find(' '), std::string::npos) << "escaped blanks survive: " << title;
}

TEST_F(RequestConfigurationTest, EmptyOrWhiteSpaceOnlyBodyFails) {
  UseConfigFaults(L"empty", L"body=empty");
  EXPECT_THROW(ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance()), WelvaneException);
  UseConfigFaults(L"wsonly", L"body=ws");
  EXPECT_THROW(ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance()), WelvaneException);
}

TEST_F(RequestConfigurationTest, NonJsonBodyFailsToParse) {
  UseConfigFaults(L"html", L"body=html");
  EXPECT_THROW(ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance()), json::parse_error);
}

TEST_F(RequestConfigurationTest, TransportFailureEndsAtOnceWithoutPause) {
  SetRetryPauseForTesting(std::chrono::milliseconds(60000));
  m_config->m_configUrl = L"https://127.0.0.9/o";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance()), WelvaneException);
  // A pause would take a minute; the exception ends the attempts before any pause.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(50));
}

TEST_F(RequestConfigurationTest, NoEndpointFailsBeforeAnyRequest) {
  m_config->m_configUrl.clear();
  EXPECT_THROW(ApiManager::GetInstance()->RequestConfiguration(*ConfigurationManager::GetInstance()), WelvaneException);
}
