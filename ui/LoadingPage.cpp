#include "ui/LoadingPage.h"

#include <commctrl.h>

#include "resources/pages.h"

LoadingPage::LoadingPage(std::shared_ptr<LanguageManager> languageManager, HWND parent)
    : IPage(std::move(languageManager), IDD_LOADING_PAGE, parent) {}

BOOL LoadingPage::OnInitDialog() {
  UpdateTexts();
  return TRUE;
}

void LoadingPage::OnNavigateToPage() { StartMarquee(); }

void LoadingPage::StartMarquee() {
  HWND progress = Item(IDC_PROGRESS);
  SendMessageW(progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(progress, PBM_SETPOS, 0, 0);
  SendMessageW(progress, PBM_SETMARQUEE, TRUE, 30);
  SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
}
