#include <gtest/gtest.h>

#include "backend/Identity.h"

TEST(DownloadToken, TakesSevenCharactersWithDashAfterLastUnderscore) {
  EXPECT_EQ(DownloadTokenFromPath(L"C:\\Users\\me\\Downloads\\setup_ab1-c2d.exe"), L"ab1-c2d");
}
