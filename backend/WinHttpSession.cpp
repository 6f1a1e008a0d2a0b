#include "backend/WinHttpSession.h"

#include "backend/TransferLimits.h"
#include "machine/SystemVersion.h"
#include "win/WinHttpApi.h"

DWORD ProxyAccessTypeFor(DWORD major, DWORD minor) {
  const bool windows8OrLater = major > 6 || (major == 6 && minor >= 2);
  return windows8OrLater ? WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
}

DWORD ProxyAccessTypeForThisSystem() {
  // The version as this program is told it: Windows 8 is 6.2.
  return IsWindowsVersionOrLater(6, 2) ? ProxyAccessTypeFor(6, 2) : ProxyAccessTypeFor(6, 1);
}

unsigned long SecureProtocolsForThisSystem() {
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1;
  if (IsWindowsVersionOrLater(6, 1, 1)) {
    protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  }
  return protocols;
}

win::WinHttpHandle OpenWithProxyFallback(DWORD accessType, const WinHttpOpenCall& open) {
  win::WinHttpHandle session(open(accessType));
  if (!session && accessType == WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY) {
    session.Reset(open(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  }
  return session;
}

WinHttpSession OpenWinHttpSession(const wchar_t* userAgent, DWORD accessType) {
  const win::WinHttpApi& http = win::WinHttp();
  WinHttpSession result;
  if (!http.library.Ready()) {
    result.error = http.library.Error();
    result.failedStep = WinHttpSession::Step::Library;
    return result;
  }
  win::WinHttpHandle session = OpenWithProxyFallback(accessType, [&http, userAgent](DWORD type) {
    return http.WinHttpOpen(userAgent, type, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  });
  if (!session) {
    result.error = GetLastError();
    result.failedStep = WinHttpSession::Step::Open;
    return result;
  }
  DWORD protocols = SecureProtocolsForThisSystem();
  if (!http.WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
    result.error = GetLastError();
    result.failedStep = WinHttpSession::Step::SecureProtocols;
    return result;  // the session closes here
  }
  // Timeouts never fail the session: Windows' own defaults stay where they cannot be set.
  const TransferLimits limits = CurrentTransferLimits();
  http.WinHttpSetTimeouts(session.Get(), static_cast<int>(limits.resolve.count()),
                          static_cast<int>(limits.connect.count()), static_cast<int>(limits.send.count()),
                          static_cast<int>(limits.receive.count()));
  result.handle = std::move(session);
  return result;
}
