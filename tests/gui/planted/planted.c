/* A DLL that must never run: when loaded, it leaves "<its own path>.ran" beside itself. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 8] = {0};
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcatW(path, L".ran");
      HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
  }
  return TRUE;
}

/* What the wizard would import from the planted names, so that the loader takes the DLL. */
__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* buffer, PUINT length) {
  (void)block; (void)sub; (void)buffer; (void)length;
  return FALSE;
}
