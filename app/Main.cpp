#include <windows.h>

#include <cstdlib>

#include "app/CWelvaneApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything loads a DLL by name: only the system folder is searched, never the program's own
  // folder (the user's Downloads) nor the current one. Windows components that load DLLs later are
  // bound by the same rule.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");
  CWelvaneApp app;
  app.InitInstance();
  return 0;
}

// No exception may leave a window procedure or a thread, so terminate means a fault: the process
// ends at once. Defined here, this handler also keeps the C++ library's verbose one, and the name
// demangler it brings (some 50 KB), out of the program.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
