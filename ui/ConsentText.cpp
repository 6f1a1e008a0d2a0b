#include "ui/ConsentText.h"

#include "win/Text.h"

std::wstring ConsentText(std::wstring_view displayName, std::wstring_view privacyUrl, std::wstring_view termsUrl) {
  std::wstring text = L"When you click \"ACCEPT\", you agree to the installation of \"";
  text += displayName;
  text += L"\" and that you have read the ";
  text += L"<a href=\"";
  text += privacyUrl;
  text += L"\">Privacy Policy</a>";
  text += L" and agree to the terms of its ";
  text += L"<a href=\"";
  text += termsUrl;
  text += L"\">End User License Agreement</a>";
  text += L". Check \"Add/Remove Programs\" to uninstall.";
  return text;
}

std::wstring ConsentTextFromUtf8(std::string_view displayName, std::string_view privacyUrl, std::string_view termsUrl) {
  return ConsentText(win::FromUtf8(displayName), win::FromUtf8(privacyUrl), win::FromUtf8(termsUrl));
}
