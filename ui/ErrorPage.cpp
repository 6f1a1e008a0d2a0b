#include "ui/ErrorPage.h"

#include "backend/ConfigurationManager.h"
#include "resources/pages.h"
#include "resources/resource.h"

ErrorPage::ErrorPage(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_ERROR_PAGE, parent) {
  OnCommand(IDC_CLOSE_BUTTON, [this] {
    if (m_buttonCallback) m_buttonCallback(ButtonType::Close);
  });
}

BOOL ErrorPage::OnInitDialog() {
  m_logo.Attach(Hwnd(), IDC_PAGE_IMAGE);
  AddLocalizedControl(IDC_CLOSE_BUTTON, "BUTTON_CLOSE");
  UpdateTexts();
  return TRUE;
}

void ErrorPage::UpdateData() {
  // The picture is decoded when the page is first needed: most runs never show it, and start-up
  // would pay for the first image decoding of the run.
  if (!m_logo.Image() && ConfigurationManager::GetInstance()->m_wizardType == kWizardDlm) {
    m_logo.LoadFromResource(IDR_IMAGE_CROSS, L"IMAGE_BLOB3");
  }
  SetItemText(IDC_ERROR_TITLE, m_title);
  SetItemText(IDC_ERROR_TEXT, m_text);
}
