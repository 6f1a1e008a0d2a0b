#include "win/SystemLibrary.h"

#include "win/Text.h"

namespace win {

SystemLibrary::SystemLibrary(const wchar_t* dll, SystemDllSource source) : m_dll(dll) {
  std::wstring path = dll;
  if (source == SystemDllSource::SystemFolder) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
      Failed(length == 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW,
             L" could not be loaded: the system folder is unknown");
      return;
    }
    path = std::wstring(folder, length) + L"\\" + dll;
  }
  // The DLL's own imports are searched for in the system folder too. The module stays loaded for
  // the process's life: its functions may be called until the end.
  m_module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!m_module) Failed(GetLastError(), L" could not be loaded from the system folder");
}

FARPROC SystemLibrary::Lookup(const char* name) {
  if (!m_module) return nullptr;
  FARPROC function = GetProcAddress(m_module, name);
  if (!function) Failed(GetLastError(), L" has no function " + Widen(name, CP_ACP));
  return function;
}

void SystemLibrary::Failed(DWORD error, const std::wstring& what) {
  if (m_error != ERROR_SUCCESS) return;  // the first failure is the one to tell
  m_error = error == ERROR_SUCCESS ? ERROR_PROC_NOT_FOUND : error;
  m_problem = m_dll + what + L" (error " + Decimal(static_cast<int>(m_error)) + L")";
}

}  // namespace win
