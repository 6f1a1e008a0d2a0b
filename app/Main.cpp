#include <windows.h>

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
