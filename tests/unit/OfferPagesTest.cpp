// The welcome page and the offer pages as real windows: their texts in both wizard types, the
// links, the consent text, what Accept and Decline record and send, and the buttons' refusal of
// the second click of a double click that began on the previous page.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/OfferRecord.h"
#include "backend/AnalyticsContext.h"
#include "backend/ConfigurationManager.h"
#include "locale/LanguageManager.h"
#include "packages/Package.h"
#include "resources/pages.h"
#include "support/RefServer.h"
#include "ui/CStaticFromImage.h"
#include "ui/ConsentText.h"
#include "ui/ProductPage.h"
#include "ui/WelcomePageIsv.h"
#include "win/Gdiplus.h"
#include "win/Text.h"

// Button reports by name in failure messages.
static void PrintTo(ButtonType type, std::ostream* out) {
  static const char* const kNames[] = {"Next", "Accept", "Close", "Decline", "Finish"};
  const int value = static_cast<int>(type);
  *out << (value >= 0 && value < 5 ? kNames[value] : "?");
}

namespace {

using nlohmann::json;

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[1024] = L"";
  GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

// Whether the control shows when its page does (the test's windows stay off screen).
bool Shows(const win::Control& control) { return (GetWindowLongPtrW(control.Hwnd(), GWL_STYLE) & WS_VISIBLE) != 0; }

int Width(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return rect.right - rect.left;
}

// Dispatches every message waiting for this thread.
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A press and release of the left button in the middle of a button, as the mouse sends them (posted,
// with the message time and cursor position of their posting).
void PostClick(HWND button, UINT press = WM_LBUTTONDOWN) {
  const LPARAM middle = MAKELPARAM(10, 10);
  PostMessageW(button, press, MK_LBUTTON, middle);
  PostMessageW(button, WM_LBUTTONUP, 0, middle);
}

class OfferPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    m_saved = {m_config->m_privacyUrl, m_config->m_termsUrl};
    m_savedType = m_config->m_wizardType;
    m_savedLogo = m_config->m_productLogo;
    m_config->m_acceptedOffers.clear();
    m_config->m_shownOffers.clear();
    m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 40, 40, 700, 520, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_parent, nullptr) << "Wine makes windows only on an X display";
    SetLanguage(kWizardDlm, L"English");
  }
  void TearDown() override {
    m_pages.clear();
    m_config->m_acceptedOffers.clear();
    m_config->m_shownOffers.clear();
    m_config->m_privacyUrl = m_saved[0];
    m_config->m_termsUrl = m_saved[1];
    m_config->m_wizardType = m_savedType;
    m_config->m_productLogo = m_savedLogo;
    if (m_parent) DestroyWindow(m_parent);
  }

  void SetLanguage(int wizardType, const std::wstring& language) {
    LocaleMessages messages;
    const std::vector<UINT> ids = GetLocaleResourceIds(wizardType, messages);
    m_manager->ListLanguages(ids, messages);
    ASSERT_TRUE(m_manager->SetLanguage(language, L"Tidy Player", messages));
    EXPECT_TRUE(messages.empty());
  }

  // An offer whose ad id is unique to this test, so the back end's record of its events is its own.
  std::shared_ptr<Package> NewOffer(const std::string& name, const std::string& privacy = "https://127.0.0.1/p",
                                    const std::string& terms = "https://127.0.0.1/t") {
    const std::string adId = win::ToUtf8(refserver::NewScenario(L"page-offer"));
    json element = {{"ad", {{"o", adId}, {"f", "flow"}}},
                    {"ps", {{"i", "i.png"}, {"dn", name}, {"u", "u.exe"}, {"cp", privacy}, {"ctu", terms}}}};
    return std::make_shared<Package>(CreateAnalyticsContext(*ConfigurationManager::GetInstance()), element, false, "", 0);
  }

  // Creates the page in the parent, where the page host would put it, hidden.
  template <typename Page>
  Page& Add(std::unique_ptr<Page> page) {
    Page& ref = *page;
    EXPECT_TRUE(ref.Create()) << "template " << ref.TemplateId();
    SetWindowPos(ref.Hwnd(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ref.SetButtonCallback([this, &ref](ButtonType type) { OnButton(ref, type); });
    m_pages.push_back(std::move(page));
    return ref;
  }
  ProductPage& AddOffer(std::shared_ptr<Package> offer) {
    return Add(std::make_unique<ProductPage>(m_manager, std::move(offer), m_parent));
  }

  // What the page host does: the next page is shown before the current one is hidden, then told
  // it is the current page.
  void Navigate(size_t index) {
    if (index >= m_pages.size()) return;
    m_pages[index]->Show(true);
    if (m_current < m_pages.size()) m_pages[m_current]->Show(false);
    m_current = index;
    RecordPageShown(*m_config, m_pages[index].get());
    m_pages[index]->OnNavigateToPage();
  }
  void OnButton(IPage& page, ButtonType type) {
    m_reports.push_back(type);
    if (m_current < m_pages.size() && m_pages[m_current].get() == &page) RecordPageAnswer(*m_config, &page, type);
    if (m_current < m_pages.size() && m_pages[m_current].get() == &page) Navigate(m_current + 1);
  }

  json Events(const std::shared_ptr<Package>& offer) {
    return refserver::Control(L"GET", win::FromUtf8("events?since=" + std::to_string(m_since) + "&package=" +
                                                    offer->m_adId))
        .at("events");
  }

  win::GdiplusSession m_gdiplus;
  std::shared_ptr<ConfigurationManager> m_config = ConfigurationManager::GetInstance();
  std::shared_ptr<LanguageManager> m_manager = std::make_shared<LanguageManager>();
  std::vector<std::unique_ptr<IPage>> m_pages;
  size_t m_current = static_cast<size_t>(-1);
  std::vector<ButtonType> m_reports;
  HWND m_parent = nullptr;
  long long m_since = 0;

 private:
  std::vector<std::wstring> m_saved;
  int m_savedType = kWizardUnknown;
  std::shared_ptr<Gdiplus::Image> m_savedLogo;
};

using Reports = std::vector<ButtonType>;
using Offers = std::vector<std::shared_ptr<Package>>;

}  // namespace

