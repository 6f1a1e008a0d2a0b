// The run's log: where it goes, what a line looks like, how many are kept and how large one grows.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "backend/RunLog.h"
#include "win/Text.h"

namespace {

namespace fs = std::filesystem;

fs::path FreshFolder(const wchar_t* name) {
  const fs::path folder = fs::temp_directory_path() / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::set<std::wstring> Names(const fs::path& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().wstring());
  return names;
}

}  // namespace

TEST(RunLog, LinesCarryTheTimeAndOneLogNeverReplacesAnother) {
  const fs::path folder = FreshFolder(L"welvane-runlog-lines");
  const std::wstring first = runlog::Open(L"dlm", folder.wstring());
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(std::regex_match(win::ToUtf8(fs::path(first).filename().wstring()),
                               std::regex(R"(welvane-\d{8}-\d{6}-dlm-\d+\.log)")));
  runlog::Write("Configuration request: status 200");
  runlog::Write(L"Offer \u00e9t\u00e9: two\r\nlines");
  // A second log of the same second and process takes another name; the first stays as it was.
  const std::wstring second = runlog::Open(L"dlm", folder.wstring());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second, first);
  runlog::Write("second run");
  runlog::Close();
  runlog::Write("after the end");

  const std::string text = ReadAll(first);
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Configuration request: status 200\r\n)"
                                                R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Offer \xC3\xA9t\xC3\xA9: two  lines\r\n)")))
      << text;
  EXPECT_NE(ReadAll(second).find(" second run\r\n"), std::string::npos);
  EXPECT_EQ(ReadAll(second).find("after the end"), std::string::npos);
  fs::remove_all(folder);
}

TEST(RunLog, KeepsTheNewestLogsOnlyAndStopsAtItsLimit) {
  const fs::path folder = FreshFolder(L"welvane-runlog-kept");
  for (int day = 10; day < 22; ++day) {
    std::ofstream(folder / (L"welvane-202601" + std::to_wstring(day) + L"-120000-isv-7.log")) << "old";
  }
  fs::create_directory(folder / L"welvane-20000101-000000-dlm-1.log");  // not a log: stays
  std::ofstream(folder / L"notes.txt") << "the user's";
  const std::wstring path = runlog::Open(L"isv", folder.wstring());
  ASSERT_FALSE(path.empty());
  std::set<std::wstring> expected{L"notes.txt", L"welvane-20000101-000000-dlm-1.log",
                                  fs::path(path).filename().wstring()};
  for (int day = 13; day < 22; ++day) expected.insert(L"welvane-202601" + std::to_wstring(day) + L"-120000-isv-7.log");
  EXPECT_EQ(Names(folder), expected);

  const std::string line(1000, 'x');
  for (int i = 0; i < 1200; ++i) runlog::Write(line);
  runlog::Close();
  const std::string text = ReadAll(path);
  EXPECT_LE(text.size(), runlog::kMaxLogBytes + 100);
  EXPECT_GT(text.size(), runlog::kMaxLogBytes - 2000);
  EXPECT_NE(text.find("The log is full: later steps are not written.\r\n"), std::string::npos);
  fs::remove_all(folder);
}

TEST(RunLog, AFileWhereTheFolderGoesMeansNoLog) {
  const fs::path folder = FreshFolder(L"welvane-runlog-file");
  std::ofstream(folder / L"Logs") << "a file";
  EXPECT_EQ(runlog::Open(L"dlm", (folder / L"Logs").wstring()), L"");
  runlog::Write("nowhere");
  runlog::Close();
  EXPECT_EQ(ReadAll(folder / L"Logs"), "a file");
  fs::remove_all(folder);
}

TEST(RunLog, LinesKeptBeforeOpenGoFirstIntoTheLog) {
  const fs::path folder = FreshFolder(L"welvane-runlog-kept-lines");
  runlog::KeepUntilOpen();
  runlog::Write("first");
  const std::string line(1000, 'k');
  for (int i = 0; i < 100; ++i) runlog::Write(line);  // beyond what is kept
  const std::wstring path = runlog::Open(L"dlm", folder.wstring());
  ASSERT_FALSE(path.empty());
  runlog::Write("after the open");
  runlog::Close();
  runlog::Write("after the end");

  const std::string text = ReadAll(path);
  EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} first\r\n)"))) << text.substr(0, 80);
  EXPECT_LE(text.size(), runlog::kMaxKeptBytes + 100);
  EXPECT_GT(text.size(), runlog::kMaxKeptBytes - 2000);
  EXPECT_EQ(text.substr(text.size() - 16), "after the open\r\n");
  fs::remove_all(folder);
}
