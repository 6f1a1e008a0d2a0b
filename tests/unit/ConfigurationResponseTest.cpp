// The order and rules by which the back end's configuration is applied.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "backend/ConfigurationManager.h"
#include "backend/ConfigurationResponse.h"

namespace {

using nlohmann::json;

struct Config : ConfigurationManager {
  explicit Config(const char* flavour) : ConfigurationManager(flavour) {}
  ~Config() { RemoveDirectoryW(m_tempFolder.c_str()); }
};

json Product() {
  return json::parse(R"({"ct":"MyApp","cu":"https://127.0.0.1/f/app.exe","cl":"https://127.0.0.1/f/logo.png",
    "cp":"https://p","ctu":"https://t","ch":"c7","cfl":"flow","cb":"ispb-1"})");
}

}  // namespace

TEST(ConfigurationResponse, DownloadManagerAppliesEverythingInOrder) {
  Config config("DLM");
  const json response = {{"l", "ES"}, {"i", Product()}, {"f", {{"a", "pub-9"}, {"m", 3}}}, {"o", json::array()}};
  const AppliedConfiguration applied = ApplyConfigurationResponse(response, config);
  EXPECT_FALSE(applied.configurationError);
  EXPECT_TRUE(applied.readOffers);
  EXPECT_EQ(config.m_countryCode, "ES");
  EXPECT_EQ(config.m_productName, L"MyApp");
  EXPECT_EQ(config.m_productUrl, L"https://127.0.0.1/f/app.exe");
  EXPECT_EQ(config.m_productLogoUrl, L"https://127.0.0.1/f/logo.png");
  EXPECT_EQ(config.m_productFileName, L"MyApp.exe");  // no "cf": the title plus ".exe"
  EXPECT_EQ(config.m_privacyUrl, L"https://p");
  EXPECT_EQ(config.m_termsUrl, L"https://t");
  EXPECT_EQ(config.m_channel, L"c7");
  EXPECT_EQ(config.m_productFlow, L"flow");
  EXPECT_EQ(config.m_ispb, "ispb-1");
  EXPECT_EQ(config.m_publisherId, "pub-9");
  EXPECT_EQ(config.m_maxOffers, 3);
}

TEST(ConfigurationResponse, EmptyTitleOrUrlStopsWithAConfigurationError) {
  for (const char* empty : {"ct", "cu"}) {
    Config config("DLM");
    json product = Product();
    product[empty] = "";
    const json response = {{"i", product}, {"f", {{"a", "pub"}, {"m", 1}}}, {"o", json::array()}};
    const AppliedConfiguration applied = ApplyConfigurationResponse(response, config);
    EXPECT_TRUE(applied.configurationError) << empty;
    EXPECT_FALSE(applied.readOffers);
    EXPECT_TRUE(config.m_productLogoUrl.empty()) << "nothing after the check is applied";
    EXPECT_TRUE(config.m_publisherId.empty());
  }
}

TEST(ConfigurationResponse, MalformedProductThrows) {
  Config config("DLM");
  EXPECT_THROW(ApplyConfigurationResponse(json::object(), config), json::out_of_range);  // no "i"
  EXPECT_THROW(ApplyConfigurationResponse({{"i", {{"ct", "A"}}}}, config), json::out_of_range);
  EXPECT_THROW(ApplyConfigurationResponse({{"i", {{"ct", 5}, {"cu", "u"}}}}, config), json::type_error);
  json product = Product();
  product["cl"] = true;
  EXPECT_THROW(ApplyConfigurationResponse({{"i", product}}, config), json::type_error);
  EXPECT_THROW(ApplyConfigurationResponse({{"l", 3}, {"i", Product()}}, config), json::type_error);
}

TEST(ConfigurationResponse, OffersNeedMaximumAndAreSwitchedOffOnlyByExactChannel) {
  {
    Config config("DLM");
    json product = Product();
    product["ch"] = "00xA";
    EXPECT_FALSE(ApplyConfigurationResponse({{"i", product}, {"o", json::array()}}, config).readOffers);
  }
  {
    Config config("DLM");
    json product = Product();
    product["ch"] = "00XA";
    EXPECT_TRUE(ApplyConfigurationResponse({{"i", product}, {"f", {{"m", 2.9}}}, {"o", json::array()}}, config)
                    .readOffers);
    EXPECT_EQ(config.m_maxOffers, 2);  // fractions are cut
  }
  {
    Config config("DLM");
    ApplyConfigurationResponse({{"i", Product()}, {"f", {{"m", true}}}, {"o", json::array()}}, config);
    EXPECT_EQ(config.m_maxOffers, 1);
  }
  // Numbers beyond the field's range are clamped to it, not converted (which is undefined).
  for (const auto& [m, expected] : std::vector<std::pair<json, int>>{{1e10, INT_MAX},
                                                                     {-1e10, INT_MIN},
                                                                     {json(uint64_t{1} << 63), INT_MAX},
                                                                     {json(int64_t{-5000000000}), INT_MIN},
                                                                     {-0.9, 0},
                                                                     {2147483647.5, INT_MAX}}) {
    Config config("DLM");
    ApplyConfigurationResponse({{"i", Product()}, {"f", {{"m", m}}}, {"o", json::array()}}, config);
    EXPECT_EQ(config.m_maxOffers, expected) << m.dump();
  }
  Config config("DLM");
  EXPECT_THROW(ApplyConfigurationResponse({{"i", Product()}, {"o", json::array()}}, config), json::out_of_range);
  EXPECT_THROW(ApplyConfigurationResponse({{"i", Product()}, {"f", {{"a", "x"}}}, {"o", json::array()}}, config),
               json::out_of_range);
  EXPECT_FALSE(ApplyConfigurationResponse({{"i", Product()}, {"f", {{"a", "x"}}}}, config).readOffers);
}

TEST(ConfigurationResponse, InstallerIgnoresTheProduct) {
  Config config("ISV");
  const json response = {{"i", {{"ct", "Other"}, {"cu", ""}}}, {"f", {{"m", 4}}}, {"o", json::array()}};
  const AppliedConfiguration applied = ApplyConfigurationResponse(response, config);
  EXPECT_FALSE(applied.configurationError);
  EXPECT_TRUE(applied.readOffers);
  EXPECT_EQ(config.m_productName, L"Welvane Tester");
  EXPECT_EQ(config.m_maxOffers, 4);
  // Without "i" the installer flavour goes on as well.
  Config bare("ISV");
  EXPECT_NO_THROW(ApplyConfigurationResponse(json::object(), bare));
}
