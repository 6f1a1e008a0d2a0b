#include "win/WinHttpApi.h"

namespace win {

WinHttpApi::WinHttpApi() { WIN_WINHTTP_FUNCTIONS(WIN_SYSTEM_FUNCTION_FIND) }

const WinHttpApi& WinHttp() {
  static const WinHttpApi api;
  return api;
}

}  // namespace win
