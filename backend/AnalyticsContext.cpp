#include "backend/AnalyticsContext.h"

#include <windows.h>

#include "backend/RunSettings.h"
#include "backend/Identity.h"
#include "backend/Signature.h"
#include "machine/Wow64.h"
#include "win/Text.h"

AnalyticsContext CreateAnalyticsContext(RunSettings& config) {
  AnalyticsContext context;
  context.userId = config.GetUserId();
  context.sessionTimestamp = config.GetSessionTimestamp();
  context.headers.push_back(MakeSignatureHeader(context.userId, context.sessionTimestamp));
  context.countryCode = config.m_countryCode;
  context.publisherId = config.m_publisherId;
  context.ispb = config.m_ispb;
  context.analyticsUrl = config.m_analyticsUrl;
  context.pathTokens = config.GetPathTokens();

  nlohmann::json& record = context.record;
  record = nlohmann::json::object();
  for (int i = 0; i <= 22; ++i) record[std::to_string(i)] = "";
  record["1"] = context.userId;
  record["2"] = context.sessionTimestamp;
  // The configuration's texts go as UTF-8, so those of the back end's configuration return as the
  // bytes it sent; the program's version is a fact of the executable and goes through the ANSI code page.
  record["3"] = win::ToUtf8(config.m_publisher);
  record["4"] = win::ToUtf8(config.m_installerId);
  record["7"] = win::Narrow(config.m_programVersion, CP_ACP);
  record["15"] = 0;
  record["19"] = win::ToUtf8(config.m_productFlow);
  record["21"] = win::ToUtf8(config.m_channel);
  record["22"] = win::ToUtf8(config.m_productName);
  record["31"] = GetOsVersion();
  record["38"] = IsWow64() ? "1" : "0";
  return context;
}

std::string MakeAnalyticsEnvelope(const nlohmann::json& record) {
  nlohmann::json envelope;
  envelope["table"] = "zb_analytics";
  envelope["data"] = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  return envelope.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}
