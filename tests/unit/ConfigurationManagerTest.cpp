// The configuration manager's flavours, caches and folder choice.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <regex>

#include "backend/ConfigurationManager.h"
#include "backend/Identity.h"
#include "machine/KnownFolder.h"

namespace {
// A configuration of the installer flavour whose temporary folder goes away with it.
struct ScopedConfig : ConfigurationManager {
  ScopedConfig() : ConfigurationManager("ISV") {}
  ~ScopedConfig() { RemoveDirectoryW(m_tempFolder.c_str()); }
};
}  // namespace

TEST(ConfigurationManager, DownloadManagerFlavour) {
  ConfigurationManager config("DLM");
  EXPECT_EQ(config.m_wizardType, kWizardDlm);
  EXPECT_EQ(config.m_programVersion, L"3.0.9.1");
  EXPECT_EQ(config.m_configUrl, L"https://localhost/o");
  EXPECT_EQ(config.m_analyticsUrl, L"https://localhost/zbd");
  EXPECT_EQ(config.m_filesUrl, L"https://localhost/f/");
  EXPECT_EQ(config.m_publisher, L"Orvane");
  EXPECT_EQ(config.m_installerId, L"Orvane_DLM");
  EXPECT_EQ(config.m_sourceId, L"Orvane_3cpp");
  EXPECT_TRUE(config.m_productName.empty());
  EXPECT_TRUE(config.m_installArguments.empty());
  EXPECT_EQ(config.m_downloadFolder, GetKnownFolder(FOLDERID_Downloads));
  EXPECT_FALSE(config.m_downloadFolder.empty());
  ASSERT_TRUE(PathIsDirectoryW(config.m_tempFolder.c_str()));
  EXPECT_NE(config.m_tempFolder, config.m_downloadFolder);
  RemoveDirectoryW(config.m_tempFolder.c_str());
}

TEST(ConfigurationManager, InstallerFlavourHasTheSampleProduct) {
  ConfigurationManager config("ISV");
  EXPECT_EQ(config.m_wizardType, kWizardIsv);
  EXPECT_EQ(config.m_productName, L"Welvane Tester");
  EXPECT_EQ(config.m_productUrl, L"https://localhost/f/welvane-tester-setup.exe");
  EXPECT_EQ(config.m_productLogoUrl, L"https://localhost/f/welvane-tester-logo.png");
  EXPECT_FALSE(config.m_privacyUrl.empty());
  EXPECT_FALSE(config.m_termsUrl.empty());
  EXPECT_EQ(config.m_installArguments, L"/APP=I_AM_A_FAKE_PRODUCT_SETUP");
  ASSERT_TRUE(PathIsDirectoryW(config.m_tempFolder.c_str()));
  EXPECT_EQ(config.m_downloadFolder, config.m_tempFolder);
  RemoveDirectoryW(config.m_tempFolder.c_str());
}

TEST(ConfigurationManager, WizardTypeTableHasExactlyTwoRows) {
  const auto& table = WizardTypeTable();
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at("DLM"), 1);
  EXPECT_EQ(table.at("ISV"), 2);
  EXPECT_EQ(table.count("dlm"), 0u);
}

TEST(ConfigurationManager, SingletonIsCreatedOnceWithTheBuildsFlavour) {
  const auto first = ConfigurationManager::GetInstance();
  const auto second = ConfigurationManager::GetInstance();
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(first->m_wizardType, kWizardDlm);  // this test program is built as "DLM"
}

TEST(SessionTimestamp, FourteenDigitsOfLocalTimeComputedOnce) {
  ScopedConfig config;
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const std::string stamp = config.GetSessionTimestamp();
  ASSERT_TRUE(std::regex_match(stamp, std::regex(R"(\d{14})"))) << stamp;
  EXPECT_EQ(std::stoi(stamp.substr(0, 4)), before.wYear);
  EXPECT_EQ(std::stoi(stamp.substr(4, 2)), before.wMonth);
  Sleep(1100);  // a second later the cached value still stands
  EXPECT_EQ(config.GetSessionTimestamp(), stamp);
  EXPECT_EQ(config.m_sessionTimestamp, stamp);
}

TEST(UserId, IsTheMachineGuidCached) {
  ScopedConfig config;
  EXPECT_EQ(config.GetUserId(), ReadMachineGuid());
  EXPECT_EQ(config.m_userId, ReadMachineGuid());
  config.m_userId = "cached";
  EXPECT_EQ(config.GetUserId(), "cached");
}

TEST(DownloadFolder, FallsBackThroughDocumentsAndTempToDriveC) {
  auto none = [] { return std::wstring(); };
  auto value = [](const wchar_t* v) { return [v] { return std::wstring(v); }; };
  EXPECT_EQ(ChooseDownloadFolder(value(L"D"), value(L"M"), value(L"T\\")), L"D");
  EXPECT_EQ(ChooseDownloadFolder(none, value(L"M"), value(L"T\\")), L"M");
  EXPECT_EQ(ChooseDownloadFolder(none, none, value(L"C:\\temp\\")), L"C:\\temp\\");
  EXPECT_EQ(ChooseDownloadFolder(none, none, none), L"C:\\");
}
