#pragma once
// One page per eligible offer: the offer's image, the consent text with links to the offer's
// privacy policy and license agreement, and Accept / Decline. Declining sends the offer's decline
// event (4); either answer is reported to the host, which records the offer as shown and accepted.
#include <memory>
#include <optional>
#include <string>

#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"
#include "ui/PageButton.h"

class Package;

class ProductPage : public IPage {
 public:
  ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> offer, HWND parent);

  void OnNavigateToPage() override {}
  std::wstring GetPageName() const override { return L"ProductPage"; }

  // Sets the consent text of the link control from the offer.
  void BuildTermsText();

  std::shared_ptr<Package> OfferAsked() const override { return m_offer; }
  const CStaticFromImage& OfferImage() const { return m_image; }
  // True once Accept or Decline has been taken: the page answers once.
  bool Answered() const { return m_answered; }

 protected:
  BOOL OnInitDialog() override;

 private:
  void OnAccept();
  void OnDecline();
  std::optional<LRESULT> OnNotify(LPARAM lParam);

  std::shared_ptr<Package> m_offer;
  CStaticFromImage m_image;
  PageButton m_acceptButton;
  PageButton m_declineButton;
  PageShowGuard m_showGuard;
  bool m_answered = false;
};
