#include "win/Resources.h"

#include "win/Dialog.h"

namespace win {

std::wstring LoadStringResource(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero buffer size LoadStringW hands out a pointer into the resource itself.
  const int length = LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return {};
  return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace win
