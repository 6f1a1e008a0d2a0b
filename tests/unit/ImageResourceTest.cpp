// Embedded PNGs decoded with GDI+, and the image control that paints them.
#include <gtest/gtest.h>
#include <windows.h>

#include "ui/CStaticFromImage.h"
#include "win/Gdiplus.h"

namespace {

class ImageResourceTest : public ::testing::Test {
 protected:
  win::GdiplusSession m_gdiplus;
};

}  // namespace

TEST_F(ImageResourceTest, StatusImagesDecodeAsTransparentCircles) {
  ASSERT_TRUE(m_gdiplus.Started());
  for (const auto& [id, type] : {std::pair{101, L"IMAGE_BLOB"}, {102, L"IMAGE_BLOB2"}, {103, L"IMAGE_BLOB3"}}) {
    const auto bitmap = LoadImageFromResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), type);
    ASSERT_TRUE(bitmap) << id;
    EXPECT_EQ(bitmap->GetWidth(), 256u);
    EXPECT_EQ(bitmap->GetHeight(), 256u);
    Gdiplus::Color corner, centre;
    bitmap->GetPixel(0, 0, &corner);
    bitmap->GetPixel(128, 20, &centre);
    EXPECT_EQ(corner.GetA(), 0) << "transparent outside the circle";
    EXPECT_EQ(centre.GetA(), 255) << "opaque inside";
  }
}

// The wizard's icon: 16 and 32 pixels as bitmaps, 48 as a PNG, each loaded at its own size.
TEST_F(ImageResourceTest, TheIconLoadsAtEachOfItsSizes) {
  for (const int size : {16, 32, 48}) {
    const auto icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(9200), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    ASSERT_TRUE(icon) << size;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST_F(ImageResourceTest, MissingWrongTypeOrEmptyResourceGivesNothing) {
  const HMODULE self = GetModuleHandleW(nullptr);
  EXPECT_FALSE(LoadImageFromResource(self, MAKEINTRESOURCEW(104), L"IMAGE_BLOB"));
  EXPECT_FALSE(LoadImageFromResource(self, MAKEINTRESOURCEW(101), L"IMAGE_BLOB3"));
  EXPECT_FALSE(LoadImageFromResource(self, MAKEINTRESOURCEW(9100), L"IMAGE_BLOB"));
}

TEST_F(ImageResourceTest, ControlHoldsReplacesAndClearsItsImage) {
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  if (!parent) GTEST_SKIP() << "no X display";
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 30, 30, parent, reinterpret_cast<HMENU>(1016),
                  nullptr, nullptr);
  {
    CStaticFromImage image;
    ASSERT_TRUE(image.Attach(parent, 1016));
    image.LoadFromResource(103, L"IMAGE_BLOB3");
    ASSERT_TRUE(image.Image());
    EXPECT_EQ(image.Image()->GetWidth(), 256u);
    image.LoadFromResource(999, L"IMAGE_BLOB3");  // a missing id clears the control
    EXPECT_FALSE(image.Image());
    image.SetImage(LoadImageFromResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), L"IMAGE_BLOB2"));
    EXPECT_TRUE(image.Image());
    UpdateWindow(parent);  // paints the 256 x 256 image into 30 x 30 without trouble
    image.SetImage(nullptr);
    EXPECT_FALSE(image.Image());
  }
  DestroyWindow(parent);
}
