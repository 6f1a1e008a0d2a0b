#pragma once
// The first page after loading, for both wizard types: greets the user with the product title,
// shows the product logo (DLM), links to the privacy policy, the terms and the SDK license, and
// a Next button.
#include <memory>
#include <string>

#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"
#include "ui/PageButton.h"
#include "win/Control.h"

// A static control drawn as a link: underlined, in the link colour, with a hand cursor. A click
// opens its URL in the default browser.
class LinkButton : public win::SubclassedControl {
 public:
  ~LinkButton() override;
  // Binds to the static `id` of `dialog` and gives it an underlined copy of its font.
  bool Attach(HWND dialog, int id) override;

  void SetUrl(std::wstring url) { m_url = std::move(url); }
  const std::wstring& Url() const { return m_url; }
  // Resizes the control to fit its text (its top left corner stays).
  void SizeToContent();
  // Opens the URL, if any, with the shell.
  void Open() const;
  // The colours of the link; the page calls this for WM_CTLCOLORSTATIC of the control.
  HBRUSH Colour(HDC dc) const;

 protected:
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void MakeUnderlinedFont();
  std::wstring m_url;
  HFONT m_font = nullptr;  // owned
};

class WelcomePageIsv : public IPage {
 public:
  WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  void OnNavigateToPage() override {}
  // The texts of the localized controls, then each link resized to its text.
  void UpdateTexts() override;
  std::wstring GetPageName() const override { return L"WelcomePage"; }

  const LinkButton& PrivacyLink() const { return m_privacyLink; }
  const LinkButton& TermsLink() const { return m_termsLink; }
  const LinkButton& SdkLink() const { return m_sdkLink; }
  const CStaticFromImage& Logo() const { return m_logo; }

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnNext();
  void SizeLinksToContent();

  LinkButton m_privacyLink;
  LinkButton m_termsLink;
  LinkButton m_sdkLink;
  CStaticFromImage m_logo;
  PageButton m_nextButton;
  PageShowGuard m_showGuard;
};

// The SDK provider's privacy page, shown by the third link of the welcome page.
extern const wchar_t kSdkPrivacyUrl[];
