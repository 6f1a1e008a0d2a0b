#include <windows.h>

#include "app/CWelvaneApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CWelvaneApp app;
  app.InitInstance();
  return 0;
}
