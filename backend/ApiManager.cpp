#include "backend/ApiManager.h"

#include <windows.h>

#include <cctype>
#include <thread>

#include "backend/RunSettings.h"
#include "backend/Identity.h"
#include "backend/Request.h"
#include "backend/RetryPause.h"
#include "backend/RunLog.h"
#include "backend/WelvaneException.h"
#include "win/Text.h"

namespace {

std::string FirstTwoLettersLowered(const std::wstring& code) {
  std::string letters = win::ToUtf8(code.substr(0, 2));
  for (char& c : letters) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return letters;
}

}  // namespace

std::string MakeConfigurationRequestBody(const RunSettings& config) {
  nlohmann::json request;
  request["prv"] = "0.1";
  // The run's identity and language are our own texts and go as UTF-8; the facts of this program and
  // machine (file version, download token from the file name) go through the ANSI code pages.
  request["plv"] = win::Narrow(config.m_programVersion, CP_THREAD_ACP);
  request["l"] = FirstTwoLettersLowered(config.m_localeCode);
  request["a"] = win::ToUtf8(config.m_publisher);
  request["i"] = win::ToUtf8(config.m_installerId);
  request["s"] = win::ToUtf8(config.m_sourceId);
  request["u"] = win::Narrow(GetDownloadToken(), CP_ACP);
  request["o"] = GetOsVersion();
  return request.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

std::string RemoveWhiteSpace(const std::string& text) {
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') kept.push_back(c);
  }
  return kept;
}

std::unique_ptr<nlohmann::json> ApiManager::RequestConfiguration(const RunSettings& config) {
  if (config.m_configUrl.empty()) {
    runlog::Write("Configuration request: no address to ask");
    throw WelvaneException();
  }

  const std::string body = MakeConfigurationRequestBody(config);
  std::string response;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    response.clear();
    uint32_t status = 0;
    const bool sent = PostJson(config.m_configUrl, body, {}, response, status);
    const DWORD error = GetLastError();
    runlog::Write(win::ToUtf8(L"Configuration request to " + config.m_configUrl) + ", attempt " +
                  std::to_string(attempt) + ": " +
                  (sent ? "status " + std::to_string(status) + ", " + std::to_string(response.size()) + " bytes"
                        : "no answer (error " + std::to_string(error) + ")"));
    if (sent && status >= 200 && status <= 399) break;
    win::DebugOut(L"Failed to send config request. " + win::Decimal(static_cast<int>(status)) + L" " +
                  win::Decimal(static_cast<int>(error)) + L"\n");
    std::this_thread::sleep_for(RetryPause());
  }

  const std::string cleaned = RemoveWhiteSpace(response);
  if (cleaned.empty()) {
    runlog::Write("Configuration request failed: no configuration came");
    throw WelvaneException();
  }
  // The document is built by the library's own builder, as json::parse builds it when given no
  // callback: json::parse also carries a second, filtering parser for callbacks we never pass.
  auto configuration = std::make_unique<nlohmann::json>();
  nlohmann::detail::json_sax_dom_parser<nlohmann::json> builder(*configuration, true);
  nlohmann::json::sax_parse(cleaned, &builder);
  return configuration;
}
