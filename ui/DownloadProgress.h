#pragma once
// The progress bar of the download pages: the current file's percentage, or the indeterminate
// (marquee) display while the size is unknown or an installer runs.
#include <windows.h>

class DownloadProgress {
 public:
  void Attach(HWND bar) { m_bar = bar; }

  // WM_DOWNLOADPROGRESS: wParam is the percentage of the current file; above 100 means unknown.
  void OnProgress(WPARAM percent);
  // WM_DOWNLOADSIZEUNKNOWN.
  void OnSizeUnknown() { EnterIndeterminate(); }
  void EnterIndeterminate();
  bool Indeterminate() const { return m_marqueeActive; }

 private:
  void LeaveIndeterminate();

  HWND m_bar = nullptr;
  bool m_marqueeActive = false;
};
