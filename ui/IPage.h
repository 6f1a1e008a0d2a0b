#pragma once
// A wizard page: a child dialog shown in the main dialog's page area. Pages never navigate by
// themselves; they report a button or an error through the callables the host gives them.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/Dialog.h"

class LanguageManager;
class Package;

// What a page reports to the host (values are fixed).
enum class ButtonType : int { Next = 0, Accept = 1, Close = 2, Decline = 3, Finish = 4 };

using ButtonCallback = std::function<void(ButtonType)>;
using ErrorCallback = std::function<void(const std::wstring& title, const std::wstring& text)>;

class IPage : public win::Dialog {
 public:
  // The language manager gives the page its texts; the host re-texts the page when a language is applied.
  IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, HWND parent);

  // Creates the page's window (hidden until the host shows it) as a child of the parent.
  bool Create() { return win::Dialog::Create(m_parent); }

  virtual void OnNavigateToPage() = 0;
  // What the page reports: a button the user pressed, an error to show instead of the page.
  void SetButtonCallback(ButtonCallback callback) { m_buttonCallback = std::move(callback); }
  void SetErrorCallback(ErrorCallback callback) { m_errorCallback = std::move(callback); }
  // What becomes of the window menu's Close item when the page is shown.
  enum class CloseItem { Unchanged, Removed, Restored };
  virtual CloseItem CloseItemWhenShown() const { return CloseItem::Unchanged; }
  // Gives each localized control the current language's text for its key; a key that is
  // missing from the table leaves the control's text as it was.
  virtual void UpdateTexts();
  virtual std::wstring GetPageName() const = 0;
  // The offer whose consent the page asks for; none for every other page.
  virtual std::shared_ptr<Package> OfferAsked() const { return nullptr; }

 protected:
  void AddLocalizedControl(UINT id, const std::string& key);

  std::shared_ptr<LanguageManager> m_languageManager;
  std::vector<std::pair<HWND, std::string>> m_localizedControls;
  ButtonCallback m_buttonCallback;
  ErrorCallback m_errorCallback;

 private:
  HWND m_parent;
};
