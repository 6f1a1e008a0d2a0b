#pragma once
// Applies the back end's configuration answer to the configuration manager, in a fixed order.
#include <nlohmann/json.hpp>

struct RunSettings;

struct AppliedConfiguration {
  bool configurationError = false;  // the download manager's product has no title or no URL
  bool readOffers = false;          // "o" is present and offers are not switched off
};

// Applies "l", the product "i" (download-manager flavour only), "a" of "f", and when offers are to
// be read, "m" of "f" as the maximum number of offers. Stops at once on a configuration error.
// Missing required members and members of the wrong type throw the JSON library's exceptions.
AppliedConfiguration ApplyConfigurationResponse(const nlohmann::json& response, RunSettings& config);