TEST_F(OfferPagesTest, WelcomePageOfTheDownloadManager) {
  m_config->m_wizardType = kWizardDlm;
  m_config->m_privacyUrl = L"https://127.0.0.1/privacy";
  m_config->m_termsUrl = L"https://127.0.0.1/terms";
  m_config->m_productLogo = LoadImageFromResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), L"IMAGE_BLOB2");
  ASSERT_TRUE(m_config->m_productLogo);
  auto& page = Add(std::make_unique<WelcomePageIsv>(m_manager, m_parent));
  EXPECT_EQ(page.GetPageName(), L"WelcomePage");
  EXPECT_EQ(page.ItemText(IDC_WELCOME_TITLE), L"Welcome to");
  EXPECT_EQ(page.ItemText(IDC_PRODUCT_TITLE), L"Tidy Player");
  EXPECT_EQ(page.ItemText(IDC_WELCOME_TEXT), L"This will download Tidy Player on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(page.ItemText(IDC_NEXT_BUTTON), L"Next");
  EXPECT_EQ(page.ItemText(IDC_PRIVACY_LINK), L"Privacy Policy");
  EXPECT_EQ(page.ItemText(IDC_TERMS_LINK), L"EULA");
  EXPECT_EQ(page.ItemText(IDC_SDK_LINK), L"SDK License");
  EXPECT_EQ(page.Logo().Image(), m_config->m_productLogo);
  EXPECT_EQ(page.PrivacyLink().Url(), L"https://127.0.0.1/privacy");
  EXPECT_EQ(page.TermsLink().Url(), L"https://127.0.0.1/terms");
  const std::wstring sdk = page.SdkLink().Url();
  EXPECT_EQ(sdk.rfind(L"https://", 0), 0u);
  EXPECT_EQ(sdk.substr(sdk.find(L'/', 8)), L"/privacy/");

  Navigate(0);
  EXPECT_TRUE(Shows(page.PrivacyLink()));
  EXPECT_TRUE(Shows(page.TermsLink()));
  EXPECT_TRUE(Shows(page.SdkLink()));

  SendMessageW(page.Item(IDC_NEXT_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(m_reports, Reports{ButtonType::Next});
}

TEST_F(OfferPagesTest, WelcomePageOfTheInstallerHasNoLogoAndNoSdkText) {
  m_config->m_wizardType = kWizardIsv;
  m_config->m_privacyUrl = L"";
  m_config->m_termsUrl = L"https://127.0.0.1/terms";
  m_config->m_productLogo = LoadImageFromResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), L"IMAGE_BLOB2");
  SetLanguage(kWizardIsv, L"English");
  auto& page = Add(std::make_unique<WelcomePageIsv>(m_manager, m_parent));
  Navigate(0);
  EXPECT_EQ(page.ItemText(IDC_WELCOME_TEXT), L"This will install Tidy Player on your computer. Click \"Next\" to continue.");
  EXPECT_EQ(page.ItemText(IDC_TERMS_LINK), L"EULA");
  EXPECT_EQ(page.ItemText(IDC_SDK_LINK), L"LICENSE_LINK placeholder");
  EXPECT_FALSE(page.Logo().Image());
  EXPECT_FALSE(Shows(page.PrivacyLink())) << "no privacy address, no link";
  EXPECT_TRUE(Shows(page.TermsLink()));
  EXPECT_FALSE(Shows(page.SdkLink())) << "a link without a text is not shown";
}

