// An offer's image fetched from the files endpoint of the reference back end.
#include <gtest/gtest.h>
#include <windows.h>

#include <condition_variable>
#include <mutex>

#include <nlohmann/json.hpp>

#include "backend/AnalyticsContext.h"
#include "packages/Package.h"
#include "win/Gdiplus.h"

namespace {

using nlohmann::json;

class PackageImageTest : public ::testing::Test {
 protected:
  std::shared_ptr<Package> Offer(const char* image) {
    json element = {{"ad", {{"o", "img-test"}, {"f", "f"}}}, {"ps", {{"i", image}, {"dn", "N"}, {"u", "u.exe"}}}};
    return std::make_shared<Package>(CreateAnalyticsContext(), element, false, "", 0);
  }
  // Runs DownloadImage and waits until its callable has run; returns how often it ran.
  int Fetch(Package& package) {
    std::mutex mutex;
    std::condition_variable done;
    int calls = 0;
    package.DownloadImage([&] {
      std::lock_guard<std::mutex> lock(mutex);
      ++calls;
      done.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    done.wait_for(lock, std::chrono::seconds(60), [&] { return calls > 0; });
    return calls;
  }
  win::GdiplusSession m_gdiplus;
};

}  // namespace

TEST_F(PackageImageTest, AnImageArrivesDecoded) {
  const auto offer = Offer("offer-alpha.png");
  EXPECT_EQ(Fetch(*offer), 1);
  ASSERT_TRUE(offer->m_image);
  EXPECT_EQ(offer->m_image->GetLastStatus(), Gdiplus::Ok);
  EXPECT_GT(offer->m_image->GetWidth(), 0u);
}

TEST_F(PackageImageTest, EmptyOrMissingImageStillCallsBack) {
  const auto empty = Offer("empty.png");
  EXPECT_EQ(Fetch(*empty), 1);
  EXPECT_FALSE(empty->m_image);
  const auto missing = Offer("no-such-image.png");
  EXPECT_EQ(Fetch(*missing), 1);
  EXPECT_FALSE(missing->m_image);
}

TEST_F(PackageImageTest, UndecodableBytesGiveABitmapInAnErrorState) {
  const auto offer = Offer("not-an-image.png");
  EXPECT_EQ(Fetch(*offer), 1);
  ASSERT_TRUE(offer->m_image);
  EXPECT_NE(offer->m_image->GetLastStatus(), Gdiplus::Ok);
}

TEST_F(PackageImageTest, TheMainProductHasNoImageToFetch) {
  const auto main = std::make_shared<Package>(CreateAnalyticsContext(), true, L"", L"", L"", L"");
  int calls = 0;
  main->DownloadImage([&] { ++calls; });
  EXPECT_EQ(calls, 1) << "called at once, on the caller's thread";
  EXPECT_FALSE(main->m_image);
}
