#pragma once
// The WinHTTP session that back-end requests and downloads open: synchronous, no proxy names, the
// proxy setting chosen for the running Windows (with a fallback), the secure protocols set.
// Keep out of files that use WinINet.
#include <windows.h>
#include <winhttp.h>

#include <functional>

#include "win/WinHttpHandle.h"

// The access type a session asks for on Windows major.minor: the automatic proxy from Windows 8
// (6.2) on, the default proxy setting before. Only Windows 8.1 and later know the automatic proxy,
// but a program whose manifest does not name them is told 6.2 there; Windows 8.0 refuses it, and
// OpenWithProxyFallback then opens with the default setting.
DWORD ProxyAccessTypeFor(DWORD major, DWORD minor);
DWORD ProxyAccessTypeForThisSystem();

// The secure-protocols option of the session: TLS 1.0, plus TLS 1.1 and 1.2 on Windows 7 SP1 and
// later. SSL 3.0 is never enabled.
unsigned long SecureProtocolsForThisSystem();

// Calls `open` with `accessType`; when that is the automatic proxy and `open` fails, calls it again
// with WINHTTP_ACCESS_TYPE_DEFAULT_PROXY. Returns what the last call returned (null with
// GetLastError set when it failed).
using WinHttpOpenCall = std::function<HINTERNET(DWORD accessType)>;
win::WinHttpHandle OpenWithProxyFallback(DWORD accessType, const WinHttpOpenCall& open);

// A session opened with WinHttpOpen(userAgent, accessType) through OpenWithProxyFallback, with
// SecureProtocolsForThisSystem and the timeouts of CurrentTransferLimits set. On failure `handle` is null,
// `failedStep` names the step and `error` holds its Windows error code (Library: WINHTTP.dll or one of its
// functions is missing, win::WinHttp().library.Problem() says which).
struct WinHttpSession {
  enum class Step { None, Library, Open, SecureProtocols };
  win::WinHttpHandle handle;
  Step failedStep = Step::None;
  DWORD error = ERROR_SUCCESS;
};
WinHttpSession OpenWinHttpSession(const wchar_t* userAgent, DWORD accessType);
