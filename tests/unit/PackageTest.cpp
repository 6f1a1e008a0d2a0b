// Building packages from offer elements: required keys, type rules, presets, placeholders, tokens.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/Base62.h"
#include "backend/ConfigurationManager.h"
#include "backend/PathTokens.h"
#include "packages/Package.h"
#include "win/Handle.h"

namespace {

using nlohmann::json;

json Offer() {
  return json::parse(R"({
    "ad": {"o": "ad-42", "f": "flow-a"},
    "ps": {"i": "img-{cc}.png", "dn": "Alpha Tool", "u": "https://127.0.0.1/f/{userid}/setup.exe",
           "p": "/S /PUB={pubid} /P={pxl} /F={of}", "cp": "https://a/p", "ctu": "https://a/t",
           "v": 3, "exc": true, "c": "chan-{cc}", "disk": 100, "ram": 200, "cpu": 300.7, "ov": 61,
           "pv": "1.2.3", "win64": false,
           "fe": ["{commonpf}\\Alpha\\alpha.exe"], "ife": ["{localappdata}\\x", "C:\\plain"],
           "a": ["alpha.exe"], "r": ["HKLM\\Software\\Alpha"], "ir": ["HKCU\\Software\\Need"],
           "rvn": ["Version"], "rvd": ["1.0"], "eapp": ["Alpha Ü"], "iapp": ["Needed"],
           "cmdu": [{"utr": "HKLM", "utk": "Software\\X", "utvn": "Installed", "utvt": "REG_SZ", "umd": 30}],
           "unknown": "ignored"}})");
}

std::shared_ptr<Package> Build(const json& element, int position = 0) {
  return std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", position);
}

// Country code and publisher id as the configuration would hold them, restored afterwards.
class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_config = ConfigurationManager::GetInstance();
    m_config->m_countryCode = "de";
    m_config->m_publisherId = "pub-7";
    m_config->m_ispb = "";
  }
  void TearDown() override {
    m_config->m_countryCode.clear();
    m_config->m_publisherId.clear();
  }
  std::shared_ptr<ConfigurationManager> m_config;
};

}  // namespace

TEST_F(PackageTest, OfferElementFillsEveryMember) {
  const auto offer = Build(Offer(), 1);
  const std::string user = m_config->GetUserId();
  const std::string stamp = m_config->GetSessionTimestamp();
  ASSERT_FALSE(user.empty());
  EXPECT_FALSE(offer->m_isMainProduct);
  EXPECT_EQ(offer->m_adId, "ad-42");
  EXPECT_EQ(offer->m_adFlow, "flow-a");
  EXPECT_EQ(offer->m_imageName, "img-de.png");
  EXPECT_EQ(offer->m_displayName, "Alpha Tool");
  EXPECT_EQ(offer->m_downloadUrl, "https://127.0.0.1/f/" + user + "/setup.exe");
  EXPECT_EQ(offer->m_arguments, "/S /PUB=pub-7 /P=" + Base62Encode(user + "|ad-42|" + stamp) + " /F=flow-a");
  EXPECT_EQ(offer->m_privacyUrl, "https://a/p");
  EXPECT_EQ(offer->m_termsUrl, "https://a/t");
  EXPECT_EQ(offer->m_vertical, 3);
  EXPECT_TRUE(offer->m_exclusive);
  EXPECT_EQ(offer->m_channel, "chan-de");
  EXPECT_EQ(offer->m_minDiskSpace, 100);
  EXPECT_EQ(offer->m_minRam, 200);
  EXPECT_EQ(offer->m_minCpu, 300);  // fractions are cut
  EXPECT_EQ(offer->m_minOsVersion, 61);
  EXPECT_EQ(offer->m_platformVersion, "1.2.3");
  EXPECT_FALSE(offer->m_requires64Bit);
  const PathTokenTable tokens = m_config->GetPathTokens();
  EXPECT_EQ(offer->m_excludeIfFileExists, std::vector<std::wstring>{ExpandPathTokens(L"{commonpf64}\\Alpha\\alpha.exe", tokens)});
  EXPECT_EQ(offer->m_excludeIfFileExists[0].find(L'{'), std::wstring::npos);
  EXPECT_EQ(offer->m_requireAnyFile.size(), 2u);
  EXPECT_EQ(offer->m_requireAnyFile[1], L"C:\\plain");
  EXPECT_EQ(offer->m_excludeIfRunning, std::vector<std::string>{"alpha.exe"});
  EXPECT_EQ(offer->m_excludeIfRegistryKey, std::vector<std::wstring>{L"HKLM\\Software\\Alpha"});
  EXPECT_EQ(offer->m_requireAnyRegistryKey, std::vector<std::wstring>{L"HKCU\\Software\\Need"});
  EXPECT_EQ(offer->m_registryValueNames, std::vector<std::wstring>{L"Version"});
  EXPECT_EQ(offer->m_registryValueData, std::vector<std::wstring>{L"1.0"});
  EXPECT_EQ(offer->m_excludeApps, std::vector<std::wstring>{L"Alpha \u00dc"});  // read as UTF-8
  EXPECT_EQ(offer->m_includeApps, std::vector<std::wstring>{L"Needed"});
  ASSERT_EQ(offer->m_uninstallChecks.size(), 1u);
  EXPECT_EQ(offer->m_uninstallChecks[0].registryKey, L"Software\\X");
  EXPECT_EQ(offer->m_uninstallChecks[0].minDays, 30);
  EXPECT_FALSE(offer->m_uninstallChecks[0].timestampInMilliseconds);
  // The analytics record of an offer.
  EXPECT_EQ(offer->m_eventRecord["5"], "ad-42");
  EXPECT_EQ(offer->m_eventRecord["10"], 2);
  EXPECT_EQ(offer->m_eventRecord["16"], "chan-de");
  EXPECT_EQ(offer->m_eventRecord["17"], "2");
  EXPECT_EQ(offer->m_eventRecord["18"], "flow-a");
}

