// The eligibility engine with the machine stood in for: the rule order, first come first served,
// the requirement rules and how often each machine query is made in a pass. Rejections go to the
// reference back end as events 2 and are read back from it.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "eligibility/OfferChecker.h"
#include "eligibility/OfferLoading.h"
#include "support/RunChecker.h"
#include "packages/Package.h"
#include "support/RefServer.h"
#include "win/Text.h"

namespace {

using nlohmann::json;

// Answers as told and counts every question.
class StandInMachine : public MachineProbes {
 public:
  std::wstring DefaultUserDesktop() override { return desktop; }
  bool FreeDiskBytes(const std::wstring& root, uint64_t& bytes, DWORD& error) override {
    ++diskQueries;
    diskRoot = root;
    bytes = freeBytes;
    error = diskError;
    return diskError == 0;
  }
  bool TotalPhysicalBytes(uint64_t& bytes, DWORD& error) override {
    ++ramQueries;
    bytes = ramBytes;
    error = ramError;
    return ramError == 0;
  }
  CpuRead ProcessorMhz(uint32_t& value) override {
    ++cpuQueries;
    value = mhz;
    return cpu;
  }
  bool IsWindowsVersionOrLater(DWORD major, DWORD minor) override {
    return major < windowsMajor || (major == windowsMajor && minor <= windowsMinor);
  }
  bool IsWow64() override { return wow64; }
  bool FileExists(const std::wstring& path) override {
    ++fileQueries;
    return files.count(path) != 0;
  }
  bool RunningProcesses(std::vector<std::wstring>& names) override {
    ++snapshots;
    names = processes;
    return true;
  }
  uint64_t NowUnixSeconds() override { return 1700000000; }

  std::wstring desktop = L"D:\\Users\\Default\\Desktop";
  std::wstring diskRoot;
  uint64_t freeBytes = 100000ull * 1048576;
  DWORD diskError = 0;
  uint64_t ramBytes = 8192ull * 1048576;
  DWORD ramError = 0;
  uint32_t mhz = 2000;
  CpuRead cpu = CpuRead::kOk;
  DWORD windowsMajor = 10, windowsMinor = 0;
  bool wow64 = true;
  std::set<std::wstring> files;
  std::vector<std::wstring> processes{L"explorer.exe"};
  int diskQueries = 0, ramQueries = 0, cpuQueries = 0, fileQueries = 0, snapshots = 0;
};

class OfferCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override { m_since = refserver::Control(L"GET", L"health").at("events").get<long long>(); }

  // An offer whose events can be told apart from every other test's; `rules` go into "ps".
  std::shared_ptr<Package> Offer(const json& rules = json::object()) {
    const std::string id = win::ToUtf8(refserver::NewScenario(L"offer"));
    json element = {{"ad", {{"o", id}, {"f", "flow"}}}, {"ps", {{"i", "i.png"}, {"dn", "Name"}, {"u", "u.exe"}}}};
    element["ps"].update(rules);
    auto offer = std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
    m_offers.push_back(offer);
    return offer;
  }
  // The reason the offer was rejected with, "" when no event was sent.
  std::string Reason(const std::shared_ptr<Package>& offer) {
    offer->WaitForEvents();
    const json events = refserver::Control(
        L"GET", win::FromUtf8("events?since=" + std::to_string(m_since) + "&package=" + offer->m_adId))["events"];
    if (events.empty()) return "";
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["record"]["6"], "2");
    return events[0]["record"]["13"].get<std::string>();
  }
  // Runs a pass as the loading sequence does; the offers it shows.
  std::vector<std::shared_ptr<Package>> Pass(OfferChecker& checker, const std::vector<std::shared_ptr<Package>>& offers) {
    return RunEligibilityPass(checker, offers.size(), [&offers](std::size_t i, std::size_t) { return offers[i]; });
  }

  std::shared_ptr<StandInMachine> m_machine = std::make_shared<StandInMachine>();
  std::vector<std::shared_ptr<Package>> m_offers;
  long long m_since = 0;
};

using Offers = std::vector<std::shared_ptr<Package>>;

}  // namespace

TEST_F(OfferCheckerTest, TheLimitStopsThePassWithoutAnEvent) {
  OfferChecker none(0, RunProgramVersion(), RunPathTokens(), m_machine);
  const auto first = Offer();
  bool stop = false;
  EXPECT_FALSE(none.IsEligible(first, stop));
  EXPECT_TRUE(stop);
  EXPECT_EQ(Reason(first), "");

  OfferChecker two(2, RunProgramVersion(), RunPathTokens(), m_machine);
  const Offers offers{Offer({{"v", 1}}), Offer({{"v", 2}}), Offer({{"v", 3}}), Offer({{"v", 4}})};
  EXPECT_EQ(Pass(two, offers), (Offers{offers[0], offers[1]}));
  EXPECT_EQ(Reason(offers[2]), "") << "the offer that hit the limit is not reported";
}

