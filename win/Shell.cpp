#include "win/Shell.h"

#include <shellapi.h>

namespace win {

bool ShellOpen(const std::wstring& target, const std::wstring& parameters, int show) {
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(),
                                         parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace win
