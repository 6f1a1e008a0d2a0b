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
  virtual void SetButtonCallback(ButtonCallback callback) = 0;
  virtual void SetErrorCallback(ErrorCallback callback) = 0;
  // Gives each localized control the current language's text for its key; a key that is
  // missing from the table leaves the control's text as it was.
  virtual void UpdateTexts();
  virtual std::wstring GetPageName() const = 0;

 protected:
  void AddLocalizedControl(UINT id, const std::string& key);

  std::shared_ptr<LanguageManager> m_languageManager;
  std::vector<std::pair<HWND, std::string>> m_localizedControls;

 private:
  HWND m_parent;
};
