#pragma once
// GDI+ with the min/max macros it expects, and its session owner.
#include <windows.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace win {

// Starts GDI+ (version 1, no debug callback, background thread and external codecs allowed)
// and shuts it down when destroyed. Every GDI+ object must be gone by then.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool Started() const { return m_started; }

 private:
  ULONG_PTR m_token = 0;
  bool m_started = false;
};

}  // namespace win
