// The offer page's consent text and the double-click rule of the page buttons: pure logic.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ui/ConsentText.h"
#include "ui/PageButton.h"

TEST(ConsentText, NamesTheOfferAndLinksItsPolicyAndAgreement) {
  EXPECT_EQ(ConsentText(L"Tidy Tools", L"https://example.com/p", L"https://example.com/t"),
            L"When you click \"ACCEPT\", you agree to the installation of \"Tidy Tools\" and that you have read the "
            L"<a href=\"https://example.com/p\">Privacy Policy</a> and agree to the terms of its "
            L"<a href=\"https://example.com/t\">End User License Agreement</a>. Check \"Add/Remove Programs\" to "
            L"uninstall.");
}

TEST(ConsentText, EmptyAddressesStillMakeLinks) {
  const std::wstring text = ConsentText(L"X", L"", L"");
  EXPECT_NE(text.find(L"<a href=\"\">Privacy Policy</a>"), std::wstring::npos);
  EXPECT_NE(text.find(L"<a href=\"\">End User License Agreement</a>"), std::wstring::npos);
}

TEST(ConsentText, ConfigurationTextsAreUtf8) {
  // "Café Ütil™" and an address with a non-ASCII path, as the configuration sends them.
  const std::wstring text = ConsentTextFromUtf8("Caf\xC3\xA9 \xC3\x9Ctil\xE2\x84\xA2", "https://example.com/\xC3\xB1",
                                                "https://example.com/t");
  EXPECT_EQ(text, ConsentText(L"Caf\u00e9 \u00dctil\u2122", L"https://example.com/\u00f1", L"https://example.com/t"));
  EXPECT_NE(text.find(L"\"Caf\u00e9 \u00dctil\u2122\""), std::wstring::npos);
}

TEST(ConsentText, StaysEnglish) {
  // The fixed pieces are not localized: the text names "ACCEPT" whatever the buttons read.
  EXPECT_EQ(ConsentText(L"", L"", L"").rfind(L"When you click \"ACCEPT\"", 0), 0u);
}

namespace {
constexpr UINT kDoubleClickTime = 500;
constexpr SIZE kArea{4, 4};
MousePress At(DWORD time, LONG x, LONG y) { return MousePress{time, POINT{x, y}}; }
}  // namespace

TEST(PageButtonClickRule, ASecondPressAtTheSameSpotSoonAfterContinuesTheClick) {
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1000, 100, 200), kDoubleClickTime, kArea));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1150, 101, 198), kDoubleClickTime, kArea));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1500, 100, 200), kDoubleClickTime, kArea));
}

TEST(PageButtonClickRule, ALaterPressIsANewClick) {
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(1501, 100, 200), kDoubleClickTime, kArea));
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(90000, 100, 200), kDoubleClickTime, kArea));
}

TEST(PageButtonClickRule, APressElsewhereIsANewClick) {
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(1100, 103, 200), kDoubleClickTime, kArea));
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(1100, 100, 197), kDoubleClickTime, kArea));
}

TEST(PageButtonClickRule, APressQueuedBeforeTheClickEndedBelongsToIt) {
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(990, 100, 200), kDoubleClickTime, kArea));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(990, 300, 50), kDoubleClickTime, kArea));
}

TEST(PageButtonClickRule, MessageTimesWrapAround) {
  EXPECT_TRUE(ContinuesClick(At(0xFFFFFF00u, 10, 10), At(0x00000010u, 10, 10), kDoubleClickTime, kArea));
  EXPECT_FALSE(ContinuesClick(At(0xFFFFFF00u, 10, 10), At(0x00001000u, 10, 10), kDoubleClickTime, kArea));
}
