#include "ui/FinishPages.h"


#include "backend/ConfigurationManager.h"
#include "resources/pages.h"
#include "resources/resource.h"
#include "win/Shell.h"

FinishPage::FinishPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent)
    : IPage(std::move(languageManager), templateId, parent) {
  OnCommand(IDC_FINISH_BUTTON, [this] { OnFinish(); });
}

void FinishPage::InitTextsAndLogo(UINT choiceId, const char* choiceKey, UINT secondChoiceId, const char* secondKey) {
  AddLocalizedControl(IDC_FINISH_TITLE, "PAGE_FINISH_TITLE");
  AddLocalizedControl(IDC_FINISH_TEXT, "PAGE_FINISH_TEXT");
  AddLocalizedControl(IDC_FINISH_BUTTON, "BUTTON_FINISH");
  AddLocalizedControl(choiceId, choiceKey);
  if (secondKey) AddLocalizedControl(secondChoiceId, secondKey);
  UpdateTexts();
  CheckDlgButton(Hwnd(), static_cast<int>(choiceId), BST_CHECKED);
  m_logo.Attach(Hwnd(), IDC_PAGE_IMAGE);
  m_logo.LoadFromResource(IDR_IMAGE_CHECK, L"IMAGE_BLOB2");
}

void FinishPage::OnNavigateToPage() {
  const HWND frame = GetParent(Hwnd());
  SetWindowLongW(frame, GWL_STYLE, GetWindowLongW(frame, GWL_STYLE) & ~WS_MINIMIZEBOX);
  SetWindowPos(frame, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void FinishPage::OnFinish() {
  if (m_buttonCallback) m_buttonCallback(ButtonType::Finish);
}

FinishPageDlm::FinishPageDlm(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : FinishPage(std::move(languageManager), IDD_FINISH_PAGE_DLM, parent) {}

BOOL FinishPageDlm::OnInitDialog() {
  InitTextsAndLogo(IDC_LAUNCH_RADIO, "LAUNCH_RADIO", IDC_OPEN_FOLDER_RADIO, "OPEN_FOLDER_RADIO");
  return TRUE;
}

void FinishPageDlm::OnFinish() {
  const std::wstring path = ConfigurationManager::GetInstance()->m_launchPath;
  // Failures of the shell (missing file, no association) show nothing; the run ends as usual.
  if (IsDlgButtonChecked(Hwnd(), IDC_LAUNCH_RADIO) == BST_CHECKED) {
    win::ShellOpen(path, L"", SW_SHOWDEFAULT);
  } else if (IsDlgButtonChecked(Hwnd(), IDC_OPEN_FOLDER_RADIO) == BST_CHECKED) {
    win::ShowInFolder(path);
  }
  FinishPage::OnFinish();
}

FinishPageIsv::FinishPageIsv(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : FinishPage(std::move(languageManager), IDD_FINISH_PAGE_ISV, parent) {}

// The launch check box stays hidden and is never read.
BOOL FinishPageIsv::OnInitDialog() {
  InitTextsAndLogo(IDC_LAUNCH_CHECKBOX, "LAUNCH_CHECKBOX");
  return TRUE;
}
