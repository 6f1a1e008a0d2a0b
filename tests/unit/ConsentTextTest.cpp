// The offer page's consent text and the double-click rule of the page buttons: pure logic.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ui/ConsentText.h"
#include "ui/PageButton.h"
#include "win/Shell.h"
#include "win/Text.h"

TEST(ConsentText, NamesTheOfferAndLinksItsPolicyAndAgreement) {
  EXPECT_EQ(ConsentText(L"Tidy Tools", L"https://example.com/p", L"https://example.com/t"),
            L"When you click \"ACCEPT\", you agree to the installation of \"Tidy Tools\" and that you have read the "
            L"<a href=\"https://example.com/p\">Privacy Policy</a> and agree to the terms of its "
            L"<a href=\"https://example.com/t\">End User License Agreement</a>. Check \"Add/Remove Programs\" to "
            L"uninstall.");
}

TEST(ConsentText, NamesAndAddressesCannotRewriteTheSentence) {
  const std::wstring text = ConsentText(L"X</a><a href=\"https://evil\">Y", L"https://p\"><a href=\"x", L"https://t");
  EXPECT_EQ(text, L"When you click \"ACCEPT\", you agree to the installation of \"X\uFF1C/a>\uFF1Ca href=\"https://evil\">Y\" "
                  L"and that you have read the <a href=\"https://p%22%3E%3Ca href=%22x\">Privacy Policy</a> and agree to "
                  L"the terms of its <a href=\"https://t\">End User License Agreement</a>. Check \"Add/Remove Programs\" "
                  L"to uninstall.");
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

TEST(WebLinks, OnlyHttpAndHttpsAddressesAreOpened) {
  for (const wchar_t* url : {L"https://example.com/p", L"HTTP://example.com", L"http://x"}) EXPECT_TRUE(win::IsWebLink(url));
  for (const wchar_t* url : {L"", L"https://", L"file:///C:/Windows/System32/calc.exe", L"C:\\Windows\\notepad.exe",
                             L"calc.exe", L"javascript:alert(1)", L"\\\\server\\share\\x.exe", L" https://x"}) {
    EXPECT_FALSE(win::IsWebLink(url)) << win::ToUtf8(url);
  }
}

namespace {
constexpr UINT kDoubleClickTime = 500;
MousePress At(DWORD time, LONG x, LONG y) { return MousePress{time, POINT{x, y}}; }
}  // namespace

TEST(PageButtonClickRule, APressSoonAfterBelongsToTheClickWhereverItLands) {
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1000, 100, 200), kDoubleClickTime));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1150, 101, 198), kDoubleClickTime));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1100, 130, 240), kDoubleClickTime)) << "moved a little";
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(1500, 100, 200), kDoubleClickTime));
}

TEST(PageButtonClickRule, ALaterPressIsANewClick) {
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(1501, 100, 200), kDoubleClickTime));
  EXPECT_FALSE(ContinuesClick(At(1000, 100, 200), At(90000, 100, 200), kDoubleClickTime));
}

TEST(PageButtonClickRule, APressQueuedBeforeTheClickEndedBelongsToIt) {
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(990, 100, 200), kDoubleClickTime));
  EXPECT_TRUE(ContinuesClick(At(1000, 100, 200), At(990, 300, 50), kDoubleClickTime));
}

TEST(PageButtonClickRule, MessageTimesWrapAround) {
  EXPECT_TRUE(ContinuesClick(At(0xFFFFFF00u, 10, 10), At(0x00000010u, 10, 10), kDoubleClickTime));
  EXPECT_FALSE(ContinuesClick(At(0xFFFFFF00u, 10, 10), At(0x00001000u, 10, 10), kDoubleClickTime));
}
