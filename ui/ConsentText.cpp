#include "ui/ConsentText.h"

#include "win/Text.h"

namespace {

// A name cannot open or close a link: the control reads markup from every "<", so a name shows its
// "<" as the full-width sign that looks the same.
std::wstring AsPlainText(std::wstring_view name) {
  std::wstring text(name);
  for (wchar_t& c : text) {
    if (c == L'<') c = L'\uFF1C';
  }
  return text;
}

// An address cannot end its attribute: the characters an address never holds as they are go
// percent-encoded, as a browser would send them anyway.
std::wstring AsAttribute(std::wstring_view url) {
  std::wstring text;
  for (const wchar_t c : url) {
    if (c == L'"') text += L"%22";
    else if (c == L'<') text += L"%3C";
    else if (c == L'>') text += L"%3E";
    else text += c;
  }
  return text;
}

}  // namespace

std::wstring ConsentText(std::wstring_view displayName, std::wstring_view privacyUrl, std::wstring_view termsUrl) {
  std::wstring text = L"When you click \"ACCEPT\", you agree to the installation of \"";
  text += AsPlainText(displayName);
  text += L"\" and that you have read the ";
  text += L"<a href=\"";
  text += AsAttribute(privacyUrl);
  text += L"\">Privacy Policy</a>";
  text += L" and agree to the terms of its ";
  text += L"<a href=\"";
  text += AsAttribute(termsUrl);
  text += L"\">End User License Agreement</a>";
  text += L". Check \"Add/Remove Programs\" to uninstall.";
  return text;
}

std::wstring ConsentTextFromUtf8(std::string_view displayName, std::string_view privacyUrl, std::string_view termsUrl) {
  return ConsentText(win::FromUtf8(displayName), win::FromUtf8(privacyUrl), win::FromUtf8(termsUrl));
}
