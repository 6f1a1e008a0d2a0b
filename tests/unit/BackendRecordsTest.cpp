// Exact bytes of what goes to the back end: the configuration request body, the analytics
// record and its envelope; and the folder tokens of this machine.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/ApiManager.h"
#include "backend/ConfigurationManager.h"
#include "backend/Identity.h"
#include "backend/PathTokens.h"
#include "backend/Signature.h"
#include "machine/KnownFolder.h"
#include "support/ConfigFixture.h"

using RequestBody = ConfigFixture;

TEST_F(RequestBody, CompactSortedEightStrings) {
  const std::string os = GetOsVersion();
  m_config->m_localeCode = L"en_US";
  EXPECT_EQ(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()),
            R"({"a":"Orvane","i":"Orvane_DLM","l":"en","o":")" + os +
                R"(","plv":"3.0.9.1","prv":"0.1","s":"Orvane_3cpp","u":""})");
  m_config->m_localeCode = L"ES";
  EXPECT_NE(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()).find(R"("l":"es")"), std::string::npos);
  m_config->m_localeCode = L"";
  EXPECT_NE(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()).find(R"("l":"")"), std::string::npos);
  m_config->m_localeCode = L"e";
  EXPECT_NE(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()).find(R"("l":"e")"), std::string::npos);
}

TEST_F(RequestBody, LanguageGoesAsUtf8) {
  // Through the ANSI code page "é" would be the one byte 0xE9, which is not UTF-8.
  m_config->m_localeCode = L"\u00e9s";
  EXPECT_NE(MakeConfigurationRequestBody(*ConfigurationManager::GetInstance()).find("\"l\":\"\xc3\xa9s\""), std::string::npos);
}

TEST(WhiteSpace, EveryCLocaleSpaceByteGoesEvenInsideStrings) {
  EXPECT_EQ(RemoveWhiteSpace(" {\"ct\" : \"My App\",\t\r\n\v\f\"x\":1} "), "{\"ct\":\"MyApp\",\"x\":1}");
  EXPECT_EQ(RemoveWhiteSpace("\\u0020"), "\\u0020");
  EXPECT_EQ(RemoveWhiteSpace(" \n\t"), "");
}

using Analytics = ConfigFixture;

TEST_F(Analytics, BaseRecordFieldsAndKeyOrder) {
  m_config->m_productName = L"Tester";
  m_config->m_productFlow = L"flow-7";
  m_config->m_channel = L"ch1";
  const AnalyticsContext context = CreateAnalyticsContext(*ConfigurationManager::GetInstance());
  const std::string user = m_config->GetUserId();
  const std::string stamp = m_config->GetSessionTimestamp();
  const std::string os = GetOsVersion();
  EXPECT_EQ(context.record.dump(), R"({"0":"","1":")" + user + R"(","10":"","11":"","12":"","13":"","14":"","15":0,)"
                                       R"("16":"","17":"","18":"","19":"flow-7","2":")" +
                                       stamp + R"(","20":"","21":"ch1","22":"Tester","3":"Orvane",)"
                                               R"("31":")" +
                                       os + R"(","38":"1","4":"Orvane_DLM","5":"","6":"","7":"3.0.9.1","8":"","9":""})");
  ASSERT_EQ(context.headers.size(), 1u);
  EXPECT_EQ(context.headers[0], MakeSignatureHeader(user, stamp));
}

TEST(AnalyticsEnvelope, DataIsTheRecordAsOneStringBeforeTable) {
  nlohmann::json record;
  record["2"] = "b";
  record["10"] = 1;
  record["1"] = "a \"q\" é";
  EXPECT_EQ(MakeAnalyticsEnvelope(record),
            R"({"data":"{\"1\":\"a \\\"q\\\" é\",\"10\":1,\"2\":\"b\"}","table":"zb_analytics"})");
  const auto parsed = nlohmann::json::parse(MakeAnalyticsEnvelope(record));
  EXPECT_EQ(nlohmann::json::parse(parsed["data"].get<std::string>()), record);
}

TEST(PathTokens, ThisWow64PrefixFolders) {
  PathTokenTable tokens, tokens64;
  BuildPathTokens(tokens, tokens64);
  ASSERT_GE(tokens.size(), 6u);
  EXPECT_EQ(tokens[0], std::make_pair(std::wstring(L"commonpf"), std::wstring(L"{commonpf64}")));
  wchar_t programW6432[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"ProgramW6432", programW6432, MAX_PATH), 0u);
  ASSERT_EQ(tokens64.size(), 1u);
  EXPECT_EQ(tokens64[0].second, programW6432);

  EXPECT_EQ(ExpandPathTokens(L"{commonpf}\\Vendor\\app.exe", tokens), std::wstring(programW6432) + L"\\Vendor\\app.exe");
  EXPECT_EQ(ExpandPathTokens(L"{commonpf64}\\a", tokens), std::wstring(programW6432) + L"\\a");
  const std::wstring x86 = GetKnownFolder(FOLDERID_ProgramFilesX86);
  EXPECT_EQ(ExpandPathTokens(L"{commonpf32}\\a", tokens), x86 + L"\\a");
  EXPECT_EQ(x86, L"C:\\Program Files (x86)");
  // Roaming application data, not the machine-wide folder.
  EXPECT_EQ(ExpandPathTokens(L"{commonappdata}", tokens), GetKnownFolder(FOLDERID_RoamingAppData));
  EXPECT_EQ(ExpandPathTokens(L"{programdata}", tokens), GetKnownFolder(FOLDERID_ProgramData));
  EXPECT_EQ(ExpandPathTokens(L"{localappdata}", tokens), GetKnownFolder(FOLDERID_LocalAppData));
}

TEST(PathTokens, RepeatedAndUnknownTokens) {
  const PathTokenTable tokens{{L"commonpf", L"{commonpf32}"}, {L"a", L"A"}, {L"commonpf32", L"C:\\PF"}};
  EXPECT_EQ(ExpandPathTokens(L"{a}\\{a}\\{b}", tokens), L"A\\A\\{b}");
  EXPECT_EQ(ExpandPathTokens(L"{commonpf}|{commonpf32}", tokens), L"C:\\PF|C:\\PF");
  EXPECT_EQ(ExpandPathTokens(L"{commonpf64}\\x", tokens), L"{commonpf64}\\x");  // a 32-bit system has none
  // A folder is inserted as it is: a value holding its own token does not expand again.
  EXPECT_EQ(ExpandPathTokens(L"{a}", {{L"a", L"{a}{a}"}}), L"{a}{a}");
}

TEST(PathTokens, ConfigurationBuildsTheTablesOnce) {
  const auto config = ConfigurationManager::GetInstance();
  const PathTokenTable first = config->GetPathTokens();
  EXPECT_TRUE(config->m_pathTokensReady);
  EXPECT_EQ(config->GetPathTokens(), first);
  EXPECT_EQ(config->GetPathTokens64().size(), 1u);
}