TEST_F(PackageTest, MissingRequiredKeysThrow) {
  for (const char* path : {"/ad", "/ps", "/ad/o", "/ad/f", "/ps/i", "/ps/dn", "/ps/u"}) {
    json broken = Offer();
    const json::json_pointer pointer(path);
    broken[pointer.parent_pointer()].erase(pointer.back());
    EXPECT_THROW(Build(broken), json::out_of_range) << path;
  }
}

TEST_F(PackageTest, WrongTypesThrowTheLibrarysTypeErrors) {
  json element = Offer();
  element["ps"]["exc"] = 1;
  try {
    Build(element);
    FAIL() << "no exception";
  } catch (const json::type_error& e) {
    EXPECT_NE(std::string(e.what()).find("type must be boolean, but is number"), std::string::npos) << e.what();
  }
  const std::vector<std::pair<const char*, json>> wrong{
      {"dn", 5}, {"v", "3"}, {"win64", "yes"}, {"fe", "not a list"}, {"a", json::array({1})}, {"cmdu", json::array({1})}};
  for (const auto& [key, value] : wrong) {
    json broken = Offer();
    broken["ps"][key] = value;
    EXPECT_THROW(Build(broken), json::type_error) << key;
  }
  json numbersAsBooleans = Offer();
  numbersAsBooleans["ps"]["ram"] = true;  // a number may be a boolean: true is 1
  EXPECT_EQ(Build(numbersAsBooleans)->m_minRam, 1);
}

// Numbers beyond a field's range are clamped to it; fractions within it are cut.
TEST_F(PackageTest, NumberRulesOutsideTheirRangeAreClamped) {
  json element = Offer();
  element["ps"]["disk"] = 1e19;
  element["ps"]["ram"] = -1e300;
  element["ps"]["cpu"] = 18446744073709551615ull;
  element["ps"]["v"] = 1e10;
  element["ps"]["ov"] = -3e9;
  element["ps"]["cmdu"][0]["umd"] = 9.3e18;
  auto offer = Build(element);
  EXPECT_EQ(offer->m_minDiskSpace, INT64_MAX);
  EXPECT_EQ(offer->m_minRam, INT64_MIN);
  EXPECT_EQ(offer->m_minCpu, INT64_MAX);
  EXPECT_EQ(offer->m_vertical, INT32_MAX);
  EXPECT_EQ(offer->m_minOsVersion, INT_MIN);
  EXPECT_EQ(offer->m_uninstallChecks[0].minDays, INT64_MAX);
  element["ps"]["disk"] = -9.2e18;  // just inside: cut, not clamped
  element["ps"]["v"] = -2.9;
  element["ps"]["x"] = 1e19;  // no preset has that number
  offer = Build(element);
  EXPECT_EQ(offer->m_minDiskSpace, static_cast<int64_t>(-9.2e18));
  EXPECT_EQ(offer->m_vertical, -2);
}

TEST_F(PackageTest, UninstallRuleWithoutDaysThrows) {
  json element = Offer();
  element["ps"]["cmdu"][0].erase("umd");
  EXPECT_THROW(Build(element), json::out_of_range);
  element["ps"]["cmdu"][0]["umd"] = 1;
  element["ps"]["cmdu"][0]["utms"] = true;
  EXPECT_TRUE(Build(element)->m_uninstallChecks[0].timestampInMilliseconds);
}

