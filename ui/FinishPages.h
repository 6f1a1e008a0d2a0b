#pragma once
// The last page of a successful run. The download manager's page launches the downloaded product or
// opens its folder on Finish; the installer's page only thanks the user. Both end the run with Finish.
#include <memory>
#include <string>

#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"

class FinishPage : public IPage {
 public:
  FinishPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent);

  // From now on the main window has no minimize button.
  void OnNavigateToPage() override;
  CloseItem CloseItemWhenShown() const override { return CloseItem::Restored; }

 protected:
  // The localized texts in order, then the check mark.
  void InitTextsAndLogo(UINT choiceId, const char* choiceKey, UINT secondChoiceId = 0, const char* secondKey = nullptr);
  virtual void OnFinish();

  CStaticFromImage m_logo;
};

class FinishPageDlm : public FinishPage {
 public:
  FinishPageDlm(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  std::wstring GetPageName() const override { return L"FinishPageDLM"; }

 protected:
  BOOL OnInitDialog() override;
  // Launches the saved product, or opens Explorer with it selected; then Finish.
  void OnFinish() override;
};

class FinishPageIsv : public FinishPage {
 public:
  FinishPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent);
  std::wstring GetPageName() const override { return L"FinishPageISV"; }

 protected:
  BOOL OnInitDialog() override;
};

