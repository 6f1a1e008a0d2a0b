#pragma once
// The analytics base record and request headers, made before a package is built.
#include <nlohmann/json.hpp>

#include "backend/Request.h"

struct AnalyticsContext {
  nlohmann::json record;
  HeaderList headers;
};

AnalyticsContext CreateAnalyticsContext();

// The envelope posted to the analytics endpoint: {"data":"<record as compact JSON>","table":"zb_analytics"}.
std::string MakeAnalyticsEnvelope(const nlohmann::json& record);
