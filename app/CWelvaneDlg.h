#pragma once
// The wizard's one top-level window: frame, header, single-instance guard, and the page host that
// shows one page at a time over the page area.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/CStaticFromImage.h"
#include "ui/IPage.h"
#include "ui/PageMessages.h"
#include "win/Control.h"
#include "win/Dialog.h"
#include "win/Handle.h"

class DownloadPage;
class ErrorPage;
struct LoadedOffers;
class LanguageManager;
class LoadingPage;
class Package;


class CWelvaneDlg : public win::Dialog {
 public:
  CWelvaneDlg();
  ~CWelvaneDlg() override;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;      // Enter: the current page's default button
  void OnCancel() override;  // Esc: closes like the caption's close button
  bool OnOtherCommand(int id, WORD code, HWND control) override;

 private:
  // Frame
  std::optional<LRESULT> OnSysCommand(WPARAM id, LPARAM lParam);
  std::optional<LRESULT> OnPaint();
  bool TakeSingleInstanceMutex();

  // Page host
  void CreatePage(IPage* page, const RECT& area);
  void CreateAndAddPage(std::unique_ptr<IPage> page, const RECT& area);
  void CreateInitialPages();
  void AfterFirstPaint();
  void CreateLoadingPage();
  void CreateErrorPage();
  RECT PageArea() const;
  void NavigateToPage(unsigned int index);
  // Applies a listed language to every page (the error page first, then the list) and records it.
  bool ApplyLanguage(const std::wstring& displayName);
  void ShowError(const std::wstring& title, const std::wstring& text);
  void OnButtonClicked(ButtonType type);
  void OnLoaded(LoadedOffers loaded, std::shared_ptr<Gdiplus::Image> logo);
  LRESULT OnLoadCompleteMessage(WPARAM, LPARAM);
  void StopLoading();
  std::vector<std::shared_ptr<Package>> StopDownloadPages();
  // While the quit question is open, the download pages start and end nothing.
  void PauseDownloadPages(bool paused);
  void OnClose();
  void DeleteTemporaryFolder();
  void ReleaseImages();
  IPage* CurrentPage() const;

  static constexpr UINT_PTR kFirstIdleTimer = 1;
  HICON m_hIcon = nullptr;
  std::vector<std::unique_ptr<IPage>> m_pages;
  // Pages of m_pages the host talks to beyond the page interface.
  LoadingPage* m_loadingPage = nullptr;
  std::vector<DownloadPage*> m_downloadPages;
  unsigned int m_currentPage = 0;
  std::unique_ptr<ErrorPage> m_errorPage;
  std::shared_ptr<LanguageManager> m_languageManager;
  bool m_errorShown = false;
  bool m_installing = false;
  bool m_loadCompleted = false;  // the pages after loading have been appended
  win::Control m_titleLabel;
  CStaticFromImage m_productLogo;
  win::Control m_headerLine;
  std::vector<std::shared_ptr<Package>> m_offers;
  win::KernelHandle m_mutex;
};
