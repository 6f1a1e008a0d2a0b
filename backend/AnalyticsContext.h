#pragma once
// What a package is built with: the analytics base record and request headers, and the run's facts its
// placeholders, events and file rules use. Made from the run's configuration before a package is built.
#include <string>

#include <nlohmann/json.hpp>

#include "backend/PathTokens.h"
#include "backend/Request.h"

struct RunSettings;

struct AnalyticsContext {
  nlohmann::json record;
  HeaderList headers;
  std::string userId;
  std::string sessionTimestamp;
  std::string countryCode;
  std::string publisherId;
  std::string ispb;
  std::wstring analyticsUrl;
  PathTokenTable pathTokens;  // the default (32-bit) view's folder tokens
};

AnalyticsContext CreateAnalyticsContext(RunSettings& config);

// The envelope posted to the analytics endpoint: {"data":"<record as compact JSON>","table":"zb_analytics"}.
std::string MakeAnalyticsEnvelope(const nlohmann::json& record);
