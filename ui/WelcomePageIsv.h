#pragma once
// The first page after loading, for both wizard types: greets the user with the product title,
// shows the product logo (DLM), links to the privacy policy, the terms and the SDK license, and
// a Next button.
#include <memory>
#include <string>

#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"
#include "ui/LinkButton.h"
#include "ui/PageButton.h"

class WelcomePageIsv : public IPage {
 public:
  WelcomePageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent);

  // Next has the focus (Enter goes on); Tab reaches the links from there.
  void OnNavigateToPage() override;
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
  // Shows each link that has both a text in the language table and an address.
  void ShowLinks();

  LinkButton m_privacyLink;
  LinkButton m_termsLink;
  LinkButton m_sdkLink;
  CStaticFromImage m_logo;
  PageButton m_nextButton;
  PageShowGuard m_showGuard;
};

// The SDK provider's privacy page, shown by the third link of the welcome page.
extern const wchar_t kSdkPrivacyUrl[];
