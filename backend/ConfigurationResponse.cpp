#include "backend/ConfigurationResponse.h"

#include <windows.h>

#include "backend/RunSettings.h"
#include "backend/JsonNumber.h"
#include "win/Text.h"

namespace {

// A JSON string is UTF-8 (the parser accepts nothing else), whatever the ANSI code page.
std::wstring Text(const nlohmann::json& value) { return win::FromUtf8(value.get<std::string>()); }

// An optional text member: empty when absent, a type error when it is not a string.
std::wstring OptionalText(const nlohmann::json& object, const char* key) {
  return object.contains(key) ? Text(object.at(key)) : std::wstring();
}

}  // namespace

AppliedConfiguration ApplyConfigurationResponse(const nlohmann::json& response, RunSettings& config) {
  AppliedConfiguration applied;
  if (response.is_object() && response.contains("l")) config.m_countryCode = response.at("l").get<std::string>();

  if (config.m_wizardType == kWizardDlm) {
    const nlohmann::json& product = response.at("i");
    config.m_productName = Text(product.at("ct"));
    config.m_productUrl = Text(product.at("cu"));
    if (config.m_productName.empty() || config.m_productUrl.empty()) {
      applied.configurationError = true;
      return applied;
    }
    config.m_productLogoUrl = OptionalText(product, "cl");
    config.m_productSha256 = OptionalText(product, "sha256");
    config.m_productFileName = product.contains("cf") ? Text(product.at("cf")) : config.m_productName + L".exe";
    config.m_privacyUrl = OptionalText(product, "cp");
    config.m_termsUrl = OptionalText(product, "ctu");
    config.m_channel = OptionalText(product, "ch");
    config.m_productFlow = OptionalText(product, "cfl");
    config.m_ispb = product.contains("cb") ? product.at("cb").get<std::string>() : std::string();
  }

  if (response.is_object() && response.contains("f") && response.at("f").is_object() &&
      response.at("f").contains("a")) {
    config.m_publisherId = response.at("f").at("a").get<std::string>();
  }

  if (response.is_object() && response.contains("o") && config.m_channel != L"00xA") {
    config.m_maxOffers = ClampedNumber<int>(response.at("f").at("m"));
    applied.readOffers = true;
  }
  return applied;
}
