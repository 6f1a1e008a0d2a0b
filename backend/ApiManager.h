#pragma once
// Asks the back end for this run's configuration.
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "backend/Singleton.h"

struct RunSettings;

class ApiManager : public Singleton<ApiManager> {
 public:
  // Up to three attempts; returns the parsed configuration. Throws WelvaneException when there is
  // no endpoint, the request cannot be made or the answer is empty, and the JSON library's
  // exceptions when the answer is not JSON or a request value is not valid UTF-8.
  std::unique_ptr<nlohmann::json> RequestConfiguration(const RunSettings& config);

 private:
  friend class Singleton<ApiManager>;
  ApiManager() = default;
};

// The request body: eight string members, compact, keys sorted, non-ASCII text as it is.
std::string MakeConfigurationRequestBody(const RunSettings& config);
// Removes every byte the "C" locale calls white space (also inside JSON strings).
std::string RemoveWhiteSpace(const std::string& text);
