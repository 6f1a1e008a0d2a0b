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

// The WinHTTP exchange behind PostJson (a session of OpenWinHttpSession); false when nothing could
// be sent, no response arrived, or the response stalled or grew beyond 4 MiB.
bool HttpsPost(const std::wstring& host, const std::wstring& path, const std::string& body, HeaderList headers,
               std::string& response, uint32_t& status);
