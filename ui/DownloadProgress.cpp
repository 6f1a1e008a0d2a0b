#include "ui/DownloadProgress.h"

#include <commctrl.h>

void DownloadProgress::OnProgress(WPARAM percent) {
  const double fraction = static_cast<double>(static_cast<unsigned int>(percent)) / 100.0;
  if (fraction > 1.0) {
    EnterIndeterminate();
    return;
  }
  if (m_marqueeActive) LeaveIndeterminate();
  SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(fraction * 100.0), 0);
}

void DownloadProgress::EnterIndeterminate() {
  SendMessageW(m_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(m_bar, PBM_SETPOS, 0, 0);
  SendMessageW(m_bar, PBM_SETMARQUEE, TRUE, 30);
  SetWindowLongW(m_bar, GWL_STYLE, GetWindowLongW(m_bar, GWL_STYLE) | PBS_MARQUEE);
  m_marqueeActive = true;
}

void DownloadProgress::LeaveIndeterminate() {
  SendMessageW(m_bar, PBM_SETMARQUEE, FALSE, 0);
  SendMessageW(m_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(m_bar, PBM_SETPOS, 0, 0);
  SendMessageW(m_bar, PBM_SETSTEP, 1, 0);
  SetWindowLongW(m_bar, GWL_STYLE, GetWindowLongW(m_bar, GWL_STYLE) & ~PBS_MARQUEE);
  m_marqueeActive = false;
}
