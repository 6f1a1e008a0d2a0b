#include "RefServer.h"

#include <stdexcept>

#include "win/Text.h"
#include "win/WinHttpHandle.h"

namespace refserver {

nlohmann::json Control(const std::wstring& method, const std::wstring& what, const std::string& body) {
  win::WinHttpHandle session(
      WinHttpOpen(L"welvane-tests", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  win::WinHttpHandle connection(session ? WinHttpConnect(session.Get(), L"localhost", 443, 0) : nullptr);
  const std::wstring path = L"/_control/" + what;
  win::WinHttpHandle request(connection ? WinHttpOpenRequest(connection.Get(), method.c_str(), path.c_str(), nullptr,
                                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                             WINHTTP_FLAG_SECURE)
                                        : nullptr);
  if (!request) throw std::runtime_error("cannot open a request to the reference back end");
  const wchar_t* headers = L"Content-Type: application/json\r\n";
  if (!WinHttpSendRequest(request.Get(), headers, static_cast<DWORD>(-1L), const_cast<char*>(body.data()),
                          static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr)) {
    throw std::runtime_error(win::Format("the reference back end does not answer (error %lu); start it with refserver/start",
                                         GetLastError()));
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  std::string answer;
  for (DWORD available = 0; WinHttpQueryDataAvailable(request.Get(), &available) && available > 0;) {
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!WinHttpReadData(request.Get(), chunk.data(), available, &read)) break;
    answer.append(chunk, 0, read);
  }
  if (status != 200) throw std::runtime_error("control request failed: " + answer);
  return nlohmann::json::parse(answer);
}

std::wstring NewScenario(const wchar_t* name) {
  static int counter = 0;
  return std::wstring(name) + L"-" + win::Decimal(GetCurrentProcessId()) + L"-" + win::Decimal(GetTickCount()) + L"-" +
         win::Decimal(++counter);
}

std::wstring FaultUrl(const std::wstring& scenario, const std::wstring& directives, const std::wstring& endpoint) {
  return L"https://localhost/t/" + scenario + L"/" + directives + L"/" + endpoint;
}

void Release(const std::wstring& scenario) {
  Control(L"POST", L"release", nlohmann::json{{"scenario", win::ToUtf8(scenario)}}.dump());
}

long long LastRequestId() { return Control(L"GET", L"health").at("requests").get<long long>(); }

nlohmann::json RequestsSince(long long id, const std::string& pathPrefix) {
  return Control(L"GET", win::FromUtf8("requests?since=" + std::to_string(id) + "&path=" + pathPrefix))
      .at("requests");
}

}  // namespace refserver