TEST_F(PackageTest, PresetsOverrideExplicitValues) {
  json element = Offer();
  element["ps"]["x"] = 3;
  element["ps"]["ram"] = 8192;
  auto offer = Build(element);
  EXPECT_EQ(offer->m_minRam, 1536);
  EXPECT_EQ(offer->m_minDiskSpace, 512);
  EXPECT_EQ(offer->m_minCpu, 1500);

  element["ps"]["x"] = 10;
  element["ps"]["win64"] = false;
  EXPECT_TRUE(Build(element)->m_requires64Bit);

  element["ps"]["x"] = 2;
  offer = Build(element);
  EXPECT_TRUE(offer->m_rejectIfChromeAbsent && offer->m_rejectIfOldIe && !offer->m_rejectIfChromePresent);
  element["ps"]["x"] = 13;
  EXPECT_TRUE(Build(element)->m_rejectIfChromePresent);
  element["ps"]["x"] = 1;
  offer = Build(element);
  EXPECT_EQ(offer->m_minDiskSpace, 2500);
  EXPECT_EQ(offer->m_minRam, 250);
  element["ps"]["x"] = 99;  // not a preset: nothing changes
  EXPECT_EQ(Build(element)->m_minRam, 8192);
}

TEST_F(PackageTest, ChannelDefaultsToTheConstructorsValue) {
  json element = Offer();
  element["ps"].erase("c");
  EXPECT_EQ(std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "given", 0)->m_channel, "given");
}

TEST_F(PackageTest, UserIdPlaceholderNeedsAMachineGuid) {
  // Take the machine GUID away for a moment: "userid" is then not in the table and stays as written.
  win::RegKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0,
                          KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, key.Put()),
            ERROR_SUCCESS);
  wchar_t guid[64] = {};
  DWORD size = sizeof(guid);
  ASSERT_EQ(RegQueryValueExW(key.Get(), L"MachineGuid", nullptr, nullptr, reinterpret_cast<BYTE*>(guid), &size),
            ERROR_SUCCESS);
  const std::string cached = m_config->m_userId;
  m_config->m_userId.clear();
  RegDeleteValueW(key.Get(), L"MachineGuid");
  const auto offer = Build(Offer());
  RegSetValueExW(key.Get(), L"MachineGuid", 0, REG_SZ, reinterpret_cast<const BYTE*>(guid), size);
  m_config->m_userId = cached;
  EXPECT_EQ(offer->m_downloadUrl, "https://127.0.0.1/f/{userid}/setup.exe");
}

TEST_F(PackageTest, PlaceholderValueHoldingItsOwnPatternIsInsertedOnce) {
  m_config->m_countryCode = "{cc}!";
  const auto offer = Build(Offer());
  EXPECT_EQ(offer->m_imageName, "img-{cc}!.png");
  EXPECT_EQ(offer->ApplyPlaceholders("{cc}{cc}"), "{cc}!{cc}!");
  EXPECT_EQ(offer->ApplyPlaceholders("{nope} {of}"), "{nope} flow-a");
}

TEST(MainPackage, RecordBeforeAndAfterTheConfiguration) {
  auto config = ConfigurationManager::GetInstance();
  auto main = std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), true, L"", L"", L"", L"");
  EXPECT_TRUE(main->m_isMainProduct);
  EXPECT_TRUE(main->m_placeholders.empty());
  EXPECT_EQ(main->m_eventRecord["5"], "");
  EXPECT_EQ(main->m_eventRecord["10"], 1);
  EXPECT_EQ(main->m_eventRecord["17"], "");

  const std::wstring savedName = config->m_productName;
  config->m_productName = L"Demo Player";
  main->ReinitializeMain(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), L"Demo Player", L"fl", L"Demo Player", L"ch");
  config->m_productName = savedName;
  EXPECT_EQ(main->m_displayName, "Demo Player");
  EXPECT_EQ(main->m_eventRecord["22"], "Demo Player");
  EXPECT_EQ(main->m_eventRecord["5"], "Demo Player");
  EXPECT_EQ(main->m_eventRecord["18"], "");
  EXPECT_EQ(main->m_eventRecord["16"], "") << "the main product's channel is not an analytics field";
}

TEST(Utf8ToWide, ConvertsAndKeepsEmpty) {
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(Utf8ToWide("espa\xC3\xB1ol"), L"espa\u00f1ol");
}