TEST_F(OfferCheckerTest, VerticalsAreFirstComeFirstServed) {
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens(), m_machine);
  // The first of vertical 7 fails a machine rule, so the second can have it; the third cannot.
  const Offers offers{Offer({{"v", 7}, {"disk", 200000}}), Offer({{"v", 7}}), Offer({{"v", 7}, {"disk", 200000}}),
                      Offer(), Offer(), Offer({{"v", -1}}), Offer({{"v", -1}})};
  EXPECT_EQ(Pass(checker, offers), (Offers{offers[1], offers[3], offers[5]}));
  EXPECT_EQ(Reason(offers[0]), "NOT ENOUGH DISK SPACE");
  EXPECT_EQ(Reason(offers[2]), "SAME VERTICAL OFFER ALREADY PRESENT") << "only the first failing rule is reported";
  EXPECT_EQ(Reason(offers[4]), "SAME VERTICAL OFFER ALREADY PRESENT") << "no vertical in the configuration is 0";
  EXPECT_EQ(Reason(offers[6]), "MULTIPLE OFFERS W/O VERTICAL");
  EXPECT_EQ(m_machine->diskQueries, 1) << "the vertical decided before the disk was asked again";
  ASSERT_EQ(checker.m_rejections.size(), 4u) << "the pass lists what it reported, in order";
  EXPECT_EQ(checker.m_rejections[1].offerId, offers[2]->m_adId);
  EXPECT_EQ(checker.m_rejections[3].reason, "MULTIPLE OFFERS W/O VERTICAL");
}

TEST_F(OfferCheckerTest, AnExclusiveOfferOnlyAsTheFirstAccepted) {
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens(), m_machine);
  const Offers offers{Offer({{"v", 1}, {"ram", 999999}}), Offer({{"v", 2}, {"exc", true}}), Offer({{"v", 3}})};
  EXPECT_EQ(Pass(checker, offers), (Offers{offers[1]})) << "a rejected offer before it does not count";

  OfferChecker later(10, RunProgramVersion(), RunPathTokens(), m_machine);
  const Offers after{Offer({{"v", 1}}), Offer({{"v", 2}, {"exc", true}}), Offer({{"v", 3}})};
  EXPECT_EQ(Pass(later, after), (Offers{after[0], after[2]}));
  EXPECT_EQ(Reason(after[1]), "EXCLUSIVE, BUT ANOTHER OFFER ALREADY PRESENT");
}

TEST_F(OfferCheckerTest, MachineValuesAreAskedOncePerPassWhileTheyAnswer) {
  OfferChecker checker(10, RunProgramVersion(), RunPathTokens(), m_machine);
  m_machine->ramError = 87;
  const Offers offers{Offer({{"v", 1}, {"ram", 100}, {"disk", 2500}, {"cpu", 2000}}),
                      Offer({{"v", 2}, {"ram", 100}, {"disk", 2500}, {"cpu", 2000}}),
                      Offer({{"v", 3}, {"ram", 100}, {"disk", 2500}, {"cpu", 2000}}), Offer({{"v", 4}})};
  bool stop = false;
  EXPECT_FALSE(checker.IsEligible(offers[0], stop));
  EXPECT_EQ(Reason(offers[0]), "RAM CHECK FAILED 87");
  m_machine->ramError = 0;
  const Offers rest{offers[1], offers[2], offers[3]};
  EXPECT_EQ(Pass(checker, rest), rest);
  EXPECT_EQ(m_machine->ramQueries, 2) << "a failed query is made again for the next offer, then kept";
  EXPECT_EQ(m_machine->diskQueries, 1);
  EXPECT_EQ(m_machine->cpuQueries, 1);
  EXPECT_EQ(m_machine->diskRoot, L"D:\\") << "the drive of the default user's desktop";
  EXPECT_EQ(m_machine->snapshots, 1);
  EXPECT_EQ(m_machine->fileQueries, 0) << "empty file rules never touch the file system";
}

