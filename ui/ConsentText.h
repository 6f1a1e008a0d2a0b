#pragma once
// The consent text of an offer page: a fixed English sentence (not localized) that names the offer
// and links to its privacy policy and license agreement in the SysLink control's own markup.
#include <string>
#include <string_view>

// The text with the offer's name and URLs as given (UTF-16), except that neither can change the
// markup: a "<" in the name shows as "\uFF1C", and '"', '<' and '>' in an address are percent-encoded.
std::wstring ConsentText(std::wstring_view displayName, std::wstring_view privacyUrl, std::wstring_view termsUrl);

// The same from the configuration's UTF-8 texts.
std::wstring ConsentTextFromUtf8(std::string_view displayName, std::string_view privacyUrl, std::string_view termsUrl);
