#pragma once
#include <string>
#include <utility>

// ("Authorization", "Signature=" + SHA-256 hex of the user id followed by the session timestamp).
std::pair<std::wstring, std::wstring> MakeSignatureHeader(const std::string& userId,
                                                          const std::string& sessionTimestamp);
