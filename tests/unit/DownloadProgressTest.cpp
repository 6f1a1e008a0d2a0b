// The download pages' progress bar: the current file's percentage, and the indeterminate display while
// a size is unknown, left again by the next percentage.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "ui/DownloadProgress.h"

namespace {

struct ProgressBar {
  ProgressBar() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    hwnd = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP | PBS_SMOOTH, 0, 0, 200, 20, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }
  ~ProgressBar() { DestroyWindow(hwnd); }
  int Position() const { return static_cast<int>(SendMessageW(hwnd, PBM_GETPOS, 0, 0)); }
  bool Marquee() const { return (GetWindowLongW(hwnd, GWL_STYLE) & PBS_MARQUEE) != 0; }
  HWND hwnd;
};

}  // namespace

TEST(DownloadProgress, PercentagesAndTheIndeterminateDisplay) {
  ProgressBar bar;
  ASSERT_NE(bar.hwnd, nullptr);
  DownloadProgress progress;
  progress.Attach(bar.hwnd);

  progress.OnProgress(42);
  EXPECT_EQ(bar.Position(), 42);
  EXPECT_FALSE(progress.Indeterminate());

  // Above 100 means the size is unknown: the marquee from position 0, as for WM_DOWNLOADSIZEUNKNOWN.
  progress.OnProgress(101);
  EXPECT_TRUE(progress.Indeterminate());
  EXPECT_TRUE(bar.Marquee());
  EXPECT_EQ(bar.Position(), 0);

  // The next file's first percentage leaves it.
  progress.OnProgress(7);
  EXPECT_FALSE(progress.Indeterminate());
  EXPECT_FALSE(bar.Marquee());
  EXPECT_EQ(bar.Position(), 7);

  progress.OnSizeUnknown();
  EXPECT_TRUE(bar.Marquee());
  progress.OnProgress(100);
  EXPECT_EQ(bar.Position(), 100);
  EXPECT_FALSE(bar.Marquee());
}
