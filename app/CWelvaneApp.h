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

  // Runs the whole wizard, then ends the process (EndTheRun): it does not return.
  [[noreturn]] BOOL InitInstance();

 private:
  win::GdiplusSession m_gdiplus;  // must outlive everything InitInstance creates
};

// Makes the run log's file, once: the lines written since the start go first. The wizard does it
// once its window is painted or when it is asked to close, EndTheRun at the latest.
void OpenRunLog();

// Ends the process once the run's work is done: the log's last line, then the end. Windows, images
// and libraries are not taken down one by one first: the system frees them with the process.
[[noreturn]] void EndTheRun();
