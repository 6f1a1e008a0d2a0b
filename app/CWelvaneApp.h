#pragma once
#include <windows.h>

#include "win/Gdiplus.h"

// The application object: prepares common controls and GDI+, runs the wizard dialog, and shuts
// GDI+ down when it is destroyed (after the dialog and every image are gone).
class CWelvaneApp {
 public:
  CWelvaneApp() = default;
  CWelvaneApp(const CWelvaneApp&) = delete;
  CWelvaneApp& operator=(const CWelvaneApp&) = delete;

  // Runs the whole wizard; always FALSE (the program sets no exit code of its own).
  BOOL InitInstance();

 private:
  win::GdiplusSession m_gdiplus;  // must outlive everything InitInstance creates
};