TEST_F(OfferCheckerTest, RequirementRulesAndTheirReasons) {
  struct Case {
    json rules;
    std::function<void(StandInMachine&)> machine;
    std::string reason;
  };
  const std::vector<Case> cases{
      // Each minimum on both sides of its boundary: exactly the minimum is enough.
      {{{"disk", 2500}}, [](StandInMachine& m) { m.freeBytes = 2500ull * 1048576; }, ""},
      {{{"disk", 2500}}, [](StandInMachine& m) { m.freeBytes = 2500ull * 1048576 - 1; }, "NOT ENOUGH DISK SPACE"},
      {{{"ram", 8192}}, [](StandInMachine&) {}, ""},
      {{{"disk", 1}}, [](StandInMachine& m) { m.diskError = 5; }, "DISK SPACE CHECK FAILED 5"},
      {{{"disk", -1}}, [](StandInMachine&) {}, "NOT ENOUGH DISK SPACE"},  // compared unsigned
      {{{"ram", 8193}}, [](StandInMachine&) {}, "NOT ENOUGH RAM"},
      {{{"cpu", 1500}}, [](StandInMachine& m) { m.mhz = 1500; }, ""},
      {{{"cpu", 1501}}, [](StandInMachine& m) { m.mhz = 1500; }, "NOT ENOUGH CPU"},
      {{{"cpu", 1}}, [](StandInMachine& m) { m.cpu = MachineProbes::CpuRead::kCannotOpen; },
       "CPU CHECK FAILED: Couldn't open registry"},
      {{{"cpu", 1}}, [](StandInMachine& m) { m.cpu = MachineProbes::CpuRead::kCannotRead; },
       "CPU CHECK FAILED: Couldn't read value"},
      {{{"ov", 100}}, [](StandInMachine&) {}, ""},
      {{{"ov", 61}}, [](StandInMachine& m) { m.windowsMajor = 6, m.windowsMinor = 1; }, ""},
      {{{"ov", 62}}, [](StandInMachine& m) { m.windowsMajor = 6, m.windowsMinor = 1; }, "UNSUPPORTED OS VERSION"},
      {{{"ov", 64}}, [](StandInMachine&) {}, "UNSUPPORTED OS VERSION"},
      {{{"ov", -5}}, [](StandInMachine& m) { m.windowsMajor = 5; }, ""},
      {{{"pv", "3.1"}}, [](StandInMachine&) {}, "UNSUPPORTED PLATFORM VERSION"},
      {{{"pv", win::ToUtf8(RunProgramVersion())}}, [](StandInMachine&) {}, ""},
      {{{"pv", win::ToUtf8(RunProgramVersion()) + ".1"}}, [](StandInMachine&) {}, "UNSUPPORTED PLATFORM VERSION"},
      {{{"win64", true}, {"ram", 1}, {"disk", 1}, {"cpu", 1}, {"ov", 61}, {"pv", "1"}},
       [](StandInMachine& m) { m.wow64 = false; }, "64 BIT OS REQUIRED"},
      {{{"fe", json::array({"C:\\present"})}}, [](StandInMachine& m) { m.files = {L"C:\\present"}; }, "FILE EXISTS"},
      {{{"ife", json::array({"C:\\a", "C:\\b"})}}, [](StandInMachine&) {}, "NONE OF THE FILES EXISTS"},
      {{{"ife", json::array({"C:\\a", "C:\\b"})}}, [](StandInMachine& m) { m.files = {L"C:\\b"}; }, ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.rules.dump());
    m_machine = std::make_shared<StandInMachine>();
    test.machine(*m_machine);
    OfferChecker checker(10, RunProgramVersion(), RunPathTokens(), m_machine);
    const auto offer = Offer(test.rules);
    bool stop = false;
    EXPECT_EQ(checker.IsEligible(offer, stop), test.reason.empty());
    EXPECT_EQ(Reason(offer), test.reason);
  }
}

TEST(ProgramVersion, DottedVersionsCompareNumberByNumber) {
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L"3.0.9"));
  EXPECT_FALSE(IsVersionAtLeast(L"3.0.9.1", L"3.0.10"));
  EXPECT_FALSE(IsVersionAtLeast(L"3.0.9.1", L"3.1"));
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L"3"));
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L"03.0.9.1"));
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L".3..0.9.1."));  // empty pieces are skipped
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L"beta"));        // no digits: zeros
  EXPECT_TRUE(IsVersionAtLeast(L"3.0.9.1", L" +3.-1"));
  EXPECT_FALSE(IsVersionAtLeast(L"3.0.9.1", L"99999999999"));  // held at the largest number, still larger
  EXPECT_TRUE(IsVersionAtLeast(L"1.0", L"1.0.0.0"));
}
