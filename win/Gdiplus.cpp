#include "win/Gdiplus.h"

namespace win {

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;  // version 1, no callback, both switches FALSE
  m_started = Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
}

GdiplusSession::~GdiplusSession() {
  if (m_started) Gdiplus::GdiplusShutdown(m_token);
}

}  // namespace win
