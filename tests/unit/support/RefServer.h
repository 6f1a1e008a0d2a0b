#pragma once
// Talks to our reference back end's control API from inside Wine, over the same TLS as the product.
#include <string>

#include <nlohmann/json.hpp>

namespace refserver {

// GET or POST https://localhost/_control/<what>; throws std::runtime_error when it does not answer 200.
nlohmann::json Control(const std::wstring& method, const std::wstring& what, const std::string& body = "");

// A scenario id nobody used before in this server's life, for the /t/<scenario>/... fault paths.
std::wstring NewScenario(const wchar_t* name);

// "https://localhost/t/<scenario>/<directives>/<endpoint>".
std::wstring FaultUrl(const std::wstring& scenario, const std::wstring& directives, const std::wstring& endpoint);

// Lets one answer of the scenario that a hold= directive stopped go on; when none is held yet, the
// next one to hold goes on at once.
void Release(const std::wstring& scenario);

// Requests the server received since the given id whose path starts with the prefix.
nlohmann::json RequestsSince(long long id, const std::string& pathPrefix);
long long LastRequestId();

}  // namespace refserver
