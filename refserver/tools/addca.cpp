// addca: makes the reference server's test CA trusted on this (Wine) machine, and checks HTTPS URLs.
//
//   addca.exe CERT            adds the certificate (DER or PEM file) to the LOCAL_MACHINE Root store,
//                             replacing an existing copy
//   addca.exe --check URL...  GETs every URL with WinHTTP and prints "<status> <bytes> <url>", or
//                             "error <code> <url>"; exit code 0 only when every answer was 200
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "win/Text.h"

namespace {

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& out) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (1 << 20);
  if (ok) {
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                         read == out.size());
  }
  CloseHandle(file);
  return ok;
}

// A PEM file becomes DER; DER input is returned unchanged.
std::vector<BYTE> ToDer(const std::vector<BYTE>& input) {
  static const char kPem[] = "-----BEGIN";
  if (input.size() < sizeof(kPem) - 1 || memcmp(input.data(), kPem, sizeof(kPem) - 1) != 0) return input;
  DWORD size = 0;
  const auto* text = reinterpret_cast<const char*>(input.data());
  if (!CryptStringToBinaryA(text, static_cast<DWORD>(input.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                            nullptr, nullptr))
    return {};
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(text, static_cast<DWORD>(input.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                            &size, nullptr, nullptr))
    return {};
  der.resize(size);
  return der;
}

int AddToRoot(const wchar_t* path) {
  std::vector<BYTE> raw;
  if (!ReadWholeFile(path, raw)) {
    std::printf("cannot read %s: error %lu\n", win::ToUtf8(path).c_str(), GetLastError());
    return 2;
  }
  const std::vector<BYTE> der = ToDer(raw);
  if (der.empty()) {
    std::printf("%s holds no certificate\n", win::ToUtf8(path).c_str());
    return 2;
  }
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) {
    std::printf("CertOpenStore(LOCAL_MACHINE Root) failed: error %lu\n", GetLastError());
    return 3;
  }
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                                      static_cast<DWORD>(der.size()),
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD error = GetLastError();
  CertCloseStore(store, 0);
  if (!added) {
    std::printf("CertAddEncodedCertificateToStore failed: error %lu\n", error);
    return 3;
  }
  std::printf("added %s to the LOCAL_MACHINE Root store\n", win::ToUtf8(path).c_str());
  return 0;
}

struct Handles {
  HINTERNET session = nullptr, connection = nullptr, request = nullptr;
  ~Handles() {
    for (HINTERNET h : {request, connection, session})
      if (h) WinHttpCloseHandle(h);
  }
};

// Returns the HTTP status, or 0 with `error` set when no response arrived.
DWORD Get(const std::wstring& url, DWORD& error, unsigned long long& bytes) {
  error = 0;
  bytes = 0;
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return error = GetLastError(), 0;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring object(parts.lpszUrlPath);  // path and query

  Handles h;
  h.session = WinHttpOpen(L"welvane-addca/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0);
  if (!h.session) return error = GetLastError(), 0;
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
  WinHttpSetOption(h.session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
  h.connection = WinHttpConnect(h.session, host.c_str(), parts.nPort, 0);
  if (!h.connection) return error = GetLastError(), 0;
  const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  h.request = WinHttpOpenRequest(h.connection, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (!h.request) return error = GetLastError(), 0;
  if (!WinHttpSendRequest(h.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(h.request, nullptr))
    return error = GetLastError(), 0;
  DWORD status = 0, size = sizeof(status);
  WinHttpQueryHeaders(h.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                      &status, &size, WINHTTP_NO_HEADER_INDEX);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!WinHttpReadData(h.request, buffer.data(), static_cast<DWORD>(buffer.size()), &read)) {
      error = GetLastError();
      break;
    }
    if (read == 0) break;
    bytes += read;
  }
  return status;
}

int Check(int count, wchar_t** urls) {
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    DWORD error = 0;
    unsigned long long bytes = 0;
    const DWORD status = Get(urls[i], error, bytes);
    if (status == 0)
      std::printf("error %lu %s\n", error, win::ToUtf8(urls[i]).c_str());
    else
      std::printf("%lu %llu %s\n", status, bytes, win::ToUtf8(urls[i]).c_str());
    if (status != 200 || error != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wstring(argv[1]) == L"--check") return Check(argc - 2, argv + 2);
  if (argc == 2 && argv[1][0] != L'-') return AddToRoot(argv[1]);
  std::printf("usage: addca.exe CERT.der | addca.exe --check URL...\n");
  return 2;
}
