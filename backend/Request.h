#pragma once
// One HTTPS POST of a JSON body to the back end, on WinHTTP.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using HeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

// Posts `body` (up to its first zero byte) to the URL's host and path, always over TLS on port 443
// (scheme, port, query and fragment of the URL are ignored). Appends the response body to
// `response` and stores the HTTP status. Returns true when a response arrived, whatever its
// status; throws WelvaneException when the request could not be made.
bool PostJson(const std::wstring& url, const std::string& body, const HeaderList& headers, std::string& response,
              uint32_t& status);

// The WinHTTP exchange behind PostJson; false when nothing could be sent or no response arrived.
bool HttpsPost(const std::wstring& host, const std::wstring& path, const std::string& body, HeaderList headers,
               std::string& response, uint32_t& status);

// The secure-protocols option of the WinHTTP session: TLS 1.0, plus TLS 1.1 and 1.2 on Windows 7
// SP1 and later. SSL 3.0 is never enabled.
unsigned long SecureProtocolsForThisSystem();