TEST_F(OfferPagesTest, WelcomeLinksFitTheirTextsInEachLanguage) {
  m_config->m_wizardType = kWizardDlm;
  auto& page = Add(std::make_unique<WelcomePageIsv>(m_manager, m_parent));
  const HWND terms = page.Item(IDC_TERMS_LINK);
  const int english = Width(terms);
  EXPECT_GT(english, 0);
  SetLanguage(kWizardDlm, L"espa\u00f1ol");
  page.UpdateTexts();
  EXPECT_EQ(WindowText(terms), L"Acuerdo de licencia de usuario final");
  EXPECT_GT(Width(terms), english) << "the link grew with its text";
  EXPECT_EQ(page.ItemText(IDC_NEXT_BUTTON), L"SIGUIENTE");
}

TEST_F(OfferPagesTest, OfferPageShowsImageButtonsAndConsentText) {
  const auto offer = NewOffer("Caf\xC3\xA9 Tools", "https://127.0.0.1/privacy", "https://127.0.0.1/eula");
  offer->m_image = LoadImageFromResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101), L"IMAGE_BLOB");
  auto& page = AddOffer(offer);
  EXPECT_EQ(page.GetPageName(), L"ProductPage");
  EXPECT_EQ(page.ItemText(IDC_ACCEPT_BUTTON), L"Accept");
  EXPECT_EQ(page.ItemText(IDC_DECLINE_BUTTON), L"Decline");

  const HWND link = page.Item(IDC_TERMS_TEXT);
  LITEM item{};
  item.mask = LIF_ITEMINDEX | LIF_URL;
  item.iLink = 0;
  ASSERT_TRUE(SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_STREQ(item.szUrl, L"https://127.0.0.1/privacy");
  item.iLink = 1;
  ASSERT_TRUE(SendMessageW(link, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_STREQ(item.szUrl, L"https://127.0.0.1/eula");
  const std::wstring text = WindowText(link);
  EXPECT_NE(text.find(L"\"Caf\u00e9 Tools\""), std::wstring::npos) << win::ToUtf8(text);
  ASSERT_TRUE(offer->m_image);
  EXPECT_EQ(page.OfferImage().Image(), offer->m_image);
}

TEST_F(OfferPagesTest, AnOfferWithoutImageShowsAnEmptyArea) {
  auto& page = AddOffer(NewOffer("Plain"));
  EXPECT_FALSE(page.OfferImage().Image());
}

TEST_F(OfferPagesTest, SpanishButtonsWithTheEnglishConsentText) {
  SetLanguage(kWizardDlm, L"espa\u00f1ol");
  auto& page = AddOffer(NewOffer("Tidy"));
  EXPECT_EQ(page.ItemText(IDC_ACCEPT_BUTTON), L"ACEPTAR");
  EXPECT_EQ(page.ItemText(IDC_DECLINE_BUTTON), L"IGNORAR");
  EXPECT_NE(WindowText(page.Item(IDC_TERMS_TEXT)).find(L"When you click \"ACCEPT\""), std::wstring::npos);
}

TEST_F(OfferPagesTest, AcceptingTwoOfThreeOffersInPageOrder) {
  m_since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  const Offers offers{NewOffer("One"), NewOffer("Two"), NewOffer("Three")};
  for (const auto& offer : offers) AddOffer(offer);
  Navigate(0);
  SendMessageW(m_pages[0]->Item(IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(m_pages[1]->Item(IDC_DECLINE_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(m_pages[2]->Item(IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
  EXPECT_EQ(m_reports, (Reports{ButtonType::Accept, ButtonType::Decline, ButtonType::Accept}));
  EXPECT_EQ(m_config->m_acceptedOffers, (Offers{offers[0], offers[2]}));
  EXPECT_EQ(m_config->m_shownOffers, offers) << "every page shown, declined or not";

  for (const auto& offer : offers) offer->WaitForEvents();
  const json declined = Events(offers[1]);
  ASSERT_EQ(declined.size(), 1u);
  EXPECT_EQ(declined.at(0).at("record").at("6"), "4");
  EXPECT_TRUE(Events(offers[0]).empty());
  EXPECT_TRUE(Events(offers[2]).empty());
}

TEST_F(OfferPagesTest, APageAnswersOnce) {
  m_since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  const auto offer = NewOffer("Once");
  auto& page = AddOffer(offer);
  page.SetButtonCallback([this](ButtonType type) { m_reports.push_back(type); });  // stays on the page
  Navigate(0);
  SendMessageW(page.Item(IDC_DECLINE_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(page.Item(IDC_DECLINE_BUTTON), BM_CLICK, 0, 0);
  SendMessageW(page.Item(IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
  EXPECT_TRUE(page.Answered());
  EXPECT_EQ(m_reports, Reports{ButtonType::Decline});
  EXPECT_TRUE(m_config->m_acceptedOffers.empty());
  offer->WaitForEvents();
  EXPECT_EQ(Events(offer).size(), 1u) << "event 4 once";
}

TEST_F(OfferPagesTest, DoubleClickOnAcceptAnswersOnlyItsOwnPage) {
  for (const UINT secondPress : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK}) {
    m_pages.clear();
    m_reports.clear();
    m_current = static_cast<size_t>(-1);
    m_config->m_acceptedOffers.clear();
    const Offers offers{NewOffer("First"), NewOffer("Second")};
    auto& first = AddOffer(offers[0]);
    auto& second = AddOffer(offers[1]);
    Navigate(0);
    Pump();
    // Both clicks of the double click, the second landing on the next page's button at the same spot.
    PostClick(first.Item(IDC_ACCEPT_BUTTON));
    PostClick(second.Item(IDC_ACCEPT_BUTTON), secondPress);
    Pump();
    EXPECT_EQ(m_current, 1u);
    EXPECT_EQ(m_reports, Reports{ButtonType::Accept});
    EXPECT_EQ(m_config->m_acceptedOffers, Offers{offers[0]});
    EXPECT_FALSE(second.Answered());
    // The second page still answers a click of its own.
    SendMessageW(second.Item(IDC_ACCEPT_BUTTON), BM_CLICK, 0, 0);
    EXPECT_EQ(m_config->m_acceptedOffers, offers);
  }
}

TEST_F(OfferPagesTest, DoubleClickOnNextDoesNotAcceptTheFirstOffer) {
  m_config->m_wizardType = kWizardDlm;
  auto& welcome = Add(std::make_unique<WelcomePageIsv>(m_manager, m_parent));
  const auto offer = NewOffer("First");
  auto& page = AddOffer(offer);
  Navigate(0);
  Pump();
  PostClick(welcome.Item(IDC_NEXT_BUTTON));
  PostClick(page.Item(IDC_ACCEPT_BUTTON), WM_LBUTTONDBLCLK);
  Pump();
  EXPECT_EQ(m_reports, Reports{ButtonType::Next});
  EXPECT_EQ(m_current, 1u);
  EXPECT_TRUE(m_config->m_acceptedOffers.empty());
  EXPECT_EQ(m_config->m_shownOffers, Offers{offer});
}

TEST_F(OfferPagesTest, DoubleClickOnDeclineDoesNotDeclineTheNextOffer) {
  m_since = refserver::Control(L"GET", L"health").at("events").get<long long>();
  const Offers offers{NewOffer("First"), NewOffer("Second")};
  auto& first = AddOffer(offers[0]);
  auto& second = AddOffer(offers[1]);
  Navigate(0);
  Pump();
  PostClick(first.Item(IDC_DECLINE_BUTTON));
  PostClick(second.Item(IDC_DECLINE_BUTTON));
  Pump();
  EXPECT_EQ(m_reports, Reports{ButtonType::Decline});
  EXPECT_FALSE(second.Answered());
  offers[0]->WaitForEvents();
  offers[1]->WaitForEvents();
  EXPECT_EQ(Events(offers[0]).size(), 1u);
  EXPECT_TRUE(Events(offers[1]).empty());
}

TEST_F(OfferPagesTest, AMouseClickOnAPageShownOtherwiseIsTaken) {
  const auto offer = NewOffer("Only");
  auto& page = AddOffer(offer);
  Navigate(0);  // shown by the host, not by a click on a page button
  Pump();
  PostClick(page.Item(IDC_ACCEPT_BUTTON));
  Pump();
  EXPECT_EQ(m_reports, Reports{ButtonType::Accept});
  EXPECT_EQ(m_config->m_acceptedOffers, Offers{offer});
}
