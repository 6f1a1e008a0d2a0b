#pragma once
// A system DLL that the program's import table must not name. The import table is resolved before
// any of the program's code runs, with the program's own folder (the user's Downloads) searched
// first; a DLL loaded here comes from the system folder only, on first use, and each function the
// program uses is looked up once. If the DLL or one of those functions is missing, the library is
// not Ready() and Problem() says what is missing; its functions are then never called.
#include <windows.h>

#include <string>

namespace win {

enum class SystemDllSource {
  // The full path in the system folder.
  SystemFolder,
  // The name alone with only the system folder searched, so that a side-by-side assembly the
  // program's manifest names comes first (the common controls 6 live there, not in the system folder).
  SideBySideThenSystemFolder,
};

class SystemLibrary {
 public:
  SystemLibrary(const wchar_t* dll, SystemDllSource source);
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;

  // Sets `function` to the DLL's export of that name; when there is none it stays null and the
  // library is not Ready().
  template <typename Function>
  void Find(Function*& function, const char* name) {
    function = reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(Lookup(name)));
  }

  bool Ready() const { return m_error == ERROR_SUCCESS; }
  // The Windows error of the first failure: the DLL's load, or ERROR_PROC_NOT_FOUND.
  DWORD Error() const { return m_error; }
  // What failed, for the run's log: "WINHTTP.dll could not be loaded from the system folder (error 126)",
  // "WINHTTP.dll has no function WinHttpOpen (error 127)".
  std::wstring Problem() const;

 private:
  FARPROC Lookup(const char* name);

  const wchar_t* m_dll;
  HMODULE m_module = nullptr;
  DWORD m_error = ERROR_SUCCESS;
  const char* m_missing = nullptr;  // the first function not found
};

}  // namespace win

// A DLL's functions are named once, in a list macro that takes the macro to apply to each name:
//   #define WIN_WINHTTP_FUNCTIONS(X) X(WinHttpOpen) X(WinHttpConnect)
// declares with WIN_SYSTEM_FUNCTION_MEMBER a pointer of the function's own type for each, and finds
// them with WIN_SYSTEM_FUNCTION_FIND in the constructor.
#define WIN_SYSTEM_FUNCTION_MEMBER(name) decltype(&::name) name = nullptr;
#define WIN_SYSTEM_FUNCTION_FIND(name) library.Find(name, #name);
