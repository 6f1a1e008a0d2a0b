#include "win/SystemLibrary.h"

#include <cwchar>

#include "win/Text.h"

namespace win {

SystemLibrary::SystemLibrary(const wchar_t* dll, SystemDllSource source) : m_dll(dll) {
  wchar_t path[MAX_PATH] = {};
  size_t length = 0;
  if (source == SystemDllSource::SystemFolder) {
    length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 1) {  // never a path of another folder
      m_error = length == 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW;
      return;
    }
    path[length++] = L'\\';
  }
  if (length + wcslen(dll) >= MAX_PATH) {
    m_error = ERROR_BUFFER_OVERFLOW;
    return;
  }
  wcscpy(path + length, dll);
  // The DLL's own imports are searched for in the system folder too. The module stays loaded for
  // the process's life: its functions may be called until the end.
  m_module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!m_module) m_error = GetLastError() ? GetLastError() : ERROR_MOD_NOT_FOUND;
}

FARPROC SystemLibrary::Lookup(const char* name) {
  if (!m_module) return nullptr;
  const FARPROC function = GetProcAddress(m_module, name);
  if (!function && Ready()) {  // the first failure is the one to tell
    m_error = ERROR_PROC_NOT_FOUND;
    m_missing = name;
  }
  return function;
}

std::wstring SystemLibrary::Problem() const {
  if (Ready()) return {};
  const std::wstring what = m_missing ? L" has no function " + Widen(m_missing, CP_ACP)
                                      : L" could not be loaded from the system folder";
  return m_dll + what + L" (error " + Decimal(static_cast<int>(m_error)) + L")";
}

}  // namespace win
