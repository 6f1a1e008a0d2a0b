#include "ui/CStaticFromImage.h"

#include <objidl.h>

#include <cstring>

#include "win/Dialog.h"
#include "win/Handle.h"

void CStaticFromImage::SetImage(std::shared_ptr<Gdiplus::Image> image) {
  m_image = std::move(image);
  Invalidate(true);
}

void CStaticFromImage::LoadFromResource(UINT id, LPCWSTR type) {
  m_image = LoadImageFromResource(win::ResourceModule(), MAKEINTRESOURCEW(id), type);
  Invalidate(true);
}

bool CStaticFromImage::WindowProc(UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_PAINT) return false;
  OnPaint();
  result = 0;
  return true;
}

void CStaticFromImage::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hwnd, &paint);
  if (dc && m_image) {
    Gdiplus::Graphics graphics(dc);
    RECT client{};
    GetClientRect(m_hwnd, &client);
    graphics.DrawImage(m_image.get(), Gdiplus::Rect(0, 0, client.right - client.left, client.bottom - client.top));
  }
  EndPaint(m_hwnd, &paint);
}

std::shared_ptr<Gdiplus::Bitmap> LoadImageFromResource(HINSTANCE module, LPCWSTR name, LPCWSTR type) {
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return {};
  const DWORD size = SizeofResource(module, info);
  if (size == 0) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};

  win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!memory) return {};
  void* target = GlobalLock(memory.Get());
  if (!target) return {};
  std::memcpy(target, bytes, size);
  GlobalUnlock(memory.Get());

  win::ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Put()))) return {};
  memory.Release();  // the stream owns it now

  auto bitmap = std::make_shared<Gdiplus::Bitmap>(stream.Get());
  if (bitmap->GetLastStatus() != Gdiplus::Ok) return {};
  return bitmap;
}
