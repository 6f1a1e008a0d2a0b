#pragma once
// A static control that paints a shared GDI+ image stretched over its whole client area.
#include <memory>

#include "win/Control.h"
#include "win/Gdiplus.h"

class CStaticFromImage : public win::SubclassedControl {
 public:
  // Replaces the held image (an empty pointer clears it) and repaints with background erase.
  void SetImage(std::shared_ptr<Gdiplus::Image> image);
  // Holds the PNG embedded under (id, type) in the executable, or nothing when it is missing.
  void LoadFromResource(UINT id, LPCWSTR type);
  const std::shared_ptr<Gdiplus::Image>& Image() const { return m_image; }

 protected:
  bool WindowProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void OnPaint();
  std::shared_ptr<Gdiplus::Image> m_image;
};

// Decodes an image embedded as a custom resource; empty when any step fails.
std::shared_ptr<Gdiplus::Bitmap> LoadImageFromResource(HINSTANCE module, LPCWSTR name, LPCWSTR type);
